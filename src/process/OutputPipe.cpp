#include "process/OutputPipe.h"

#include <bcrypt.h>
#include <sddl.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/SystemLibrary.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"OutputPipe");

const int NAME_ATTEMPTS = 8;

// The process id is public and a counter is easy to guess: anyone may create
// such a name first and so keep the program from starting. 128 random bits
// make the name one nobody can take ahead of us.
bool randomPipeName(std::wstring& name)
{
    static std::atomic<unsigned long> runs{0};
    unsigned char random[16] = {};
    // Loaded for the moment it is needed: imported, it and the DLLs it needs
    // would stay in an idle service's memory.
    const UniqueModule bcrypt = loadSystemLibrary(L"bcrypt.dll");
    decltype(&::BCryptGenRandom) generate = nullptr;
    if (!bcrypt || !loadFunction(bcrypt.get(), "BCryptGenRandom", generate)) {
        return false;
    }
    if (!BCRYPT_SUCCESS(generate(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    std::wstring hex;
    for (const unsigned char byte : random) {
        hex += format(L"%02x", static_cast<unsigned int>(byte));
    }
    name = format(L"\\\\.\\pipe\\Hostwell-%lu-%lu-%s", static_cast<unsigned long>(GetCurrentProcessId()), ++runs, hex);
    return true;
}

// A security descriptor that gives the wrapper's own account, and nobody
// else, access to the pipe.
UniqueLocalMemory ownAccountOnly()
{
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return UniqueLocalMemory();
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    wchar_t* sidText = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sidText)) {
        return UniqueLocalMemory();
    }
    const UniqueLocalMemory sidOwner(sidText);
    const std::wstring sddl = format(L"D:P(A;;GA;;;%s)", sidText);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return UniqueLocalMemory();
    }
    return UniqueLocalMemory(descriptor);
}

bool duplicate(HANDLE source, UniqueHandle& target)
{
    const HANDLE process = GetCurrentProcess();
    return DuplicateHandle(process, source, process, target.put(), 0, FALSE, DUPLICATE_SAME_ACCESS) != FALSE;
}

bool makeInheritable(HANDLE handle)
{
    return SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) != FALSE;
}

}  // namespace

OutputPipe::OutputPipe(Streams streams) : OutputPipe(randomPipeName, streams) {}

OutputPipe::OutputPipe(const std::function<bool(std::wstring&)>& nextName, Streams streams) : streams_(streams)
{
    const UniqueLocalMemory descriptor = ownAccountOnly();
    if (!descriptor) {
        logger.error(L"Failed to create the security descriptor of the output pipe. %s", lastErrorText());
        return;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
    std::wstring name;
    if (!createReadEnd(nextName, attributes, name)) {
        logger.error(L"Failed to create pipe %s. %s", name, lastErrorText());
        return;
    }
    // Opening the only instance connects it: no ConnectNamedPipe is needed.
    // Runtimes that look at their output pipe (GetNamedPipeInfo) need to read its
    // attributes; Wine does not check that right, Windows does.
    outputEnd_.reset(CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!outputEnd_) {
        logger.error(L"Failed to open the write end of pipe %s. %s", name, lastErrorText());
        return;
    }
    if (streams_ == Streams::OutputAndError && !duplicate(outputEnd_.get(), errorEnd_)) {
        logger.error(L"Failed to duplicate handle for process stderr. %s", lastErrorText());
    }
}

bool OutputPipe::createReadEnd(const std::function<bool(std::wstring&)>& nextName, SECURITY_ATTRIBUTES& attributes,
                               std::wstring& name)
{
    for (int attempt = 1; attempt <= NAME_ATTEMPTS; ++attempt) {
        if (!nextName(name)) {
            return false;
        }
        // The first instance, or nothing: a name someone else made first is
        // refused (access denied, or busy when all its instances are taken).
        readEnd_.reset(CreateNamedPipeW(name.c_str(),
                                        PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                        0, BUFFER_SIZE, 0, &attributes));
        if (readEnd_) {
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_PIPE_BUSY) {
            return false;
        }
        logger.debug(L"The pipe name %s is taken; trying another", name);
    }
    return false;
}

bool OutputPipe::makeChildEndsInheritable()
{
    if (!makeInheritable(outputEnd_.get()) || (errorEnd_ && !makeInheritable(errorEnd_.get()))) {
        logger.error(L"Failed to set HANDLE_FLAG_INHERIT. %s", lastErrorText());
        return false;
    }
    return true;
}

void OutputPipe::closeChildEnds()
{
    outputEnd_.reset();
    errorEnd_.reset();
}

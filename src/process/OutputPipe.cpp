#include "process/OutputPipe.h"

#include <sddl.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/Format.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"OutputPipe");

// Unique within the machine: no two processes have the same id at a time,
// and FILE_FLAG_FIRST_PIPE_INSTANCE refuses a name that someone took first.
std::wstring uniquePipeName()
{
    static std::atomic<unsigned long> runs{0};
    return format(L"\\\\.\\pipe\\Hostwell-%lu-%lu", static_cast<unsigned long>(GetCurrentProcessId()), ++runs);
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

OutputPipe::OutputPipe()
{
    const UniqueLocalMemory descriptor = ownAccountOnly();
    if (!descriptor) {
        logger.error(L"Failed to create the security descriptor of the output pipe. %s", lastErrorText());
        return;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
    const std::wstring name = uniquePipeName();
    readEnd_.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                                    BUFFER_SIZE, 0, &attributes));
    if (!readEnd_) {
        logger.error(L"Failed to create pipe %s. %s", name, lastErrorText());
        return;
    }
    // Opening the only instance connects it: no ConnectNamedPipe is needed.
    outputEnd_.reset(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!outputEnd_) {
        logger.error(L"Failed to open the write end of pipe %s. %s", name, lastErrorText());
        return;
    }
    if (!duplicate(outputEnd_.get(), errorEnd_)) {
        logger.error(L"Failed to duplicate handle for process stderr. %s", lastErrorText());
    }
}

bool OutputPipe::makeChildEndsInheritable()
{
    if (!makeInheritable(outputEnd_.get()) || !makeInheritable(errorEnd_.get())) {
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

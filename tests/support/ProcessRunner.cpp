#include "support/ProcessRunner.h"

#include <map>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"

namespace {

struct OutputCollector {
    HANDLE pipe;
    std::string bytes;
};

DWORD WINAPI collectOutput(LPVOID parameter)
{
    auto* collector = static_cast<OutputCollector*>(parameter);
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(collector->pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        collector->bytes.append(buffer, read);
    }
    return 0;
}

std::wstring upper(std::wstring text)
{
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(towupper(c));
    }
    return text;
}

// The current environment with the overrides applied, as a sorted block.
std::wstring environmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& overrides)
{
    std::map<std::wstring, std::wstring> variables;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const size_t equals = text.find(L'=', 1);
        if (equals != std::wstring::npos) {
            variables[upper(text.substr(0, equals))] = text;
        }
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& variable : overrides) {
        if (variable.second.empty()) {
            variables.erase(upper(variable.first));
        } else {
            variables[upper(variable.first)] = variable.first + L"=" + variable.second;
        }
    }
    std::wstring block;
    for (const auto& variable : variables) {
        block += variable.second;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

std::wstring ProcessResult::output() const { return fromUtf8(rawOutput); }

std::vector<std::wstring> ProcessResult::lines() const
{
    std::vector<std::wstring> result;
    const std::wstring text = output();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        while (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        result.push_back(line);
        start = end + 1;
    }
    return result;
}

bool ProcessResult::hasLine(const std::wstring& line) const
{
    for (const std::wstring& candidate : lines()) {
        if (candidate == line) {
            return true;
        }
    }
    return false;
}

bool ProcessResult::contains(const std::wstring& text) const
{
    return output().find(text) != std::wstring::npos;
}

std::wstring quoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    // Backslashes are literal unless they precede a quote (the runtime's rules).
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring buildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments) {
        commandLine += L" " + quoteArgument(argument);
    }
    return commandLine;
}

ProcessResult runProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const ProcessOptions& options)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    UniqueHandle inputRead;
    UniqueHandle inputWrite;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0) ||
        !CreatePipe(inputRead.put(), inputWrite.put(), &inheritable, 0)) {
        return result;
    }
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inputWrite.get(), HANDLE_FLAG_INHERIT, 0);

    UniqueHandle errorFile;
    if (!options.errorFile.empty()) {
        errorFile.reset(CreateFileW(options.errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead.get();
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = errorFile ? errorFile.get() : writeEnd.get();
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = buildCommandLine(program, arguments);
    std::wstring environment = environmentBlock(options.environment);
    // Under load Wine now and then fails to create a process that exists; a
    // program that cannot start fails every attempt.
    BOOL created = FALSE;
    for (int attempt = 0; attempt < 3 && !created; ++attempt) {
        if (attempt > 0) {
            Sleep(200);
        }
        created = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                 &environment[0], options.workDir.empty() ? nullptr : options.workDir.c_str(),
                                 &startup, &process);
    }
    const DWORD createError = GetLastError();
    writeEnd.reset();
    errorFile.reset();
    inputRead.reset();
    inputWrite.reset();
    if (!created) {
        result.rawOutput = "CreateProcess failed: " + std::to_string(createError);
        return result;
    }
    // Wine starts a Unix program without a process handle and leaves the
    // thread handle undefined: closing it would close some other handle of
    // this process. Its end shows only as the end of its output.
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(processHandle ? process.hThread : nullptr);

    OutputCollector collector{readEnd.get(), std::string()};
    UniqueHandle reader(CreateThread(nullptr, 0, collectOutput, &collector, 0, nullptr));
    if (processHandle) {
        result.finished = WaitForSingleObject(processHandle.get(), options.timeoutMs) == WAIT_OBJECT_0;
        if (!result.finished) {
            TerminateProcess(processHandle.get(), 99);
            WaitForSingleObject(processHandle.get(), 5000);
        }
        GetExitCodeProcess(processHandle.get(), &result.exitCode);
    }
    // A grandchild that inherited the pipe may keep it open; do not wait for it forever.
    if (WaitForSingleObject(reader.get(), 10000) != WAIT_OBJECT_0) {
        CancelSynchronousIo(reader.get());
        WaitForSingleObject(reader.get(), 5000);
    }
    result.rawOutput = collector.bytes;
    return result;
}

std::wstring binDirectory()
{
    std::vector<wchar_t> buffer(65535, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring hostwellPath() { return binDirectory() + L"\\Hostwell.exe"; }

std::wstring helperPath(const std::wstring& name) { return binDirectory() + L"\\" + name; }

ProcessResult runHostwell(const std::vector<std::wstring>& arguments, const ProcessOptions& options)
{
    return runProcess(hostwellPath(), arguments, options);
}

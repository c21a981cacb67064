#include "process/ProcessCommand.h"

#include <optional>
#include <vector>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "logging/CriticalSection.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/ChildProcess.h"
#include "process/ConsoleEvents.h"
#include "process/EnvironmentBlock.h"
#include "process/Heartbeat.h"
#include "process/LaunchLimits.h"
#include "process/OutputPipe.h"
#include "process/OutputReader.h"
#include "process/Pipe.h"
#include "process/ProcessInterruptHandler.h"
#include "process/ProgramLimits.h"
#include "process/RunWatcher.h"
#include "process/StartGate.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"ProcessCommand");
const DWORD POLL_INTERVAL = 500;

UniqueHandle createStartToken()
{
    UniqueHandle processToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, processToken.put())) {
        logger.debug(L"Failed to OpenProcessToken. %s", lastErrorText());
        return UniqueHandle();
    }
    UniqueHandle token;
    if (!DuplicateTokenEx(processToken.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary,
                          token.put())) {
        logger.debug(L"Failed to DuplicateTokenEx. %s", lastErrorText());
        return UniqueHandle();
    }
    return token;
}

}  // namespace

std::wstring composeCommandLine(const std::wstring& program, const std::wstring& arguments)
{
    return format(L"\"%s\" %s", program, arguments);
}

int ProcessCommand::execute()
{
    logger.debug(L"Starting process");
    UniqueHandle token = createStartToken();
    if (!token) {
        logger.error(L"Failed to create process start user token");
        return 1;
    }
    return runWithToken(token.get());
}

int ProcessCommand::runWithToken(HANDLE token)
{
    if (gate_ != nullptr && !gate_->filesTrusted()) {
        start_ = ProgramStart::FilesRefused;
        return 1;
    }
    const ProgramLimits limits(resources_);
    if (!limits.processorsPresent()) {
        return 1;
    }
    const std::wstring workDir = settings_->getWorkDir();
    const std::wstring commandLine = composeCommandLine(settings_->getProgram(), settings_->getArguments());
    logger.debug(L"Starting process: %s (in %s)", commandLine, workDir);
    // Too long a command line is not passed on (Wine would cut it short); the
    // creation then fails and says so.
    std::vector<wchar_t> buffer(COMMAND_LINE_CAPACITY, L'\0');
    if (commandLine.size() < COMMAND_LINE_CAPACITY) {
        commandLine.copy(buffer.data(), commandLine.size());
    }

    ChildProcessInHandle input;
    OutputPipe output;
    std::optional<OutputPipe> errors;
    if (errorCallback_ != nullptr) {
        errors.emplace(OutputPipe::Streams::One);
    }
    if (!input.isValid() || !output.isValid() || (errors && !errors->isValid())) {
        logger.error(L"Failed to setup pipes for process");
        return 1;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    input.makeInheritable(input.childEnd());
    if (!input.isValid() || !output.makeChildEndsInheritable() || (errors && !errors->makeChildEndsInheritable())) {
        logger.error(L"Failed to setup pipes for process");
        return 1;
    }
    startup.hStdInput = input.childEnd();
    startup.hStdOutput = output.outputEnd();
    startup.hStdError = errors ? errors->outputEnd() : output.errorEnd();

    UniqueHandle job = limits.createJob();
    std::vector<wchar_t> environment = environment_->block();
    logger.debug(L"Starting process");
    PROCESS_INFORMATION process = {};
    // Suspended until it is in its job, so that nothing it starts escapes the job.
    const auto create = [&] {
        return CreateProcessAsUserW(token, nullptr, buffer.data(), nullptr, nullptr, TRUE, creationFlags(),
                                    environment.data(), workDir.empty() ? nullptr : workDir.c_str(), &startup,
                                    &process) != FALSE;
    };
    bool created = false;
    if (gate_ != nullptr) {
        ScopedLock lock(gate_->stopLock());
        if (isInterrupted()) {
            logger.info(L"The process is not started: a stop was requested");
            start_ = ProgramStart::StopRequested;
            return 0;
        }
        created = create();
    } else {
        created = create();
    }
    if (!created) {
        logger.error(L"Failed to CreateProcessAsUser: %s", lastErrorText());
        return 1;
    }
    UniqueHandle thread(process.hThread);
    limits.place(process.hProcess);
    if (job && !AssignProcessToJobObject(job.get(), process.hProcess)) {
        logger.warn(L"Failed to assign the process to its job object. %s", lastErrorText());
        job.reset();
    }
    const ChildProcess child(process.hProcess, job.release());
    start_ = ProgramStart::Started;
    if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        const std::wstring reason = lastErrorText();
        child.terminate(1);
        logger.error(L"Failed to ResumeThread: %s", reason);
        return 1;
    }

    if (onStarted_) {
        onStarted_(process.dwProcessId);
    }
    input.closeChildEnd();
    output.closeChildEnds();
    input.close(input.parentEnd());
    OutputReader reader(output.readEnd(), outputEncoding_, outputCallback_);
    std::vector<OutputReader*> readers = {&reader};
    std::optional<OutputReader> errorReader;
    if (errors) {
        errors->closeChildEnds();
        errorReader.emplace(errors->readEnd(), outputEncoding_, errorCallback_);
        readers.push_back(&*errorReader);
    }
    supervise(child, readers);
    if (!givenUp_) {
        reportEnd(child);
    }
    return 0;
}

DWORD ProcessCommand::creationFlags() const
{
    const DWORD common = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED;
    if (!receivesConsoleEvents_) {
        // A group of its own: Ctrl+C typed in the wrapper's console is the
        // wrapper's to handle.
        return common | CREATE_NEW_PROCESS_GROUP;
    }
    // A new process group would ignore Ctrl+C; a hidden console of its own
    // lets the events reach it when the wrapper has none.
    return common | (hasConsole() ? 0 : CREATE_NEW_CONSOLE);
}

void ProcessCommand::supervise(const ChildProcess& child, const std::vector<OutputReader*>& readers)
{
    std::vector<HANDLE> stopEvents;
    // Without an event for every holder the flags are looked at from time to time.
    const DWORD idleWait = interruptEvents(stopEvents) ? INFINITE : POLL_INTERVAL;
    bool stopping = false;
    ULONGLONG nextStep = 0;
    for (OutputReader* reader : readers) {
        reader->start();
    }
    // The stream read last is waited for last: a busy one must not starve the other.
    size_t firstReader = 0;
    std::vector<size_t> waitedReaders;
    if (watcher_ != nullptr) {
        watcher_->onRunStarted(child);
    }
    for (;;) {
        DWORD timeout = idleWait;
        if (!stopping && (isInterrupted() || stoppedByWatcher_)) {
            logger.debug(L"Interrupted flag is set. Process will be stoped");
            stopping = true;
            if (watcher_ != nullptr) {
                watcher_->onRunEnded();
            }
        }
        if (stopping) {
            if (GetTickCount64() >= nextStep) {
                const DWORD wait = interruptHandler_->handle(child);
                if (wait == ProcessInterruptHandler::GIVE_UP) {
                    givenUp_ = true;
                    break;
                }
                nextStep = GetTickCount64() + wait;
            }
            const ULONGLONG now = GetTickCount64();
            timeout = nextStep > now ? static_cast<DWORD>(nextStep - now) : 0;
        }
        if (heartbeat_ != nullptr && heartbeat_->beat() && timeout > Heartbeat::INTERVAL) {
            timeout = Heartbeat::INTERVAL;
        }
        // The child's end first, then the stop request: a busy output must not hide them.
        std::vector<HANDLE> handles = {child.process()};
        if (!stopping) {
            handles.insert(handles.end(), stopEvents.begin(), stopEvents.end());
            if (watcher_ != nullptr) {
                watcher_->addHandles(handles);
            }
        }
        const size_t watched = handles.size();
        waitedReaders.clear();
        for (size_t i = 0; i < readers.size(); ++i) {
            const size_t next = (firstReader + i) % readers.size();
            if (readers[next]->isReading()) {
                handles.push_back(readers[next]->event());
                waitedReaders.push_back(next);
            }
        }
        const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeout);
        if (waited == WAIT_OBJECT_0) {
            break;
        }
        const size_t index = waited - WAIT_OBJECT_0;
        if (waited == WAIT_FAILED) {
            logger.warn(L"Failed to wait for the process. %s", lastErrorText());
            Sleep(POLL_INTERVAL);
        } else if (index >= watched && index < handles.size()) {
            const size_t completed = waitedReaders[index - watched];
            readers[completed]->onReadCompleted();
            firstReader = (completed + 1) % readers.size();
        } else if (index > stopEvents.size() && index < watched) {
            stoppedByWatcher_ = watcher_->onSignalled(handles[index]);
        }
    }
    if (watcher_ != nullptr && !stopping) {
        watcher_->onRunEnded();
    }
    // The output the child wrote before it ended comes first in the log.
    for (OutputReader* reader : readers) {
        reader->drain();
    }
}

void ProcessCommand::reportEnd(const ChildProcess& child)
{
    DWORD code = 0;
    if (GetExitCodeProcess(child.process(), &code)) {
        exitCode_ = code;
        logger.info(L"Process exited with code: %d", static_cast<int>(code));
    } else {
        logger.info(L"Failed to get process exited code");
    }
    // A program that ended by itself may have left processes behind; a stopped
    // one had them ended with it.
    const DWORD left = isInterrupted() || stoppedByWatcher_ ? 0 : child.runningDescendants();
    if (left > 0) {
        logger.warn(L"%d process(es) started by the program were still running; they are ended with it",
                    static_cast<int>(left));
    }
}

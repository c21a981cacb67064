#include "process/ProcessCommand.h"

#include <vector>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "process/ChildProcess.h"
#include "process/ConsoleEvents.h"
#include "process/EnvironmentBlock.h"
#include "process/LaunchLimits.h"
#include "process/Pipe.h"
#include "process/PipeReader.h"
#include "process/ProcessInterruptHandler.h"
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

// A job of its own for the child. Closing its last handle ends every process
// in it, so nothing the child started outlives the wrapper, however the
// wrapper ends. Without one (a job the wrapper runs in may forbid it) only
// the child itself can be terminated.
UniqueHandle createJob()
{
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        logger.warn(L"Failed to create job object for the process. %s", lastErrorText());
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        logger.warn(L"Failed to make the job object end its processes with the wrapper. %s", lastErrorText());
    }
    return job;
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
    ChildProcessOutHandle output;
    if (!input.isValid() || !output.isValid()) {
        logger.error(L"Failed to setup pipes for process");
        return 1;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    input.makeInheritable(input.childEnd());
    output.makeInheritable(output.childEnd());
    startup.hStdInput = input.childEnd();
    startup.hStdOutput = output.childEnd();
    startup.hStdError = output.errorHandle();

    UniqueHandle job = createJob();
    std::vector<wchar_t> environment = environment_->block();
    logger.debug(L"Starting process");
    PROCESS_INFORMATION process = {};
    // Suspended until it is in its job, so that nothing it starts escapes the job.
    if (!CreateProcessAsUserW(token, nullptr, buffer.data(), nullptr, nullptr, TRUE, creationFlags(),
                              environment.data(), workDir.empty() ? nullptr : workDir.c_str(), &startup, &process)) {
        logger.error(L"Failed to CreateProcessAsUser: %s", lastErrorText());
        return 1;
    }
    UniqueHandle thread(process.hThread);
    if (job && !AssignProcessToJobObject(job.get(), process.hProcess)) {
        logger.warn(L"Failed to assign the process to its job object. %s", lastErrorText());
        job.reset();
    }
    const ChildProcess child(process.hProcess, job.release());
    if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        const std::wstring reason = lastErrorText();
        child.terminate(1);
        logger.error(L"Failed to ResumeThread: %s", reason);
        return 1;
    }

    input.closeChildEnd();
    output.closeChildEnd();
    input.close(input.parentEnd());
    supervise(child, output.parentEnd());
    output.close(output.parentEnd());
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

void ProcessCommand::supervise(const ChildProcess& child, HANDLE output)
{
    PipeReader reader(output, outputEncoding_, outputCallback_);
    std::vector<HANDLE> wakers = {child.process()};
    // Until a stop is requested nothing is done but waiting for the child's
    // end or the request; while stopping, the strategy acts in steps.
    const DWORD idleWait = interruptEvents(wakers) ? INFINITE : POLL_INTERVAL;
    bool announced = false;
    for (;;) {
        DWORD waited = 0;
        if (isInterrupted()) {
            if (!announced) {
                logger.debug(L"Interrupted flag is set. Process will be stoped");
                announced = true;
            }
            interruptHandler_->handle(child);
            waited = WaitForSingleObject(child.process(), POLL_INTERVAL);
        } else {
            waited = WaitForMultipleObjects(static_cast<DWORD>(wakers.size()), wakers.data(), FALSE, idleWait);
        }
        if (waited == WAIT_OBJECT_0) {
            break;
        }
        if (waited == WAIT_FAILED) {
            logger.warn(L"Failed to wait for the process. %s", lastErrorText());
            Sleep(POLL_INTERVAL);
        }
    }
    // The output the child wrote before it ended comes first in the log.
    reader.stop();
    DWORD code = 0;
    if (GetExitCodeProcess(child.process(), &code)) {
        exitCode_ = code;
        logger.info(L"Process exited with code: %d", static_cast<int>(code));
    } else {
        logger.info(L"Failed to get process exited code");
    }
    // A program that ended by itself may have left processes behind; a stopped
    // one had them ended with it.
    const DWORD left = isInterrupted() ? 0 : child.runningDescendants();
    if (left > 0) {
        logger.warn(L"%d process(es) started by the program were still running; they are ended with it",
                    static_cast<int>(left));
    }
}

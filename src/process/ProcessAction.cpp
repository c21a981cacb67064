#include "process/ProcessAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/ConsoleWriter.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "process/ConsoleEvents.h"
#include "process/LogPipeReader.h"
#include "process/ServiceProcessCommand.h"

namespace {
const Logger logger(L"ProcessAction");
}

ProcessAction::ProcessAction() : ServiceSettingsAction(L"console") {}

void ProcessAction::printUsage(ConsoleWriter& writer)
{
    writer.writeFormatted(L"    %s /%s=<path to settings file>", name(), KEY_SETTINGS);
    writer.writeLine(L"      starts service process in console window");
    writer.writeEmptyLine();
}

int ProcessAction::ExecuteTaskAction(const Argz&, const ServiceTaskSettings& settings)
{
    stopped_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const ThreadFailure::Watch watch(this);
    const PHANDLER_ROUTINE handlerRoutine = routineFor(this);
    const bool registered = handlerRoutine != nullptr && SetConsoleCtrlHandler(handlerRoutine, TRUE);
    if (!registered) {
        logger.info(L"Failed to register console control handler. %s", lastErrorText());
    }
    LogPipeReader output(L"console");
    ServiceProcessCommand command(this, &settings, &output, &consoleEventReceived_);
    const int result = command.execute();
    SetEvent(stopped_.get());
    if (registered && !SetConsoleCtrlHandler(handlerRoutine, FALSE)) {
        logger.info(L"Failed to unregister console control handler. %s", lastErrorText());
    }
    return ThreadFailure::happened() ? 1 : result;
}

BOOL ProcessAction::onConsoleControl(DWORD controlType)
{
    logger.info(L"Console Control event recieved: %d", static_cast<int>(controlType));
    // A program that shares this console has had the event too.
    if ((controlType == CTRL_C_EVENT || controlType == CTRL_BREAK_EVENT) && hasConsole()) {
        consoleEventReceived_ = true;
    }
    interrupt();
    // After these the system ends the process as soon as the handler returns:
    // the stop must be over by then.
    if (controlType == CTRL_CLOSE_EVENT || controlType == CTRL_LOGOFF_EVENT || controlType == CTRL_SHUTDOWN_EVENT) {
        WaitForSingleObject(stopped_.get(), CLOSE_WAIT);
    }
    return TRUE;
}

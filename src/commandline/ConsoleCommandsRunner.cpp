#include "commandline/ConsoleCommandsRunner.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleAction.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/OptionWarnings.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"ConsoleCommandsRunner");

// Only status writes for programs to parse: elsewhere /format= would promise
// output that never comes.
bool refusesFormat(const std::wstring& command, const Argz& arguments)
{
    std::wstring format;
    if (command == STATUS_COMMAND || !arguments.getValue(KEY_FORMAT, format)) {
        return false;
    }
    logger.error(L"/%s=%s is an option of the status command only: leave it out for %s", KEY_FORMAT, format, command);
    return true;
}

}  // namespace

int ConsoleCommandsRunner::run()
{
    logger.debug(L"Debug logging is enabled");
    if (args_->hasFlag(FLAG_DEBUG_SERVICE)) {
        logger.warn(L"Service functions are mocked");
    }
    if (args_->count() < 1) {
        logger.warn(L"Incorrect usage.");
        return printUsage();
    }
    if (args_->getBool(KEY_WEAVER_DEBUG, false)) {
        printTrace();
        return 0;
    }

    const std::wstring command = args_->arg(0);
    logger.debug(L"Selected command: %s", command);
    const Argz rest(*args_, 1);
    warnAboutOptions(rest);
    for (ConsoleAction* const* action = actions_; *action != nullptr; ++action) {
        if ((*action)->name() == command) {
            return refusesFormat(command, rest) ? 1 : (*action)->execute(rest);
        }
    }
    if (command == L"help") {
        printUsage();
        return 0;
    }
    logger.warn(L"Unknown command: %s", command);
    return printUsage();
}

int ConsoleCommandsRunner::printUsage()
{
    writer_->writeEmptyLine();
    writer_->writeLine(L"Usage:");
    writer_->writeFormatted(L"  %s <command> [/debug] [/logfile=<log file>] ", args_->executableName());
    writer_->writeEmptyLine();
    writer_->writeLine(L"  where <command> could be one of the following: ");
    writer_->writeLine(L"    help");
    writer_->writeLine(L"      shows this usage instructions");
    writer_->writeEmptyLine();
    for (ConsoleAction* const* action = actions_; *action != nullptr; ++action) {
        (*action)->printUsage(*writer_);
    }
    return 1;
}

void ConsoleCommandsRunner::printTrace()
{
    writer_->writeFormatted(L"[T] Commandline debug\n");
    writer_->writeFormatted(L"[T] Executable: %s", args_->executableName());
    writer_->writeFormatted(L"[T] Arguments: %d", args_->count());
    for (int i = 0; i < args_->count(); ++i) {
        writer_->writeFormatted(L"[T] Argument: %s", args_->arg(i));
    }
    writer_->writeFormatted(L"[T] DONE");
}

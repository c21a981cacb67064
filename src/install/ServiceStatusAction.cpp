#include "install/ServiceStatusAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "common/TextConversion.h"
#include "install/QueryServiceStatusCommand.h"
#include "logging/Logger.h"

namespace {
const Logger logger(L"ServiceStatusAction");
}

ServiceStatusAction::ServiceStatusAction() : ServiceControlAction(L"status") {}

void ServiceStatusAction::printUsage(ConsoleWriter& writer)
{
    writeUsage(writer, format(L" [/%s=json]", KEY_FORMAT),
               L"shows the state of the service and its program; exit code 0 when it runs, 3 when it does not");
}

int ServiceStatusAction::ExecuteAction(const Argz& arguments, const ServiceSettings& settings)
{
    std::wstring value;
    QueryServiceStatusCommand::Format format = QueryServiceStatusCommand::Format::Text;
    if (arguments.getValue(KEY_FORMAT, value)) {
        if (lowerCaseAscii(value) != L"json") {
            logger.error(L"/%s=%s is not an output format: write /%s=json, or leave it out for text", KEY_FORMAT,
                         value, KEY_FORMAT);
            return 1;
        }
        format = QueryServiceStatusCommand::Format::Json;
    }
    return QueryServiceStatusCommand(settings, format).execute();
}

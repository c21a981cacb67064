#include "install/ServiceStatusAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "common/Json.h"
#include "common/TextConversion.h"
#include "logging/FailureCapture.h"
#include "logging/Logger.h"
#include "logging/StandardOutput.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"ServiceStatusAction");

using Format = QueryServiceStatusCommand::Format;

// The format /format= names; nothing, after saying why, for an unknown one.
std::optional<Format> outputFormat(const Argz& arguments)
{
    std::wstring value;
    if (!arguments.getValue(KEY_FORMAT, value)) {
        return Format::Text;
    }
    const std::wstring name = lowerCaseAscii(value);
    if (name == L"json") {
        return Format::Json;
    }
    if (name == L"prometheus") {
        return Format::Prometheus;
    }
    logger.error(L"/%s=%s is not an output format: write /%s=json or /%s=prometheus, or leave it out for text",
                 KEY_FORMAT, value, KEY_FORMAT, KEY_FORMAT);
    return std::nullopt;
}

}  // namespace

ServiceStatusAction::ServiceStatusAction() : ServiceControlAction(STATUS_COMMAND) {}

void ServiceStatusAction::printUsage(ConsoleWriter& writer)
{
    writeUsage(writer, format(L" [/%s=json|prometheus]", KEY_FORMAT),
               L"shows the state of the service and its program; exit code 0 when it runs, 3 when it does not");
}

int ServiceStatusAction::execute(const Argz& arguments)
{
    const std::optional<Format> format = outputFormat(arguments);
    if (!format) {
        return 1;
    }
    format_ = *format;
    if (format_ != Format::Json) {
        return ServiceControlAction::execute(arguments);
    }
    const FailureCapture failure;
    const int result = ServiceControlAction::execute(arguments);
    // Shown statuses end with 0 or 3.
    if (result == 1) {
        writeStandardOutputData(statusFailureJson(serviceName_, serviceMissing_, failure.text()) + L"\r\n");
    }
    return result;
}

int ServiceStatusAction::ExecuteAction(const Argz&, const ServiceSettings& settings)
{
    serviceName_ = settings.getServiceName();
    QueryServiceStatusCommand command(settings, format_);
    const int result = command.execute();
    serviceMissing_ = command.openServiceError() == ERROR_SERVICE_DOES_NOT_EXIST;
    return result;
}

std::wstring statusFailureJson(const std::optional<std::wstring>& name, bool serviceMissing,
                               const std::wstring& failure)
{
    const std::wstring nameJson = name && !name->empty() ? jsonString(*name) : std::wstring(L"null");
    if (serviceMissing) {
        return L"{\"name\": " + nameJson + L", \"state\": \"not-installed\"}";
    }
    return L"{\"name\": " + nameJson + L", \"error\": " + jsonString(failure) + L"}";
}

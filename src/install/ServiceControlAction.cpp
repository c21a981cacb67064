#include "install/ServiceControlAction.h"

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "logging/Logger.h"
#include "settings/SimpleSettings.h"

namespace {

const Logger logger(L"ServiceControlAction");

}  // namespace

int ServiceControlAction::execute(const Argz& arguments)
{
    std::wstring serviceName;
    if (arguments.getValue(KEY_SERVICE, serviceName)) {
        if (!requireServiceName(serviceName)) {
            return 1;
        }
        const SimpleServiceSettings settings(serviceName, serviceName, serviceName, std::wstring());
        return ExecuteAction(arguments, settings);
    }
    std::wstring settingsFile;
    if (!arguments.getValue(KEY_SETTINGS, settingsFile)) {
        logger.error(L"Name the service with /%s=<path to settings file> or /%s=<service name>", KEY_SETTINGS,
                     KEY_SERVICE);
        return 1;
    }
    return SimpleConsoleAction::execute(arguments);
}

std::wstring ServiceControlAction::waitOption() { return format(L" [/%s=<seconds>]", KEY_WAIT); }

void ServiceControlAction::writeUsage(ConsoleWriter& writer, const std::wstring& options,
                                      const wchar_t* description) const
{
    writer.writeFormatted(L"    %s /%s=<path to settings file>|/%s=<service name>%s", name(), KEY_SETTINGS,
                          KEY_SERVICE, options);
    writer.writeFormatted(L"      %s", description);
    writer.writeEmptyLine();
}

bool requireServiceName(const std::wstring& name)
{
    if (name.empty()) {
        logger.error(L"The service name in /%s= is empty: write /%s=<service name>", KEY_SERVICE, KEY_SERVICE);
        return false;
    }
    return true;
}

bool parseWaitSeconds(const Argz& arguments, DWORD& seconds)
{
    std::wstring value;
    if (!arguments.getValue(KEY_WAIT, value)) {
        seconds = DEFAULT_WAIT_SECONDS;
        return true;
    }
    if (value.empty() || value.find_first_not_of(L"0123456789") != std::wstring::npos) {
        logger.error(L"/%s=%s is not a whole number of seconds: write /%s=<seconds>, or /%s=0 not to wait", KEY_WAIT,
                     value, KEY_WAIT, KEY_WAIT);
        return false;
    }
    // A wait too long to count is the longest one.
    const unsigned long long parsed = value.size() > 10 ? MAXDWORD : std::stoull(value);
    seconds = parsed > MAXDWORD ? MAXDWORD : static_cast<DWORD>(parsed);
    return true;
}

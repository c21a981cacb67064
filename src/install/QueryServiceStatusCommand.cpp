#include "install/QueryServiceStatusCommand.h"

#include <optional>
#include <string>

#include "commandline/ArgumentKeys.h"
#include "common/Json.h"
#include "install/ServiceRegistration.h"
#include "install/ServiceStateText.h"
#include "install/ServiceStateWait.h"
#include "logging/Logger.h"
#include "logging/StandardOutput.h"
#include "service/MetricsText.h"
#include "service/ProgramSnapshot.h"
#include "service/ProgramState.h"
#include "settings/FileServiceSettings.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"QueryServiceStatusCommand");

// As in the status command of init scripts: 3 means "not running".
const int NOT_RUNNING = 3;

// The log file a settings file names, read without running anything.
class SettingsLogFile : public FileServiceSettings {
public:
    explicit SettingsLogFile(const std::wstring& path) : FileServiceSettings(path) {}

    std::wstring logFile;

protected:
    int onServiceSettings(const ServiceSettings& settings) override
    {
        if (const std::wstring* file = settings.getLogFile()) {
            logFile = *file;
        }
        return 0;
    }
};

// The settings file of the status command, or else the one the service is
// registered with.
std::wstring settingsFileOf(const ServiceSettings& settings, const ServiceRegistration& registration)
{
    const std::wstring given = settings.getSettingsFile();
    return given.empty() ? registeredArgument(registration.binaryPath, KEY_SETTINGS) : given;
}

// The service's log file as the service chooses it: the settings file's,
// else the registered command line's.
std::wstring serviceLogFile(const ServiceSettings& settings, const std::wstring& settingsFile,
                            const ServiceRegistration& registration)
{
    std::wstring logFile;
    if (!settings.getSettingsFile().empty()) {
        if (const std::wstring* file = settings.getLogFile()) {
            logFile = *file;
        }
    } else if (!settingsFile.empty()) {
        SettingsLogFile reader(settingsFile);
        if (reader.execute() == 0) {
            logFile = reader.logFile;
        }
    }
    return logFile.empty() ? registeredArgument(registration.binaryPath, KEY_LOG_FILE) : logFile;
}

std::wstring nullOr(bool present, const std::wstring& json) { return present ? json : L"null"; }

std::wstring statusJson(const std::wstring& name, const SERVICE_STATUS_PROCESS& status,
                        const ServiceRegistration& registration, const std::wstring& settingsFile,
                        const std::optional<ProgramSnapshot>& program)
{
    std::wstring dependencies;
    for (const std::wstring& dependency : registration.dependencies) {
        dependencies += (dependencies.empty() ? L"" : L", ") + jsonString(dependency);
    }
    return format(L"{\"name\": %s, \"displayName\": %s, \"state\": %s, \"processId\": %s, \"win32ExitCode\": %lu, "
                  L"\"serviceSpecificExitCode\": %lu, \"startType\": %s, \"account\": %s, \"binaryPath\": %s, "
                  L"\"settingsFile\": %s, \"dependencies\": [%s], \"program\": %s}",
                  jsonString(name), jsonString(registration.displayName),
                  jsonString(serviceStateName(status.dwCurrentState)),
                  nullOr(status.dwProcessId != 0, std::to_wstring(status.dwProcessId)), status.dwWin32ExitCode,
                  status.dwServiceSpecificExitCode, jsonString(startTypeName(registration)),
                  jsonString(registration.account), jsonString(registration.binaryPath),
                  nullOr(!settingsFile.empty(), jsonString(settingsFile)), dependencies,
                  nullOr(program.has_value(), program ? program->json() : std::wstring()));
}

// The metrics the service's metrics file would show. A state file that says
// the program runs is not believed once the service has stopped.
std::wstring metricsOf(const std::wstring& name, const SERVICE_STATUS_PROCESS& status,
                       const std::optional<ProgramSnapshot>& program)
{
    std::optional<ProgramSnapshot> shown = program;
    if (shown && status.dwCurrentState == SERVICE_STOPPED) {
        shown->processId.reset();
    }
    return prometheusText(name, status.dwCurrentState == SERVICE_RUNNING, shown ? &*shown : nullptr);
}

}  // namespace

QueryServiceStatusCommand::QueryServiceStatusCommand(const ServiceSettings& settings, Format format)
    : ServiceCommand(SERVICE_RIGHTS_QUERY_STATUS, settings), format_(format)
{
}

int QueryServiceStatusCommand::executeWithService(SC_HANDLE, SC_HANDLE service)
{
    const std::wstring name = settings().getServiceName();
    SERVICE_STATUS_PROCESS status = {};
    ServiceRegistration registration;
    if (!queryServiceStatus(service, name, status) || !queryRegistration(service, name, registration)) {
        return 1;
    }
    const std::wstring settingsFile = settingsFileOf(settings(), registration);
    const std::optional<ProgramSnapshot> program =
        ProgramSnapshot::read(ProgramState::fileBeside(serviceLogFile(settings(), settingsFile, registration)));
    if (format_ == Format::Json) {
        writeStandardOutputData(statusJson(name, status, registration, settingsFile, program) + L"\r\n");
    } else if (format_ == Format::Prometheus) {
        writeStandardOutputData(metricsOf(name, status, program));
    } else {
        logger.info(serviceStatusText(name, status));
        if (program) {
            logger.info(program->text());
        }
        if (status.dwCurrentState == SERVICE_STOPPED) {
            const std::wstring meaning = exitCodeMeaning(status.dwWin32ExitCode);
            if (!meaning.empty()) {
                logger.info(meaning);
            }
        }
    }
    return status.dwCurrentState == SERVICE_RUNNING ? 0 : NOT_RUNNING;
}

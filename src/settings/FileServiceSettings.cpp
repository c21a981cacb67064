#include "settings/FileServiceSettings.h"

#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/ParserInput.h"
#include "settings/Paths.h"
#include "settings/RollSettings.h"
#include "settings/SettingsNames.h"
#include "settings/SimpleSettings.h"
#include "settings/XmlText.h"

namespace {

const Logger logger(L"FileServiceSettings");

const wchar_t* const SERVICE_LOGGING = L"<hostwell>/<service-logging>";

int readServiceLogging(const XmlNode& root, const std::wstring& settingsFile, SimpleServiceSettings& settings)
{
    const XmlNode* logging = root.first_node(L"service-logging");
    if (logging == nullptr) {
        return 0;
    }
    logger.debug(L"Processing service-logging settings...");
    if (const auto* level = logging->first_attribute(L"level")) {
        const std::wstring value(level->value(), level->value_size());
        logger.debug(L"LogLevel from Settings: %s", value);
        if (logLevelNamed(value) == 0) {
            logger.warn(L"Unknown log level \"%s\" in <hostwell>/<service-logging>: write debug, info, warn or error",
                        value);
        }
        settings.setLogLevel(value);
    }
    if (const auto* file = logging->first_attribute(L"file")) {
        const std::wstring value(file->value(), file->value_size());
        if (trimWhiteSpace(value).empty()) {
            logger.error(L"Empty file=\"%s\" in %s: write the path of the log file, or leave the attribute out for no "
                         L"log file",
                         value, SERVICE_LOGGING);
            return 1;
        }
        logger.debug(L"Resolving LogFile from Settings: %s", value);
        std::wstring resolved;
        if (resolvePath(settingsFile, value, false, resolved) == 0) {
            logger.debug(L"Resolved LogFile from Settings: %s", resolved);
            settings.setLogFile(resolved);
        }
    }
    RollPolicy policy;
    if (readRollPolicy(*logging, SERVICE_LOGGING, policy) != 0) {
        return 1;
    }
    settings.setLogRollPolicy(policy);
    return 0;
}

int readMetrics(const XmlNode& root, const std::wstring& settingsFile, SimpleServiceSettings& settings)
{
    const XmlNode* metrics = root.first_node(L"metrics");
    if (metrics == nullptr) {
        return 0;
    }
    const auto* file = metrics->first_attribute(L"file");
    const std::wstring value = file == nullptr ? std::wstring() : std::wstring(file->value(), file->value_size());
    if (trimWhiteSpace(value).empty()) {
        logger.error(L"<hostwell>/<metrics> has no file: write the path of the metrics file, such as "
                     L"file=\"C:\\metrics\\%s.prom\"",
                     settings.getServiceName());
        return 1;
    }
    std::wstring resolved;
    if (resolvePath(settingsFile, value, false, resolved) != 0) {
        logger.error(L"Failed to resolve the file \"%s\" of <hostwell>/<metrics>", value);
        return 1;
    }
    logger.debug(L"Metrics go to: %s", resolved);
    settings.setMetricsFile(resolved);
    return 0;
}

int readDependencies(const XmlNode& root, TextPositions& positions, SimpleServiceSettings& settings)
{
    const XmlNode* list = root.first_node(L"dependencies");
    if (list == nullptr) {
        return 0;
    }
    for (const XmlNode* service = list->first_node(L"service"); service != nullptr;
         service = service->next_sibling(L"service")) {
        const std::wstring name = elementText(*service);
        if (name.empty()) {
            logger.error(L"Empty <service> in <hostwell>/<dependencies> at line %d: write the name of a service "
                         L"that must run first",
                         positions.of(service->name()).line);
            return 1;
        }
        logger.debug(L"Depends on service: %s", name);
        settings.addDependency(name);
    }
    return 0;
}

// The execution pass, which follows this one wherever the service is run or
// installed, warns about unknown names; here they are named only when they
// may be why this pass fails.
int refuse(const XmlDocument& document, TextPositions& positions, const std::wstring& message)
{
    warnAboutUnknownNames(document, positions);
    logger.warn(message);
    return 1;
}

}  // namespace

int FileServiceSettings::parseDocument(XmlDocument& document, TextPositions& positions)
{
    const XmlNode* root = document.first_node(L"hostwell");
    if (root == nullptr) {
        return refuse(document, positions, L"Failed to find <hostwell> node in document");
    }
    const XmlNode* name = root->first_node(L"name");
    if (name == nullptr) {
        return refuse(document, positions, L"Failed to find <hostwell>/<name> element in settings");
    }
    const std::wstring serviceName = elementText(*name);
    std::wstring displayName = serviceName;
    if (const XmlNode* display = root->first_node(L"displayName")) {
        displayName = elementText(*display);
    } else {
        logger.debug(L"Failed to find <hostwell>/<displayName> element in settings");
    }
    const XmlNode* description = root->first_node(L"description");
    if (description == nullptr) {
        return refuse(document, positions, L"Failed to find <hostwell>/<description> element in settings");
    }
    const std::wstring descriptionText = elementText(*description);
    logger.debug(L"Parsed service name: %s", serviceName);
    logger.debug(L"Parsed service display name: %s", displayName);
    logger.debug(L"Parsed service description: %s", descriptionText);

    SimpleServiceSettings settings(serviceName, displayName, descriptionText, path());
    if (readServiceLogging(*root, path(), settings) != 0 || readDependencies(*root, positions, settings) != 0 ||
        readMetrics(*root, path(), settings) != 0) {
        return 1;
    }
    return onServiceSettings(settings);
}

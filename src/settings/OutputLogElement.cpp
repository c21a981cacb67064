#include "settings/OutputLogElement.h"

#include "common/WhiteSpace.h"
#include "logging/FileAppender.h"
#include "logging/Logger.h"
#include "settings/FinalPath.h"
#include "settings/Paths.h"
#include "settings/RollSettings.h"
#include "settings/SettingsInterfaces.h"
#include "settings/SimpleSettings.h"

namespace {

const Logger logger(L"FileTaskSettings");
const wchar_t* const ELEMENT = L"<hostwell>/<execution>/<output-log>";

// The files the program's output must not be written into. The service log
// is the settings' one, else the one given on the command line.
std::vector<ServiceFile> filesOfTheService(const ServiceSettings& service)
{
    const std::wstring* settingsLog = service.getLogFile();
    const std::wstring serviceLog = settingsLog != nullptr ? *settingsLog : LoggerHolder::fileAppender().fileName();
    std::vector<ServiceFile> files = {{L"the settings file", service.getSettingsFile()}};
    if (const std::wstring* metrics = service.getMetricsFile()) {
        files.push_back({L"the metrics file", *metrics});
    }
    if (!serviceLog.empty()) {
        files.push_back({L"the service log", serviceLog});
        files.push_back({L"the program's state file", programStateFileBeside(serviceLog)});
    }
    return files;
}

}  // namespace

const ServiceFile* sharedFile(const std::wstring& file, const std::vector<ServiceFile>& files)
{
    for (const ServiceFile& other : files) {
        if (isSameFile(file, other.path)) {
            return &other;
        }
    }
    return nullptr;
}

int readOutputLog(const XmlNode& execution, const ServiceSettings& service, SimpleServiceTaskSettings& settings)
{
    const XmlNode* element = execution.first_node(L"output-log");
    if (element == nullptr) {
        return 0;
    }
    const std::wstring file = attributeText(*element, L"file");
    if (trimWhiteSpace(file).empty()) {
        logger.error(L"%s has no file: write the path of the file for the program's output, such as "
                     L"file=\"logs\\app.log\"",
                     ELEMENT);
        return 1;
    }
    OutputLogSettings outputLog;
    if (resolvePath(service.getSettingsFile(), file, false, outputLog.file) != 0) {
        logger.error(L"Failed to resolve the file \"%s\" of %s", file, ELEMENT);
        return 1;
    }
    const std::vector<ServiceFile> files = filesOfTheService(service);
    if (const ServiceFile* shared = sharedFile(outputLog.file, files)) {
        logger.error(L"%s file=\"%s\" is %s %s: give the program's output a file of its own", ELEMENT, file,
                     shared->what, shared->path);
        return 1;
    }
    if (readRollPolicy(*element, ELEMENT, outputLog.policy) != 0) {
        return 1;
    }
    logger.debug(L"Program output goes to: %s", outputLog.file);
    settings.setOutputLog(outputLog);
    return 0;
}

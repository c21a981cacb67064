#include "settings/OutputLogElement.h"

#include <optional>

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

// A log element of <execution>: its name, its path in messages, and what its
// file is for in them.
struct LogElement {
    const wchar_t* name;
    const wchar_t* path;
    const wchar_t* content;
};

const LogElement OUTPUT_LOG = {L"output-log", L"<hostwell>/<execution>/<output-log>", L"the program's output"};
const LogElement ERROR_LOG = {L"error-log", L"<hostwell>/<execution>/<error-log>", L"the program's standard error"};

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

int readTimestamps(const XmlNode& element, const wchar_t* path, bool& timestamps)
{
    const auto* attribute = element.first_attribute(L"timestamps");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value(attribute->value(), attribute->value_size());
    const std::wstring text = trimWhiteSpace(value);
    if (text != L"true" && text != L"false") {
        logger.error(L"timestamps=\"%s\" in %s: write true or false", value, path);
        return 1;
    }
    timestamps = text == L"true";
    return 0;
}

// Leaves `read` empty when the element is absent. Its file, relative to the
// settings file's folder, must not be one of `files`.
int readLogElement(const XmlNode& execution, const LogElement& log, const std::wstring& settingsFile,
                   const std::vector<ServiceFile>& files, std::optional<OutputLogSettings>& read)
{
    const XmlNode* element = execution.first_node(log.name);
    if (element == nullptr) {
        return 0;
    }
    const std::wstring file = attributeText(*element, L"file");
    if (trimWhiteSpace(file).empty()) {
        logger.error(L"%s has no file: write the path of the file for %s, such as file=\"logs\\app.log\"", log.path,
                     log.content);
        return 1;
    }
    OutputLogSettings settings;
    if (resolvePath(settingsFile, file, false, settings.file) != 0) {
        logger.error(L"Failed to resolve the file \"%s\" of %s", file, log.path);
        return 1;
    }
    if (const ServiceFile* shared = sharedFile(settings.file, files)) {
        logger.error(L"%s file=\"%s\" is %s %s: give %s a file of its own", log.path, file, shared->what,
                     shared->path, log.content);
        return 1;
    }
    if (readRollPolicy(*element, log.path, settings.policy) != 0 ||
        readTimestamps(*element, log.path, settings.timestamps) != 0) {
        return 1;
    }
    read = settings;
    return 0;
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
    std::vector<ServiceFile> files = filesOfTheService(service);
    std::optional<OutputLogSettings> outputLog;
    if (readLogElement(execution, OUTPUT_LOG, service.getSettingsFile(), files, outputLog) != 0) {
        return 1;
    }
    if (outputLog) {
        logger.debug(L"Program output goes to: %s", outputLog->file);
        settings.setOutputLog(*outputLog);
        files.push_back({L"the output log", outputLog->file});
    }
    std::optional<OutputLogSettings> errorLog;
    if (readLogElement(execution, ERROR_LOG, service.getSettingsFile(), files, errorLog) != 0) {
        return 1;
    }
    if (errorLog) {
        logger.debug(L"Program errors go to: %s", errorLog->file);
        settings.setErrorLog(*errorLog);
    }
    return 0;
}

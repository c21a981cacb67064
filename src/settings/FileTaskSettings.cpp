#include "settings/FileTaskSettings.h"

#include <windows.h>

#include <vector>

#include "common/Directories.h"
#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/EnvironmentFileElement.h"
#include "settings/HooksElement.h"
#include "settings/OutputEncoding.h"
#include "settings/OutputLogElement.h"
#include "settings/Paths.h"
#include "settings/RecycleSettings.h"
#include "settings/ResourceSettings.h"
#include "settings/RollSettings.h"
#include "settings/SettingsNames.h"
#include "settings/SimpleSettings.h"
#include "settings/StopTimeout.h"
#include "settings/SupervisionSettings.h"
#include "settings/XmlText.h"

namespace {

const Logger logger(L"FileTaskSettings");

std::wstring withoutLeading(const std::wstring& text, wchar_t character)
{
    const size_t first = text.find_first_not_of(character);
    return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

}  // namespace

int readWorkDir(const XmlNode& execution, const std::wstring& baseDirectory, const std::wstring& defaultDir,
                std::wstring& out)
{
    const XmlNode* element = execution.first_node(L"workdir");
    if (element == nullptr) {
        logger.debug(L"Failed to find <hostwell>/<execution>/<workdir> element in settings");
        out = defaultDir;
        return 0;
    }
    std::wstring text = elementText(*element);
    logger.debug(L"Program work dir from settings:   %s", text);
    if (isNetworkPath(text)) {
        logger.error(L"Program path may not refer to a network share: <workdir> is %s", text);
        return 1;
    }
    // A root-relative path counts as relative to the settings file's directory.
    if (!isLocalExtendedPath(text)) {
        text = withoutLeading(withoutLeading(text, L'\\'), L'/');
    }
    std::wstring combined;
    if (combinePath(baseDirectory, text, combined) != 0) {
        logger.error(L"Failed to resolve workdir path: %s", text);
        return 1;
    }
    std::wstring fullPath;
    if (getFullPath(combined, fullPath) != 0) {
        logger.error(L"Failed to resolve workdir full path: %s", combined);
        return 1;
    }
    logger.debug(L"Resolved workdir path: %s", fullPath);
    if (!isExistingDirectory(fullPath)) {
        createParentDirectories(fullPath);
        CreateDirectoryW(fullPath.c_str(), nullptr);
        if (!isExistingDirectory(fullPath)) {
            logger.error(L"Workdir must exist and be directory: %s", fullPath);
            return 1;
        }
    }
    out = fullPath;
    return 0;
}

namespace {

// The base directory first, then the usual search path for executables.
bool findExecutable(const std::wstring& baseDirectory, const std::wstring& name, std::wstring& found)
{
    std::wstring candidate;
    if (combinePath(baseDirectory, name, candidate) == 0 && isExistingFile(candidate)) {
        found = candidate;
        return true;
    }
    const DWORD capacity = 65535;
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD length = SearchPathW(nullptr, name.c_str(), nullptr, capacity, buffer.data(), nullptr);
    if (length == 0 || length >= capacity) {
        return false;
    }
    candidate.assign(buffer.data(), length);
    if (!isExistingFile(candidate)) {
        return false;
    }
    found = candidate;
    return true;
}

}  // namespace

int readProgram(const XmlNode& execution, const std::wstring& baseDirectory, std::wstring& out)
{
    const XmlNode* element = execution.first_node(L"program");
    if (element == nullptr) {
        logger.error(L"Failed to find <hostwell>/<execution>/<program> element in settings");
        return 1;
    }
    std::wstring program = elementText(*element);
    logger.debug(L"Program to execute from settings: %s", program);
    if (program.empty()) {
        logger.error(L"Program to execute was not specified");
        return 1;
    }
    if (isNetworkPath(program)) {
        logger.error(L"Program path may not refer to a network share: %s", program);
        return 1;
    }
    if (hasDriveLetter(program) || isLocalExtendedPath(program)) {
        const DWORD attributes = GetFileAttributesW(program.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            logger.error(L"File does not exists: %s", program);
            return 1;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            logger.error(L"File is a directory: %s", program);
            return 1;
        }
    } else {
        if (program.size() >= 65534) {
            logger.error(L"Program path is too long: %s", program);
            return 1;
        }
        std::wstring found;
        if (!findExecutable(baseDirectory, program, found)) {
            logger.error(L"Failed to find executable for: %s", program);
            return 1;
        }
        program = found;
    }
    std::wstring fullPath;
    if (getFullPath(program, fullPath) != 0) {
        logger.error(L"Failed to resolve program full path: %s", program);
        return 1;
    }
    logger.debug(L"Resolved path to program: %s", fullPath);
    out = fullPath;
    return 0;
}

std::wstring readArguments(const XmlNode& execution)
{
    std::wstring arguments;
    if (const XmlNode* element = execution.first_node(L"arguments")) {
        arguments = elementText(*element);
    } else {
        logger.debug(L"Failed to find <hostwell>/<execution>/<arguments> element in settings");
    }
    logger.debug(L"Program arguments from settings:  %s", arguments);
    return arguments;
}

namespace {

int readExecution(const XmlNode& execution, const std::wstring& baseDirectory, const std::wstring& defaultWorkDir,
                  SimpleExecutionSettings& settings)
{
    std::wstring workDir;
    if (readWorkDir(execution, baseDirectory, defaultWorkDir, workDir) != 0) {
        return 1;
    }
    settings.setWorkDir(workDir);
    std::wstring program;
    if (readProgram(execution, baseDirectory, program) != 0) {
        return 1;
    }
    settings.setProgram(program);
    settings.setArguments(readArguments(execution));
    return 0;
}

bool parseConsoleEvent(const std::wstring& value, ConsoleEvent& event)
{
    const std::wstring name = trimWhiteSpace(value);
    if (name == L"none") {
        event = ConsoleEvent::None;
    } else if (name == L"ctrl-c") {
        event = ConsoleEvent::CtrlC;
    } else if (name == L"ctrl-break") {
        event = ConsoleEvent::CtrlBreak;
    } else {
        logger.error(L"Unknown console-event \"%s\" in <hostwell>/<execution>/<termination>: write none, ctrl-c or "
                     L"ctrl-break",
                     value);
        return false;
    }
    return true;
}

int readTermination(const XmlNode& execution, const std::wstring& baseDirectory, SimpleServiceTaskSettings& settings)
{
    settings.setStopTimeout(DEFAULT_STOP_TIMEOUT);
    const XmlNode* termination = execution.first_node(L"termination");
    if (termination == nullptr) {
        logger.debug(L"No termination action is specified in <hostwell>/<execution>/<termination>. Will use default "
                     L"termination");
        return 0;
    }
    if (const auto* timeout = termination->first_attribute(L"timeout")) {
        int milliseconds = 0;
        if (!parseStopTimeout(std::wstring(timeout->value(), timeout->value_size()), milliseconds)) {
            return 1;
        }
        settings.setStopTimeout(milliseconds);
    } else {
        logger.debug(L"No termination timeout is specified in <hostwell>/<execution>/<termination> 'timeout' "
                     L"attribute. Will use default termination of 2 minutes");
    }
    if (const auto* event = termination->first_attribute(L"console-event")) {
        ConsoleEvent parsed = ConsoleEvent::None;
        if (!parseConsoleEvent(std::wstring(event->value(), event->value_size()), parsed)) {
            return 1;
        }
        settings.setConsoleEvent(parsed);
    }
    const XmlNode* stopExecution = termination->first_node(L"execution");
    if (stopExecution == nullptr) {
        logger.debug(L"No stop command is specified in <hostwell>/<execution>/<termination>/<execution>");
        return 0;
    }
    // Program first: the stop command's work directory defaults to the program's.
    SimpleExecutionSettings stopCommand;
    std::wstring program;
    if (readProgram(*stopExecution, baseDirectory, program) != 0) {
        return 1;
    }
    std::wstring workDir;
    if (readWorkDir(*stopExecution, baseDirectory, settings.getWorkDir(), workDir) != 0) {
        return 1;
    }
    stopCommand.setProgram(program);
    stopCommand.setWorkDir(workDir);
    stopCommand.setArguments(readArguments(*stopExecution));
    settings.setStopCommand(stopCommand);
    return 0;
}

void readEnvironmentVariables(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* list = execution.first_node(L"copySystemEnvironmentVariables");
    if (list == nullptr) {
        return;
    }
    for (const XmlNode* variable = list->first_node(L"variable"); variable != nullptr;
         variable = variable->next_sibling(L"variable")) {
        const std::wstring name = elementText(*variable);
        if (!name.empty()) {
            logger.debug(L"Copy environemnt variable: %s", name);
            settings.addEnvironmentVariable(name);
        }
    }
}

int readOutputEncoding(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* element = execution.first_node(L"output-encoding");
    if (element == nullptr) {
        return 0;
    }
    OutputEncoding encoding = OutputEncoding::automatic();
    if (!parseOutputEncoding(elementText(*element), encoding)) {
        return 1;
    }
    settings.setOutputEncoding(encoding);
    return 0;
}

int readEnvironment(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* list = execution.first_node(L"environment");
    if (list == nullptr) {
        return 0;
    }
    for (const XmlNode* variable = list->first_node(L"variable"); variable != nullptr;
         variable = variable->next_sibling(L"variable")) {
        const std::wstring name = trimWhiteSpace(attributeText(*variable, L"name"));
        const std::wstring value = attributeText(*variable, L"value");
        if (name.empty()) {
            logger.error(L"A <variable> in <hostwell>/<execution>/<environment> has no name (its value is \"%s\"): "
                         L"write <variable name=\"NAME\" value=\"...\"/>",
                         value);
            return 1;
        }
        if (name.find(L'=') != std::wstring::npos) {
            logger.error(L"Environment variable name \"%s\" in <hostwell>/<execution>/<environment> contains \"=\", "
                         L"which no variable name can",
                         name);
            return 1;
        }
        logger.debug(L"Environment variable from settings: %s=%s", name, value);
        settings.addToEnvironment({name, value});
    }
    return 0;
}

void readStartedMarker(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* container = execution.first_node(L"status-marker");
    const XmlNode* started = container == nullptr ? nullptr : container->first_node(L"started");
    if (started == nullptr) {
        return;
    }
    const std::wstring marker = elementText(*started);
    if (marker.empty()) {
        logger.warn(L"<hostwell>/<execution>/<status-marker>/<started> is empty: no marker is used, the service runs "
                    L"as soon as the program does");
        return;
    }
    logger.debug(L"Service started marker: %s", marker);
    settings.setStartedMarker(marker);
}

}  // namespace

int FileTaskSettings::parseDocument(XmlDocument& document, TextPositions& positions)
{
    logger.info(L"Parsing service settings");
    warnAboutUnknownNames(document, positions);
    const XmlNode* root = document.first_node(L"hostwell");
    if (root == nullptr) {
        logger.error(L"Failed to find <hostwell> root element in settings");
        return 1;
    }
    const XmlNode* execution = root->first_node(L"execution");
    if (execution == nullptr) {
        logger.error(L"Failed to find <hostwell>/<execution> in settings");
        return 1;
    }
    SimpleServiceTaskSettings settings(serviceSettings_);
    const std::wstring settingsFile = serviceSettings_->getSettingsFile();
    logger.debug(L"Relative paths are resolved with base path: %s", settingsFile);
    std::wstring baseDirectory;
    if (resolveBasePath(settingsFile, baseDirectory) != 0) {
        return 1;
    }
    if (readExecution(*execution, baseDirectory, baseDirectory, settings) != 0 ||
        readTermination(*execution, baseDirectory, settings) != 0) {
        return 1;
    }
    readEnvironmentVariables(*execution, settings);
    if (readOutputEncoding(*execution, settings) != 0 || readEnvironment(*execution, settings) != 0) {
        return 1;
    }
    readStartedMarker(*execution, settings);
    if (readRestartPolicy(*execution, settings) != 0 || readReadinessProbes(*execution, settings) != 0 ||
        readStartedTimeout(*execution, settings) != 0 || readHealthCheck(*execution, settings) != 0 ||
        readOutputLog(*execution, *serviceSettings_, settings) != 0 || readProgramResources(*execution, settings) != 0 ||
        readRecyclePolicy(*execution, settings) != 0 || readHooks(*execution, baseDirectory, settings) != 0 ||
        readEnvironmentFile(*execution, *serviceSettings_, settings) != 0) {
        return 1;
    }

    logger.info(L"Program to execute:   %s", settings.getProgram());
    logger.info(L"Program arguments:    %s", settings.getArguments());
    logger.info(L"Program work dir:     %s", settings.getWorkDir());
    logger.info(L"Program stop timeout: %ld", static_cast<long>(settings.getStopTimeout()));
    return onTaskSettings(settings);
}

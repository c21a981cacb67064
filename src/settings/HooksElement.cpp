#include "settings/HooksElement.h"

#include <optional>

#include "logging/Logger.h"
#include "settings/Duration.h"
#include "settings/FileTaskSettings.h"
#include "settings/SimpleSettings.h"

namespace {

const Logger logger(L"FileTaskSettings");
const Hook HOOKS[] = {Hook::PreStart, Hook::PostStart, Hook::PostStop};
const std::chrono::minutes DEFAULT_TIMEOUT(1);

int readTimeout(const XmlNode& element, const std::wstring& path, Duration& timeout)
{
    timeout = {DEFAULT_TIMEOUT, formatDuration(DEFAULT_TIMEOUT)};
    const auto* attribute = element.first_attribute(L"timeout");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value(attribute->value(), attribute->value_size());
    std::wstring wrong = parseDuration(value, timeout);
    if (wrong.empty() && timeout.length.count() == 0) {
        wrong = L"is zero";
    }
    if (!wrong.empty()) {
        logger.error(L"Duration timeout=\"%s\" in %s %s: write how long the command may run, a whole number and a "
                     L"unit (ms, s, m or h), such as 2m",
                     value, path, wrong);
        return 1;
    }
    return 0;
}

int readHook(const XmlNode& element, const std::wstring& path, const std::wstring& baseDirectory,
             const std::wstring& defaultWorkDir, std::optional<SimpleHookSettings>& read)
{
    SimpleExecutionSettings command;
    std::wstring program;
    std::wstring workDir;
    Duration timeout;
    if (readProgram(element, baseDirectory, program) != 0 ||
        readWorkDir(element, baseDirectory, defaultWorkDir, workDir) != 0 ||
        readTimeout(element, path, timeout) != 0) {
        logger.error(L"Failed to read the command of %s", path);
        return 1;
    }
    command.setProgram(program);
    command.setWorkDir(workDir);
    command.setArguments(readArguments(element));
    read.emplace(command, timeout);
    return 0;
}

}  // namespace

const wchar_t* hookName(Hook hook)
{
    switch (hook) {
    case Hook::PreStart: return L"pre-start";
    case Hook::PostStart: return L"post-start";
    case Hook::PostStop: break;
    }
    return L"post-stop";
}

int readHooks(const XmlNode& execution, const std::wstring& baseDirectory, SimpleServiceTaskSettings& settings)
{
    const XmlNode* hooks = execution.first_node(L"hooks");
    if (hooks == nullptr) {
        return 0;
    }
    for (const Hook hook : HOOKS) {
        const XmlNode* element = hooks->first_node(hookName(hook));
        if (element == nullptr) {
            continue;
        }
        const std::wstring path = L"<hostwell>/<execution>/<hooks>/<" + std::wstring(hookName(hook)) + L">";
        std::optional<SimpleHookSettings> command;
        if (readHook(*element, path, baseDirectory, settings.getWorkDir(), command) != 0) {
            return 1;
        }
        logger.debug(L"The %s command: %s %s (in %s, timeout %s)", hookName(hook), command->getProgram(),
                     command->getArguments(), command->getWorkDir(), command->getTimeout().text);
        settings.setHook(hook, *command);
    }
    return 0;
}

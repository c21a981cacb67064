#include "commandline/JavaServiceWrapperWeaver.h"

#include <wchar.h>

#include <algorithm>
#include <string_view>

#include "commandline/ArgumentKeys.h"
#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"JavaServiceWrapperWeaver");

constexpr std::wstring_view START_MARKER = L"###!!!";
constexpr std::wstring_view END_MARKER = L"!!!###";
constexpr std::wstring_view SETTINGS_MARKER_KEY = L"Hostwell:";
constexpr const wchar_t* WRAPPER_CONFIG_SWITCH = L"-s";
constexpr const wchar_t* SERVICE_COMMAND = L"hostwell";
constexpr const wchar_t* WEAVER_TAG = L"Weaver:JavaServiceWrapper";

std::wstring withBackslashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The path of a "Hostwell:" marker whose text lies in [textStart, textEnd);
// false for any other marker. An end marker may overlap its start marker
// ("###!!!###"): then there is no text.
bool markedSettingsPath(const std::wstring& content, size_t textStart, size_t textEnd, std::wstring& out)
{
    if (textEnd <= textStart) {
        return false;
    }
    const std::wstring text = trimWhiteSpace(content.substr(textStart, textEnd - textStart));
    if (text.compare(0, SETTINGS_MARKER_KEY.size(), SETTINGS_MARKER_KEY) != 0) {
        return false;
    }
    out = withBackslashes(trimWhiteSpace(text.substr(SETTINGS_MARKER_KEY.size())));
    return true;
}

}  // namespace

Argz JavaServiceWrapperWeaver::weave(const Argz& arguments)
{
    std::wstring configPath;
    if (findWrapperConfigArgument(arguments, configPath) != 0) {
        return arguments;
    }
    logger.warn(L"Running under the enulation of JavaServiceWrapper");
    std::wstring configFullPath;
    if (resolveWrapperConfig(configPath, configFullPath) != 0) {
        return arguments;
    }
    std::wstring settingsPath;
    if (findSettingsInWrapperConfig(configFullPath, settingsPath) != 0) {
        logger.error(L"Fialed to find Hostwell config file in JavaServiceWrapper config: %s", configFullPath);
        return arguments;
    }
    logger.info(L"Using Hostwell configuration file: %s", settingsPath);
    // The incoming arguments, the "-s" pair included, follow unchanged.
    const Argz tagged(WEAVER_TAG, arguments);
    const Argz withSettings(makeArgument(KEY_SETTINGS, settingsPath), tagged);
    return Argz(SERVICE_COMMAND, withSettings);
}

bool wovenWrapperConfig(const Argz& arguments, std::wstring& configFullPath)
{
    int tag = 0;
    while (tag < arguments.count() && arguments.arg(tag) != WEAVER_TAG) {
        ++tag;
    }
    for (int i = tag + 1; i + 1 < arguments.count(); ++i) {
        if (_wcsicmp(arguments.arg(i).c_str(), WRAPPER_CONFIG_SWITCH) == 0) {
            return resolveWrapperConfig(withBackslashes(arguments.arg(i + 1)), configFullPath) == 0;
        }
    }
    return false;
}

int findWrapperConfigArgument(const Argz& arguments, std::wstring& out)
{
    std::wstring settings;
    if (arguments.getValue(KEY_SETTINGS, settings)) {
        return 1;
    }
    for (int i = 0; i + 1 < arguments.count(); ++i) {
        if (_wcsicmp(arguments.arg(i).c_str(), WRAPPER_CONFIG_SWITCH) == 0) {
            out = withBackslashes(arguments.arg(i + 1));
            return 0;
        }
    }
    return 1;
}

int resolveWrapperConfig(const std::wstring& configPath, std::wstring& out)
{
    logger.debug(L"Resolving JavaServiceWrapper configuration file from %s", configPath);
    std::wstring modulePath;
    if (getModulePath(modulePath) != 0) {
        return 1;
    }
    if (resolvePath(modulePath, configPath, true, out) != 0) {
        logger.error(L"Failed to resolve Java Service Wrapper settings path: %s", configPath);
        return 1;
    }
    return 0;
}

int findSettingsInWrapperConfig(const std::wstring& configFullPath, std::wstring& out)
{
    logger.info(L"Using JavaServiceWrapper configuration file from %s", configFullPath);
    std::wstring content;
    if (readTextFile(configFullPath, content) != 0) {
        logger.error(L"Failed to open Java Service Wrapper config file: %s", configFullPath);
        return 1;
    }
    logger.debug(L"JavaServiceWrapper config file content: \n%s", content);

    // Every search goes on from the last end marker, so the file is scanned
    // once however many markers it holds.
    size_t position = 0;
    for (;;) {
        const size_t start = content.find(START_MARKER, position);
        const size_t end = start == std::wstring::npos ? std::wstring::npos : content.find(END_MARKER, start + 1);
        if (end == std::wstring::npos) {
            logger.error(L"Failed to find Hostwell config reference in the Java Service Wrapper config file: %s",
                         configFullPath);
            return 1;
        }
        position = end;
        std::wstring settingsPath;
        if (!markedSettingsPath(content, start + START_MARKER.size(), end, settingsPath)) {
            continue;
        }
        if (resolveMarkedSettings(settingsPath, configFullPath, out) == 0) {
            return 0;
        }
        logger.debug(L"Fialed to find Hostwell config file: %s", settingsPath);
    }
}

int resolveMarkedSettings(const std::wstring& settingsPath, const std::wstring& configFullPath, std::wstring& out)
{
    logger.debug(L"Resolving Hostwell configuration file: %s", settingsPath);
    logger.debug(L"Resolve base: %s", configFullPath);
    if (resolvePath(configFullPath, settingsPath, true, out) != 0) {
        logger.error(L"Failed to resolve Hostwell file from: %s", settingsPath);
        return 1;
    }
    return 0;
}

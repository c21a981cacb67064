#include "commandline/OptionWarnings.h"

#include <string>
#include <vector>

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "common/NearestName.h"
#include "common/TextConversion.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"OptionWarnings");

std::wstring bareName(const KnownOption& option)
{
    return option.kind == OptionKind::Flag ? std::wstring(option.name + 1) : std::wstring(option.name);
}

// How the option is written: "/runAsSystem", "/settings=".
std::wstring written(const KnownOption& option)
{
    return L"/" + bareName(option) + (option.kind == OptionKind::Flag ? L"" : L"=");
}

const KnownOption* knownOption(const std::wstring& name)
{
    for (const KnownOption& option : KNOWN_OPTIONS) {
        if (lowerCaseAscii(bareName(option)) == lowerCaseAscii(name)) {
            return &option;
        }
    }
    return nullptr;
}

// Values are left out: a mistyped /password= must not show the password.
void warnAboutUnknown(const std::wstring& name, bool hasValue)
{
    std::vector<std::wstring> names;
    for (const KnownOption& option : KNOWN_OPTIONS) {
        names.push_back(bareName(option));
    }
    const std::wstring meant = nearestName(name, names);
    logger.warn(L"Unknown option /%s%s%s", name, hasValue ? L"=" : L"",
                meant.empty() ? std::wstring() : format(L" (did you mean %s?)", written(*knownOption(meant))));
}

void warnAbout(const std::wstring& argument)
{
    const size_t equals = argument.find(L'=');
    const bool hasValue = equals != std::wstring::npos;
    const std::wstring name = argument.substr(1, hasValue ? equals - 1 : std::wstring::npos);
    const KnownOption* option = knownOption(name);
    if (option == nullptr) {
        warnAboutUnknown(name, hasValue);
    } else if (option->kind == OptionKind::Flag && hasValue) {
        logger.warn(L"%s takes no value: write %s", argument, written(*option));
    } else if (option->kind != OptionKind::Flag && !hasValue) {
        logger.warn(L"%s needs a value: write %s%s", argument, written(*option), option->valueForm);
    } else if (option->kind == OptionKind::Boolean || option->kind == OptionKind::StartType) {
        const std::wstring value = lowerCaseAscii(argument.substr(equals + 1));
        const bool startType = option->kind == OptionKind::StartType;
        if (value != L"true" && value != L"false" && !(startType && value == L"delayed")) {
            logger.warn(L"%s counts as false; write %s", argument, startType ? L"true, false or delayed" : L"true or false");
        }
    }
}

}  // namespace

void warnAboutOptions(const Argz& arguments)
{
    for (int i = 0; i < arguments.count(); ++i) {
        const std::wstring argument = arguments.arg(i);
        if (!argument.empty() && argument[0] == L'/') {
            warnAbout(argument);
        }
    }
}

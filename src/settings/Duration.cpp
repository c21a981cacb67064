#include "settings/Duration.h"

#include "common/Format.h"
#include "common/WhiteSpace.h"

namespace {

struct Unit {
    const wchar_t* name;
    std::chrono::milliseconds length;
};

// Largest first, as formatDuration tries them.
const Unit UNITS[] = {
    {L"h", std::chrono::hours(1)},
    {L"m", std::chrono::minutes(1)},
    {L"s", std::chrono::seconds(1)},
    {L"ms", std::chrono::milliseconds(1)},
};

const Unit* unitNamed(const std::wstring& name)
{
    for (const Unit& unit : UNITS) {
        if (name == unit.name) {
            return &unit;
        }
    }
    return nullptr;
}

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::wstring parseDuration(const std::wstring& written, Duration& duration)
{
    const std::wstring text = trimWhiteSpace(written);
    if (text.empty()) {
        return L"is empty";
    }
    if (text[0] == L'-') {
        return L"is negative";
    }
    size_t digits = 0;
    while (digits < text.size() && isDigit(text[digits])) {
        ++digits;
    }
    if (digits == 0) {
        return L"is not a number";
    }
    const std::wstring unitName = text.substr(digits);
    if (unitName.empty()) {
        return L"has no unit";
    }
    if (unitName[0] == L'.' || unitName[0] == L',') {
        return L"is not a whole number";
    }
    const Unit* unit = unitNamed(unitName);
    if (unit == nullptr) {
        return format(L"has the unknown unit \"%s\"", unitName);
    }
    const auto longest = std::chrono::milliseconds(LONGEST_DURATION).count() / unit->length.count();
    // Counted digit by digit so that no number of digits can overflow.
    long long count = 0;
    for (size_t i = 0; i < digits; ++i) {
        count = count * 10 + (text[i] - L'0');
        if (count > longest) {
            return format(L"is longer than %s", formatDuration(LONGEST_DURATION));
        }
    }
    duration.length = unit->length * count;
    duration.text = text;
    return std::wstring();
}

std::wstring formatDuration(std::chrono::milliseconds length)
{
    for (const Unit& unit : UNITS) {
        if (length.count() != 0 && length.count() % unit.length.count() == 0) {
            return std::to_wstring(length.count() / unit.length.count()) + unit.name;
        }
    }
    return L"0ms";
}

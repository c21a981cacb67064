#include "settings/ByteSize.h"

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/WhiteSpace.h"

namespace {

const long long KB = 1024;

struct SizeUnit {
    const wchar_t* name;
    long long bytes;
};

// Largest first, as formatByteSize tries them.
const SizeUnit SIZE_UNITS[] = {{L"GB", KB * KB * KB}, {L"MB", KB * KB}, {L"KB", KB}};

}  // namespace

std::wstring parseByteSize(const std::wstring& written, long long smallest, long long largest, long long& bytes)
{
    const std::wstring text = trimWhiteSpace(written);
    if (text.empty()) {
        return L"is empty";
    }
    const size_t digits = text.find_first_not_of(L"0123456789");
    if (digits == 0) {
        return text[0] == L'-' ? L"is negative" : L"is not a number";
    }
    if (digits == std::wstring::npos) {
        return L"has no unit";
    }
    const std::wstring unitName = text.substr(digits);
    if (unitName[0] == L'.' || unitName[0] == L',') {
        return L"is not a whole number";
    }
    const SizeUnit* unit = nullptr;
    for (const SizeUnit& candidate : SIZE_UNITS) {
        if (lowerCaseAscii(unitName) == lowerCaseAscii(candidate.name)) {
            unit = &candidate;
        }
    }
    if (unit == nullptr) {
        return format(L"has the unknown unit \"%s\"", unitName);
    }
    // Counted digit by digit so that no number of digits can overflow.
    long long count = 0;
    for (size_t i = 0; i < digits; ++i) {
        count = count * 10 + (text[i] - L'0');
        if (count * unit->bytes > largest) {
            return L"is larger than " + formatByteSize(largest);
        }
    }
    if (count * unit->bytes < smallest) {
        return L"is smaller than " + formatByteSize(smallest);
    }
    bytes = count * unit->bytes;
    return std::wstring();
}

std::wstring formatByteSize(long long bytes)
{
    for (const SizeUnit& unit : SIZE_UNITS) {
        if (bytes % unit.bytes == 0) {
            return std::to_wstring(bytes / unit.bytes) + unit.name;
        }
    }
    return std::to_wstring(bytes) + L"B";
}

std::wstring readByteSize(const XmlNode& element, const wchar_t* name, const wchar_t* path, long long smallest,
                          long long largest, const wchar_t* example, long long& bytes)
{
    const auto* attribute = element.first_attribute(name);
    if (attribute == nullptr) {
        return std::wstring();
    }
    const std::wstring value(attribute->value(), attribute->value_size());
    const std::wstring wrong = parseByteSize(value, smallest, largest, bytes);
    if (wrong.empty()) {
        return std::wstring();
    }
    return format(L"Size %s=\"%s\" in %s %s: write a whole number and KB, MB or GB, from %s to %s, such as %s", name,
                  value, path, wrong, formatByteSize(smallest), formatByteSize(largest), example);
}

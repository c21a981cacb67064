#include "settings/RollSettings.h"

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/WhiteSpace.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"RollSettings");

const long long KB = 1024;
const long long SMALLEST_SIZE = 64 * KB;
const long long LARGEST_SIZE = 4 * KB * KB * KB;
const int MOST_BACKUPS = 1000;

struct SizeUnit {
    const wchar_t* name;
    long long bytes;
};

// Largest first, as formatRollPolicy tries them.
const SizeUnit SIZE_UNITS[] = {{L"GB", KB * KB * KB}, {L"MB", KB * KB}, {L"KB", KB}};

std::wstring valueOf(const rapidxml::xml_attribute<wchar_t>& attribute)
{
    return std::wstring(attribute.value(), attribute.value_size());
}

std::wstring formatSize(long long bytes)
{
    for (const SizeUnit& unit : SIZE_UNITS) {
        if (bytes % unit.bytes == 0) {
            return std::to_wstring(bytes / unit.bytes) + unit.name;
        }
    }
    return std::to_wstring(bytes) + L"B";
}

int readMaxSize(const XmlNode& element, const wchar_t* path, RollPolicy& policy)
{
    const auto* attribute = element.first_attribute(L"max-size");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring wrong = parseLogSize(value, policy.maxSize);
    if (!wrong.empty()) {
        logger.error(L"Size max-size=\"%s\" in %s %s: write a whole number and KB, MB or GB, from 64KB to 4GB, such as "
                     L"10MB",
                     value, path, wrong);
        return 1;
    }
    return 0;
}

int readKeep(const XmlNode& element, const wchar_t* path, RollPolicy& policy)
{
    const auto* attribute = element.first_attribute(L"keep");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring text = trimWhiteSpace(value);
    const bool number =
        !text.empty() && text.size() <= 4 && text.find_first_not_of(L"0123456789") == std::wstring::npos;
    const int keep = number ? std::stoi(text) : 0;
    if (keep < 1 || keep > MOST_BACKUPS) {
        logger.error(L"keep=\"%s\" in %s is not a whole number from 1 to 1000: write how many backups are kept, "
                     L"such as 10",
                     value, path);
        return 1;
    }
    policy.keep = keep;
    return 0;
}

int readRoll(const XmlNode& element, const wchar_t* path, RollPolicy& policy)
{
    const auto* attribute = element.first_attribute(L"roll");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring name = trimWhiteSpace(value);
    if (name == L"size") {
        policy.roll = RollPolicy::Roll::Size;
    } else if (name == L"daily") {
        policy.roll = RollPolicy::Roll::Daily;
    } else {
        logger.error(L"Unknown roll=\"%s\" in %s: write size or daily", value, path);
        return 1;
    }
    return 0;
}

int readCompress(const XmlNode& element, const wchar_t* path, RollPolicy& policy)
{
    const auto* attribute = element.first_attribute(L"compress");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring name = trimWhiteSpace(value);
    if (name == L"gzip") {
        policy.compress = true;
    } else if (name == L"none") {
        policy.compress = false;
    } else {
        logger.error(L"Unknown compress=\"%s\" in %s: write gzip or none", value, path);
        return 1;
    }
    return 0;
}

}  // namespace

std::wstring parseLogSize(const std::wstring& written, long long& bytes)
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
        if (count * unit->bytes > LARGEST_SIZE) {
            return L"is larger than 4GB";
        }
    }
    if (count * unit->bytes < SMALLEST_SIZE) {
        return L"is smaller than 64KB";
    }
    bytes = count * unit->bytes;
    return std::wstring();
}

int readRollPolicy(const XmlNode& element, const wchar_t* path, RollPolicy& policy)
{
    return readMaxSize(element, path, policy) != 0 || readKeep(element, path, policy) != 0 ||
                   readRoll(element, path, policy) != 0 || readCompress(element, path, policy) != 0
               ? 1
               : 0;
}

std::wstring formatRollPolicy(const RollPolicy& policy)
{
    return format(L"max-size=%s keep=%d roll=%s compress=%s", formatSize(policy.maxSize), policy.keep,
                  policy.roll == RollPolicy::Roll::Daily ? L"daily" : L"size", policy.compress ? L"gzip" : L"none");
}

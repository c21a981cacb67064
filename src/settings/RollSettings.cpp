#include "settings/RollSettings.h"

#include "common/Format.h"
#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/ByteSize.h"

namespace {

const Logger logger(L"RollSettings");

const long long KB = 1024;
const long long SMALLEST_SIZE = 64 * KB;
const long long LARGEST_SIZE = 4 * KB * KB * KB;
const int MOST_BACKUPS = 1000;

std::wstring valueOf(const rapidxml::xml_attribute<wchar_t>& attribute)
{
    return std::wstring(attribute.value(), attribute.value_size());
}

int readMaxSize(const XmlNode& element, const wchar_t* path, RollPolicy& policy)
{
    const std::wstring mistake =
        readByteSize(element, L"max-size", path, SMALLEST_SIZE, LARGEST_SIZE, L"10MB", policy.maxSize);
    if (!mistake.empty()) {
        logger.error(L"%s", mistake);
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

int readRollPolicy(const XmlNode& element, const wchar_t* path, RollPolicy& policy)
{
    return readMaxSize(element, path, policy) != 0 || readKeep(element, path, policy) != 0 ||
                   readRoll(element, path, policy) != 0 || readCompress(element, path, policy) != 0
               ? 1
               : 0;
}

std::wstring formatRollPolicy(const RollPolicy& policy)
{
    return format(L"max-size=%s keep=%d roll=%s compress=%s", formatByteSize(policy.maxSize), policy.keep,
                  policy.roll == RollPolicy::Roll::Daily ? L"daily" : L"size", policy.compress ? L"gzip" : L"none");
}

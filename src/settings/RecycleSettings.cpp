#include "settings/RecycleSettings.h"

#include <algorithm>
#include <optional>

#include "common/Format.h"
#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/ByteSize.h"
#include "settings/SimpleSettings.h"
#include "settings/SupervisionSettings.h"

namespace {

const Logger logger(L"FileTaskSettings");
const wchar_t* const RECYCLE = L"<hostwell>/<execution>/<recycle>";
const long long MB = 1024 * 1024;
const long long SMALLEST_MEMORY = MB;
const long long LARGEST_MEMORY = 1024 * 1024 * MB;
const std::chrono::seconds SHORTEST_RUN(1);

std::wstring valueOf(const rapidxml::xml_attribute<wchar_t>& attribute)
{
    return std::wstring(attribute.value(), attribute.value_size());
}

int readMemory(const XmlNode& recycle, RecyclePolicy& policy)
{
    const std::wstring mistake =
        readByteSize(recycle, L"memory", RECYCLE, SMALLEST_MEMORY, LARGEST_MEMORY, L"1500MB", policy.memory);
    if (!mistake.empty()) {
        logger.error(L"%s", mistake);
        return 1;
    }
    return 0;
}

int readEvery(const XmlNode& recycle, RecyclePolicy& policy)
{
    std::optional<Duration> every;
    if (readDuration(recycle, RECYCLE, L"every", every) != 0) {
        return 1;
    }
    if (!every) {
        return 0;
    }
    if (every->length < SHORTEST_RUN) {
        logger.error(L"Duration every=\"%s\" in %s is shorter than 1s: write how long the program runs before it is "
                     L"restarted, such as 24h",
                     every->text, RECYCLE);
        return 1;
    }
    policy.every = every->length;
    return 0;
}

// "3:00" or "03:00" into minutes after midnight; nothing when it is no time of day.
std::optional<int> parseTimeOfDay(const std::wstring& text)
{
    const size_t colon = text.find(L':');
    if (colon == std::wstring::npos || colon < 1 || colon > 2 || text.size() != colon + 3 ||
        text.find_first_not_of(L"0123456789", 0) != colon ||
        text.find_first_not_of(L"0123456789", colon + 1) != std::wstring::npos) {
        return std::nullopt;
    }
    const int hours = std::stoi(text.substr(0, colon));
    const int minutes = std::stoi(text.substr(colon + 1));
    if (hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    return hours * 60 + minutes;
}

int readAt(const XmlNode& recycle, RecyclePolicy& policy)
{
    const auto* attribute = recycle.first_attribute(L"at");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const wchar_t* const form = L"write times of day from 00:00 to 23:59, separated by blanks, such as 03:00 15:00";
    std::vector<int> times;
    for (const std::wstring& word : splitWords(value)) {
        const std::optional<int> time = parseTimeOfDay(word);
        if (!time) {
            logger.error(L"Time \"%s\" in at=\"%s\" of %s is not a time of day: %s", word, value, RECYCLE, form);
            return 1;
        }
        times.push_back(*time);
    }
    if (times.empty()) {
        logger.error(L"at=\"%s\" in %s has no time: %s", value, RECYCLE, form);
        return 1;
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    policy.at = times;
    return 0;
}

}  // namespace

int readRecyclePolicy(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* recycle = execution.first_node(L"recycle");
    if (recycle == nullptr) {
        return 0;
    }
    RecyclePolicy policy;
    if (readMemory(*recycle, policy) != 0 || readEvery(*recycle, policy) != 0 || readAt(*recycle, policy) != 0) {
        return 1;
    }
    settings.setRecyclePolicy(policy);
    return 0;
}

std::wstring formatRecyclePolicy(const RecyclePolicy& policy)
{
    std::wstring text;
    const auto add = [&text](const std::wstring& attribute) { text += (text.empty() ? L"" : L" ") + attribute; };
    if (policy.memory != 0) {
        add(L"memory=" + formatByteSize(policy.memory));
    }
    if (policy.every.count() != 0) {
        add(L"every=" + formatDuration(policy.every));
    }
    if (!policy.at.empty()) {
        std::wstring times;
        for (const int time : policy.at) {
            times += (times.empty() ? L"" : L" ") + formatTimeOfDay(time);
        }
        add(L"at=" + times);
    }
    return text;
}

std::wstring formatTimeOfDay(int minutes)
{
    return format(L"%02d:%02d", minutes / 60, minutes % 60);
}

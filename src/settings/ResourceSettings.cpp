#include "settings/ResourceSettings.h"

#include "common/Format.h"
#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/ByteSize.h"
#include "settings/SimpleSettings.h"

namespace {

const Logger logger(L"FileTaskSettings");
const wchar_t* const PRIORITY = L"<hostwell>/<execution>/<priority>";
const wchar_t* const AFFINITY = L"<hostwell>/<execution>/<affinity>";
const wchar_t* const LIMITS = L"<hostwell>/<execution>/<limits>";
const wchar_t* const PRIORITY_NAMES = L"idle, below-normal, normal, above-normal or high";
const long long MB = 1024 * 1024;
const long long SMALLEST_MEMORY = MB;
const long long LARGEST_MEMORY = 1024 * 1024 * MB;
const unsigned MOST_PROCESSES = 100000;
// Processor group 0 holds at most 64 processors.
const unsigned PROCESSORS_IN_GROUP = 64;

struct Priority {
    const wchar_t* name;
    DWORD priorityClass;
};

const Priority PRIORITIES[] = {
    {L"idle", IDLE_PRIORITY_CLASS},
    {L"below-normal", BELOW_NORMAL_PRIORITY_CLASS},
    {L"normal", NORMAL_PRIORITY_CLASS},
    {L"above-normal", ABOVE_NORMAL_PRIORITY_CLASS},
    {L"high", HIGH_PRIORITY_CLASS},
};

std::wstring valueOf(const rapidxml::xml_attribute<wchar_t>& attribute)
{
    return std::wstring(attribute.value(), attribute.value_size());
}

bool isDigits(const std::wstring& text, size_t most)
{
    return !text.empty() && text.size() <= most && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

int readPriority(const XmlNode& execution, ProgramResources& resources)
{
    const XmlNode* element = execution.first_node(L"priority");
    if (element == nullptr) {
        return 0;
    }
    const std::wstring name = elementText(*element);
    for (const Priority& priority : PRIORITIES) {
        if (name == priority.name) {
            resources.priorityClass = priority.priorityClass;
            return 0;
        }
    }
    if (name == L"realtime") {
        logger.error(L"%s realtime is refused: a runaway program at realtime priority can starve the whole system, "
                     L"the service control manager included; write %s",
                     PRIORITY, PRIORITY_NAMES);
    } else {
        logger.error(L"Unknown priority \"%s\" in %s: write %s", name, PRIORITY, PRIORITY_NAMES);
    }
    return 1;
}

int readAffinity(const XmlNode& execution, ProgramResources& resources)
{
    const XmlNode* element = execution.first_node(L"affinity");
    if (element == nullptr) {
        return 0;
    }
    const std::wstring written = elementText(*element);
    const std::wstring wrong = parseProcessors(written, resources.processors);
    if (!wrong.empty()) {
        logger.error(L"Affinity \"%s\" in %s %s: write processor numbers from 0 to 63 and ranges of them, separated "
                     L"by commas, such as 0,2-3",
                     written, AFFINITY, wrong);
        return 1;
    }
    return 0;
}

int readMemoryLimit(const XmlNode& limits, ProgramResources& resources)
{
    const std::wstring mistake =
        readByteSize(limits, L"memory", LIMITS, SMALLEST_MEMORY, LARGEST_MEMORY, L"2GB", resources.memoryLimit);
    if (!mistake.empty()) {
        logger.error(L"%s", mistake);
        return 1;
    }
    return 0;
}

int readCpuRate(const XmlNode& limits, ProgramResources& resources)
{
    const auto* attribute = limits.first_attribute(L"cpu");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring text = trimWhiteSpace(value);
    const std::wstring number = !text.empty() && text.back() == L'%' ? text.substr(0, text.size() - 1) : L"";
    const unsigned percent = isDigits(number, 3) ? static_cast<unsigned>(std::stoul(number)) : 0;
    if (percent < 1 || percent > 100) {
        logger.error(L"cpu=\"%s\" in %s is not a percentage from 1%% to 100%%: write the share of the time of all "
                     L"processors the program may use, such as 50%%",
                     value, LIMITS);
        return 1;
    }
    resources.cpuRate = percent;
    return 0;
}

int readProcessLimit(const XmlNode& limits, ProgramResources& resources)
{
    const auto* attribute = limits.first_attribute(L"processes");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring text = trimWhiteSpace(value);
    const unsigned long count = isDigits(text, 6) ? std::stoul(text) : 0;
    if (count < 1 || count > MOST_PROCESSES) {
        logger.error(L"processes=\"%s\" in %s is not a whole number from 1 to %d: write how many processes the "
                     L"program and those it starts may run at once, such as 20",
                     value, LIMITS, static_cast<int>(MOST_PROCESSES));
        return 1;
    }
    resources.processLimit = static_cast<unsigned>(count);
    return 0;
}

int readLimits(const XmlNode& execution, ProgramResources& resources)
{
    const XmlNode* limits = execution.first_node(L"limits");
    if (limits == nullptr) {
        return 0;
    }
    return readMemoryLimit(*limits, resources) != 0 || readCpuRate(*limits, resources) != 0 ||
                   readProcessLimit(*limits, resources) != 0
               ? 1
               : 0;
}

// One number of a list of processors; false when it is none.
bool parseProcessor(const std::wstring& written, unsigned& processor, std::wstring& wrong)
{
    const std::wstring text = trimWhiteSpace(written);
    if (!isDigits(text, 3)) {
        wrong = format(L"has \"%s\", which is not a processor number", text);
        return false;
    }
    processor = static_cast<unsigned>(std::stoul(text));
    if (processor >= PROCESSORS_IN_GROUP) {
        wrong = format(L"names processor %d, beyond 63, the last of processor group 0", static_cast<int>(processor));
        return false;
    }
    return true;
}

}  // namespace

int readProgramResources(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    ProgramResources resources;
    if (readPriority(execution, resources) != 0 || readAffinity(execution, resources) != 0 ||
        readLimits(execution, resources) != 0) {
        return 1;
    }
    settings.setResources(resources);
    return 0;
}

std::wstring parseProcessors(const std::wstring& written, ULONGLONG& processors)
{
    if (trimWhiteSpace(written).empty()) {
        return L"is empty";
    }
    ULONGLONG mask = 0;
    for (size_t begin = 0; begin <= written.size();) {
        const size_t comma = written.find(L',', begin);
        const size_t end = comma == std::wstring::npos ? written.size() : comma;
        const std::wstring item = written.substr(begin, end - begin);
        const size_t dash = item.find(L'-');
        unsigned first = 0;
        unsigned last = 0;
        std::wstring wrong;
        if (!parseProcessor(item.substr(0, dash), first, wrong) ||
            (dash != std::wstring::npos && !parseProcessor(item.substr(dash + 1), last, wrong))) {
            return wrong;
        }
        if (dash == std::wstring::npos) {
            last = first;
        } else if (last < first) {
            return format(L"has the range %s, which ends before it starts", trimWhiteSpace(item));
        }
        for (unsigned processor = first; processor <= last; ++processor) {
            mask |= 1ULL << processor;
        }
        begin = end + 1;
    }
    processors = mask;
    return std::wstring();
}

std::wstring formatProcessors(ULONGLONG processors)
{
    std::wstring text;
    for (unsigned first = 0; first < PROCESSORS_IN_GROUP; ++first) {
        if ((processors >> first & 1) == 0) {
            continue;
        }
        unsigned last = first;
        while (last + 1 < PROCESSORS_IN_GROUP && (processors >> (last + 1) & 1) != 0) {
            ++last;
        }
        text += (text.empty() ? L"" : L",") + std::to_wstring(first);
        if (last > first) {
            text += L"-" + std::to_wstring(last);
        }
        first = last;
    }
    return text;
}

std::wstring priorityName(DWORD priorityClass)
{
    for (const Priority& priority : PRIORITIES) {
        if (priority.priorityClass == priorityClass) {
            return priority.name;
        }
    }
    return format(L"0x%x", static_cast<unsigned>(priorityClass));
}

std::wstring formatLimits(const ProgramResources& resources)
{
    std::wstring text;
    const auto add = [&text](const std::wstring& limit) { text += (text.empty() ? L"" : L" ") + limit; };
    if (resources.memoryLimit != 0) {
        add(L"memory=" + formatByteSize(resources.memoryLimit));
    }
    if (resources.cpuRate != 0) {
        add(format(L"cpu=%d%%", static_cast<int>(resources.cpuRate)));
    }
    if (resources.processLimit != 0) {
        add(format(L"processes=%d", static_cast<int>(resources.processLimit)));
    }
    return text;
}

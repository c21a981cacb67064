#include "settings/SupervisionSettings.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/Duration.h"
#include "settings/RestartPolicy.h"
#include "settings/SimpleSettings.h"

namespace {

const Logger logger(L"FileTaskSettings");
const wchar_t* const RESTART = L"<hostwell>/<execution>/<restart>";
const wchar_t* const STATUS_MARKER = L"<hostwell>/<execution>/<status-marker>";
const wchar_t* const HEALTH = L"<hostwell>/<execution>/<health>";
const unsigned MAX_FAILURES = 1000;
// The supervising thread waits for every probe beside the program, its output
// and the stop: a wait takes at most 64 handles.
const size_t MAX_READINESS_PROBES = 16;
// More restarts than this in one series are no limit worth writing.
const size_t MAX_RESTARTS_DIGITS = 9;

std::wstring valueOf(const rapidxml::xml_attribute<wchar_t>& attribute)
{
    return std::wstring(attribute.value(), attribute.value_size());
}

}  // namespace

int readDuration(const XmlNode& element, const wchar_t* path, const wchar_t* name, std::optional<Duration>& duration)
{
    const auto* attribute = element.first_attribute(name);
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    Duration parsed;
    const std::wstring wrong = parseDuration(value, parsed);
    if (!wrong.empty()) {
        logger.error(L"Duration %s=\"%s\" in %s %s: write a whole number and a unit (ms, s, m or h), such as 5s",
                     name, value, path, wrong);
        return 1;
    }
    logger.debug(L"Duration %s in %s: %s", name, path, parsed.text);
    duration = parsed;
    return 0;
}

namespace {

int readWhen(const XmlNode& restart, RestartWhen& when)
{
    const auto* attribute = restart.first_attribute(L"when");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    if (!restartWhenNamed(trimWhiteSpace(value), when)) {
        logger.error(L"Unknown when \"%s\" in %s: write never, failure or always", value, RESTART);
        return 1;
    }
    return 0;
}

int readMaxRestarts(const XmlNode& restart, unsigned& maxRestarts)
{
    const auto* attribute = restart.first_attribute(L"max-restarts");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring text = trimWhiteSpace(value);
    if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        logger.error(L"max-restarts \"%s\" in %s is not a whole number: write how many restarts in a row are "
                     L"allowed, or 0 for no limit",
                     value, RESTART);
        return 1;
    }
    if (text.find_first_not_of(L'0') != std::wstring::npos &&
        text.size() - text.find_first_not_of(L'0') > MAX_RESTARTS_DIGITS) {
        logger.error(L"max-restarts \"%s\" in %s is too large: write a number from 1 to %s, or 0 for no limit",
                     value, RESTART, std::wstring(MAX_RESTARTS_DIGITS, L'9'));
        return 1;
    }
    maxRestarts = static_cast<unsigned>(std::stoul(text));
    return 0;
}

// The <tcp> and <http> children of `element`, in their order.
int readProbeTargets(const XmlNode& element, const wchar_t* path, std::vector<ProbeTarget>& targets)
{
    for (const XmlNode* child = element.first_node(); child != nullptr; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element) {
            continue;
        }
        const std::wstring name(child->name(), child->name_size());
        const bool tcp = name == L"tcp";
        if (!tcp && name != L"http") {
            continue;
        }
        const std::wstring written = elementText(*child);
        ProbeTarget target;
        const std::wstring wrong = tcp ? parseTcpTarget(written, target) : parseHttpTarget(written, target);
        if (!wrong.empty()) {
            logger.error(L"<%s>%s</%s> in %s %s: write %s", name, written, name, path, wrong,
                         tcp ? L"host:port, such as 127.0.0.1:8080 or [::1]:8080"
                             : L"a URL such as http://127.0.0.1:8080/health");
            return 1;
        }
        logger.debug(L"Probe in %s: %s", path, target.name());
        targets.push_back(target);
    }
    return 0;
}

int readPositiveDuration(const XmlNode& element, const wchar_t* name, std::chrono::milliseconds& length)
{
    std::optional<Duration> duration;
    if (readDuration(element, HEALTH, name, duration) != 0) {
        return 1;
    }
    if (!duration) {
        return 0;
    }
    if (duration->length.count() == 0 && std::wstring(name) != L"grace") {
        logger.error(L"Duration %s=\"%s\" in %s is zero: write how long, such as 10s", name, duration->text, HEALTH);
        return 1;
    }
    length = duration->length;
    return 0;
}

int readFailures(const XmlNode& health, unsigned& failures)
{
    const auto* attribute = health.first_attribute(L"failures");
    if (attribute == nullptr) {
        return 0;
    }
    const std::wstring value = valueOf(*attribute);
    const std::wstring text = trimWhiteSpace(value);
    const bool digits = !text.empty() && text.size() <= 4 && text.find_first_not_of(L"0123456789") == std::wstring::npos;
    if (!digits || std::stoul(text) < 1 || std::stoul(text) > MAX_FAILURES) {
        logger.error(L"failures \"%s\" in %s is not a whole number from 1 to %d: write how many failed probes in a "
                     L"row make the program unhealthy",
                     value, HEALTH, static_cast<int>(MAX_FAILURES));
        return 1;
    }
    failures = static_cast<unsigned>(std::stoul(text));
    return 0;
}

}  // namespace

int readReadinessProbes(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* statusMarker = execution.first_node(L"status-marker");
    std::vector<ProbeTarget> targets;
    if (statusMarker == nullptr || readProbeTargets(*statusMarker, STATUS_MARKER, targets) != 0) {
        return statusMarker == nullptr ? 0 : 1;
    }
    if (targets.size() > MAX_READINESS_PROBES) {
        logger.error(L"%s has %d probes: write at most %d", STATUS_MARKER, static_cast<int>(targets.size()),
                     static_cast<int>(MAX_READINESS_PROBES));
        return 1;
    }
    for (const ProbeTarget& target : targets) {
        settings.addReadinessProbe(target);
    }
    return 0;
}

int readHealthCheck(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* health = execution.first_node(L"health");
    if (health == nullptr) {
        return 0;
    }
    std::vector<ProbeTarget> targets;
    if (readProbeTargets(*health, HEALTH, targets) != 0) {
        return 1;
    }
    if (targets.size() != 1) {
        logger.error(L"%s has %d probes: write one <tcp> or one <http>", HEALTH, static_cast<int>(targets.size()));
        return 1;
    }
    HealthCheck check;
    check.target = targets[0];
    if (readPositiveDuration(*health, L"interval", check.interval) != 0 ||
        readPositiveDuration(*health, L"timeout", check.timeout) != 0 ||
        readPositiveDuration(*health, L"grace", check.grace) != 0 || readFailures(*health, check.failures) != 0) {
        return 1;
    }
    settings.setHealthCheck(check);
    return 0;
}

int readRestartPolicy(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* restart = execution.first_node(L"restart");
    if (restart == nullptr) {
        return 0;
    }
    RestartPolicy policy;
    std::optional<Duration> delay;
    std::optional<Duration> maxDelay;
    std::optional<Duration> reset;
    if (readWhen(*restart, policy.when) != 0 || readDuration(*restart, RESTART, L"delay", delay) != 0 ||
        readDuration(*restart, RESTART, L"max-delay", maxDelay) != 0 ||
        readDuration(*restart, RESTART, L"reset", reset) != 0 || readMaxRestarts(*restart, policy.maxRestarts) != 0) {
        return 1;
    }
    policy.delay = delay ? delay->length : policy.delay;
    policy.reset = reset ? reset->length : policy.reset;
    if (maxDelay && maxDelay->length < policy.delay) {
        logger.error(L"Duration max-delay=\"%s\" in %s is shorter than the delay %s: the waits grow from the delay "
                     L"up to max-delay",
                     maxDelay->text, RESTART, formatDuration(policy.delay));
        return 1;
    }
    // A long delay alone raises the default ceiling rather than being cut down to it.
    policy.maxDelay = maxDelay ? maxDelay->length : std::max(policy.maxDelay, policy.delay);
    settings.setRestartPolicy(policy);
    return 0;
}

int readStartedTimeout(const XmlNode& execution, SimpleServiceTaskSettings& settings)
{
    const XmlNode* statusMarker = execution.first_node(L"status-marker");
    if (statusMarker == nullptr) {
        return 0;
    }
    std::optional<Duration> timeout;
    if (readDuration(*statusMarker, STATUS_MARKER, L"timeout", timeout) != 0) {
        return 1;
    }
    if (!timeout) {
        return 0;
    }
    if (timeout->length.count() == 0) {
        logger.error(L"Duration timeout=\"%s\" in %s is zero: give the program the time it needs to start, such as "
                     L"2m",
                     timeout->text, STATUS_MARKER);
        return 1;
    }
    if (settings.getStartedMarker() == nullptr && settings.getReadinessProbes().empty()) {
        logger.warn(L"The timeout of %s has no effect without a <started> marker", STATUS_MARKER);
    }
    settings.setStartedTimeout(*timeout);
    return 0;
}

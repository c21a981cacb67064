#include "settings/SettingsNames.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/NearestName.h"
#include "logging/Logger.h"
#include "settings/ParserInput.h"

namespace {

const Logger logger(L"SettingsNames");

struct KnownElement {
    std::wstring path;  // from the root element, joined by "/"
    std::vector<std::wstring> attributes;
    // Read as a list; any other element is read once, its first time.
    bool repeats = false;
};

// Every element and attribute the settings readers read: what they come to
// read is added here too, or it is reported as unknown.
const std::vector<KnownElement>& knownElements()
{
    static const std::vector<KnownElement> elements = {
        // The two attributes that point XML editors at hostwell.xsd.
        {L"hostwell", {L"xmlns:xsi", L"xsi:noNamespaceSchemaLocation"}},
        {L"hostwell/name", {}},
        {L"hostwell/displayName", {}},
        {L"hostwell/description", {}},
        {L"hostwell/service-logging", {L"level", L"file", L"max-size", L"keep", L"roll", L"compress"}},
        {L"hostwell/dependencies", {}},
        {L"hostwell/dependencies/service", {}, true},
        {L"hostwell/metrics", {L"file"}},
        {L"hostwell/execution", {}},
        {L"hostwell/execution/workdir", {}},
        {L"hostwell/execution/program", {}},
        {L"hostwell/execution/arguments", {}},
        {L"hostwell/execution/termination", {L"timeout", L"console-event"}},
        {L"hostwell/execution/termination/execution", {}},
        {L"hostwell/execution/termination/execution/workdir", {}},
        {L"hostwell/execution/termination/execution/program", {}},
        {L"hostwell/execution/termination/execution/arguments", {}},
        {L"hostwell/execution/copySystemEnvironmentVariables", {}},
        {L"hostwell/execution/copySystemEnvironmentVariables/variable", {}, true},
        {L"hostwell/execution/status-marker", {L"timeout"}},
        {L"hostwell/execution/status-marker/started", {}},
        {L"hostwell/execution/status-marker/tcp", {}, true},
        {L"hostwell/execution/status-marker/http", {}, true},
        {L"hostwell/execution/health", {L"interval", L"timeout", L"failures", L"grace"}},
        {L"hostwell/execution/health/tcp", {}, true},
        {L"hostwell/execution/health/http", {}, true},
        {L"hostwell/execution/output-encoding", {}},
        {L"hostwell/execution/environment", {L"file"}},
        {L"hostwell/execution/environment/variable", {L"name", L"value"}, true},
        {L"hostwell/execution/restart", {L"when", L"delay", L"max-delay", L"reset", L"max-restarts"}},
        {L"hostwell/execution/output-log", {L"file", L"max-size", L"keep", L"roll", L"compress", L"timestamps"}},
        {L"hostwell/execution/error-log", {L"file", L"max-size", L"keep", L"roll", L"compress", L"timestamps"}},
        {L"hostwell/execution/hooks", {}},
        {L"hostwell/execution/hooks/pre-start", {L"timeout"}},
        {L"hostwell/execution/hooks/pre-start/workdir", {}},
        {L"hostwell/execution/hooks/pre-start/program", {}},
        {L"hostwell/execution/hooks/pre-start/arguments", {}},
        {L"hostwell/execution/hooks/post-start", {L"timeout"}},
        {L"hostwell/execution/hooks/post-start/workdir", {}},
        {L"hostwell/execution/hooks/post-start/program", {}},
        {L"hostwell/execution/hooks/post-start/arguments", {}},
        {L"hostwell/execution/hooks/post-stop", {L"timeout"}},
        {L"hostwell/execution/hooks/post-stop/workdir", {}},
        {L"hostwell/execution/hooks/post-stop/program", {}},
        {L"hostwell/execution/hooks/post-stop/arguments", {}},
        {L"hostwell/execution/priority", {}},
        {L"hostwell/execution/affinity", {}},
        {L"hostwell/execution/limits", {L"memory", L"cpu", L"processes"}},
        {L"hostwell/execution/recycle", {L"memory", L"every", L"at"}},
    };
    return elements;
}

const KnownElement* knownElement(const std::wstring& path)
{
    for (const KnownElement& element : knownElements()) {
        if (element.path == path) {
            return &element;
        }
    }
    return nullptr;
}

// The names of the elements known directly inside the element at `parentPath`.
std::vector<std::wstring> knownChildren(const std::wstring& parentPath)
{
    const std::wstring prefix = parentPath.empty() ? parentPath : parentPath + L"/";
    std::vector<std::wstring> names;
    for (const KnownElement& element : knownElements()) {
        if (element.path.compare(0, prefix.size(), prefix) == 0 &&
            element.path.find(L'/', prefix.size()) == std::wstring::npos) {
            names.push_back(element.path.substr(prefix.size()));
        }
    }
    return names;
}

std::wstring didYouMean(const std::wstring& meant, const wchar_t* form)
{
    return meant.empty() ? std::wstring() : format(L" (did you mean %s?)", format(form, meant));
}

// An element read once that comes again after its first time is ignored: say so.
void warnIfRepeated(const XmlNode& element, const std::wstring& parentPath, TextPositions& positions)
{
    const std::wstring name(element.name(), element.name_size());
    const KnownElement* known = knownElement(parentPath + L"/" + name);
    if (known == nullptr || known->repeats) {
        return;
    }
    const XmlNode* first = element.parent()->first_node(name.c_str(), name.size());
    if (first != &element) {
        logger.warn(L"<%s> at line %d is ignored: only the first <%s>, at line %d, is read", name,
                    positions.of(element.name()).line, name, positions.of(first->name()).line);
    }
}

void checkElement(const XmlNode& element, const std::wstring& parentPath, TextPositions& positions)
{
    const std::wstring name(element.name(), element.name_size());
    const std::wstring path = parentPath.empty() ? name : parentPath + L"/" + name;
    const KnownElement* known = knownElement(path);
    if (known == nullptr) {
        logger.warn(L"Unknown element <%s> at line %d%s", name, positions.of(element.name()).line,
                    didYouMean(nearestName(name, knownChildren(parentPath)), L"<%s>"));
        return;
    }
    for (const auto* attribute = element.first_attribute(); attribute != nullptr;
         attribute = attribute->next_attribute()) {
        const std::wstring attributeName(attribute->name(), attribute->name_size());
        if (std::find(known->attributes.begin(), known->attributes.end(), attributeName) == known->attributes.end()) {
            logger.warn(L"Unknown attribute %s of <%s> at line %d%s", attributeName, name,
                        positions.of(attribute->name()).line,
                        didYouMean(nearestName(attributeName, known->attributes), L"%s"));
        }
    }
    for (const XmlNode* child = element.first_node(); child != nullptr; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_element) {
            warnIfRepeated(*child, path, positions);
            checkElement(*child, path, positions);
        }
    }
}

}  // namespace

void warnAboutUnknownNames(const XmlNode& document, TextPositions& positions)
{
    for (const XmlNode* element = document.first_node(); element != nullptr; element = element->next_sibling()) {
        if (element->type() == rapidxml::node_element) {
            checkElement(*element, std::wstring(), positions);
        }
    }
}

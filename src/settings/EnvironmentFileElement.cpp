#include "settings/EnvironmentFileElement.h"

#include <vector>

#include "common/WhiteSpace.h"
#include "logging/Logger.h"
#include "settings/EnvironmentFile.h"
#include "settings/Paths.h"
#include "settings/SimpleSettings.h"

namespace {
const Logger logger(L"FileTaskSettings");
const wchar_t* const ELEMENT = L"<hostwell>/<execution>/<environment>";
}  // namespace

int readEnvironmentFile(const XmlNode& execution, const ServiceSettings& service, SimpleServiceTaskSettings& settings)
{
    const XmlNode* environment = execution.first_node(L"environment");
    if (environment == nullptr || environment->first_attribute(L"file") == nullptr) {
        return 0;
    }
    const std::wstring written = attributeText(*environment, L"file");
    if (trimWhiteSpace(written).empty()) {
        logger.error(L"%s has an empty file: write the path of the file of variables, such as file=\"app.env\"",
                     ELEMENT);
        return 1;
    }
    std::wstring file;
    if (resolvePath(service.getSettingsFile(), written, false, file) != 0) {
        logger.error(L"Failed to resolve the file \"%s\" of %s", written, ELEMENT);
        return 1;
    }
    std::vector<EnvironmentVariable> variables;
    if (!loadEnvironmentFile(file, variables)) {
        return 1;
    }
    // Names only: the values are often secrets.
    for (const EnvironmentVariable& variable : variables) {
        logger.debug(L"Environment variable from %s: %s", file, variable.name);
    }
    settings.setEnvironmentFile(file);
    return 0;
}

#include "settings/XmlFileSettings.h"

#include <windows.h>

#include <vector>

#include "common/TextConversion.h"
#include "logging/Logger.h"
#include "settings/Paths.h"
#include "settings/XmlText.h"

namespace {

const Logger logger(L"FileServiceSettings");

// The parser recurses once per level; deeper documents would overflow the stack.
const int MAX_NESTING_DEPTH = 1000;

}  // namespace

int XmlFileSettings::execute()
{
    logger.debug(L"Loading service settings from %s", path_);
    std::wstring text;
    if (readTextFile(path_, text) != 0) {
        logger.error(L"Failed to open settings file %s", path_);
        return 1;
    }
    logger.debug(L"Loaded settings:\n%s", text);

    // The parser works in place on a buffer of this call's own.
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');
    if (elementNestingDepth(buffer.data()) > MAX_NESTING_DEPTH) {
        logger.error(L"Failed to parse document. %s",
                     format(L"elements are nested deeper than %d levels", MAX_NESTING_DEPTH));
        return 1;
    }
    XmlDocument document;
    try {
        document.parse<0>(buffer.data());
    } catch (const rapidxml::parse_error& error) {
        logger.error(L"Failed to parse document. %s", fromCodePage(CP_ACP, error.what()));
        return 1;
    } catch (...) {
        logger.error(L"Failed to parse document");
        return 1;
    }
    return parseDocument(document);
}

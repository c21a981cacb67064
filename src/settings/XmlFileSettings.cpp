#include "settings/XmlFileSettings.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "common/TextConversion.h"
#include "common/Format.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/ParserInput.h"
#include "settings/Paths.h"
#include "settings/SettingsText.h"
#include "settings/XmlText.h"

namespace {

const Logger logger(L"FileServiceSettings");

// The parser recurses once per level; deeper documents would overflow the stack.
const int MAX_NESTING_DEPTH = 1000;

// The first attribute or text value, in document order, that holds the
// character 0 (written as &#0;); null when none does.
const wchar_t* valueWithZero(const XmlNode& element)
{
    for (const auto* attribute = element.first_attribute(); attribute != nullptr;
         attribute = attribute->next_attribute()) {
        if (std::wmemchr(attribute->value(), L'\0', attribute->value_size()) != nullptr) {
            return attribute->value();
        }
    }
    for (const XmlNode* child = element.first_node(); child != nullptr; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_data &&
            std::wmemchr(child->value(), L'\0', child->value_size()) != nullptr) {
            return child->value();
        }
        if (child->type() == rapidxml::node_element) {
            if (const wchar_t* found = valueWithZero(*child)) {
                return found;
            }
        }
    }
    return nullptr;
}

}  // namespace

std::wstring parseSettingsText(const std::wstring& text, std::vector<wchar_t>& buffer, XmlDocument& document)
{
    if (elementNestingDepth(text) > MAX_NESTING_DEPTH) {
        return format(L"Failed to parse document. elements are nested deeper than %d levels", MAX_NESTING_DEPTH);
    }
    // The parser works in place on a buffer of its caller's own.
    buffer = toParserInput(text);
    try {
        document.parse<0>(buffer.data());
    } catch (const rapidxml::parse_error& error) {
        const TextPosition at = TextPositions(text, buffer.data()).of(error.where<wchar_t>());
        return format(L"Failed to parse document. %s at line %d, column %d", fromCodePage(CP_ACP, error.what()),
                      at.line, at.column);
    } catch (...) {
        return L"Failed to parse document";
    }
    decodeParsedDocument(document);
    // Every reader of a value would see it end there.
    if (const wchar_t* zero = valueWithZero(document)) {
        const TextPosition at = TextPositions(text, buffer.data()).of(zero);
        return format(L"Failed to parse document. a value holds the character 0 (written &#0;) at line %d, column %d",
                      at.line, at.column);
    }
    return std::wstring();
}

std::wstring settingsFileFailure(const std::wstring& path, DWORD error, long long size)
{
    if (error == ERROR_FILE_TOO_LARGE) {
        return format(L"Failed to open settings file %s: it holds %s bytes, more than the %s a settings file may hold",
                      path, std::to_wstring(size), std::to_wstring(MAX_TEXT_FILE_SIZE));
    }
    return format(L"Failed to open settings file %s: %s", path, errorText(error));
}

int XmlFileSettings::execute()
{
    logger.debug(L"Loading service settings from %s", path_);
    std::string bytes;
    if (readFileBytes(path_, bytes) != 0) {
        const DWORD error = GetLastError();
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        const long long size = GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)
                                   ? (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                                   : 0;
        logger.error(settingsFileFailure(path_, error, size));
        return 1;
    }
    std::wstring text;
    const std::wstring refusal = decodeSettingsText(path_, bytes, text);
    if (!refusal.empty()) {
        logger.error(refusal);
        return 1;
    }
    logger.debug(L"Loaded settings:\n%s", text);

    std::vector<wchar_t> buffer;
    XmlDocument document;
    const std::wstring failure = parseSettingsText(text, buffer, document);
    if (!failure.empty()) {
        logger.error(L"%s in %s", failure, path_);
        return 1;
    }
    TextPositions positions(text, buffer.data());
    return parseDocument(document, positions);
}

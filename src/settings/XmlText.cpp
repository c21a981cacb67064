#include "settings/XmlText.h"

#include <wchar.h>

#include "common/WhiteSpace.h"

namespace {

// Index just after `terminator` at or after `from`, or the end of the text.
size_t skipPast(const wchar_t* text, size_t from, const wchar_t* terminator)
{
    const wchar_t* found = wcsstr(text + from, terminator);
    return found == nullptr ? from + wcslen(text + from) : static_cast<size_t>(found - text) + wcslen(terminator);
}

bool startsWith(const wchar_t* text, const wchar_t* prefix)
{
    return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

// Index just after the '>' that ends a declaration such as DOCTYPE, whose
// internal subset may hold further '>' inside brackets.
size_t skipDeclaration(const wchar_t* text, size_t from)
{
    int brackets = 0;
    for (size_t i = from; text[i] != L'\0'; ++i) {
        if (text[i] == L'[') {
            ++brackets;
        } else if (text[i] == L']') {
            --brackets;
        } else if (text[i] == L'>' && brackets <= 0) {
            return i + 1;
        }
    }
    return from + wcslen(text + from);
}

}  // namespace

std::wstring elementText(const XmlNode& element)
{
    std::wstring text;
    for (const XmlNode* child = element.first_node(); child != nullptr; child = child->next_sibling()) {
        text.append(child->value(), child->value_size());
    }
    return trimWhiteSpace(text);
}

int elementNestingDepth(const wchar_t* text)
{
    int depth = 0;
    int deepest = 0;
    size_t i = 0;
    while (text[i] != L'\0') {
        const wchar_t* here = text + i;
        if (*here != L'<') {
            ++i;
        } else if (startsWith(here, L"<!--")) {
            i = skipPast(text, i + 4, L"-->");
        } else if (startsWith(here, L"<![CDATA[")) {
            i = skipPast(text, i + 9, L"]]>");
        } else if (startsWith(here, L"<?")) {
            i = skipPast(text, i + 2, L"?>");
        } else if (startsWith(here, L"<!")) {
            i = skipDeclaration(text, i + 2);
        } else if (startsWith(here, L"</")) {
            depth = depth > 0 ? depth - 1 : 0;
            i = skipPast(text, i + 2, L">");
        } else {
            // A start tag: find its '>' outside quoted attribute values.
            wchar_t quote = 0;
            wchar_t previous = 0;
            for (++i; text[i] != L'\0' && (quote != 0 || text[i] != L'>'); ++i) {
                if (quote != 0) {
                    quote = text[i] == quote ? 0 : quote;
                } else if (text[i] == L'"' || text[i] == L'\'') {
                    quote = text[i];
                }
                previous = text[i];
            }
            if (text[i] == L'>') {
                ++i;
            }
            if (previous != L'/') {
                ++depth;
                deepest = depth > deepest ? depth : deepest;
            }
        }
    }
    return deepest;
}

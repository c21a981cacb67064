#include "settings/XmlText.h"

#include <wchar.h>

#include <vector>

#include "common/WhiteSpace.h"
#include "settings/ParserInput.h"

// The nesting scan takes the steps of rapidxml's parse<0> in the same order and
// with the same classification of characters. Steps that matter only for the
// nodes it builds are left out; the text it rewrites in place is rewritten too,
// because the parser can scan such text again.

namespace {

using CharacterTable = unsigned char[256];
using Tables = rapidxml::internal::lookup_tables<0>;

// Where the parser throws parse_error.
struct ParserStops {
};

// The parser classifies a wide character by its low byte alone; its input
// holds UTF-8 code units (ParserInput.h), so that byte is the whole unit.
bool is(const CharacterTable& table, wchar_t c) { return table[static_cast<unsigned char>(c)] != 0; }

void skip(const CharacterTable& table, wchar_t*& text)
{
    while (is(table, *text)) {
        ++text;
    }
}

bool startsWith(const wchar_t* text, const wchar_t* prefix)
{
    for (; *prefix != L'\0'; ++text, ++prefix) {
        if (*text != *prefix) {
            return false;
        }
    }
    return true;
}

// Comments, CDATA, processing instructions and the xml declaration end at the
// first terminator; nothing inside them counts.
void skipPast(wchar_t*& text, const wchar_t* terminator)
{
    while (!startsWith(text, terminator)) {
        if (*text == L'\0') {
            throw ParserStops();
        }
        ++text;
    }
    text += wcslen(terminator);
}

// A DOCTYPE ends at the first '>' outside brackets; inside them only the
// brackets' own nesting counts.
void skipDoctype(wchar_t*& text)
{
    while (*text != L'>') {
        if (*text == L'\0') {
            throw ParserStops();
        }
        if (*text != L'[') {
            ++text;
            continue;
        }
        ++text;
        for (int brackets = 1; brackets > 0; ++text) {
            if (*text == L'[') {
                ++brackets;
            } else if (*text == L']') {
                --brackets;
            } else if (*text == L'\0') {
                throw ParserStops();
            }
        }
    }
    ++text;
}

// A numeric reference becomes UTF-8 code units, one per wide character.
void insertCodedCharacter(wchar_t*& out, unsigned long code)
{
    if (code < 0x80) {
        out[0] = static_cast<unsigned char>(code);
        out += 1;
    } else if (code < 0x800) {
        out[1] = static_cast<unsigned char>((code | 0x80) & 0xBF);
        code >>= 6;
        out[0] = static_cast<unsigned char>(code | 0xC0);
        out += 2;
    } else if (code < 0x10000) {
        out[2] = static_cast<unsigned char>((code | 0x80) & 0xBF);
        code >>= 6;
        out[1] = static_cast<unsigned char>((code | 0x80) & 0xBF);
        code >>= 6;
        out[0] = static_cast<unsigned char>(code | 0xE0);
        out += 3;
    } else if (code < 0x110000) {
        out[3] = static_cast<unsigned char>((code | 0x80) & 0xBF);
        code >>= 6;
        out[2] = static_cast<unsigned char>((code | 0x80) & 0xBF);
        code >>= 6;
        out[1] = static_cast<unsigned char>((code | 0x80) & 0xBF);
        code >>= 6;
        out[0] = static_cast<unsigned char>(code | 0xF0);
        out += 4;
    } else {
        throw ParserStops();
    }
}

struct NamedReference {
    const wchar_t* text;
    wchar_t character;
};

const NamedReference* namedReference(const wchar_t* text)
{
    static const NamedReference references[] = {
        {L"&amp;", L'&'}, {L"&apos;", L'\''}, {L"&quot;", L'"'}, {L"&gt;", L'>'}, {L"&lt;", L'<'},
    };
    for (const NamedReference& reference : references) {
        if (startsWith(text, reference.text)) {
            return &reference;
        }
    }
    return nullptr;
}

// Skips text or an attribute value up to a `stop` character, translating
// references in place; returns the end of the translated text.
wchar_t* translateReferences(wchar_t*& text, const CharacterTable& stop, const CharacterTable& plain)
{
    skip(plain, text);
    wchar_t* in = text;
    wchar_t* out = text;
    while (is(stop, *in)) {
        if (const NamedReference* named = namedReference(in)) {
            *out++ = named->character;
            in += wcslen(named->text);
            continue;
        }
        if (in[0] == L'&' && in[1] == L'#') {
            // Both forms read any hexadecimal digit, as the parser does.
            const unsigned long base = in[2] == L'x' ? 16 : 10;
            in += base == 16 ? 3 : 2;
            unsigned long code = 0;
            for (;;) {
                const unsigned char digit = Tables::lookup_digits[static_cast<unsigned char>(*in)];
                if (digit == 0xFF) {
                    break;
                }
                code = code * base + digit;
                ++in;
            }
            insertCodedCharacter(out, code);
            if (*in != L';') {
                throw ParserStops();
            }
            ++in;
            continue;
        }
        *out++ = *in++;
    }
    text = in;
    return out;
}

void skipAttributes(wchar_t*& text)
{
    while (is(Tables::lookup_attribute_name, *text)) {
        ++text;
        skip(Tables::lookup_attribute_name, text);
        skip(Tables::lookup_whitespace, text);
        if (*text != L'=') {
            throw ParserStops();
        }
        ++text;
        skip(Tables::lookup_whitespace, text);
        const wchar_t quote = *text;
        if (quote != L'\'' && quote != L'"') {
            throw ParserStops();
        }
        ++text;
        if (quote == L'\'') {
            translateReferences(text, Tables::lookup_attribute_data_1, Tables::lookup_attribute_data_1_pure);
        } else {
            translateReferences(text, Tables::lookup_attribute_data_2, Tables::lookup_attribute_data_2_pure);
        }
        if (*text != quote) {
            throw ParserStops();
        }
        ++text;
        skip(Tables::lookup_whitespace, text);
    }
}

// Text within an element. The parser starts again from `contentsStart` each
// time, ends the text with a zero and goes on with the character that was there.
wchar_t parseText(wchar_t*& text, wchar_t* contentsStart)
{
    text = contentsStart;
    wchar_t* end = translateReferences(text, Tables::lookup_text, Tables::lookup_text_pure_no_ws);
    const wchar_t ended = *text;
    *end = L'\0';
    return ended;
}

// The parser's walk over a document, with a counter of open elements where
// the parser recurses.
class ParserWalk {
public:
    explicit ParserWalk(wchar_t* text) : at_(text) {}

    int deepest() const { return deepest_; }

    void parseDocument()
    {
        if (static_cast<unsigned char>(at_[0]) == 0xEF && static_cast<unsigned char>(at_[1]) == 0xBB &&
            static_cast<unsigned char>(at_[2]) == 0xBF) {
            at_ += 3;
        }
        for (;;) {
            if (depth_ > 0) {
                parseContents();
                continue;
            }
            skip(Tables::lookup_whitespace, at_);
            if (*at_ == L'\0') {
                return;
            }
            if (*at_ != L'<') {
                throw ParserStops();
            }
            ++at_;
            parseNode();
        }
    }

private:
    // One round of the parser's loop over the contents of the innermost open element.
    void parseContents()
    {
        wchar_t* contentsStart = at_;
        skip(Tables::lookup_whitespace, at_);
        wchar_t next = *at_;
        while (next != L'<') {
            if (next == L'\0') {
                throw ParserStops();
            }
            next = parseText(at_, contentsStart);
        }
        if (at_[1] != L'/') {
            ++at_;
            parseNode();
            return;
        }
        at_ += 2;
        skip(Tables::lookup_node_name, at_);
        skip(Tables::lookup_whitespace, at_);
        if (*at_ != L'>') {
            throw ParserStops();
        }
        ++at_;
        --depth_;
    }

    // The node after a '<'.
    void parseNode()
    {
        if (at_[0] == L'?') {
            // "xml" and a blank cannot hold "?>", so the declaration ends where a
            // processing instruction would.
            ++at_;
            skipPast(at_, L"?>");
        } else if (startsWith(at_, L"!--")) {
            at_ += 3;
            skipPast(at_, L"-->");
        } else if (startsWith(at_, L"![CDATA[")) {
            at_ += 8;
            skipPast(at_, L"]]>");
        } else if (startsWith(at_, L"!DOCTYPE") && is(Tables::lookup_whitespace, at_[8])) {
            at_ += 9;
            skipDoctype(at_);
        } else if (at_[0] == L'!') {
            // Any other declaration ends at the first '>', brackets or not.
            for (++at_; *at_ != L'>'; ++at_) {
                if (*at_ == L'\0') {
                    throw ParserStops();
                }
            }
            ++at_;
        } else {
            parseElement();
        }
    }

    // Leaves the element open when its contents follow.
    void parseElement()
    {
        ++depth_;
        deepest_ = depth_ > deepest_ ? depth_ : deepest_;
        const wchar_t* name = at_;
        skip(Tables::lookup_node_name, at_);
        if (at_ == name) {
            throw ParserStops();
        }
        skip(Tables::lookup_whitespace, at_);
        skipAttributes(at_);
        if (*at_ == L'>') {
            ++at_;
            return;
        }
        if (*at_ != L'/' || at_[1] != L'>') {
            throw ParserStops();
        }
        at_ += 2;
        --depth_;
    }

    wchar_t* at_;
    int depth_ = 0;
    int deepest_ = 0;
};

}  // namespace

std::wstring elementText(const XmlNode& element)
{
    std::wstring text;
    for (const XmlNode* child = element.first_node(); child != nullptr; child = child->next_sibling()) {
        text.append(child->value(), child->value_size());
    }
    return trimWhiteSpace(text);
}

int elementNestingDepth(const std::wstring& text)
{
    std::vector<wchar_t> input = toParserInput(text);
    ParserWalk walk(input.data());
    try {
        walk.parseDocument();
    } catch (const ParserStops&) {
        // The parser gives up here, no deeper than this.
    }
    return walk.deepest();
}

std::wstring attributeText(const XmlNode& element, const wchar_t* name)
{
    const auto* attribute = element.first_attribute(name);
    return attribute == nullptr ? std::wstring() : std::wstring(attribute->value(), attribute->value_size());
}

#include "settings/ParserInput.h"

namespace {

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The character at `index`, and how many wide characters hold it: two for a
// surrogate pair, else one.
unsigned long characterAt(const std::wstring& text, size_t index, size_t& wideUnits)
{
    const wchar_t c = text[index];
    if (isHighSurrogate(c) && index + 1 < text.size() && isLowSurrogate(text[index + 1])) {
        wideUnits = 2;
        return 0x10000 + ((static_cast<unsigned long>(c) - 0xD800) << 10) + (text[index + 1] - 0xDC00);
    }
    wideUnits = 1;
    return c;
}

size_t utf8Length(unsigned long character)
{
    return character < 0x80 ? 1 : character < 0x800 ? 2 : character < 0x10000 ? 3 : 4;
}

// Decodes `size` UTF-8 code units in place; returns how many UTF-16 units they became.
size_t decodeInPlace(wchar_t* text, size_t size)
{
    size_t out = 0;
    for (size_t in = 0; in < size;) {
        const unsigned long lead = text[in];
        size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        length = in + length <= size ? length : 1;
        unsigned long character = length == 1 ? lead : lead & (0x3Fu >> (length - 1));
        for (size_t k = 1; k < length; ++k) {
            character = (character << 6) | (text[in + k] & 0x3Fu);
        }
        in += length;
        if (character >= 0x10000) {
            text[out++] = static_cast<wchar_t>(0xD800 + ((character - 0x10000) >> 10));
            text[out++] = static_cast<wchar_t>(0xDC00 + ((character - 0x10000) & 0x3FF));
        } else {
            text[out++] = static_cast<wchar_t>(character);
        }
    }
    return out;
}

template <typename Item>
void decodeName(Item& item)
{
    if (item.name_size() > 0) {
        const size_t size = decodeInPlace(item.name(), item.name_size());
        item.name()[size] = L'\0';
        item.name(item.name(), size);
    }
}

template <typename Item>
void decodeValue(Item& item)
{
    if (item.value_size() > 0) {
        const size_t size = decodeInPlace(item.value(), item.value_size());
        item.value()[size] = L'\0';
        item.value(item.value(), size);
    }
}

}  // namespace

std::vector<wchar_t> toParserInput(const std::wstring& text)
{
    std::vector<wchar_t> input;
    input.reserve(text.size() + 1);
    for (size_t index = 0; index < text.size();) {
        size_t wideUnits = 0;
        const unsigned long character = characterAt(text, index, wideUnits);
        index += wideUnits;
        const size_t length = utf8Length(character);
        if (length == 1) {
            input.push_back(static_cast<wchar_t>(character));
            continue;
        }
        static const unsigned long leads[] = {0, 0, 0xC0, 0xE0, 0xF0};
        input.push_back(static_cast<wchar_t>(leads[length] | (character >> (6 * (length - 1)))));
        for (size_t k = length - 1; k > 0; --k) {
            input.push_back(static_cast<wchar_t>(0x80 | ((character >> (6 * (k - 1))) & 0x3F)));
        }
    }
    input.push_back(L'\0');
    return input;
}

void decodeParsedDocument(XmlNode& node)
{
    decodeName(node);
    for (auto* attribute = node.first_attribute(); attribute != nullptr; attribute = attribute->next_attribute()) {
        decodeName(*attribute);
        decodeValue(*attribute);
    }
    if (node.type() != rapidxml::node_element && node.type() != rapidxml::node_document) {
        decodeValue(node);
        return;
    }
    for (XmlNode* child = node.first_node(); child != nullptr; child = child->next_sibling()) {
        decodeParsedDocument(*child);
    }
    // An element's value is the text of one of its data nodes, decoded with it.
    for (const XmlNode* child = node.first_node(); child != nullptr; child = child->next_sibling()) {
        if (child->value() == node.value()) {
            node.value(node.value(), child->value_size());
            break;
        }
    }
}

TextPosition TextPositions::of(const wchar_t* unit)
{
    const size_t target = static_cast<size_t>(unit - input_);
    if (target < offset_) {
        index_ = 0;
        offset_ = 0;
        position_ = {1, 1};
    }
    while (offset_ < target && index_ < text_.size()) {
        size_t wideUnits = 0;
        const unsigned long character = characterAt(text_, index_, wideUnits);
        index_ += wideUnits;
        offset_ += utf8Length(character);
        if (character == L'\n') {
            ++position_.line;
            position_.column = 1;
        } else {
            ++position_.column;
        }
    }
    return position_;
}

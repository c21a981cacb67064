#pragma once

#include <string>
#include <vector>

#include "settings/XmlText.h"

// rapidxml classifies a wide character by its low byte alone, so U+013C
// would end text as '<' does and U+4E00 as the end of the data. It therefore
// gets the text as UTF-8 code units, one per wide character: that is how it
// reads UTF-8, and how it writes numeric references into wide text anyway.

// The parser's input for a text: its UTF-8 code units and a terminating zero.
// An unpaired surrogate is coded like any other character, so nothing is lost.
std::vector<wchar_t> toParserInput(const std::wstring& text);

// Turns the names and values of a parsed document back into UTF-16, in place.
void decodeParsedDocument(XmlNode& document);

struct TextPosition {
    int line;
    int column;
};

// Line and column, in the text, of a unit of the text's parser input.
// Positions asked for in rising order are found in one pass over the text.
class TextPositions {
public:
    TextPositions(const std::wstring& text, const wchar_t* parserInput) : text_(text), input_(parserInput) {}

    TextPosition of(const wchar_t* unit);

private:
    const std::wstring& text_;
    const wchar_t* input_;
    size_t index_ = 0;
    size_t offset_ = 0;
    TextPosition position_ = {1, 1};
};

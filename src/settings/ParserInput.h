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

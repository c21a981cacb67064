#pragma once

#include <map>
#include <optional>
#include <string>

// The little JSON that Hostwell writes and reads back: its state file and
// the machine-readable status.

// The text as a JSON string, quotes included.
std::wstring jsonString(const std::wstring& text);

// A scalar of a JSON document: a string's text, or the literal of a number,
// true, false or null as written.
struct JsonScalar {
    bool isString = false;
    std::wstring text;

    bool isNull() const { return !isString && text == L"null"; }
};

// Every scalar of a document of nested objects under its path of member
// names joined by dots ("program.restarts"); nothing when the text is not
// such a document (arrays are not read).
std::optional<std::map<std::wstring, JsonScalar>> readJsonScalars(const std::wstring& text);

#pragma once

#include <string>

// The text of a settings file from its bytes: a byte-order mark decides
// between UTF-8 and UTF-16LE; without one the encoding that the XML
// declaration names (windows-1252 or iso-8859-1) counts, else UTF-8.
// CR LF line ends become LF. Returns the empty text, or the message that
// says why the file, named by `path`, holds no settings text.
std::wstring decodeSettingsText(const std::wstring& path, const std::string& bytes, std::wstring& text);

#include "settings/SettingsText.h"

#include <wctype.h>

#include <algorithm>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "settings/Paths.h"

namespace {

const char UTF8_MARK[] = "\xEF\xBB\xBF";

unsigned char byteAt(const std::string& bytes, size_t index) { return static_cast<unsigned char>(bytes[index]); }

// Settings begin with markup or white space, characters that UTF-16 writes
// with a zero byte beside them and UTF-8 never does.
bool looksLikeUtf16(const std::string& bytes)
{
    if (bytes.size() < 4) {
        return false;
    }
    const bool littleEndian = byteAt(bytes, 0) != 0 && byteAt(bytes, 1) == 0 && byteAt(bytes, 2) != 0 &&
                              byteAt(bytes, 3) == 0;
    const bool bigEndian = byteAt(bytes, 0) == 0 && byteAt(bytes, 1) != 0 && byteAt(bytes, 2) == 0 &&
                           byteAt(bytes, 3) != 0;
    return littleEndian || bigEndian;
}

// UTF-32 writes the byte-order mark FF FE 00 00 or 00 00 FE FF.
bool hasUtf32Mark(const std::string& bytes)
{
    return bytes.compare(0, 4, std::string("\xFF\xFE\0\0", 4)) == 0 ||
           bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0;
}

// The encodings read besides UTF-16 with a byte-order mark; an ASCII file is
// UTF-8 too, and UTF-16 names the file a mark already says is so.
bool isReadableEncoding(const std::wstring& encoding)
{
    for (const wchar_t* readable : {L"", L"utf-8", L"us-ascii", L"utf-16", L"windows-1252", L"iso-8859-1"}) {
        if (encoding == readable) {
            return true;
        }
    }
    return false;
}

// The encoding named in the XML declaration, in lower case; empty without one.
std::wstring declaredEncoding(const std::string& bytes)
{
    if (bytes.compare(0, 5, "<?xml") != 0) {
        return std::wstring();
    }
    const std::string declaration = bytes.substr(0, bytes.find("?>", 5));
    const char* const blanks = " \t\r\n";
    size_t at = declaration.find("encoding");
    at = at == std::string::npos ? at : declaration.find_first_not_of(blanks, at + 8);
    if (at == std::string::npos || declaration[at] != '=') {
        return std::wstring();
    }
    at = declaration.find_first_not_of(blanks, at + 1);
    if (at == std::string::npos || (declaration[at] != '"' && declaration[at] != '\'')) {
        return std::wstring();
    }
    const size_t end = declaration.find(declaration[at], at + 1);
    if (end == std::string::npos) {
        return std::wstring();
    }
    return lowerCaseAscii(fromUtf8(declaration.substr(at + 1, end - at - 1)));
}

// Where the first byte that does not belong to well-formed UTF-8 is, or npos.
size_t firstInvalidUtf8(const std::string& bytes, size_t from)
{
    size_t i = from;
    while (i < bytes.size()) {
        const unsigned char lead = byteAt(bytes, i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // Overlong forms, surrogates and characters above U+10FFFF show in the second byte.
        size_t length = 0;
        unsigned char lowest = 0x80;
        unsigned char highest = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            lowest = lead == 0xE0 ? 0xA0 : lowest;
            highest = lead == 0xED ? 0x9F : highest;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            lowest = lead == 0xF0 ? 0x90 : lowest;
            highest = lead == 0xF4 ? 0x8F : highest;
        } else {
            return i;
        }
        if (i + length > bytes.size() || byteAt(bytes, i + 1) < lowest || byteAt(bytes, i + 1) > highest) {
            return i;
        }
        for (size_t k = 2; k < length; ++k) {
            if ((byteAt(bytes, i + k) & 0xC0) != 0x80) {
                return i;
            }
        }
        i += length;
    }
    return std::string::npos;
}

std::wstring invalidUtf8Message(const std::wstring& path, const std::string& bytes, size_t from, size_t at)
{
    int line = 1;
    int column = 1;
    for (size_t i = from; i < at; ++i) {
        if (bytes[i] == '\n') {
            ++line;
            column = 1;
        } else if ((byteAt(bytes, i) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return format(L"Settings file %s is not valid UTF-8: byte 0x%02X at line %d, column %d (save it as UTF-8, or "
                  L"name its encoding in the XML declaration)",
                  path, static_cast<int>(byteAt(bytes, at)), line, column);
}

std::wstring fromLatin1(const std::string& bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        text.push_back(static_cast<unsigned char>(byte));
    }
    return text;
}

}  // namespace

std::wstring decodeSettingsText(const std::wstring& path, const std::string& bytes, std::wstring& text)
{
    const bool utf8Marked = bytes.compare(0, 3, UTF8_MARK) == 0;
    // A byte-order mark says more than the declaration.
    const std::wstring encoding = utf8Marked ? std::wstring() : declaredEncoding(bytes);
    if (hasUtf32Mark(bytes)) {
        return format(L"Settings file %s is UTF-32, which is not supported (save it as UTF-8, or as UTF-16 with a "
                      L"byte-order mark)",
                      path);
    }
    if (bytes.size() >= 2 && byteAt(bytes, 0) == 0xFF && byteAt(bytes, 1) == 0xFE) {
        text = decodeText(bytes);
    } else if (looksLikeUtf16(bytes)) {
        return format(L"Settings file %s is UTF-16 without a byte-order mark (save it as UTF-8, or as UTF-16 with "
                      L"the mark)",
                      path);
    } else if (encoding == L"windows-1252") {
        text = withLineFeeds(fromCodePage(1252, bytes));
    } else if (encoding == L"iso-8859-1") {
        text = withLineFeeds(fromLatin1(bytes));
    } else {
        const size_t from = utf8Marked ? 3 : 0;
        const size_t invalid = firstInvalidUtf8(bytes, from);
        // A file in another encoding that is ASCII as a whole reads as it always did.
        if (invalid != std::string::npos && !isReadableEncoding(encoding)) {
            return format(L"Settings file %s names the encoding %s in its XML declaration, which is not supported "
                          L"(save it as UTF-8, windows-1252 or iso-8859-1 and name that encoding, or as UTF-16 with a "
                          L"byte-order mark)",
                          path, encoding);
        }
        if (invalid != std::string::npos) {
            return invalidUtf8Message(path, bytes, from, invalid);
        }
        text = decodeText(bytes);
    }
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return iswspace(c) != 0; })) {
        return format(L"Settings file %s is empty", path);
    }
    return std::wstring();
}

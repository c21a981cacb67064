#include "common/Json.h"

#include <cwctype>

#include "common/Format.h"

namespace {

class ScalarReader {
public:
    explicit ScalarReader(const std::wstring& text) : text_(text) {}

    bool readDocument(std::map<std::wstring, JsonScalar>& scalars)
    {
        return readObject(std::wstring(), scalars) && (skipSpace(), at_ == text_.size());
    }

private:
    void skipSpace()
    {
        while (at_ < text_.size() && std::iswspace(text_[at_])) {
            ++at_;
        }
    }

    bool take(wchar_t expected)
    {
        skipSpace();
        if (at_ < text_.size() && text_[at_] == expected) {
            ++at_;
            return true;
        }
        return false;
    }

    bool readObject(const std::wstring& path, std::map<std::wstring, JsonScalar>& scalars)
    {
        if (!take(L'{')) {
            return false;
        }
        if (take(L'}')) {
            return true;
        }
        do {
            std::wstring name;
            if (!take(L'"') || !readStringRest(name) || !take(L':')) {
                return false;
            }
            const std::wstring member = path.empty() ? name : path + L"." + name;
            skipSpace();
            if (at_ < text_.size() && text_[at_] == L'{') {
                if (!readObject(member, scalars)) {
                    return false;
                }
            } else if (!readScalar(scalars[member])) {
                return false;
            }
        } while (take(L','));
        return take(L'}');
    }

    bool readScalar(JsonScalar& scalar)
    {
        if (take(L'"')) {
            scalar.isString = true;
            return readStringRest(scalar.text);
        }
        const size_t begin = at_;
        while (at_ < text_.size() && (std::iswalnum(text_[at_]) || text_[at_] == L'-' || text_[at_] == L'+' ||
                                      text_[at_] == L'.')) {
            ++at_;
        }
        scalar.text = text_.substr(begin, at_ - begin);
        return !scalar.text.empty();
    }

    // After the opening quote, up to and with the closing one.
    bool readStringRest(std::wstring& out)
    {
        while (at_ < text_.size()) {
            const wchar_t c = text_[at_++];
            if (c == L'"') {
                return true;
            }
            if (c != L'\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const wchar_t escaped = text_[at_++];
            switch (escaped) {
            case L'n': out += L'\n'; break;
            case L'r': out += L'\r'; break;
            case L't': out += L'\t'; break;
            case L'b': out += L'\b'; break;
            case L'f': out += L'\f'; break;
            case L'u':
                if (at_ + 4 > text_.size()) {
                    return false;
                }
                out += static_cast<wchar_t>(std::stoul(text_.substr(at_, 4), nullptr, 16));
                at_ += 4;
                break;
            default: out += escaped; break;
            }
        }
        return false;
    }

    const std::wstring& text_;
    size_t at_ = 0;
};

}  // namespace

namespace {

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A surrogate without its partner: a file name may hold one, and UTF-8 has no
// form for it, so it is written as an escape that reads back as itself.
bool isLoneSurrogate(const std::wstring& text, size_t at)
{
    const wchar_t c = text[at];
    if (isHighSurrogate(c)) {
        return at + 1 >= text.size() || !isLowSurrogate(text[at + 1]);
    }
    return isLowSurrogate(c) && (at == 0 || !isHighSurrogate(text[at - 1]));
}

}  // namespace

std::wstring jsonString(const std::wstring& text)
{
    std::wstring quoted = L"\"";
    for (size_t at = 0; at < text.size(); ++at) {
        const wchar_t c = text[at];
        if (isLoneSurrogate(text, at)) {
            quoted += format(L"\\u%04x", static_cast<int>(c));
            continue;
        }
        switch (c) {
        case L'"': quoted += L"\\\""; break;
        case L'\\': quoted += L"\\\\"; break;
        case L'\n': quoted += L"\\n"; break;
        case L'\r': quoted += L"\\r"; break;
        case L'\t': quoted += L"\\t"; break;
        default:
            quoted += c < 0x20 ? format(L"\\u%04x", static_cast<int>(c)) : std::wstring(1, c);
            break;
        }
    }
    return quoted + L"\"";
}

std::optional<std::map<std::wstring, JsonScalar>> readJsonScalars(const std::wstring& text)
{
    std::map<std::wstring, JsonScalar> scalars;
    try {
        if (!ScalarReader(text).readDocument(scalars)) {
            return std::nullopt;
        }
    } catch (const std::exception&) {  // a \u escape that is no number
        return std::nullopt;
    }
    return scalars;
}

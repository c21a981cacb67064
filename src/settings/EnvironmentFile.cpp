#include "settings/EnvironmentFile.h"

#include <windows.h>

#include "common/WhiteSpace.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/Paths.h"

namespace {

const Logger logger(L"EnvironmentFile");

bool decodeLine(const std::string& bytes, std::wstring& line)
{
    line.clear();
    if (bytes.empty()) {
        return true;
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        return false;
    }
    line.resize(static_cast<size_t>(size));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, &line[0], size) == size;
}

// After a closing quote only blanks and a comment may follow.
bool endsCleanly(const std::wstring& rest)
{
    const std::wstring trimmed = trimWhiteSpace(rest);
    return trimmed.empty() || trimmed[0] == L'#';
}

// The value after "=": its text, or the reason it is refused.
std::wstring parseValue(const std::wstring& written, std::wstring& value)
{
    const std::wstring text = trimWhiteSpace(written);
    value.clear();
    if (text.empty() || (text[0] != L'"' && text[0] != L'\'')) {
        value = text;
        return std::wstring();
    }
    const wchar_t quote = text[0];
    for (size_t at = 1; at < text.size(); ++at) {
        const wchar_t c = text[at];
        if (c == quote) {
            return endsCleanly(text.substr(at + 1)) ? std::wstring()
                                                    : L"has more than a comment after its quoted value";
        }
        const wchar_t next = at + 1 < text.size() ? text[at + 1] : L'\0';
        if (quote == L'"' && c == L'\\' && (next == L'n' || next == L'"' || next == L'\\')) {
            value += next == L'n' ? L'\n' : next;
            ++at;
        } else {
            value += c;
        }
    }
    return L"opens a quoted value that does not end on that line";
}

// The variable of one line, or the reason it is refused; `skipped` for a
// blank line or a comment.
std::wstring parseLine(const std::wstring& line, EnvironmentVariable& variable, bool& skipped)
{
    const std::wstring trimmed = trimWhiteSpace(line);
    skipped = trimmed.empty() || trimmed[0] == L'#';
    if (skipped) {
        return std::wstring();
    }
    if (line.find(L'\0') != std::wstring::npos) {
        return L"holds the character 0, which no variable can";
    }
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) {
        return L"has no \"=\": write NAME=value, or start a comment with #";
    }
    variable.name = trimWhiteSpace(line.substr(0, equals));
    if (variable.name.empty()) {
        return L"has no name before \"=\"";
    }
    return parseValue(line.substr(equals + 1), variable.value);
}

}  // namespace

bool parseEnvironmentFile(const std::string& bytes, std::vector<EnvironmentVariable>& variables,
                          EnvironmentFileFault& fault)
{
    size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int number = 1; start <= bytes.size(); ++number) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string lineBytes = bytes.substr(start, end - start);
        if (!lineBytes.empty() && lineBytes.back() == '\r') {
            lineBytes.pop_back();
        }
        start = end + 1;
        std::wstring line;
        EnvironmentVariable variable;
        bool skipped = false;
        const std::wstring wrong = decodeLine(lineBytes, line) ? parseLine(line, variable, skipped) : L"is not UTF-8";
        if (!wrong.empty()) {
            fault = {number, wrong};
            return false;
        }
        if (!skipped) {
            variables.push_back(variable);
        }
    }
    return true;
}

bool loadEnvironmentFile(const std::wstring& file, std::vector<EnvironmentVariable>& variables)
{
    std::string bytes;
    if (readFileBytes(file, bytes) != 0) {
        logger.error(L"Failed to read the environment file %s: %s", file, lastErrorText());
        return false;
    }
    EnvironmentFileFault fault;
    if (!parseEnvironmentFile(bytes, variables, fault)) {
        logger.error(L"Line %d of the environment file %s %s", fault.line, file, fault.reason);
        return false;
    }
    return true;
}

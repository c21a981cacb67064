#include "support/LogText.h"

#include <regex>

const std::wstring ROLL_FILE_WRITER_WARN = L"RollFileWriter" + std::wstring(20, L' ') + L"[Warn] ";

std::vector<std::wstring> infoMessagesOf(const std::wstring& logText, const std::wstring& loggerName)
{
    std::wstring marker = loggerName;
    marker.resize(33, L' ');
    marker += L" [Info] ";
    std::vector<std::wstring> messages;
    size_t at = 0;
    while ((at = logText.find(marker, at)) != std::wstring::npos) {
        const size_t start = at + marker.size();
        const size_t end = logText.find(L"\r\n", start);
        messages.push_back(logText.substr(start, end - start));
        at = end;
    }
    return messages;
}

std::wstring withoutTimestamps(const std::wstring& content)
{
    return std::regex_replace(content, std::wregex(L"(^|\n)\\[[^\\]]+\\] "), L"$1");
}

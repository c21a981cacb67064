#pragma once

#include <string>
#include <vector>

// The messages of one logger at Info in the text of a log file, in order.
std::vector<std::wstring> infoMessagesOf(const std::wstring& logText, const std::wstring& loggerName);

// The text of a log file without the timestamp that begins each record.
std::wstring withoutTimestamps(const std::wstring& content);

// What follows the timestamp of a warning the log file's writer adds about the file itself.
extern const std::wstring ROLL_FILE_WRITER_WARN;

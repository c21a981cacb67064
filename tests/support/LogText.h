#pragma once

#include <string>
#include <vector>

// The messages of one logger at Info in the text of a log file, in order.
std::vector<std::wstring> infoMessagesOf(const std::wstring& logText, const std::wstring& loggerName);

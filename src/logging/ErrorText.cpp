#include "logging/ErrorText.h"

#include <vector>

#include "common/Format.h"
#include "common/WhiteSpace.h"

std::wstring errorText(DWORD code)
{
    const DWORD capacity = 65535;
    std::vector<wchar_t> buffer(capacity + 1, L'\0');
    // Insert sequences such as %1 stay as they are: no arguments are supplied.
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       buffer.data(), capacity, nullptr);
    const std::wstring text = trimWhiteSpace(std::wstring(buffer.data(), length));
    if (text.empty()) {
        return format(L"%d", static_cast<int>(code));
    }
    return text + format(L" (%d)", static_cast<int>(code));
}

std::wstring lastErrorText() { return errorText(GetLastError()); }

#include "logging/ErrorText.h"

#include <vector>

#include "common/Format.h"
#include "common/WhiteSpace.h"

namespace {

std::wstring messageText(DWORD flags, HMODULE module, DWORD code)
{
    const DWORD capacity = 65535;
    std::vector<wchar_t> buffer(capacity + 1, L'\0');
    // Insert sequences such as %1 stay as they are: no arguments are supplied.
    const DWORD length = FormatMessageW(flags | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, module,
                                        code, 0, buffer.data(), capacity, nullptr);
    const std::wstring text = trimWhiteSpace(std::wstring(buffer.data(), length));
    if (text.empty()) {
        return format(L"%d", static_cast<int>(code));
    }
    return text + format(L" (%d)", static_cast<int>(code));
}

}  // namespace

std::wstring errorText(DWORD code) { return messageText(0, nullptr, code); }

// Without the module the process's own table would be searched: the system's only then.
std::wstring moduleErrorText(HMODULE module, DWORD code)
{
    return module != nullptr ? messageText(FORMAT_MESSAGE_FROM_HMODULE, module, code) : errorText(code);
}

std::wstring lastErrorText() { return errorText(GetLastError()); }

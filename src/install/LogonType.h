#pragma once

#include <windows.h>

// A logon type of LogonUserW with the name that log lines show for it.
struct LogonType {
    DWORD value;
    const wchar_t* name;
};

inline constexpr LogonType LOGON_AS_SERVICE{LOGON32_LOGON_SERVICE, L"Logon as service"};

#pragma once

#include <windows.h>
#include <ntsecapi.h>

// Access to the LSA policy with the name that log lines show for it.
struct PolicyRights {
    ACCESS_MASK value;
    const wchar_t* name;
};

inline constexpr PolicyRights POLICY_RIGHTS_CHANGE_PRIVILEGES{POLICY_ALL_ACCESS, L"Change privileges"};
inline constexpr PolicyRights POLICY_RIGHTS_READ_PRIVILEGES{POLICY_READ, L"Read privileges"};

#pragma once

#include <windows.h>

// Access rights with the name that log lines show for them.
struct ManagerRights {
    DWORD value;
    const wchar_t* name;
};

struct ServiceRights {
    // The rights the service control manager must be opened with first.
    const ManagerRights* managerRights;
    DWORD value;
    const wchar_t* name;
};

inline constexpr ManagerRights MANAGER_RIGHTS_CREATE_SERVICE{SC_MANAGER_CREATE_SERVICE, L"Create service"};
inline constexpr ManagerRights MANAGER_RIGHTS_ENUMERATE_SERVICE{SC_MANAGER_ENUMERATE_SERVICE, L"Enumerate service"};
inline constexpr ManagerRights MANAGER_RIGHTS_CONNECT{SC_MANAGER_CONNECT, L"Connect"};

inline constexpr ServiceRights SERVICE_RIGHTS_DELETE{&MANAGER_RIGHTS_ENUMERATE_SERVICE, DELETE, L"Delete"};
inline constexpr ServiceRights SERVICE_RIGHTS_MODIFY_DACL{&MANAGER_RIGHTS_ENUMERATE_SERVICE, READ_CONTROL | WRITE_DAC,
                                                          L"Modify DACL"};
// Starting and stopping read the status too, to wait for the state asked for.
inline constexpr ServiceRights SERVICE_RIGHTS_START{&MANAGER_RIGHTS_CONNECT, SERVICE_START | SERVICE_QUERY_STATUS,
                                                    L"Start"};
inline constexpr ServiceRights SERVICE_RIGHTS_STOP{&MANAGER_RIGHTS_CONNECT, SERVICE_STOP | SERVICE_QUERY_STATUS,
                                                   L"Stop"};
// status shows the configuration too.
inline constexpr ServiceRights SERVICE_RIGHTS_QUERY_STATUS{&MANAGER_RIGHTS_CONNECT,
                                                           SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG,
                                                           L"Query status"};
// Refreshing reads the time to stop at shutdown before it changes it.
inline constexpr ServiceRights SERVICE_RIGHTS_CHANGE_CONFIG{&MANAGER_RIGHTS_ENUMERATE_SERVICE,
                                                            SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG,
                                                            L"Change config"};

#pragma once

#include <optional>
#include <string>

class UserSettings;

// The kinds of account a service may run as. All but a user account have
// no password: Windows manages it, or there is none.
enum class ServiceAccountKind {
    USER,
    VIRTUAL,          // NT SERVICE\<service name>, created by the service control manager
    LOCAL_SERVICE,    // NT AUTHORITY\LocalService
    NETWORK_SERVICE,  // NT AUTHORITY\NetworkService
    MANAGED,          // a group managed service account, DOMAIN\name$
};

// By the account's domain and name, as /domain= and /user= give them.
ServiceAccountKind serviceAccountKind(const UserSettings& account);

bool needsPassword(ServiceAccountKind kind);

// The password CreateServiceW takes for the account: a user account's own, an
// empty one for LocalService and NetworkService, none (null) for virtual and
// managed accounts.
std::optional<std::wstring> registeredPassword(const UserSettings& account);

// "user account", "virtual account", ...
const wchar_t* serviceAccountKindName(ServiceAccountKind kind);

// The name the service control manager registers: the built-in service
// accounts in their canonical form, the others as "domain\user".
std::wstring registeredAccountName(const UserSettings& account);

// The name to look the account's SID up with.
std::wstring lookupAccountName(const UserSettings& account);

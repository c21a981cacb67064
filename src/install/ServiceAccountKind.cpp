#include "install/ServiceAccountKind.h"

#include <windows.h>

#include "install/AccountName.h"
#include "settings/SettingsInterfaces.h"

namespace {

bool equalsIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool isLocalOrAuthority(const std::wstring& domain)
{
    return domain.empty() || domain == L"." || equalsIgnoringCase(domain, L"NT AUTHORITY");
}

}  // namespace

ServiceAccountKind serviceAccountKind(const UserSettings& account)
{
    const std::wstring domain = account.getDomain();
    const std::wstring user = account.getUser();
    if (equalsIgnoringCase(domain, L"NT SERVICE")) {
        return ServiceAccountKind::VIRTUAL;
    }
    if (isLocalOrAuthority(domain) && (equalsIgnoringCase(user, L"LocalService") ||
                                       equalsIgnoringCase(user, L"Local Service"))) {
        return ServiceAccountKind::LOCAL_SERVICE;
    }
    if (isLocalOrAuthority(domain) && (equalsIgnoringCase(user, L"NetworkService") ||
                                       equalsIgnoringCase(user, L"Network Service"))) {
        return ServiceAccountKind::NETWORK_SERVICE;
    }
    if (user.size() > 1 && user.back() == L'$') {
        return ServiceAccountKind::MANAGED;
    }
    return ServiceAccountKind::USER;
}

bool needsPassword(ServiceAccountKind kind) { return kind == ServiceAccountKind::USER; }

std::optional<std::wstring> registeredPassword(const UserSettings& account)
{
    switch (serviceAccountKind(account)) {
    case ServiceAccountKind::USER: return account.getPassword();
    case ServiceAccountKind::LOCAL_SERVICE:
    case ServiceAccountKind::NETWORK_SERVICE: return std::wstring();
    default: return std::nullopt;
    }
}

const wchar_t* serviceAccountKindName(ServiceAccountKind kind)
{
    switch (kind) {
    case ServiceAccountKind::VIRTUAL: return L"virtual account";
    case ServiceAccountKind::LOCAL_SERVICE: return L"local service account";
    case ServiceAccountKind::NETWORK_SERVICE: return L"network service account";
    case ServiceAccountKind::MANAGED: return L"group managed service account";
    default: return L"user account";
    }
}

std::wstring registeredAccountName(const UserSettings& account)
{
    switch (serviceAccountKind(account)) {
    case ServiceAccountKind::VIRTUAL: return L"NT SERVICE\\" + account.getUser();
    case ServiceAccountKind::LOCAL_SERVICE: return L"NT AUTHORITY\\LocalService";
    case ServiceAccountKind::NETWORK_SERVICE: return L"NT AUTHORITY\\NetworkService";
    default: return account.getDomain() + L"\\" + account.getUser();
    }
}

std::wstring lookupAccountName(const UserSettings& account)
{
    return needsPassword(serviceAccountKind(account)) ? qualifiedAccountName(account) : registeredAccountName(account);
}

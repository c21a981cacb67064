#pragma once

#include <windows.h>

#include <string>
#include <vector>

using SidBytes = std::vector<BYTE>;

// The accounts that may change what a service runs without that being a
// risk: SYSTEM, Administrators, TrustedInstaller and the accounts added.
class TrustedAccounts {
public:
    explicit TrustedAccounts(std::vector<SidBytes> added = {});

    // For install and the checks of the settings: also the direct members of
    // the local Administrators group, the account running this process when
    // it is an administrator, and the account the service is to run as.
    static TrustedAccounts forInstall(const std::wstring& serviceAccount);
    // For the running service: the account running it is the service's own.
    static TrustedAccounts forService();

    bool contains(const void* sid) const;

private:
    void addAdministratorMembers();

    std::vector<SidBytes> sids_;
};

// The SID as bytes: of a string such as "S-1-5-18", or of an account name;
// empty when there is none.
SidBytes sidOfString(const std::wstring& text);
SidBytes sidOfAccount(const std::wstring& account);

// The SID of the virtual account NT SERVICE\<service name>, which exists
// only once the service does: S-1-5-80 and the SHA-1 hash of the upper-case name.
SidBytes virtualAccountSid(const std::wstring& serviceName);

// "DOMAIN\name", the name alone where it has no domain, or the SID string.
std::wstring nameOfSid(const void* sid);

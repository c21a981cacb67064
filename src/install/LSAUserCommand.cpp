#include "install/LSAUserCommand.h"

#include <vector>

#include "common/Format.h"
#include "common/UniqueResource.h"
#include "install/AccountName.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"LSAUserCommand");
const DWORD SID_CAPACITY = 2044;
const DWORD DOMAIN_CAPACITY = 2044;

}  // namespace

std::wstring accountLookupHint(const std::wstring& account, DWORD error)
{
    if (error != ERROR_NONE_MAPPED) {
        return std::wstring();
    }
    // A group managed service account ends in "$".
    if (!account.empty() && account.back() == L'$') {
        return format(L"The managed service account %s was not found: it must exist in its domain, and this "
                      L"computer must be allowed to use it (one of its PrincipalsAllowedToRetrieveManagedPassword)",
                      account);
    }
    return format(L"The account %s was not found: check its name and its domain", account);
}

int LSAUserCommand::executeWithPolicy(LSA_HANDLE policy)
{
    const std::wstring account = qualifiedAccountName(userSettings());
    const UniqueHeapMemory sid(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SID_CAPACITY + 1));
    if (!sid) {
        logger.error(L"Failed to LookupAccountName. %s", errorText(ERROR_NOT_ENOUGH_MEMORY));
        return 1;
    }
    DWORD sidSize = SID_CAPACITY;
    std::vector<wchar_t> domain(DOMAIN_CAPACITY, L'\0');
    DWORD domainSize = DOMAIN_CAPACITY;
    SID_NAME_USE use = SidTypeUnknown;
    logger.debug(L"Call LookupAccountName");
    if (!LookupAccountNameW(nullptr, account.c_str(), sid.get(), &sidSize, domain.data(), &domainSize, &use)) {
        const DWORD error = GetLastError();
        logger.error(L"Failed to LookupAccountName. %s", errorText(error));
        const std::wstring hint = accountLookupHint(account, error);
        if (!hint.empty()) {
            logger.error(hint);
        }
        return 1;
    }
    const std::wstring domainName(domain.data(), domainSize);
    logger.debug(L"LSA Policy opened: Domain %s", domainName);
    // An empty or a domain's name finds the domain itself; rights must never go to a whole domain.
    if (use == SidTypeDomain) {
        logger.error(L"Failed to LookupAccountName. '%s' names the domain %s, not an account", account, domainName);
        return 1;
    }
    return executeWithSid(policy, sid.get());
}

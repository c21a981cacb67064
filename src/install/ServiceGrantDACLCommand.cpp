#include "install/ServiceGrantDACLCommand.h"

#include <aclapi.h>

#include <vector>

#include "common/UniqueResource.h"
#include "install/AccountName.h"
#include "install/ServiceAccountKind.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"ServiceGrantDACLCommand");
const size_t USER_NAME_CAPACITY = 32767;
// Querying and interrogating let the account also see the state, as `status`
// and `start /wait=` do.
const DWORD START_STOP_ACCESS =
    SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE | DELETE | READ_CONTROL;

// A full-access entry for a well-known account, named by SID since account names are localized.
struct WellKnownEntry {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    EXPLICIT_ACCESSW access;
};

bool buildFullAccessEntry(WELL_KNOWN_SID_TYPE type, WellKnownEntry& entry)
{
    DWORD size = sizeof(entry.sid);
    if (!CreateWellKnownSid(type, nullptr, entry.sid, &size)) {
        return false;
    }
    entry.access = {};
    entry.access.grfAccessPermissions = SERVICE_ALL_ACCESS;
    entry.access.grfAccessMode = SET_ACCESS;
    entry.access.grfInheritance = NO_INHERITANCE;
    BuildTrusteeWithSidW(&entry.access.Trustee, entry.sid);
    return true;
}

// The service's security descriptor with its DACL, in a block of the process heap.
int readSecurityDescriptor(SC_HANDLE service, UniqueHeapMemory& descriptor)
{
    DWORD needed = 0;
    if (QueryServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, nullptr, 0, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        logger.error(L"Failed to get service object security. %s", lastErrorText());
        return 1;
    }
    descriptor.reset(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed + 1));
    if (!descriptor) {
        logger.error(L"Failed to get service object security. %s", errorText(ERROR_NOT_ENOUGH_MEMORY));
        return 1;
    }
    if (!QueryServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, descriptor.get(), needed, &needed)) {
        logger.error(L"Failed to get service object security. %s", lastErrorText());
        return 1;
    }
    logger.debug(L"Got ServiceObjectSecurity");
    return 0;
}

int setServiceDacl(SC_HANDLE service, PACL dacl)
{
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) {
        logger.error(L"Failed to initialize Security Descriptior. %s", lastErrorText());
        return 1;
    }
    if (!SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE)) {
        logger.error(L"Failed to set Security Descriptior DACL. %s", lastErrorText());
        return 1;
    }
    if (!SetServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, &descriptor)) {
        logger.error(L"Failed to set Security DACL for service. %s", lastErrorText());
        return 1;
    }
    return 0;
}

}  // namespace

int buildStartStopDacl(const std::wstring& account, PACL current, UniqueLocalMemory& result)
{
    if (account.size() >= USER_NAME_CAPACITY) {
        logger.error(L"User name is too long");
        return 1;
    }
    std::vector<wchar_t> trustee(account.begin(), account.end());
    trustee.push_back(L'\0');
    std::vector<EXPLICIT_ACCESSW> entries;
    // No DACL means everyone had full access; a list holding only the account's
    // entry would lock SYSTEM and Administrators out.
    WellKnownEntry localSystem;
    WellKnownEntry administrators;
    if (current == nullptr) {
        if (!buildFullAccessEntry(WinLocalSystemSid, localSystem) ||
            !buildFullAccessEntry(WinBuiltinAdministratorsSid, administrators)) {
            logger.error(L"Failed to set entries in ACL. %s", lastErrorText());
            return 1;
        }
        entries.push_back(localSystem.access);
        entries.push_back(administrators.access);
    }
    EXPLICIT_ACCESSW entry = {};
    BuildExplicitAccessWithNameW(&entry, trustee.data(), START_STOP_ACCESS, SET_ACCESS, NO_INHERITANCE);
    entries.push_back(entry);
    PACL list = nullptr;
    // SetEntriesInAcl returns its error code instead of setting the last error.
    const DWORD code = SetEntriesInAclW(static_cast<ULONG>(entries.size()), entries.data(), current, &list);
    if (code != ERROR_SUCCESS) {
        logger.error(L"Failed to set entries in ACL. %s", errorText(code));
        return 1;
    }
    result.reset(list);
    return 0;
}

ServiceGrantDACLCommand::ServiceGrantDACLCommand(const CreateServiceSettings& settings)
    : ServiceCommand(SERVICE_RIGHTS_MODIFY_DACL, settings), createSettings_(settings)
{
}

int ServiceGrantDACLCommand::executeWithService(SC_HANDLE, SC_HANDLE service)
{
    // An account without a password runs the service; it does not control it.
    if (createSettings_.isRunAsSystem() || !needsPassword(serviceAccountKind(createSettings_))) {
        return 0;
    }
    logger.debug(L"Going to give service running user account rights to start/stop service");
    UniqueHeapMemory descriptor;
    if (readSecurityDescriptor(service, descriptor) != 0) {
        return 1;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted)) {
        logger.error(L"Failed to get security descriptor DACL. %s", lastErrorText());
        return 1;
    }
    UniqueLocalMemory merged;
    if (buildStartStopDacl(qualifiedAccountName(createSettings_), present ? dacl : nullptr, merged) != 0 ||
        setServiceDacl(service, static_cast<PACL>(merged.get())) != 0) {
        return 1;
    }
    logger.info(L"Allowed service running user to start, stop the service");
    return 0;
}

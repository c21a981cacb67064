#include "security/WriteAccessCheck.h"

#include <aclapi.h>

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "common/UniqueResource.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "logging/ServiceEvents.h"
#include "security/TrustedAccounts.h"
#include "settings/Paths.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"WriteAccessCheck");

struct NamedRight {
    ACCESS_MASK mask;
    const wchar_t* fileName;
    const wchar_t* folderName;
};

// Rights that let a holder replace what the service runs; the attribute
// rights alone do not. Generic rights are mapped to these first.
const NamedRight WRITE_RIGHTS[] = {
    {FILE_WRITE_DATA, L"write data", L"add file"},
    {FILE_APPEND_DATA, L"append data", L"add subfolder"},
    {FILE_DELETE_CHILD, nullptr, L"delete child"},
    {DELETE, L"DELETE", L"DELETE"},
    {WRITE_DAC, L"WRITE_DAC", L"WRITE_DAC"},
    {WRITE_OWNER, L"WRITE_OWNER", L"WRITE_OWNER"},
};

// Above the file's own folder only what puts another folder in the place of
// one counts: deleting, renaming or taking it over, or deleting it through
// its parent. Creating folders, as Windows' root ACL lets every user, does not.
const ACCESS_MASK REPLACE_RIGHTS = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;

ACCESS_MASK reachMask(WriteReach reach)
{
    switch (reach) {
    case WriteReach::WHOLE_FILE: return FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER;
    case WriteReach::OWN_FOLDER: return FILE_WRITE_DATA | FILE_APPEND_DATA | REPLACE_RIGHTS;
    default: return REPLACE_RIGHTS;
    }
}

std::wstring rightNames(ACCESS_MASK granted, WriteReach reach, bool asOwner)
{
    std::wstring names;
    for (const NamedRight& right : WRITE_RIGHTS) {
        const wchar_t* name = reach == WriteReach::WHOLE_FILE ? right.fileName : right.folderName;
        if (name != nullptr && (granted & right.mask) != 0) {
            names += (names.empty() ? L"" : L", ") + std::wstring(name);
        }
    }
    if (asOwner) {
        names += names.empty() ? L"owner" : L", owner";
    }
    return names;
}

bool isWellKnown(const void* sid, WELL_KNOWN_SID_TYPE type)
{
    return IsWellKnownSid(const_cast<void*>(sid), type) != FALSE;
}

// What one account may do, in the order the entries grant and deny it.
struct Holder {
    const void* sid;
    ACCESS_MASK allowed;
    ACCESS_MASK denied;
    bool asOwner;
};

Holder& holderOf(const void* sid, std::vector<Holder>& holders)
{
    for (Holder& holder : holders) {
        if (EqualSid(const_cast<void*>(holder.sid), const_cast<void*>(sid))) {
            return holder;
        }
    }
    holders.push_back({sid, 0, 0, false});
    return holders.back();
}

std::vector<Holder> holdersOf(const ACL& dacl, const void* owner)
{
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    std::vector<Holder> holders;
    ACCESS_MASK everyoneDenied = 0;
    bool ownerRightsListed = false;
    for (DWORD index = 0; index < dacl.AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(&dacl), index, &entry)) {
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        const BYTE type = header->AceType;
        // A conditional allow may apply, so it counts; a conditional deny may not.
        const bool allows = type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 || (!allows && type != ACCESS_DENIED_ACE_TYPE)) {
            continue;
        }
        // These entry types keep the mask and the SID at the same places.
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        const void* sid = &ace->SidStart;
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        // Placeholders for inheritance; they grant nobody anything here.
        if (isWellKnown(sid, WinCreatorOwnerSid) || isWellKnown(sid, WinCreatorGroupSid)) {
            continue;
        }
        if (isWellKnown(sid, WinCreatorOwnerRightsSid)) {
            ownerRightsListed = true;
            if (owner == nullptr) {
                continue;
            }
            sid = owner;
        }
        if (!allows && isWellKnown(sid, WinWorldSid)) {
            everyoneDenied |= mask;
        } else if (!allows) {
            holderOf(sid, holders).denied |= mask;
        } else {
            Holder& holder = holderOf(sid, holders);
            holder.allowed |= mask & ~(holder.denied | everyoneDenied);
        }
    }
    // The owner may always change the DACL, unless an OWNER RIGHTS entry says what it may do.
    if (owner != nullptr && !ownerRightsListed) {
        Holder& holder = holderOf(owner, holders);
        holder.allowed |= WRITE_DAC;
        holder.asOwner = true;
    }
    return holders;
}

std::vector<WriteAccessFinding> scanDescriptor(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor,
                                               WriteReach reach, const TrustedAccounts& trusted)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        return {{path, L"", L"", lastErrorText(), L""}};
    }
    if (!present || dacl == nullptr) {
        return {{path, L"Everyone", L"full control: no DACL", L"", L""}};
    }
    std::vector<WriteAccessFinding> findings;
    for (const Holder& holder : holdersOf(*dacl, owner)) {
        const ACCESS_MASK granted = holder.allowed & reachMask(reach);
        if (granted != 0 && !trusted.contains(holder.sid)) {
            findings.push_back({path, nameOfSid(holder.sid), rightNames(granted, reach, holder.asOwner), L"", L""});
        }
    }
    return findings;
}

// The owner and DACL of the path itself: a link is read as the link, not as
// what it leads to (GetNamedSecurityInfoW would follow it).
DWORD readSecurity(const std::wstring& path, PSECURITY_DESCRIPTOR& descriptor)
{
    const UniqueHandle file(CreateFileW(path.c_str(), READ_CONTROL,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return GetLastError();
    }
    return GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, nullptr, nullptr, &descriptor);
}

void addCommand(const ExecutionSettings* command, FolderChain& chain)
{
    if (command != nullptr) {
        chain.addFile(command->getProgram());
        chain.addFolder(command->getWorkDir());
    }
}

void addPrograms(const ServiceTaskSettings& settings, FolderChain& chain)
{
    addCommand(&settings, chain);
    addCommand(settings.getStopCommand(), chain);
    for (const Hook hook : {Hook::PreStart, Hook::PostStart, Hook::PostStop}) {
        addCommand(settings.getHook(hook), chain);
    }
    // Its variables decide what the program runs, as PATH does.
    if (const std::wstring* environmentFile = settings.getEnvironmentFile()) {
        chain.addFile(*environmentFile);
    }
    std::wstring executable;
    if (getModulePath(executable) == 0) {
        chain.addFile(executable);
    }
}

std::vector<WriteAccessFinding> scanPaths(const FolderChain& chain, const TrustedAccounts& trusted)
{
    std::vector<WriteAccessFinding> findings;
    for (const CheckedPath& checked : chain.paths()) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        const DWORD status = readSecurity(checked.path, descriptor);
        const UniqueLocalMemory owner(descriptor);
        for (WriteAccessFinding& finding : scanSecurity(checked.path, status, descriptor, checked.reach, trusted)) {
            finding.via = checked.via;
            findings.push_back(finding);
        }
    }
    return findings;
}

}  // namespace

std::vector<WriteAccessFinding> scanSecurity(const std::wstring& path, DWORD readStatus,
                                             PSECURITY_DESCRIPTOR descriptor, WriteReach reach,
                                             const TrustedAccounts& trusted)
{
    // What does not exist, such as a program not deployed yet, is reported
    // where it is used; its folders are checked on their own.
    if (readStatus == ERROR_FILE_NOT_FOUND || readStatus == ERROR_PATH_NOT_FOUND) {
        return {};
    }
    if (readStatus != ERROR_SUCCESS) {
        return {{path, L"", L"", errorText(readStatus), L""}};
    }
    return scanDescriptor(path, descriptor, reach, trusted);
}

std::vector<WriteAccessFinding> findWritableSettingsFile(const std::wstring& settingsFile,
                                                         const std::wstring& wrapperConfig,
                                                         const TrustedAccounts& trusted)
{
    FolderChain chain;
    chain.addFile(settingsFile);
    chain.addFile(wrapperConfig);
    return scanPaths(chain, trusted);
}

std::vector<WriteAccessFinding> findWritablePrograms(const ServiceTaskSettings& settings,
                                                    const TrustedAccounts& trusted)
{
    FolderChain chain;
    addPrograms(settings, chain);
    return scanPaths(chain, trusted);
}

std::vector<WriteAccessFinding> findWritableFiles(const ServiceTaskSettings& settings,
                                                  const std::wstring& wrapperConfig, const TrustedAccounts& trusted)
{
    FolderChain chain;
    chain.addFile(settings.getSettingsFile());
    chain.addFile(wrapperConfig);
    addPrograms(settings, chain);
    return scanPaths(chain, trusted);
}

std::wstring findingText(const WriteAccessFinding& finding)
{
    if (!finding.failure.empty()) {
        const std::wstring text = L"Failed to read the permissions of " + finding.path + L": " + finding.failure;
        return finding.via.empty() ? text : text + L", reached through " + finding.via;
    }
    const std::wstring text = finding.path + L" can be changed by " + finding.account + L" (" + finding.rights + L")";
    return finding.via.empty() ? text : text + L", reached through " + finding.via;
}

bool acceptWritableFiles(const std::vector<WriteAccessFinding>& findings, bool riskAccepted)
{
    for (const WriteAccessFinding& finding : findings) {
        if (riskAccepted) {
            logger.warn(findingText(finding));
        } else {
            logger.error(findingText(finding));
            ServiceEvents::fileRefused(finding.path, finding.account,
                                       finding.failure.empty() ? finding.rights : finding.failure);
        }
    }
    if (findings.empty() || riskAccepted) {
        return true;
    }
    logger.error(L"Accounts other than administrators, SYSTEM and the service's own could make the service run "
                 L"another program: take their right to change these files and folders, or accept the risk with %s",
                 makeBoolArgument(KEY_ALLOW_WRITABLE_FILES, true));
    return false;
}

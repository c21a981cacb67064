#include "install/WriteAccessCheck.h"

#include <aclapi.h>

#include <algorithm>

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "common/UniqueResource.h"
#include "logging/Logger.h"
#include "settings/Paths.h"
#include "settings/SettingsInterfaces.h"

namespace {

const Logger logger(L"WriteAccessCheck");

struct OrdinaryGroup {
    WELL_KNOWN_SID_TYPE sid;
    const wchar_t* name;
};

// By SID, not by name: names are translated.
const OrdinaryGroup ORDINARY_GROUPS[] = {
    {WinWorldSid, L"Everyone"},       {WinAuthenticatedUserSid, L"Authenticated Users"},
    {WinBuiltinUsersSid, L"Users"},   {WinInteractiveSid, L"Interactive"},
    {WinBuiltinGuestsSid, L"Guests"}, {WinAnonymousSid, L"Anonymous"},
};
const int EVERYONE = 0;

struct NamedRight {
    ACCESS_MASK mask;
    const wchar_t* fileName;
    const wchar_t* folderName;
};

// Rights that let a holder replace what the service runs; the attribute
// rights alone do not.
const NamedRight WRITE_RIGHTS[] = {
    {FILE_WRITE_DATA, L"write data", L"add file"},
    {FILE_APPEND_DATA, L"append data", L"add subfolder"},
    {FILE_DELETE_CHILD, nullptr, L"delete child"},
    {DELETE, L"DELETE", L"DELETE"},
    {WRITE_DAC, L"WRITE_DAC", L"WRITE_DAC"},
    {WRITE_OWNER, L"WRITE_OWNER", L"WRITE_OWNER"},
    {GENERIC_WRITE, L"GENERIC_WRITE", L"GENERIC_WRITE"},
    {GENERIC_ALL, L"GENERIC_ALL", L"GENERIC_ALL"},
};

int groupOf(PSID sid)
{
    for (int i = 0; i < static_cast<int>(sizeof ORDINARY_GROUPS / sizeof ORDINARY_GROUPS[0]); ++i) {
        BYTE known[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof known;
        if (CreateWellKnownSid(ORDINARY_GROUPS[i].sid, nullptr, known, &size) && EqualSid(sid, known)) {
            return i;
        }
    }
    return -1;
}

ACCESS_MASK writeMask(bool isFolder)
{
    ACCESS_MASK mask = 0;
    for (const NamedRight& right : WRITE_RIGHTS) {
        if (isFolder || right.fileName != nullptr) {
            mask |= right.mask;
        }
    }
    return mask;
}

std::wstring rightNames(ACCESS_MASK granted, bool isFolder)
{
    std::wstring names;
    for (const NamedRight& right : WRITE_RIGHTS) {
        const wchar_t* name = isFolder ? right.folderName : right.fileName;
        if (name != nullptr && (granted & right.mask) != 0) {
            names += (names.empty() ? L"" : L", ") + std::wstring(name);
        }
    }
    return names;
}

void checkPath(const std::wstring& path, bool isFolder, std::vector<WriteAccessFinding>& findings)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                               nullptr, &dacl, nullptr, &descriptor);
    const UniqueLocalMemory owner(descriptor);
    // What cannot be read, such as a program that does not exist yet, is
    // reported where it is used.
    if (status != ERROR_SUCCESS) {
        return;
    }
    for (WriteAccessFinding& finding : scanDacl(dacl, isFolder)) {
        finding.path = path;
        findings.push_back(finding);
    }
}

void addWithFolder(const std::wstring& file, std::vector<std::wstring>& files)
{
    if (file.empty()) {
        return;
    }
    std::wstring folder;
    resolveBasePath(file, folder);
    for (const std::wstring& path : {file, folder}) {
        if (!path.empty() && std::find(files.begin(), files.end(), path) == files.end()) {
            files.push_back(path);
        }
    }
}

}  // namespace

std::vector<WriteAccessFinding> scanDacl(const ACL* dacl, bool isFolder)
{
    const int groups = static_cast<int>(sizeof ORDINARY_GROUPS / sizeof ORDINARY_GROUPS[0]);
    if (dacl == nullptr) {
        return {{L"", ORDINARY_GROUPS[EVERYONE].name, L"full control (no DACL)"}};
    }
    std::vector<ACCESS_MASK> allowed(groups, 0);
    std::vector<ACCESS_MASK> denied(groups, 0);
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), index, &entry)) {
            continue;
        }
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) {
            continue;
        }
        // Both entry types keep the mask and the SID at the same places.
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        const int group = groupOf(const_cast<DWORD*>(&ace->SidStart));
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            // Everyone's deny covers every group; another group's only itself.
            for (int g = 0; g < groups; ++g) {
                if (g == group || group == EVERYONE) {
                    denied[g] |= ace->Mask;
                }
            }
        } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE && group >= 0) {
            allowed[group] |= ace->Mask & ~denied[group];
        }
    }
    std::vector<WriteAccessFinding> findings;
    for (int g = 0; g < groups; ++g) {
        const ACCESS_MASK granted = allowed[g] & writeMask(isFolder);
        if (granted != 0) {
            findings.push_back({L"", ORDINARY_GROUPS[g].name, rightNames(granted, isFolder)});
        }
    }
    return findings;
}

std::vector<WriteAccessFinding> findWritableFiles(const ServiceTaskSettings& settings)
{
    std::vector<std::wstring> files;
    addWithFolder(settings.getSettingsFile(), files);
    addWithFolder(settings.getProgram(), files);
    if (const ExecutionSettings* stopCommand = settings.getStopCommand()) {
        addWithFolder(stopCommand->getProgram(), files);
    }
    std::wstring executable;
    if (getModulePath(executable) == 0) {
        addWithFolder(executable, files);
    }
    std::vector<WriteAccessFinding> findings;
    for (const std::wstring& path : files) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            checkPath(path, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, findings);
        }
    }
    return findings;
}

std::wstring findingText(const WriteAccessFinding& finding)
{
    return finding.path + L" can be changed by " + finding.group + L" (" + finding.rights + L")";
}

bool acceptWritableFiles(const std::vector<WriteAccessFinding>& findings, bool riskAccepted)
{
    for (const WriteAccessFinding& finding : findings) {
        if (riskAccepted) {
            logger.warn(findingText(finding));
        } else {
            logger.error(findingText(finding));
        }
    }
    if (findings.empty() || riskAccepted) {
        return true;
    }
    logger.error(L"Ordinary users could make the service run another program: remove these groups' write access, "
                 L"or accept the risk with %s",
                 makeBoolArgument(KEY_ALLOW_WRITABLE_FILES, true));
    return false;
}

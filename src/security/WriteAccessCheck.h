#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ServiceTaskSettings;
class TrustedAccounts;

// An account outside the trusted ones that may change a file or folder a
// service runs, and so make the service run any program under its account;
// or a file or folder whose permissions cannot be read.
struct WriteAccessFinding {
    std::wstring path;
    std::wstring account;
    std::wstring rights;  // the write rights, comma separated
    std::wstring failure;  // why the permissions could not be read
};

// How much of a path's write access matters.
enum class WriteReach {
    WHOLE_FILE,    // any change of the file
    OWN_FOLDER,    // the folder of a file: adding files to it is enough to plant a DLL
    FOLDER_ABOVE,  // a folder further up: only putting another folder in the place of one
};

// The findings of a path's security as read with GetNamedSecurityInfoW:
// `readStatus` and, on success, a descriptor with its owner and DACL. What
// does not exist has none; what cannot be read is a finding.
std::vector<WriteAccessFinding> scanSecurity(const std::wstring& path, DWORD readStatus,
                                             PSECURITY_DESCRIPTOR descriptor, WriteReach reach,
                                             const TrustedAccounts& trusted);

// The settings file, its folder and every folder above it up to the volume root.
std::vector<WriteAccessFinding> findWritableSettingsFile(const std::wstring& settingsFile,
                                                         const TrustedAccounts& trusted);
// The same for the program, the stop command's program and this executable.
std::vector<WriteAccessFinding> findWritablePrograms(const ServiceTaskSettings& settings,
                                                    const TrustedAccounts& trusted);
// Both of the above.
std::vector<WriteAccessFinding> findWritableFiles(const ServiceTaskSettings& settings,
                                                  const TrustedAccounts& trusted);

// "<path> can be changed by <account> (<rights>)", or why it cannot be checked.
std::wstring findingText(const WriteAccessFinding& finding);

// Logs each finding: as an error followed by how to proceed, or, when the
// risk was accepted, as a warning. False when the findings refuse the start.
bool acceptWritableFiles(const std::vector<WriteAccessFinding>& findings, bool riskAccepted);

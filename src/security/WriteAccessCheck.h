#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "security/FolderChain.h"

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
    std::wstring via;  // the link through which the path as written leads here
};

// The findings of a path's security as read with GetSecurityInfo:
// `readStatus` and, on success, a descriptor with its owner and DACL. What
// does not exist has none; what cannot be read is a finding.
std::vector<WriteAccessFinding> scanSecurity(const std::wstring& path, DWORD readStatus,
                                             PSECURITY_DESCRIPTOR descriptor, WriteReach reach,
                                             const TrustedAccounts& trusted);

// The settings file and the wrapper configuration that named it (empty when
// none did), their folders and every folder above them up to the volume root.
std::vector<WriteAccessFinding> findWritableSettingsFile(const std::wstring& settingsFile,
                                                         const std::wstring& wrapperConfig,
                                                         const TrustedAccounts& trusted);
// The same for the program, the stop command's and the hooks' programs, the
// folders they run in, the environment file and this executable.
std::vector<WriteAccessFinding> findWritablePrograms(const ServiceTaskSettings& settings,
                                                    const TrustedAccounts& trusted);
// Both of the above.
std::vector<WriteAccessFinding> findWritableFiles(const ServiceTaskSettings& settings,
                                                  const std::wstring& wrapperConfig, const TrustedAccounts& trusted);

// "<path> can be changed by <account> (<rights>)", or why it cannot be
// checked; for a path reached through a link, ", reached through <link> -> <target>".
std::wstring findingText(const WriteAccessFinding& finding);

// Logs each finding: as an error followed by how to proceed, or, when the
// risk was accepted, as a warning. False when the findings refuse the start.
bool acceptWritableFiles(const std::vector<WriteAccessFinding>& findings, bool riskAccepted);

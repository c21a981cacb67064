#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ServiceTaskSettings;

// A group of ordinary users that may change a file or folder a service runs:
// they could make the service run any program under its account.
struct WriteAccessFinding {
    std::wstring path;
    std::wstring group;
    std::wstring rights;  // the write rights, comma separated
};

// The groups of ordinary users that an allow entry of `dacl` gives write
// access, each with its rights. Entries that only pass on to children do not
// count, and a deny entry that comes first takes its rights back. A null DACL
// gives everyone everything.
std::vector<WriteAccessFinding> scanDacl(const ACL* dacl, bool isFolder);

// Findings for the settings file, the program, the stop command's program and
// this executable, each with its own folder.
std::vector<WriteAccessFinding> findWritableFiles(const ServiceTaskSettings& settings);

// "<path> can be changed by <group> (<rights>)"
std::wstring findingText(const WriteAccessFinding& finding);

// Logs each finding: as an error followed by how to proceed, or, when the
// risk was accepted, as a warning. False when the findings refuse the start.
bool acceptWritableFiles(const std::vector<WriteAccessFinding>& findings, bool riskAccepted);

#include "process/ChildProcess.h"

#include <psapi.h>

#include <string>
#include <vector>

namespace {

const DWORD LISTED_PROCESSES = 1024;
const DWORD PATH_CAPACITY = 32768;

// Windows starts a console host for a console program that has none, as in a
// service; it ends by itself once the program is gone and is none of its processes.
bool isConsoleHost(ULONG_PTR processId)
{
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId)));
    std::vector<wchar_t> path(PATH_CAPACITY, L'\0');
    DWORD size = PATH_CAPACITY;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) {
        return false;
    }
    const std::wstring image(path.data(), size);
    const size_t slash = image.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? image : image.substr(slash + 1);
    return CompareStringOrdinal(name.c_str(), -1, L"conhost.exe", -1, TRUE) == CSTR_EQUAL;
}

// The processes of the job, as many as the list holds; more are counted
// without a look at them. False when the job cannot be asked.
bool listProcesses(HANDLE job, std::vector<BYTE>& buffer)
{
    buffer.assign(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + LISTED_PROCESSES * sizeof(ULONG_PTR), 0);
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    return QueryInformationJobObject(job, JobObjectBasicProcessIdList, list, static_cast<DWORD>(buffer.size()),
                                     nullptr) ||
           GetLastError() == ERROR_MORE_DATA;
}

// PagefileUsage is the commit charge (PrivateUsage says the same where the
// system fills it in); 0 for a process that is gone or may not be asked.
unsigned long long commitCharge(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

}  // namespace

bool ChildProcess::terminate(UINT exitCode) const
{
    if (job_ && TerminateJobObject(job_.get(), exitCode)) {
        return true;
    }
    return TerminateProcess(process_.get(), exitCode) != FALSE;
}

DWORD ChildProcess::runningDescendants() const
{
    if (!job_) {
        return 0;
    }
    std::vector<BYTE> buffer;
    if (!listProcesses(job_.get(), buffer)) {
        return 0;
    }
    const auto* list = reinterpret_cast<const JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    DWORD running = list->NumberOfAssignedProcesses;
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
        if (isConsoleHost(list->ProcessIdList[i])) {
            --running;
        }
    }
    return running;
}

unsigned long long ChildProcess::committedMemory() const
{
    std::vector<BYTE> buffer;
    if (!job_ || !listProcesses(job_.get(), buffer)) {
        return commitCharge(process_.get());
    }
    const auto* list = reinterpret_cast<const JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    unsigned long long committed = 0;
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
        const UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(list->ProcessIdList[i])));
        if (process) {
            committed += commitCharge(process.get());
        }
    }
    return committed;
}

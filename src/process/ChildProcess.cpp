#include "process/ChildProcess.h"

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
    std::vector<BYTE> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + LISTED_PROCESSES * sizeof(ULONG_PTR));
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    // More processes than the list holds are counted without a look at them.
    if (!QueryInformationJobObject(job_.get(), JobObjectBasicProcessIdList, list, static_cast<DWORD>(buffer.size()),
                                   nullptr) &&
        GetLastError() != ERROR_MORE_DATA) {
        return 0;
    }
    DWORD running = list->NumberOfAssignedProcesses;
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
        if (isConsoleHost(list->ProcessIdList[i])) {
            --running;
        }
    }
    return running;
}

#include "process/ChildProcess.h"

bool ChildProcess::terminate(UINT exitCode) const
{
    if (job_ && TerminateJobObject(job_.get(), exitCode)) {
        return true;
    }
    return TerminateProcess(process_.get(), exitCode) != FALSE;
}

DWORD ChildProcess::runningDescendants() const
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!job_ || !QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                            sizeof accounting, nullptr)) {
        return 0;
    }
    return accounting.ActiveProcesses;
}

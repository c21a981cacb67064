#include "process/ChildProcess.h"

bool ChildProcess::terminate(UINT exitCode) const
{
    if (job_ && TerminateJobObject(job_.get(), exitCode)) {
        return true;
    }
    return TerminateProcess(process_.get(), exitCode) != FALSE;
}

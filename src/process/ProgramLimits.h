#pragma once

#include <windows.h>

#include "common/UniqueResource.h"

struct ProgramResources;

// Holds a program to what it may use: its job ends every process in it with
// the job's last handle and carries the limits of <limits>; the priority
// class and the processors are set on the program while it is suspended. A
// limit that Windows refuses is a warning that names it and the reason; the
// program runs without it.
class ProgramLimits {
public:
    using JobSetter = BOOL(WINAPI*)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD);

    // Null `resources`: no limits, only the job.
    explicit ProgramLimits(const ProgramResources* resources, JobSetter setJob = SetInformationJobObject)
        : resources_(resources), setJob_(setJob)
    {
    }

    // False, after an error that names the processors the machine has, when
    // the affinity names one it does not have.
    bool processorsPresent() const;
    // A job of its own for the program; none when it cannot be made (a job
    // the wrapper runs in may forbid it), and then only the program itself
    // can be terminated.
    UniqueHandle createJob() const;
    // Sets the priority class and the processors of the suspended program;
    // the processes it starts take its processors, and idle and below-normal
    // as their priority class (others only when they ask).
    void place(HANDLE process) const;

private:
    void limitCpuRate(HANDLE job) const;

    const ProgramResources* resources_;
    JobSetter setJob_;
};

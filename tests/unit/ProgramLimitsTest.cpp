#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "logging/ErrorText.h"
#include "logging/LogLevel.h"
#include "process/ProgramLimits.h"
#include "settings/ProgramResources.h"
#include "support/LoggingCapture.h"

// The limits a program's job is given, as Windows receives them: Wine keeps
// none of them to read back, so the calls are recorded on their way.

namespace {

struct JobCall {
    JOBOBJECTINFOCLASS kind;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    JOBOBJECT_CPU_RATE_CONTROL_INFORMATION rate;
};

std::vector<JobCall> calls;
// What the recorder answers for limits beyond ending the processes with the job, and for the CPU rate.
DWORD limitsRefusal = ERROR_SUCCESS;
DWORD rateRefusal = ERROR_SUCCESS;

BOOL WINAPI recordJobCall(HANDLE job, JOBOBJECTINFOCLASS kind, LPVOID information, DWORD size)
{
    JobCall call = {kind, {}, {}};
    if (kind == JobObjectExtendedLimitInformation) {
        call.limits = *static_cast<JOBOBJECT_EXTENDED_LIMIT_INFORMATION*>(information);
        if (limitsRefusal != ERROR_SUCCESS &&
            call.limits.BasicLimitInformation.LimitFlags != JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) {
            calls.push_back(call);
            SetLastError(limitsRefusal);
            return FALSE;
        }
    } else if (kind == JobObjectCpuRateControlInformation) {
        call.rate = *static_cast<JOBOBJECT_CPU_RATE_CONTROL_INFORMATION*>(information);
        if (rateRefusal != ERROR_SUCCESS) {
            calls.push_back(call);
            SetLastError(rateRefusal);
            return FALSE;
        }
    }
    calls.push_back(call);
    return kind == JobObjectCpuRateControlInformation ? TRUE : SetInformationJobObject(job, kind, information, size);
}

}  // namespace

TEST(ProgramLimits, TheJobGetsTheConfiguredLimitsAndEndsItsProcessesWithTheWrapperEvenWhenWindowsRefusesThem)
{
    LoggingCapture capture(LEVEL_WARN);
    ProgramResources resources;
    resources.memoryLimit = 512LL << 20;
    resources.cpuRate = 50;
    resources.processLimit = 20;

    calls.clear();
    ASSERT_TRUE(ProgramLimits(&resources, recordJobCall).createJob());
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, JobObjectExtendedLimitInformation);
    EXPECT_EQ(calls[0].limits.BasicLimitInformation.LimitFlags,
              static_cast<DWORD>(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_JOB_MEMORY |
                                 JOB_OBJECT_LIMIT_ACTIVE_PROCESS));
    EXPECT_EQ(calls[0].limits.JobMemoryLimit, static_cast<SIZE_T>(512) << 20);
    EXPECT_EQ(calls[0].limits.BasicLimitInformation.ActiveProcessLimit, 20u);
    EXPECT_EQ(calls[1].kind, JobObjectCpuRateControlInformation);
    EXPECT_EQ(calls[1].rate.ControlFlags,
              static_cast<DWORD>(JOB_OBJECT_CPU_RATE_CONTROL_ENABLE | JOB_OBJECT_CPU_RATE_CONTROL_HARD_CAP));
    EXPECT_EQ(calls[1].rate.CpuRate, 5000u);
    EXPECT_TRUE(capture.messages().empty());

    // Without limits the job only ends its processes with the wrapper.
    calls.clear();
    ASSERT_TRUE(ProgramLimits(nullptr, recordJobCall).createJob());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].limits.BasicLimitInformation.LimitFlags,
              static_cast<DWORD>(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE));

    // Limits that Windows refuses are warned about by name; the processes still end with the wrapper.
    limitsRefusal = ERROR_INVALID_PARAMETER;
    rateRefusal = ERROR_INVALID_PARAMETER;
    calls.clear();
    ASSERT_TRUE(ProgramLimits(&resources, recordJobCall).createJob());
    limitsRefusal = ERROR_SUCCESS;
    rateRefusal = ERROR_SUCCESS;
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].limits.BasicLimitInformation.LimitFlags,
              static_cast<DWORD>(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE));
    const std::wstring reason = errorText(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(capture.messages(),
              (std::vector<std::wstring>{
                  L"The limits memory=512MB processes=20 of <hostwell>/<execution>/<limits> are not applied: " + reason,
                  L"The limit cpu=\"50%\" of <hostwell>/<execution>/<limits> is not applied: " + reason,
              }));
}

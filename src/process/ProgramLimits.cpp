#include "process/ProgramLimits.h"

#include <string>

#include "common/Format.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "settings/ByteSize.h"
#include "settings/ProgramResources.h"
#include "settings/ResourceSettings.h"

namespace {

const Logger logger(L"ProgramLimits");
const wchar_t* const LIMITS = L"<hostwell>/<execution>/<limits>";

// The reason of a failed call; a failure without a code is one the system does not explain.
std::wstring failureReason()
{
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? errorText(code) : std::wstring(L"the system gives no reason");
}

}  // namespace

bool ProgramLimits::processorsPresent() const
{
    if (resources_ == nullptr || resources_->processors == 0) {
        return true;
    }
    DWORD_PTR own = 0;
    DWORD_PTR system = 0;
    // With more than 64 processors the masks are of one processor group, the one
    // Windows placed Hostwell in; both read 0 while its threads span groups.
    if (!GetProcessAffinityMask(GetCurrentProcess(), &own, &system) || system == 0) {
        logger.warn(L"Failed to read which processors this machine has; <affinity> is not checked. %s",
                    lastErrorText());
        return true;
    }
    const ULONGLONG missing = resources_->processors & ~static_cast<ULONGLONG>(system);
    if (missing != 0) {
        logger.error(L"<hostwell>/<execution>/<affinity> names processor(s) %s, which this machine does not have: it "
                     L"has processors %s",
                     formatProcessors(missing), formatProcessors(system));
        return false;
    }
    return true;
}

UniqueHandle ProgramLimits::createJob() const
{
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        logger.warn(L"Failed to create job object for the process. %s", lastErrorText());
        // The CPU rate and the other limits are the job's.
        if (resources_ != nullptr && !formatLimits(*resources_).empty()) {
            logger.warn(L"The program runs without the limits %s of %s", formatLimits(*resources_), LIMITS);
        }
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (resources_ != nullptr && resources_->memoryLimit != 0) {
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_JOB_MEMORY;
        limits.JobMemoryLimit = static_cast<SIZE_T>(resources_->memoryLimit);
    }
    if (resources_ != nullptr && resources_->processLimit != 0) {
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_ACTIVE_PROCESS;
        limits.BasicLimitInformation.ActiveProcessLimit = resources_->processLimit;
    }
    if (!setJob_(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        if (limits.BasicLimitInformation.LimitFlags == JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) {
            logger.warn(L"Failed to make the job object end its processes with the wrapper. %s", lastErrorText());
            return job;
        }
        const std::wstring reason = failureReason();
        ProgramResources cpuAside = *resources_;
        cpuAside.cpuRate = 0;
        logger.warn(L"The limits %s of %s are not applied: %s", formatLimits(cpuAside), LIMITS, reason);
        limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!setJob_(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
            logger.warn(L"Failed to make the job object end its processes with the wrapper. %s", lastErrorText());
        }
    }
    limitCpuRate(job.get());
    return job;
}

void ProgramLimits::limitCpuRate(HANDLE job) const
{
    if (resources_ == nullptr || resources_->cpuRate == 0) {
        return;
    }
    JOBOBJECT_CPU_RATE_CONTROL_INFORMATION rate = {};
    rate.ControlFlags = JOB_OBJECT_CPU_RATE_CONTROL_ENABLE | JOB_OBJECT_CPU_RATE_CONTROL_HARD_CAP;
    // In hundredths of a percent of the time of all processors.
    rate.CpuRate = resources_->cpuRate * 100;
    // Windows before 8 does not know the CPU rate of a job.
    if (!setJob_(job, JobObjectCpuRateControlInformation, &rate, sizeof rate)) {
        const std::wstring reason = failureReason();
        logger.warn(L"The limit cpu=\"%d%%\" of %s is not applied: %s", static_cast<int>(resources_->cpuRate), LIMITS,
                    reason);
    }
}

void ProgramLimits::place(HANDLE process) const
{
    if (resources_ == nullptr) {
        return;
    }
    if (resources_->priorityClass != 0 && !SetPriorityClass(process, resources_->priorityClass)) {
        const std::wstring reason = failureReason();
        logger.warn(L"The program runs without the priority %s of <hostwell>/<execution>/<priority>: %s",
                    priorityName(resources_->priorityClass), reason);
    }
    if (resources_->processors != 0 &&
        !SetProcessAffinityMask(process, static_cast<DWORD_PTR>(resources_->processors))) {
        const std::wstring reason = failureReason();
        logger.warn(L"The program runs without the affinity %s of <hostwell>/<execution>/<affinity>: %s",
                    formatProcessors(resources_->processors), reason);
    }
}

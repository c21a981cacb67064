#include "install/ServiceStateWait.h"

#include <algorithm>
#include <utility>

#include "install/ServiceStateText.h"
#include "logging/ErrorText.h"
#include "logging/Logger.h"

namespace {

const Logger logger(L"ServiceStateWait");

// A tenth of the service's own estimate, as the control manager's clients
// usually poll, kept between a tenth of a second and a second.
ULONGLONG pollInterval(const SERVICE_STATUS_PROCESS& status)
{
    return std::min<ULONGLONG>(std::max<ULONGLONG>(status.dwWaitHint / 10, 100), 1000);
}

}  // namespace

bool queryServiceStatus(SC_HANDLE service, const std::wstring& serviceName, SERVICE_STATUS_PROCESS& status)
{
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &needed)) {
        logger.error(L"Failed to query the status of service %s. %s", serviceName, lastErrorText());
        return false;
    }
    return true;
}

ServiceStateWait::ServiceStateWait(SC_HANDLE service, std::wstring serviceName, DWORD seconds)
    : service_(service), serviceName_(std::move(serviceName)), deadline_(GetTickCount64() + seconds * 1000ULL)
{
}

bool ServiceStateWait::until(DWORD state, SERVICE_STATUS_PROCESS& status) const
{
    for (;;) {
        if (!queryServiceStatus(service_, serviceName_, status)) {
            return false;
        }
        const ULONGLONG now = GetTickCount64();
        if (status.dwCurrentState == state || status.dwCurrentState == SERVICE_STOPPED || now >= deadline_) {
            return true;
        }
        logger.debug(L"Service %s is %s, waiting for %s", serviceName_, serviceStateName(status.dwCurrentState),
                     serviceStateName(state));
        Sleep(static_cast<DWORD>(std::min(pollInterval(status), deadline_ - now)));
    }
}

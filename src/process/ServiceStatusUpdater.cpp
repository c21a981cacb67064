#include "process/ServiceStatusUpdater.h"

#include "service/ServiceStatus.h"
#include "service/StatusValue.h"

void ServiceStatusUpdater::reportRunningOnce()
{
    if (!reported_) {
        reported_ = true;
        status_->setStatus(StatusValue::RUNNING);
    }
}

void TokenFilteringServiceStatusUpdater::onLine(const std::wstring& line)
{
    target_->onLine(line);
    if (watching_ && !marker_.empty() && line.find(marker_) != std::wstring::npos) {
        reportRunningOnce();
        watching_ = false;
    }
}

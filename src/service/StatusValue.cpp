#include "service/StatusValue.h"

const StatusValue StatusValue::STARTING(L"starting", SERVICE_START_PENDING, true, false);
const StatusValue StatusValue::RUNNING(L"running", SERVICE_RUNNING, false, false);
const StatusValue StatusValue::STOPPING(L"stopping", SERVICE_STOP_PENDING, true, false);
const StatusValue StatusValue::STOPPED(L"stopped", SERVICE_STOPPED, false, true);

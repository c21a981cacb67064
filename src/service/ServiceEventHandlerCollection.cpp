#include "service/ServiceEventHandlerCollection.h"

#include "logging/Logger.h"
#include "logging/ThreadFailure.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceEventHandler.h"

namespace {

const Logger logger(L"ServiceEventHandlerCollection");

DWORD acceptFlagFor(DWORD control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP: return SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_SHUTDOWN: return SERVICE_ACCEPT_SHUTDOWN;
    case SERVICE_CONTROL_PRESHUTDOWN: return SERVICE_ACCEPT_PRESHUTDOWN;
    case SERVICE_CONTROL_POWEREVENT: return SERVICE_ACCEPT_POWEREVENT;
    case SERVICE_CONTROL_SESSIONCHANGE: return SERVICE_ACCEPT_SESSIONCHANGE;
    default: return 0;
    }
}

}  // namespace

DWORD ServiceEventHandlerCollection::processEvent(DWORD control, DWORD eventType, LPVOID eventData)
{
    ScopedLock lock(*this);
    if (!context_->IsValid()) {
        logger.error(L"Context is not fully initialized. Event handlers will not be called");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    for (ServiceEventHandler* const* handler = handlers_; *handler != nullptr; ++handler) {
        if ((*handler)->control() == control) {
            logger.debug(L"Processing service event %d with %s", static_cast<int>(control), (*handler)->name());
            return (*handler)->handle(*context_, control, eventType, eventData);
        }
    }
    logger.debug(L"Unknown service event: %d", static_cast<int>(control));
    return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD ServiceEventHandlerCollection::acceptedControls() const
{
    DWORD accepted = 0;
    for (ServiceEventHandler* const* handler = handlers_; *handler != nullptr; ++handler) {
        accepted |= acceptFlagFor((*handler)->control());
    }
    return accepted;
}

DWORD WINAPI controlHandlerEx(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context)
{
    DWORD result = ERROR_CALL_NOT_IMPLEMENTED;
    fenced(L"Service control handler", [&] {
        result = static_cast<ServiceEventHandlerCollection*>(context)->processEvent(control, eventType, eventData);
    });
    return result;
}

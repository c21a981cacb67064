#pragma once

#include <windows.h>

#include "logging/CriticalSection.h"

class ServiceEventContext;
class ServiceEventHandler;

// Dispatches a service control to the first handler that serves its code.
// Owns neither the context nor the null-ended handler list. A control is
// handled under its lock, which whoever changes the context holds too.
class ServiceEventHandlerCollection : public CriticalSection {
public:
    ServiceEventHandlerCollection(ServiceEventContext* context, ServiceEventHandler* const* handlers)
        : context_(context), handlers_(handlers)
    {
    }

    DWORD processEvent(DWORD control, DWORD eventType, LPVOID eventData);
    // The SERVICE_ACCEPT_* flags of the controls that have a handler.
    DWORD acceptedControls() const;

private:
    ServiceEventContext* context_;
    ServiceEventHandler* const* handlers_;
};

// The function registered with the service control manager; its context is
// the collection.
DWORD WINAPI controlHandlerEx(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);

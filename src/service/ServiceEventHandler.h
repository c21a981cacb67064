#pragma once

#include <windows.h>

#include <string>

class ServiceEventContext;

// Serves one service control code; returns what the control manager receives.
class ServiceEventHandler {
public:
    ServiceEventHandler(std::wstring name, DWORD control) : name_(std::move(name)), control_(control) {}
    virtual ~ServiceEventHandler() = default;

    virtual DWORD handle(ServiceEventContext& context, DWORD control, DWORD eventType, LPVOID eventData) = 0;

    const std::wstring& name() const { return name_; }
    DWORD control() const { return control_; }

private:
    std::wstring name_;
    DWORD control_;
};

class ServiceEventINRERROGATEHandler : public ServiceEventHandler {
public:
    ServiceEventINRERROGATEHandler();
    DWORD handle(ServiceEventContext& context, DWORD control, DWORD eventType, LPVOID eventData) override;
};

class ServiceEventSTOPHandler : public ServiceEventHandler {
public:
    ServiceEventSTOPHandler();
    DWORD handle(ServiceEventContext& context, DWORD control, DWORD eventType, LPVOID eventData) override;
};

class ServiceEventPreShutdownHandler : public ServiceEventHandler {
public:
    ServiceEventPreShutdownHandler();
    DWORD handle(ServiceEventContext& context, DWORD control, DWORD eventType, LPVOID eventData) override;
};

class ServiceEventShutdownHandler : public ServiceEventHandler {
public:
    ServiceEventShutdownHandler();
    DWORD handle(ServiceEventContext& context, DWORD control, DWORD eventType, LPVOID eventData) override;
};

class ServiceEventPowerHandler : public ServiceEventHandler {
public:
    ServiceEventPowerHandler();
    DWORD handle(ServiceEventContext& context, DWORD control, DWORD eventType, LPVOID eventData) override;
};

class ServiceEventSessionHandler : public ServiceEventHandler {
public:
    ServiceEventSessionHandler();
    DWORD handle(ServiceEventContext& context, DWORD control, DWORD eventType, LPVOID eventData) override;
};

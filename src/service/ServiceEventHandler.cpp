#include "service/ServiceEventHandler.h"

#include "logging/Logger.h"
#include "service/ServiceEventContext.h"
#include "service/ServiceTask.h"

ServiceEventINRERROGATEHandler::ServiceEventINRERROGATEHandler()
    : ServiceEventHandler(L"SERVICE_CONTROL_INTERROGATE", SERVICE_CONTROL_INTERROGATE)
{
}

// The status thread re-sends pending states by itself; nothing to report here.
DWORD ServiceEventINRERROGATEHandler::handle(ServiceEventContext&, DWORD, DWORD, LPVOID) { return NO_ERROR; }

ServiceEventSTOPHandler::ServiceEventSTOPHandler() : ServiceEventHandler(L"SERVICE_CONTROL_STOP", SERVICE_CONTROL_STOP)
{
}

DWORD ServiceEventSTOPHandler::handle(ServiceEventContext& context, DWORD, DWORD, LPVOID)
{
    context.getTask()->CallStopService();
    return NO_ERROR;
}

ServiceEventPreShutdownHandler::ServiceEventPreShutdownHandler()
    : ServiceEventHandler(L"SERVICE_CONTROL_PRESHUTDOWN", SERVICE_CONTROL_PRESHUTDOWN)
{
}

DWORD ServiceEventPreShutdownHandler::handle(ServiceEventContext& context, DWORD, DWORD, LPVOID)
{
    static const Logger logger(L"ServiceEventPreShutdownHandler");
    logger.info(L"System pre-shutdown notification received");
    context.getTask()->CallStopService();
    return NO_ERROR;
}

ServiceEventShutdownHandler::ServiceEventShutdownHandler()
    : ServiceEventHandler(L"SERVICE_CONTROL_SHUTDOWN", SERVICE_CONTROL_SHUTDOWN)
{
}

DWORD ServiceEventShutdownHandler::handle(ServiceEventContext& context, DWORD, DWORD, LPVOID)
{
    static const Logger logger(L"ServiceEventShutdownHandler");
    logger.info(L"System shutdown notification received");
    context.getTask()->CallStopService();
    return NO_ERROR;
}

ServiceEventPowerHandler::ServiceEventPowerHandler() : ServiceEventHandler(L"0x0000000D", SERVICE_CONTROL_POWEREVENT) {}

DWORD ServiceEventPowerHandler::handle(ServiceEventContext&, DWORD, DWORD, LPVOID)
{
    Logger(L"ServiceEventPowerHandler").info(L"Power event recieved");
    return NO_ERROR;
}

ServiceEventSessionHandler::ServiceEventSessionHandler()
    : ServiceEventHandler(L"0x0000000E", SERVICE_CONTROL_SESSIONCHANGE)
{
}

DWORD ServiceEventSessionHandler::handle(ServiceEventContext&, DWORD, DWORD, LPVOID)
{
    Logger(L"ServiceEventSessionHandler").info(L"Session change event recieved");
    return NO_ERROR;
}

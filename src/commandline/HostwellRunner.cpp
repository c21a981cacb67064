#include "commandline/HostwellRunner.h"

#include "commandline/ConsoleCommandsRunner.h"
#include "commandline/ValidateCreateServiceAction.h"
#include "commandline/ValidateLogonSIDAction.h"
#include "commandline/ValidateServiceTaskAction.h"
#include "eventlog/EventLogConsoleAction.h"
#include "install/CheckUserAction.h"
#include "install/CreateServiceAction.h"
#include "install/DeleteByNameAction.h"
#include "install/DeleteServiceAction.h"
#include "install/GrantLogonAsServiceAction.h"
#include "install/GrantServiceDACLAction.h"
#include "install/RefreshServiceAction.h"
#include "install/RestartServiceAction.h"
#include "install/ServiceStatusAction.h"
#include "install/StartServiceAction.h"
#include "install/StopServiceAction.h"
#include "logging/Logger.h"
#include "process/ProcessAction.h"
#include "service/ServiceAction.h"

namespace {
const Logger logger(L"HostwellRunner");
}

int HostwellRunner::run(const Argz& arguments)
{
    // Constructed in table order: the order of matching and of the usage text.
    ServiceAction service;
    CreateServiceAction install;
    DeleteServiceAction remove;
    DeleteByNameAction removeByName;
    ProcessAction console;
    CheckUserAction checkUser;
    GrantLogonAsServiceAction grantLogon;
    GrantServiceDACLAction grantService;
    RefreshServiceAction refresh;
    ValidateCreateServiceAction validateCreateSettings;
    ValidateServiceTaskAction validateSettings;
    ValidateLogonSIDAction validateSid;
    EventLogConsoleAction logEvent;
    StartServiceAction start;
    StopServiceAction stop;
    RestartServiceAction restart;
    ServiceStatusAction status;

    ConsoleAction* const actions[] = {
        &service,    &install,      &remove,  &removeByName,           &console,          &checkUser,
        &grantLogon, &grantService, &refresh, &validateCreateSettings, &validateSettings, &validateSid,
        &logEvent,   &start,        &stop,    &restart,                &status,           nullptr,
    };
    ConsoleCommandsRunner runner(writer_, &arguments, actions);
    const int result = runner.run();
    logger.debug(L"Exited with code %d", result);
    return result;
}

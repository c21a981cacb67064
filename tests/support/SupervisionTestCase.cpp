#include "support/SupervisionTestCase.h"

#include "common/UniqueResource.h"
#include "support/BoundedCall.h"
#include "support/ProcessRunner.h"

void SupervisionTestCase::SetUp()
{
    settings.setProgram(helperPath(L"hwtestprog.exe"));
    settings.setWorkDir(dir.path());
    settings.setStopTimeout(120000);
}

void SupervisionTestCase::setStopCommand(const std::wstring& arguments)
{
    SimpleExecutionSettings stop;
    stop.setProgram(helperPath(L"hwtestprog.exe"));
    stop.setWorkDir(dir.path());
    stop.setArguments(arguments);
    settings.setStopCommand(stop);
}

int SupervisionTestCase::run(ServiceProcessCommand& command)
{
    return resultWithin(RUN_BOUND, "ServiceProcessCommand::execute()", [&] { return command.execute(); });
}

bool SupervisionTestCase::processAlive(DWORD pid, DWORD ms)
{
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return process && WaitForSingleObject(process.get(), ms) == WAIT_TIMEOUT;
}

#pragma once

#include <windows.h>

#include <string>

#include "commandline/SimpleConsoleAction.h"

// A command on an installed service, named by /service= or by the settings
// file of /settings=.
class ServiceControlAction : public SimpleConsoleAction {
public:
    using SimpleConsoleAction::SimpleConsoleAction;

    int execute(const Argz& arguments) override;

protected:
    // The command's usage block: how to name the service, its `options`
    // (" [/wait=<seconds>]"), and what it does.
    void writeUsage(ConsoleWriter& writer, const std::wstring& options, const wchar_t* description) const;
    static std::wstring waitOption();
};

constexpr DWORD DEFAULT_WAIT_SECONDS = 60;

// The /wait= value: 60 seconds when absent; false, after saying why, when it
// is not a whole number of seconds.
bool parseWaitSeconds(const Argz& arguments, DWORD& seconds);

// False, with a message that a name is needed, for an empty /service=.
bool requireServiceName(const std::wstring& name);

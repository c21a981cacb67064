#pragma once

#include <string>

#include "commandline/ConsoleAction.h"

class ServiceSettings;

// A command that reads the service part of the settings file named by
// /settings= and hands it to ExecuteAction.
class SimpleConsoleAction : public ConsoleAction {
public:
    using ConsoleAction::ConsoleAction;

    int execute(const Argz& arguments) override;
    virtual int ExecuteAction(const Argz& arguments, const ServiceSettings& settings) = 0;
};

// The /settings= value made absolute against the current directory.
int resolveSettingsFile(const Argz& arguments, std::wstring& path);

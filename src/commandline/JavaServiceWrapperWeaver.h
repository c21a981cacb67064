#pragma once

#include <string>

#include "commandline/ArgsWeaver.h"

// Started the way a JavaServiceWrapper is ("-s <wrapper.conf>", no
// /settings=), Hostwell runs its service mode with the settings file that the
// marker "###!!! Hostwell: <path> !!!###" in that configuration file names.
class JavaServiceWrapperWeaver : public ArgsWeaver {
public:
    Argz weave(const Argz& arguments) override;
};

// The steps of weaving; each returns 0 and fills `out`, or returns 1 and
// leaves it untouched.

// The path after the first "-s" (any case), with "/" turned into "\"; 1 when
// /settings= is given or no "-s" is followed by a path.
int findWrapperConfigArgument(const Argz& arguments, std::wstring& out);
// A relative configuration path is taken from the executable's folder.
int resolveWrapperConfig(const std::wstring& configPath, std::wstring& out);
// The first marked settings file that exists.
int findSettingsInWrapperConfig(const std::wstring& configFullPath, std::wstring& out);
// A relative marked path is taken from the configuration file's folder.
int resolveMarkedSettings(const std::wstring& settingsPath, const std::wstring& configFullPath, std::wstring& out);

// The full path of the wrapper configuration that named the settings file,
// for arguments the weaver rewrote; false for any others.
bool wovenWrapperConfig(const Argz& arguments, std::wstring& configFullPath);

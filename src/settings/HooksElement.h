#pragma once

#include <string>

#include "settings/SettingsInterfaces.h"
#include "settings/XmlText.h"

class SimpleServiceTaskSettings;

// The element of <hooks> that holds the command of that hook: "pre-start",
// "post-start" or "post-stop".
const wchar_t* hookName(Hook hook);

// Reads <hooks> of <execution>, if there is one: each hook's program,
// arguments, work folder (default: the program's) and timeout (default: one
// minute). Read after the program's work folder. 1 when a value is refused.
int readHooks(const XmlNode& execution, const std::wstring& baseDirectory, SimpleServiceTaskSettings& settings);

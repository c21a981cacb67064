#pragma once

#include <string>

#include "logging/RollPolicy.h"
#include "settings/XmlText.h"

// Reads the attributes max-size, keep, roll and compress of a log element,
// named `path` in messages, into `policy`; what is absent keeps its default.
// Returns 1 after logging why a value is refused.
int readRollPolicy(const XmlNode& element, const wchar_t* path, RollPolicy& policy);

// "max-size=10MB keep=3 roll=size compress=none", as the attributes are written.
std::wstring formatRollPolicy(const RollPolicy& policy);

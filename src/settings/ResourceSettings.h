#pragma once

#include <windows.h>

#include <string>

#include "settings/ProgramResources.h"
#include "settings/XmlText.h"

class SimpleServiceTaskSettings;

// What the program may use: <priority>, <affinity> and <limits> of
// <execution>. Returns 1 when a value is refused, after logging the element,
// the value and the accepted form; 0 otherwise. Whether the machine has the
// processors is for the start of the program to say.
int readProgramResources(const XmlNode& execution, SimpleServiceTaskSettings& settings);

// "0,2-3" into a mask of processors of group 0. Returns the empty text, or
// what is wrong with it for a message, such as "is empty".
std::wstring parseProcessors(const std::wstring& written, ULONGLONG& processors);
// The processors of the mask as <affinity> writes them: "0,2-3".
std::wstring formatProcessors(ULONGLONG processors);

// The name <priority> gives the class: "below-normal".
std::wstring priorityName(DWORD priorityClass);
// "memory=2GB cpu=50% processes=20", the limits that are set.
std::wstring formatLimits(const ProgramResources& resources);

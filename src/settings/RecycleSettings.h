#pragma once

#include <string>

#include "settings/RecyclePolicy.h"
#include "settings/XmlText.h"

class SimpleServiceTaskSettings;

// A planned restart of the program: <recycle> of <execution>. Returns 1 when
// a value is refused, after logging the attribute, the value and the
// accepted form; 0 otherwise.
int readRecyclePolicy(const XmlNode& execution, SimpleServiceTaskSettings& settings);

// "memory=1500MB every=24h at=03:00 15:00", the attributes that are set.
std::wstring formatRecyclePolicy(const RecyclePolicy& policy);
// A time of day in minutes after midnight as "03:00".
std::wstring formatTimeOfDay(int minutes);

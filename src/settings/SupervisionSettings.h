#pragma once

#include <optional>

#include "settings/Duration.h"
#include "settings/XmlText.h"

class SimpleServiceTaskSettings;

// How the service task supervises the program beyond running it: the restart
// policy of <execution>/<restart> and the time limit of
// <execution>/<status-marker>. Each returns 1 when a value is refused, after
// logging which attribute and value and why; 0 otherwise.
int readRestartPolicy(const XmlNode& execution, SimpleServiceTaskSettings& settings);
// Where the program must answer before the service counts as running.
int readReadinessProbes(const XmlNode& execution, SimpleServiceTaskSettings& settings);
// The probe of the running program, <execution>/<health>.
int readHealthCheck(const XmlNode& execution, SimpleServiceTaskSettings& settings);
// Reads after the started marker and the readiness probes, which the limit is about.
int readStartedTimeout(const XmlNode& execution, SimpleServiceTaskSettings& settings);
// The duration attribute `name` of `element`, named `path` in messages; left
// empty when the attribute is absent.
int readDuration(const XmlNode& element, const wchar_t* path, const wchar_t* name, std::optional<Duration>& duration);

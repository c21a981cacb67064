#pragma once

#include "settings/XmlText.h"

class ServiceSettings;
class SimpleServiceTaskSettings;

// Reads the file attribute of <execution>/<environment>, if there is one: the
// file, relative to the settings file's folder, must be an environment file
// that can be read and parsed now; it is read again at every start of the
// program. 1 when it is refused.
int readEnvironmentFile(const XmlNode& execution, const ServiceSettings& service, SimpleServiceTaskSettings& settings);

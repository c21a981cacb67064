#pragma once

#include <string>
#include <vector>

#include "settings/XmlText.h"

class ServiceSettings;
class SimpleServiceTaskSettings;

// A file of the service's own, and what it is ("the service log").
struct ServiceFile {
    std::wstring what;
    std::wstring path;
};

// Reads <output-log> and <error-log> of <execution>, those there are: each
// file, relative to the settings file's folder, must be a file of its own:
// not the settings file, the service log, the program's state file, the
// metrics file, nor the error log the output log. 1 when one is refused.
int readOutputLog(const XmlNode& execution, const ServiceSettings& service, SimpleServiceTaskSettings& settings);

// The first of `files` that is `file`, compared as final paths; null if none.
const ServiceFile* sharedFile(const std::wstring& file, const std::vector<ServiceFile>& files);

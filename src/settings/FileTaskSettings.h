#pragma once

#include <string>

#include "settings/XmlFileSettings.h"

namespace rapidxml {
template <class Ch>
class xml_node;
}
using XmlNode = rapidxml::xml_node<wchar_t>;

class ServiceSettings;
class ServiceTaskSettings;

// The execution pass: program, work directory, arguments, stop behaviour,
// environment and started marker. Relative paths are taken from the
// directory of the settings file of the earlier service pass.
class FileTaskSettings : public XmlFileSettings {
public:
    FileTaskSettings(std::wstring path, const ServiceSettings* serviceSettings)
        : XmlFileSettings(std::move(path)), serviceSettings_(serviceSettings)
    {
    }

protected:
    int parseDocument(XmlDocument& document, TextPositions& positions) override;
    // Receives the parsed settings, which live only during the call.
    virtual int onTaskSettings(const ServiceTaskSettings& settings) = 0;

private:
    const ServiceSettings* serviceSettings_;
};

// The parts of an element that names a command (the program's <execution>, the
// stop command's, a hook's); a relative path is taken from `baseDirectory`.
// Each logs why a value is refused and returns 1; 0 on success.
int readWorkDir(const XmlNode& element, const std::wstring& baseDirectory, const std::wstring& defaultDir,
                std::wstring& out);
int readProgram(const XmlNode& element, const std::wstring& baseDirectory, std::wstring& out);
std::wstring readArguments(const XmlNode& element);

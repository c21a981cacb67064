#pragma once

#include "settings/XmlFileSettings.h"

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

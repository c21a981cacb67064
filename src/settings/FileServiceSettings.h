#pragma once

#include "settings/XmlFileSettings.h"

class ServiceSettings;

// The service pass: identity and logging of the service.
class FileServiceSettings : public XmlFileSettings {
public:
    using XmlFileSettings::XmlFileSettings;

protected:
    int parseDocument(XmlDocument& document, TextPositions& positions) override;
    // Receives the parsed settings, which live only during the call.
    virtual int onServiceSettings(const ServiceSettings& settings) = 0;
};

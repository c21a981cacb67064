#pragma once

class LoggerSettings;

// Log file and level named in the settings file.
void configureLoggingFromSettings(const LoggerSettings& settings);

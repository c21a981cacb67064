#pragma once

#include <string>

#include "common/Format.h"

// Plain console output of the commands, independent of the log level.
class ConsoleWriter {
public:
    virtual ~ConsoleWriter() = default;
    virtual void writeLine(const std::wstring& text) = 0;

    void writeEmptyLine() { writeLine(std::wstring()); }

    template <typename... Args>
    void writeFormatted(const wchar_t* formatText, const Args&... args)
    {
        writeLine(format(formatText, args...));
    }
};

class SimpleConsoleWriter : public ConsoleWriter {
public:
    void writeLine(const std::wstring& text) override;
};

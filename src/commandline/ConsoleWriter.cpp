#include "commandline/ConsoleWriter.h"

#include "logging/StandardOutput.h"

void SimpleConsoleWriter::writeLine(const std::wstring& text) { writeStandardOutputLine(text); }

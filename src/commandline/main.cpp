#include <windows.h>

#include "commandline/ArgumentKeys.h"
#include "commandline/Argz.h"
#include "commandline/ConsoleWriter.h"
#include "commandline/HostwellRunner.h"
#include "commandline/JavaServiceWrapperWeaver.h"
#include "commandline/LoggingFromArguments.h"
#include "commandline/Version.h"
#include "common/TextConversion.h"
#include "logging/StandardOutput.h"
#include "logging/ThreadFailure.h"

namespace {

// status with a format for programs; another command refuses /format=.
bool writesForPrograms(const Argz& arguments)
{
    std::wstring format;
    if (arguments.count() < 1 || arguments.arg(0) != STATUS_COMMAND || !arguments.getValue(KEY_FORMAT, format)) {
        return false;
    }
    const std::wstring name = lowerCaseAscii(format);
    return name == L"json" || name == L"prometheus";
}

int run(int argc, wchar_t* argv[])
{
    const Argz arguments(argc, argv);
    // Output for programs to parse keeps standard output to itself.
    if (writesForPrograms(arguments)) {
        sendLinesToStandardError();
    }
    SimpleConsoleWriter writer;
    writer.writeLine(bannerText());
    configureLoggingFromArguments(arguments);

    JavaServiceWrapperWeaver weaver;
    const Argz woven = weaver.weave(arguments);
    configureLoggingFromArguments(woven);

    HostwellRunner runner(&writer);
    return runner.run(woven);
}

}  // namespace

int wmain(int argc, wchar_t* argv[])
{
    // Before anything loads a DLL: a DLL that a system DLL loads by its bare
    // name is then never taken from the folder of Hostwell.exe or the current one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    int result = 1;
    fenced(L"Hostwell", [&] { result = run(argc, argv); });
    return result;
}

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestFiles.h"
#include "support/TestService.h"

// start, stop, restart and status against Wine's real service control manager.

namespace {

const std::wstring NEVER_PRINTED_MARKER = L"<status-marker><started>never printed</started></status-marker>";

const std::wstring MEANING_OF_1066 =
    L"Exit code 1066: the program ended without a stop request or could not be run; the service-specific exit "
    L"code is the program's exit code, or Hostwell's reason (see its log)";

std::wstring runningLine(const std::wstring& name, DWORD processId)
{
    return format(L"Service %s is RUNNING, process id %lu", name, processId);
}

// Writes every scalar of the JSON document of its first argument as
// path=value to the file of its second, the value as Python's json writes it;
// writes nothing on a document that is no JSON.
const wchar_t* const FLATTEN_JSON =
    L"import json, os, sys\n"
    L"lines = []\n"
    L"def walk(path, value):\n"
    L"    if isinstance(value, dict):\n"
    L"        for key, item in value.items():\n"
    L"            walk(path + key + '.', item)\n"
    L"    else:\n"
    L"        lines.append(path[:-1] + '=' + json.dumps(value) + '\\n')\n"
    L"walk('', json.loads(sys.argv[1]))\n"
    L"with open(sys.argv[2] + '.part', 'w', encoding='utf-8') as out:\n"
    L"    out.writelines(lines)\n"
    L"os.replace(sys.argv[2] + '.part', sys.argv[2])\n";

// status /format=json as Python's json module reads its standard output.
std::map<std::wstring, std::wstring> statusJson(const TemporaryDirectory& dir, const std::wstring& service,
                                                DWORD expectedExitCode)
{
    const ProcessResult status =
        runHostwell({L"status", L"/service=" + service, L"/format=json"}, [&dir] {
            ProcessOptions options;
            options.errorFile = dir.file(L"status-errors.txt");
            return options;
        }());
    EXPECT_EQ(status.exitCode, expectedExitCode) << status.rawOutput << readUtf8(dir.file(L"status-errors.txt"));
    EXPECT_TRUE(readUtf8(dir.file(L"status-errors.txt")).find(L"Corvane Hostwell v") == 0);
    std::wstring python = fromUtf8(TEST_PYTHON);
    for (wchar_t& c : python) {
        c = c == L'/' ? L'\\' : c;
    }
    // A Unix program started by Wine writes to Wine's own standard output,
    // opens Unix paths and runs on after its Windows process has ended: its
    // result comes in a file under /tmp.
    const std::wstring result = format(L"/tmp/hwstatus-%lu.txt", GetCurrentProcessId());
    std::wstring resultOnWindows = L"Z:" + result;
    for (wchar_t& c : resultOnWindows) {
        c = c == L'/' ? L'\\' : c;
    }
    runProcess(L"Z:" + python, {L"-c", FLATTEN_JSON, status.output(), result});
    for (int i = 0; i < 1500 && !fileExists(resultOnWindows); ++i) {
        Sleep(20);
    }
    EXPECT_TRUE(fileExists(resultOnWindows)) << "Python's json did not read within 30 s: " << status.rawOutput;
    const std::wstring flattened = readUtf8(resultOnWindows);
    DeleteFileW(resultOnWindows.c_str());
    std::map<std::wstring, std::wstring> values;
    std::wistringstream lines(flattened);
    for (std::wstring line; std::getline(lines, line);) {
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

}  // namespace

class Lifecycle : public ServiceTestCase {
protected:
    std::wstring bySettings = L"/settings=" + settings;
    std::wstring byName = L"/service=" + name;
};

TEST_F(Lifecycle, CommandsReachTheStateOrFindItReachedAndStatusSaysWhereTheServiceIs)
{
    writeSettings(L"ignore-ctrl sleep 600000");
    TestService service(name, hostwellArguments());

    ProcessResult result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 3u) << toUtf8(result.output());
    EXPECT_TRUE(result.contains(L"Service " + name + L" is STOPPED, exit code "));

    result = runHostwell({L"start", bySettings});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const SERVICE_STATUS_PROCESS first = service.status();
    EXPECT_EQ(first.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(result.hasLine(runningLine(name, first.dwProcessId))) << toUtf8(result.output());

    result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(runningLine(name, first.dwProcessId))) << toUtf8(result.output());

    result = runHostwell({L"start", byName});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is already running")) << toUtf8(result.output());

    result = runHostwell({L"restart", bySettings});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const SERVICE_STATUS_PROCESS second = service.status();
    EXPECT_NE(second.dwProcessId, first.dwProcessId);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is STOPPED, exit code 0, service-specific exit code 0"));
    EXPECT_TRUE(result.hasLine(runningLine(name, second.dwProcessId))) << toUtf8(result.output());

    result = runHostwell({L"stop", byName});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    result = runHostwell({L"stop", bySettings});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is already stopped")) << toUtf8(result.output());

    result = runHostwell({L"status", bySettings});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is STOPPED, exit code 0, service-specific exit code 0"));
}

TEST_F(Lifecycle, StartWaitsOnlyAsLongAsAskedAndFailsWithTheExitCodesOfAServiceThatStops)
{
    writeSettings(L"ignore-ctrl sleep 600000", NEVER_PRINTED_MARKER);
    TestService service(name, hostwellArguments());

    ProcessResult result = runHostwell({L"start", byName, L"/wait=0"});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" was asked to start"));

    result = runHostwell({L"start", byName, L"/wait=1"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is not RUNNING after 1 s: it is START_PENDING"))
        << toUtf8(result.output());

    result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_TRUE(result.hasLine(format(L"Service %s is START_PENDING, process id %lu", name,
                                      service.status().dwProcessId)))
        << toUtf8(result.output());

    result = runHostwell({L"stop", byName});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());

    // The program ends before it prints the marker: the service stops with 1066 and its exit code.
    writeSettings(L"exit 7", NEVER_PRINTED_MARKER);
    result = runHostwell({L"start", bySettings});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Service " + name +
                               L" stopped while starting: exit code 1066, service-specific exit code 7"))
        << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(MEANING_OF_1066));

    result = runHostwell({L"status", byName});
    EXPECT_EQ(result.exitCode, 3u);
    EXPECT_TRUE(result.hasLine(L"Service " + name + L" is STOPPED, exit code 1066, service-specific exit code 7"))
        << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(MEANING_OF_1066));
}

TEST_F(Lifecycle, StatusShowsWhatTheProgramDoesAsTextAndAsJsonForARunningRestartedAndStoppedService)
{
    const std::wstring pidFile = dir.file(L"program.pid");
    writeSettings(L"write-pid " + pidFile + L" ignore-ctrl sleep 600000", L"<restart when='failure' delay='100ms'/>");
    TestService service(name, hostwellArguments());
    std::map<std::wstring, std::wstring> json = statusJson(dir, name, 3);
    EXPECT_EQ(json[L"name"], L"\"" + name + L"\"");
    EXPECT_EQ(json[L"state"], L"\"STOPPED\"");
    EXPECT_EQ(json[L"program"], L"null");

    ASSERT_TRUE(service.start()) << service.startError();
    const DWORD first = readProcessId(pidFile);
    ASSERT_NE(first, 0u) << "the program did not write its process id";
    json = statusJson(dir, name, 0);
    EXPECT_EQ(json[L"state"], L"\"RUNNING\"");
    EXPECT_EQ(json[L"processId"], std::to_wstring(service.status().dwProcessId));
    EXPECT_EQ(json[L"program.processId"], std::to_wstring(first));
    EXPECT_EQ(json[L"program.restarts"], L"0");
    EXPECT_EQ(json[L"program.lastExitCode"], L"null");
    EXPECT_EQ(json[L"program.health"], L"null");

    // The program ends with 3 and is started again.
    DeleteFileW(pidFile.c_str());
    const UniqueHandle program(OpenProcess(PROCESS_TERMINATE, FALSE, first));
    ASSERT_TRUE(program && TerminateProcess(program.get(), 3));
    const DWORD second = readProcessId(pidFile);
    ASSERT_NE(second, 0u) << "the program was not started again";
    const ProcessResult text = runHostwell({L"status", L"/settings=" + settings});
    EXPECT_EQ(text.exitCode, 0u);
    const std::vector<std::wstring> lines = text.lines();
    const std::wstring programLine = format(L"program process id %lu, started ", second);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(0, programLine.size()), programLine) << toUtf8(text.output());
    EXPECT_EQ(lines.back().substr(programLine.size() + 19), L", 1 restart, last exit code 3") << toUtf8(text.output());
    json = statusJson(dir, name, 0);
    EXPECT_EQ(json[L"program.processId"], std::to_wstring(second));
    EXPECT_EQ(json[L"program.restarts"], L"1");
    EXPECT_EQ(json[L"program.lastExitCode"], L"3");
    EXPECT_EQ(json[L"program.startedAt"].size(), 22u) << toUtf8(json[L"program.startedAt"]);  // "2026-12-07T14:03:08Z"
    EXPECT_EQ(json[L"startType"], L"\"demand\"");
    std::wstring settingsJson = L"\"";
    for (const wchar_t c : settings) {
        settingsJson += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    }
    EXPECT_EQ(json[L"settingsFile"], settingsJson + L"\"") << "the registered settings file";
    EXPECT_NE(json[L"binaryPath"].find(L"Hostwell.exe\\\" hostwell"), std::wstring::npos) << toUtf8(json[L"binaryPath"]);

    // Terminated at the stop, the program ends with 42; the state file keeps how.
    ASSERT_TRUE(service.requestStop());
    ASSERT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED))
        << "the service did not stop";
    json = statusJson(dir, name, 3);
    EXPECT_EQ(json[L"state"], L"\"STOPPED\"");
    EXPECT_EQ(json[L"processId"], L"null");
    EXPECT_EQ(json[L"win32ExitCode"], L"0");
    EXPECT_EQ(json[L"program.processId"], L"null");
    EXPECT_EQ(json[L"program.restarts"], L"1");
    EXPECT_EQ(json[L"program.lastExitCode"], L"42");

    const ProcessResult refused = runHostwell({L"status", L"/service=" + name, L"/format=xml"});
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_TRUE(refused.hasLine(L"/format=xml is not an output format: write /format=json or /format=prometheus, or leave it out "
                                    L"for text"))
        << toUtf8(refused.output());
}

TEST_F(Lifecycle, StartOfAServiceThatIsStillStoppingIsNotASuccess)
{
    // The program keeps the service stopping until it may end.
    const std::wstring started = dir.file(L"started");
    const std::wstring mayEnd = dir.file(L"may-end");
    writeSettings(L"touch " + started + L" wait-file " + mayEnd + L" exit 0", stopCommand(L"text asked", L"0.5"));
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
        << "the service did not start";
    // A stop before the program runs would keep it from starting: no stop command, no wait.
    waitForFile(started);
    ASSERT_TRUE(service.requestStop());
    ASSERT_EQ(service.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));

    const ProcessResult result = runHostwell({L"start", byName, L"/wait=0"});
    EXPECT_EQ(result.exitCode, 1u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Failed to start service " + name + L": it is still stopping"))
        << toUtf8(result.output());
    writeBytes(mayEnd, "x");
    EXPECT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED))
        << "the service did not stop once its program ended";
}

TEST(LifecycleArguments, AnUnknownServiceOrABadWaitFailsWithTheReason)
{
    const std::wstring missing = TestService::uniqueName(L"HwMissing");
    for (const wchar_t* command : {L"start", L"stop", L"restart", L"status"}) {
        const ProcessResult result = runHostwell({command, L"/service=" + missing});
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(L"Failed to open service " + missing + L". Service does not exist"))
            << toUtf8(result.output());
    }

    for (const wchar_t* wait : {L"/wait=-1", L"/wait=1.5", L"/wait="}) {
        const ProcessResult result = runHostwell({L"start", L"/service=" + missing, wait});
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_TRUE(result.hasLine(std::wstring(wait) +
                                   L" is not a whole number of seconds: write /wait=<seconds>, or /wait=0 not to wait"))
            << toUtf8(result.output());
    }

    for (const wchar_t* command : {L"start", L"status", L"deleteByName"}) {
        const ProcessResult result = runHostwell({command, L"/service="});
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(command);
        EXPECT_TRUE(result.hasLine(L"The service name in /service= is empty: write /service=<service name>"))
            << toUtf8(result.output());
    }

    const ProcessResult unnamed = runHostwell({L"status"});
    EXPECT_EQ(unnamed.exitCode, 1u);
    EXPECT_TRUE(unnamed.hasLine(L"Name the service with /settings=<path to settings file> or /service=<service name>"));
}

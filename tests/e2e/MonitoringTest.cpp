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

// What a monitoring system reads of a service under Wine's service control
// manager: the ids of its Event Log records, its metrics file, and status for
// programs.

namespace {

// Reads the metrics text of its first argument with the Prometheus client's
// own parser and writes to the file of its second, one a line, each family as
// "family NAME<tab>TYPE HELP" and each sample as "NAME{label=value,...}<tab>VALUE";
// writes nothing when the parser refuses the text.
const wchar_t* const PARSE_METRICS =
    L"import os, sys\n"
    L"from prometheus_client.parser import text_string_to_metric_families\n"
    L"lines = []\n"
    L"for family in text_string_to_metric_families(sys.argv[1]):\n"
    L"    lines.append('family %s\\t%s %s\\n' % (family.name, family.type, family.documentation))\n"
    L"    for sample in family.samples:\n"
    L"        labels = ','.join('%s=%s' % item for item in sorted(sample.labels.items()))\n"
    L"        lines.append('%s{%s}\\t%.17g\\n' % (sample.name, labels, sample.value))\n"
    L"with open(sys.argv[2] + '.part', 'w', encoding='utf-8') as out:\n"
    L"    out.writelines(lines)\n"
    L"os.replace(sys.argv[2] + '.part', sys.argv[2])\n";

// Writes the members of the JSON object of its first argument as
// "member<tab>value", the value as Python's json writes it.
const wchar_t* const PARSE_JSON =
    L"import json, os, sys\n"
    L"document = json.loads(sys.argv[1])\n"
    L"with open(sys.argv[2] + '.part', 'w', encoding='utf-8') as out:\n"
    L"    out.writelines('%s\\t%s\\n' % (key, json.dumps(value)) for key, value in document.items())\n"
    L"os.replace(sys.argv[2] + '.part', sys.argv[2])\n";

std::wstring windowsPath(const std::wstring& unixPath)
{
    std::wstring path = L"Z:" + unixPath;
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

// The lines a Python script writes about `text`, by what comes before their
// tab: "hostwell_up{service=X}" -> "1". A Unix program started by Wine runs on
// after its Windows process has ended: its result comes in a file.
std::map<std::wstring, std::wstring> pythonRead(const wchar_t* script, const std::wstring& text)
{
    static int run = 0;
    const std::wstring unixResult = format(L"/tmp/hwmonitoring-%lu-%d.txt", GetCurrentProcessId(), ++run);
    const std::wstring result = windowsPath(unixResult);
    runProcess(windowsPath(fromUtf8(TEST_PYTHON)), {L"-c", script, text, unixResult});
    for (int i = 0; i < 1500 && !fileExists(result); ++i) {
        Sleep(20);
    }
    EXPECT_TRUE(fileExists(result)) << "Python did not read within 30 s: " << toUtf8(text);
    std::map<std::wstring, std::wstring> values;
    std::wistringstream lines(readUtf8(result));
    DeleteFileW(result.c_str());
    for (std::wstring line; std::getline(lines, line);) {
        const size_t split = line.find(L'\t');
        if (split != std::wstring::npos) {
            values[line.substr(0, split)] = line.substr(split + 1);
        }
    }
    return values;
}

// One ReportEventW call of a service as Wine prints it: the arguments on the
// fixme:advapi channel, then each insertion string on an eventlog channel, in
// lines that start with the calling thread's id.
struct ReportedRecord {
    std::string type;
    std::string category;
    DWORD id = 0;
    std::vector<std::wstring> strings;
};

std::wstring unescape(const std::wstring& quoted)
{
    std::wstring text;
    for (size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == L'\\' && i + 1 < quoted.size()) {
            ++i;
        }
        text.push_back(quoted[i]);
    }
    return text;
}

std::vector<ReportedRecord> reportedRecords(const std::string& log)
{
    const std::string call = ":fixme:advapi:ReportEventW (";
    const std::string string = ":eventlog:ReportEventW L\"";
    std::vector<ReportedRecord> records;
    std::map<std::string, size_t> openRecord;  // by thread: the index of its record under way
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const std::string thread = line.substr(0, line.find(':'));
        if (line.find(":fixme:advapi:") != std::string::npos) {
            openRecord.erase(thread);
        }
        const size_t callAt = line.find(call);
        if (callAt != std::string::npos) {
            // (handle,type,category,id,sid,strings,...)
            std::vector<std::string> arguments;
            std::istringstream list(line.substr(callAt + call.size()));
            for (std::string argument; std::getline(list, argument, ',');) {
                arguments.push_back(argument);
            }
            if (arguments.size() > 3) {
                records.push_back({arguments[1], arguments[2], static_cast<DWORD>(std::stoul(arguments[3], nullptr, 16)), {}});
                openRecord[thread] = records.size() - 1;
            }
            continue;
        }
        const size_t stringAt = line.find(string);
        const auto open = openRecord.find(thread);
        if (stringAt != std::string::npos && open != openRecord.end() && line.back() == '"') {
            const size_t start = stringAt + string.size();
            records[open->second].strings.push_back(unescape(fromUtf8(line.substr(start, line.size() - 1 - start))));
        }
    }
    return records;
}

// Where Wine prints the Event Log calls of running services: the file that
// scripts/test sends their standard error to; empty when there is none.
std::wstring servicesLogPath()
{
    wchar_t unixPath[4096] = {};
    if (GetEnvironmentVariableW(L"WINE_SERVICES_LOG", unixPath, 4096) == 0) {
        return std::wstring();
    }
    return windowsPath(unixPath);
}

// The records of ids of their own that the service `name` wrote so far.
std::vector<ReportedRecord> eventsOf(const std::wstring& name)
{
    std::vector<ReportedRecord> events;
    for (const ReportedRecord& record : reportedRecords(readBytes(servicesLogPath()))) {
        if (record.id >= 1000 && !record.strings.empty() && record.strings[0] == name) {
            events.push_back(record);
        }
    }
    return events;
}

std::vector<DWORD> idsOf(const std::vector<ReportedRecord>& records)
{
    std::vector<DWORD> ids;
    for (const ReportedRecord& record : records) {
        ids.push_back(record.id);
    }
    return ids;
}

class Monitoring : public ServiceTestCase {
protected:
    std::wstring metrics = dir.file(L"metrics\\service.prom");
    std::wstring pidFile = dir.file(L"program.pid");

    void writeMonitoredSettings()
    {
        writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>"
                            L"<service-logging level='debug' file='logs\\service.log'/>"
                            L"<metrics file='metrics\\service.prom'/>"
                            L"<execution><program>" + helperPath(L"hwtestprog.exe") + L"</program>"
                            L"<arguments>write-pid " + pidFile + L" text ready sleep 600000</arguments>"
                            L"<status-marker><started>ready</started></status-marker>"
                            L"<restart when='failure' delay='100ms'/></execution></hostwell>");
    }

    // Waits until the metrics file holds the sample line, then reads it with
    // the Prometheus client's parser.
    std::map<std::wstring, std::wstring> metricsOnceThereIs(const std::wstring& sample) const
    {
        const std::wstring line = L"\n" + sample + L"\n";
        for (int i = 0; i < 1500 && readUtf8(metrics).find(line) == std::wstring::npos; ++i) {
            Sleep(20);
        }
        const std::wstring text = readUtf8(metrics);
        EXPECT_NE(text.find(line), std::wstring::npos) << "no \"" << toUtf8(sample) << "\" within 30 s:\n"
                                                       << toUtf8(text);
        return pythonRead(PARSE_METRICS, text);
    }

    std::wstring sample(const std::wstring& family) const { return family + L"{service=" + name + L"}"; }
};

}  // namespace

TEST_F(Monitoring, AStartAKilledAndRestartedProgramAndAStopShowInEventIdsMetricsAndPrometheusStatus)
{
    writeMonitoredSettings();
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD first = readProcessId(pidFile);
    ASSERT_NE(first, 0u) << "the program did not write its process id";

    std::map<std::wstring, std::wstring> parsed = metricsOnceThereIs(L"hostwell_up{service=\"" + name + L"\"} 1");
    EXPECT_EQ(parsed[L"family hostwell_up"], L"gauge 1 while the service's program runs.") << "with its HELP line";
    EXPECT_EQ(parsed[L"family hostwell_restarts"], L"counter Restarts of the program since the service started.");
    EXPECT_EQ(parsed[sample(L"hostwell_up")], L"1");
    EXPECT_EQ(parsed[sample(L"hostwell_ready")], L"1");
    EXPECT_EQ(parsed[sample(L"hostwell_restarts_total")], L"0");
    EXPECT_EQ(parsed[sample(L"hostwell_recycles_total")], L"0");
    EXPECT_EQ(parsed[sample(L"hostwell_log_records_lost_total")], L"0");
    EXPECT_EQ(parsed.count(sample(L"hostwell_last_exit_code")), 0u);
    EXPECT_EQ(parsed.count(sample(L"hostwell_health")), 0u) << "no health check";
    EXPECT_EQ(parsed[L"hostwell_info{service=" + name + L",version=1.1.730.777}"], L"1");
    const long long startedAt = std::stoll(parsed[sample(L"hostwell_program_start_time_seconds")]);
    EXPECT_GT(startedAt, 1700000000LL);

    // Killed with 3, started again.
    DeleteFileW(pidFile.c_str());
    const UniqueHandle program(OpenProcess(PROCESS_TERMINATE, FALSE, first));
    ASSERT_TRUE(program && TerminateProcess(program.get(), 3));
    ASSERT_NE(readProcessId(pidFile), 0u) << "the program was not started again";
    parsed = metricsOnceThereIs(L"hostwell_restarts_total{service=\"" + name + L"\"} 1");
    EXPECT_EQ(parsed[sample(L"hostwell_last_exit_code")], L"3");
    EXPECT_EQ(parsed[sample(L"hostwell_ready")], L"1");

    // status prints the same text for other collectors, the banner apart.
    const std::wstring statusErrors = dir.file(L"status-errors.txt");
    const ProcessResult status = runHostwell({L"status", L"/service=" + name, L"/format=prometheus"}, [&] {
        ProcessOptions options;
        options.errorFile = statusErrors;
        return options;
    }());
    EXPECT_EQ(status.exitCode, 0u) << status.rawOutput;
    EXPECT_EQ(readUtf8(statusErrors).rfind(L"Corvane Hostwell v", 0), 0u);
    const std::map<std::wstring, std::wstring> fromStatus = pythonRead(PARSE_METRICS, status.output());
    EXPECT_EQ(fromStatus.at(sample(L"hostwell_restarts_total")), L"1") << status.rawOutput;
    EXPECT_EQ(fromStatus.at(sample(L"hostwell_last_exit_code")), L"3");
    EXPECT_EQ(fromStatus.at(sample(L"hostwell_up")), L"1");
    EXPECT_EQ(fromStatus.at(sample(L"hostwell_ready")), L"1");

    ASSERT_TRUE(service.requestStop());
    ASSERT_EQ(service.waitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    parsed = metricsOnceThereIs(L"hostwell_up{service=\"" + name + L"\"} 0");
    EXPECT_EQ(parsed[sample(L"hostwell_ready")], L"0");
    EXPECT_EQ(parsed[sample(L"hostwell_restarts_total")], L"1");
    EXPECT_EQ(parsed[sample(L"hostwell_last_exit_code")], L"42") << "killed at the stop";
    EXPECT_FALSE(fileExists(metrics + L".tmp"));
    EXPECT_FALSE(fileExists(log + L".state.json.tmp"));

    if (servicesLogPath().empty()) {
        return;
    }
    std::vector<ReportedRecord> events = eventsOf(name);
    for (int i = 0; i < 1500 && (events.empty() || events.back().id != 1002); ++i) {
        Sleep(20);
        events = eventsOf(name);
    }
    ASSERT_EQ(idsOf(events), (std::vector<DWORD>{1000, 1001, 1003, 1004, 1000, 1002}))
        << "the records of ids of their own, in the order written";
    EXPECT_EQ(events[0].type, "0x0004") << "information";
    EXPECT_EQ(events[0].category, "0x0000");
    EXPECT_EQ(events[0].strings.at(1), std::to_wstring(first));
    EXPECT_EQ(events[1].strings.at(1), L"marker");
    EXPECT_EQ(events[2].type, "0x0002") << "warning";
    EXPECT_EQ(events[2].strings.at(1), L"3");
    EXPECT_EQ(events[3].strings.at(1), L"1");
    EXPECT_EQ(events[3].strings.at(2), L"100");
    EXPECT_EQ(events[5].strings.at(1), L"killed");
}

TEST(MonitoringStatus, JsonStatusIsOneObjectAlsoWhenItFailsAndOtherCommandsRefuseAFormat)
{
    TemporaryDirectory dir;
    const std::wstring errors = dir.file(L"errors.txt");
    const auto run = [&errors](const std::vector<std::wstring>& arguments) {
        ProcessOptions options;
        options.errorFile = errors;
        return runHostwell(arguments, options);
    };
    const std::wstring missing = TestService::uniqueName(L"HwMissing");
    ProcessResult result = run({L"status", L"/service=" + missing, L"/format=json"});
    EXPECT_EQ(result.exitCode, 1u);
    std::map<std::wstring, std::wstring> json = pythonRead(PARSE_JSON, result.output());
    EXPECT_EQ(json, (std::map<std::wstring, std::wstring>{{L"name", L"\"" + missing + L"\""},
                                                           {L"state", L"\"not-installed\""}}))
        << result.rawOutput;
    EXPECT_EQ(readUtf8(errors).rfind(L"Corvane Hostwell v", 0), 0u);

    result = run({L"status", L"/service=", L"/format=JSON"});
    EXPECT_EQ(result.exitCode, 1u);
    json = pythonRead(PARSE_JSON, result.output());
    EXPECT_EQ(json, (std::map<std::wstring, std::wstring>{
                        {L"name", L"null"},
                        {L"error", L"\"The service name in /service= is empty: write /service=<service name>\""}}))
        << result.rawOutput;

    result = run({L"status", L"/settings=" + dir.file(L"none.xml"), L"/format=json"});
    EXPECT_EQ(result.exitCode, 1u);
    json = pythonRead(PARSE_JSON, result.output());
    EXPECT_EQ(json[L"name"], L"null") << result.rawOutput;
    EXPECT_NE(json[L"error"].find(L"none.xml"), std::wstring::npos) << result.rawOutput;

    // Nothing for a collector to misread.
    result = run({L"status", L"/service=" + missing, L"/format=prometheus"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.rawOutput, "");

    result = runHostwell({L"start", L"/service=" + missing, L"/format=json"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.lines().front(), L"Corvane Hostwell v1.1.730.777") << "the messages stay on standard output";
    EXPECT_TRUE(result.hasLine(L"/format=json is an option of the status command only: leave it out for start"))
        << toUtf8(result.output());
    EXPECT_FALSE(result.contains(L"Failed to open service")) << "refused before it runs";
}

TEST(MetricsSettings, TheFileIsTakenFromTheSettingsFolderAndAnEmptyOneIsRefused)
{
    TemporaryDirectory dir;
    const std::wstring settings = dir.file(L"service.xml");
    const auto settingsWith = [&](const std::wstring& metrics) {
        writeUtf8(settings, L"<hostwell><name>MetricsService</name><description>d</description>" + metrics +
                                L"<execution><program>" + helperPath(L"hwtestprog.exe") +
                                L"</program></execution></hostwell>");
        return runHostwell({L"validate-settings", L"/settings=" + settings});
    };
    ProcessResult result = settingsWith(L"<metrics file='metrics\\service.prom'/>");
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"[j]: MetricsFile:" + dir.file(L"metrics\\service.prom") + L"!~"))
        << toUtf8(result.output());

    for (const wchar_t* empty : {L"<metrics file=' '/>", L"<metrics/>"}) {
        result = settingsWith(empty);
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(empty);
        EXPECT_TRUE(result.hasLine(L"<hostwell>/<metrics> has no file: write the path of the metrics file, such as "
                                   L"file=\"C:\\metrics\\MetricsService.prom\""))
            << toUtf8(result.output());
    }
}

#include <gtest/gtest.h>

#include <windows.h>

#include <ctime>
#include <optional>
#include <string>

#include "common/Json.h"
#include "common/TextConversion.h"
#include "logging/LogLevel.h"
#include "logging/ServiceEvents.h"
#include "service/ProgramSnapshot.h"
#include "service/ProgramState.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

TEST(ProgramState, IsReadBackAsWrittenAndSaysWhatTheProgramDoes)
{
    TemporaryDirectory dir;
    const std::wstring file = ProgramState::fileBeside(dir.file(L"service.log"));
    EXPECT_EQ(file, dir.file(L"service.log.state.json"));
    EXPECT_EQ(ProgramState::fileBeside(L""), L"");
    EXPECT_FALSE(ProgramSnapshot::read(file).has_value());

    ProgramState state(file);
    state.started(5120);
    std::optional<ProgramSnapshot> read = ProgramSnapshot::read(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->json(), state.json());
    EXPECT_EQ(read->text().rfind(L"program process id 5120, started ", 0), 0u) << read->text();
    EXPECT_EQ(read->text().substr(read->text().size() - 12), L", 0 restarts") << read->text();

    state.ended(3221225477);
    state.restarting(1);
    state.restarting(1);  // a new series
    read = ProgramSnapshot::read(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->json().find(L"{\"processId\": null, \"startedAt\": \""), 0u) << read->json();
    EXPECT_EQ(read->json().substr(read->json().find(L"\"restarts\"")),
              L"\"restarts\": 1, \"lastExitCode\": 3221225477, \"health\": null, \"restartsTotal\": 2, "
              L"\"recycles\": 0, \"logRecordsLost\": 0}");
    EXPECT_EQ(read->text().rfind(L"program not running, last started ", 0), 0u) << read->text();
    EXPECT_EQ(read->text().substr(read->text().size() - 38), L", 1 restart, last exit code 3221225477");
    EXPECT_FALSE(fileExists(file + L".tmp"));

    // A file of an older version, without the counters.
    writeUtf8(file, L"{\"program\": {\"processId\": 1, \"startedAt\": null, \"restarts\": 2, \"lastExitCode\": null, "
                    L"\"health\": \"healthy\"}}");
    read = ProgramSnapshot::read(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->restarts, 2u);
    EXPECT_EQ(read->restartsTotal, 0u);

    LoggingCapture capture(LEVEL_WARN);
    writeUtf8(file, L"{\"program\": {\"processId\": 1");
    EXPECT_FALSE(ProgramSnapshot::read(file).has_value());
    EXPECT_TRUE(capture.has(L"The program state file " + file + L" is not the JSON that Hostwell writes"));
}

TEST(ProgramState, KeepsTheMetricsFileUpToDateWithEveryChangeAndSaysDownOnceTheServiceEnded)
{
    TemporaryDirectory dir;
    const std::wstring metrics = dir.file(L"metrics\\My Service.prom");
    ProgramState state(L"", metrics, L"My \"Service\"");
    const std::wstring label = L"{service=\"My \\\"Service\\\"\"}";
    const auto value = [&metrics, &label](const std::wstring& name) {
        const std::wstring text = readUtf8(metrics);
        const size_t found = text.find(L"\n" + name + label + L" ");
        if (found == std::wstring::npos) {
            return std::wstring(L"absent");
        }
        const size_t start = found + 1 + name.size() + label.size() + 1;
        return text.substr(start, text.find(L'\n', start) - start);
    };
    state.readyChanged(true);
    EXPECT_EQ(value(L"hostwell_up"), L"0");
    EXPECT_EQ(value(L"hostwell_ready"), L"1");
    EXPECT_EQ(value(L"hostwell_last_exit_code"), L"absent");
    EXPECT_EQ(value(L"hostwell_program_start_time_seconds"), L"absent");
    EXPECT_EQ(value(L"hostwell_health"), L"absent");

    const long long before = static_cast<long long>(time(nullptr));
    state.started(5120);
    EXPECT_EQ(value(L"hostwell_up"), L"1");
    const long long started = std::stoll(value(L"hostwell_program_start_time_seconds"));
    EXPECT_GE(started, before - 1);
    EXPECT_LE(started, static_cast<long long>(time(nullptr)) + 1);
    state.healthChanged(L"failing");
    EXPECT_EQ(value(L"hostwell_health"), L"0");
    state.healthChanged(L"healthy");
    EXPECT_EQ(value(L"hostwell_health"), L"1");
    state.ended(3);
    state.restarting(1);
    EXPECT_EQ(value(L"hostwell_up"), L"0");
    EXPECT_EQ(value(L"hostwell_last_exit_code"), L"3");
    EXPECT_EQ(value(L"hostwell_restarts_total"), L"1");
    // Losses of any log and recycles are counted from their events.
    ServiceEvents::recordsLost(965, L"C:\\svc\\app.log", L"Disk full");
    ServiceEvents::recordsLost(2, L"C:\\svc\\service.log", L"Disk full");
    ServiceEvents::recycled(L"every 24h");
    EXPECT_EQ(value(L"hostwell_log_records_lost_total"), L"967");
    EXPECT_EQ(value(L"hostwell_recycles_total"), L"1");
    EXPECT_NE(readUtf8(metrics).find(L"\nhostwell_info{service=\"My \\\"Service\\\"\",version=\"1.1.730.777\"} 1\n"),
              std::wstring::npos);

    state.started(5121);
    state.serviceEnded();
    EXPECT_EQ(value(L"hostwell_up"), L"0");
    EXPECT_EQ(value(L"hostwell_ready"), L"0");
    EXPECT_FALSE(fileExists(metrics + L".tmp"));
    EXPECT_EQ(readBytes(metrics).find('\r'), std::string::npos) << "the text format's lines end with LF alone";
}

TEST(Json, StringsAreEscapedAndReadBackAndOnlyNestedObjectsOfScalarsAreRead)
{
    const std::wstring text = L"C:\\svc \"a\"\n\t\x01\u00e9";
    EXPECT_EQ(jsonString(text), L"\"C:\\\\svc \\\"a\\\"\\n\\t\\u0001\u00e9\"");
    const auto scalars = readJsonScalars(L" {\"a\": {\"b\": " + jsonString(text) + L", \"c\": -12}, \"d\": null} ");
    ASSERT_TRUE(scalars.has_value());
    EXPECT_EQ(scalars->at(L"a.b").text, text);
    EXPECT_TRUE(scalars->at(L"a.b").isString);
    EXPECT_EQ(scalars->at(L"a.c").text, L"-12");
    EXPECT_TRUE(scalars->at(L"d").isNull());
    EXPECT_FALSE(readJsonScalars(L"{\"a\": [1]}").has_value());
    EXPECT_FALSE(readJsonScalars(L"{\"a\": \"\\u12\"}").has_value());
    EXPECT_FALSE(readJsonScalars(L"{\"a\": 1} x").has_value());
    EXPECT_FALSE(readJsonScalars(L"").has_value());
}

TEST(Json, LoneSurrogatesAreEscapedSoThatTheUtf8TextNamesTheSameFile)
{
    // A file name may hold a surrogate without its partner; a pair is one character.
    const std::wstring path = L"C:\\a\xD800" L"b\xDC01" L"c\xD83D\xDE00.log";
    EXPECT_EQ(jsonString(path), L"\"C:\\\\a\\ud800b\\udc01c\xD83D\xDE00.log\"");
    const auto scalars = readJsonScalars(fromUtf8(toUtf8(L"{\"file\": " + jsonString(path) + L"}")));
    ASSERT_TRUE(scalars.has_value());
    EXPECT_EQ(scalars->at(L"file").text, path);
}

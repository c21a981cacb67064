#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "logging/ErrorText.h"
#include "logging/LogLevel.h"
#include "logging/RollFileWriter.h"
#include "logging/ServiceEvents.h"
#include "security/WriteAccessCheck.h"
#include "service/LivenessCheck.h"
#include "service/RestartSchedule.h"
#include "support/EventCapture.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

// Where the events of a running service happen; their records are in EventLogTest.

namespace {

using Strings = std::vector<std::wstring>;

// A log file whose writes fail while `failWith` is set.
class FailingWriter : public RollFileWriter {
public:
    using RollFileWriter::RollFileWriter;
    DWORD failWith = ERROR_SUCCESS;

protected:
    BOOL writeFile(HANDLE file, const char* data, DWORD size, DWORD* written) override
    {
        if (failWith != ERROR_SUCCESS) {
            SetLastError(failWith);
            return FALSE;
        }
        return RollFileWriter::writeFile(file, data, size, written);
    }
};

}  // namespace

TEST(ServiceEvents, EveryFailedHealthProbeIsOneAndTheVerdictAnother)
{
    const LoggingCapture quiet(LEVEL_ERROR);
    EventCapture events;
    HealthCheck check;
    check.target.text = L"127.0.0.1:8080";
    check.failures = 2;
    LivenessCheck liveness(check, true);
    EXPECT_FALSE(liveness.onResult(false, L"connection refused (10061)"));
    EXPECT_FALSE(liveness.onResult(true, L""));
    EXPECT_FALSE(liveness.onResult(false, L"timed out"));
    EXPECT_TRUE(liveness.onResult(false, L"timed out"));
    ASSERT_EQ(events.ids(), (std::vector<DWORD>{1005, 1005, 1005, 1006}));
    EXPECT_EQ(events.events[0].strings, (Strings{L"tcp 127.0.0.1:8080", L"connection refused (10061)", L"1"}));
    // The count starts again after a probe that held.
    EXPECT_EQ(events.events[1].strings, (Strings{L"tcp 127.0.0.1:8080", L"timed out", L"1"}));
    EXPECT_EQ(events.events[2].strings, (Strings{L"tcp 127.0.0.1:8080", L"timed out", L"2"}));
    EXPECT_EQ(events.events[3].strings, (Strings{L"tcp 127.0.0.1:8080", L"2"}));
}

TEST(ServiceEvents, LostLogRecordsAreOneWithTheirCountFileAndReasonOnceTheFileTakesRecordsAgain)
{
    const LoggingCapture quiet(LEVEL_ERROR);
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"app.log");
    EventCapture events;
    FailingWriter writer(RollFileWriter::Layout::Raw);
    writer.open(file);
    writer.failWith = ERROR_DISK_FULL;
    writer.writeLine(L"lost one");
    writer.writeLine(L"lost two");
    EXPECT_TRUE(events.events.empty()) << "reported before the count is known";
    writer.failWith = ERROR_SUCCESS;
    writer.writeLine(L"written");
    writer.writeLine(L"written too");
    ASSERT_EQ(events.ids(), (std::vector<DWORD>{1008}));
    EXPECT_EQ(events.events[0].strings, (Strings{L"2", file, errorText(ERROR_DISK_FULL)}));
    EXPECT_EQ(events.events[0].count, 2u);
}

TEST(ServiceEvents, AFileTheWriteCheckRefusesIsOneButNotWhenTheRiskIsAccepted)
{
    const LoggingCapture quiet(LEVEL_ERROR);
    EventCapture events;
    const std::vector<WriteAccessFinding> findings = {
        {L"C:\\Tools\\app.exe", L"BUILTIN\\Users", L"write data, append data", L"", L""},
        {L"C:\\Tools", L"", L"", L"Access is denied. (5)", L""},
    };
    EXPECT_TRUE(acceptWritableFiles(findings, true));
    EXPECT_TRUE(events.events.empty());
    EXPECT_FALSE(acceptWritableFiles(findings, false));
    ASSERT_EQ(events.ids(), (std::vector<DWORD>{1009, 1009}));
    EXPECT_EQ(events.events[0].strings, (Strings{L"C:\\Tools\\app.exe", L"BUILTIN\\Users", L"write data, append data"}));
    EXPECT_EQ(events.events[1].strings, (Strings{L"C:\\Tools", L"", L"Access is denied. (5)"}));
}

TEST(ServiceEvents, TheRestartScheduleTellsMaxRestartsFromAnEndThatIsNotRestarted)
{
    const LoggingCapture quiet(LEVEL_ERROR);
    RestartPolicy policy;
    policy.when = RestartWhen::Failure;
    policy.maxRestarts = 1;
    RestartSchedule schedule(policy);
    EXPECT_TRUE(schedule.afterEnd(3, std::chrono::milliseconds(10)).has_value());
    // Restarted once: an end with 0 is no failure, and not the limit either.
    EXPECT_FALSE(schedule.afterEnd(0, std::chrono::milliseconds(10)).has_value());
    EXPECT_FALSE(schedule.maxRestartsReached());
    EXPECT_FALSE(schedule.afterEnd(3, std::chrono::milliseconds(10)).has_value());
    EXPECT_TRUE(schedule.maxRestartsReached());
}

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "logging/LogLevel.h"
#include "service/LivenessCheck.h"
#include "service/RestartSchedule.h"
#include "support/LoggingCapture.h"

using std::chrono::milliseconds;

TEST(RestartSchedule, ALongRunStartsANewSeriesFromTheDelayWithItsOwnCount)
{
    LoggingCapture capture(LEVEL_WARN);
    RestartPolicy policy;
    policy.when = RestartWhen::Failure;
    policy.delay = milliseconds(100);
    policy.maxDelay = milliseconds(1000);
    policy.reset = milliseconds(5000);
    policy.maxRestarts = 2;
    RestartSchedule schedule(policy);
    EXPECT_EQ(schedule.afterEnd(3, milliseconds(10)), milliseconds(100));
    EXPECT_EQ(schedule.afterEnd(3, milliseconds(4999)), milliseconds(200));
    EXPECT_EQ(schedule.afterEnd(3, milliseconds(5000)), milliseconds(100));
    EXPECT_EQ(schedule.afterEnd(3, milliseconds(10)), milliseconds(200));
    EXPECT_FALSE(schedule.afterEnd(3, milliseconds(10)).has_value());
    EXPECT_EQ(capture.messages(), (std::vector<std::wstring>{
                                      L"The program ended with exit code 3; restart 1 in 100ms",
                                      L"The program ended with exit code 3; restart 2 in 200ms",
                                      L"The program ended with exit code 3; restart 1 in 100ms",
                                      L"The program ended with exit code 3; restart 2 in 200ms",
                                      L"The program ended with exit code 3 after 2 restart(s) in a row; max-restarts "
                                      L"allows no more",
                                  }));
}

TEST(LivenessCheck, ItsVerdictSaysWhetherTheProgramIsRestartedOrTheServiceEnds)
{
    HealthCheck check;
    ASSERT_EQ(parseTcpTarget(L"127.0.0.1:8080", check.target), L"");
    check.failures = 2;
    LoggingCapture capture(LEVEL_WARN);
    for (bool restarts : {true, false}) {
        LivenessCheck verdict(check, restarts);
        EXPECT_FALSE(verdict.onResult(false, L"timed out"));
        EXPECT_TRUE(verdict.onResult(false, L"timed out"));
    }
    const std::wstring failed = L"The program did not answer " + check.target.name() +
                                L": 2 probes failed, the last: timed out; ";
    EXPECT_EQ(capture.messages(),
              (std::vector<std::wstring>{failed + L"it is stopped and restarted as <restart> says",
                                         failed + L"it is stopped and the service ends, since no <restart> is set"}));
}

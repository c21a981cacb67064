#include <gtest/gtest.h>

#include <limits.h>

#include "logging/ErrorText.h"
#include "logging/LogLevel.h"
#include "settings/SimpleSettings.h"
#include "settings/StopTimeout.h"
#include "settings/SupervisionSettings.h"
#include "settings/XmlFileSettings.h"
#include "support/LoggingCapture.h"

TEST(StopTimeout, ReadsMinutesAsMillisecondsAndRefusesNonPositive)
{
    LoggingCapture capture(LEVEL_WARN);
    const auto parse = [](const std::wstring& text) {
        int milliseconds = -7;
        return parseStopTimeout(text, milliseconds) ? milliseconds : -1;
    };
    EXPECT_EQ(parse(L"0"), 0);
    EXPECT_EQ(parse(L" 2 "), 120000);
    EXPECT_EQ(parse(L"1.5"), 90000);
    EXPECT_EQ(parse(L"1e3"), 60000000);
    EXPECT_EQ(parse(L"40000"), INT_MAX);  // clamped, not turned into an immediate kill
    EXPECT_EQ(parse(L"1e300"), INT_MAX);
    EXPECT_EQ(parse(L"0.0"), -1);
    EXPECT_EQ(parse(L"-1"), -1);
    EXPECT_EQ(parse(L"abc"), -1);
    EXPECT_EQ(parse(L""), -1);
    EXPECT_EQ(parse(L" \t "), -1);
    EXPECT_EQ(parse(L"nan"), -1);
    EXPECT_EQ(parse(L"inf"), -1);
    EXPECT_TRUE(capture.has(L"Failed to parse timeout value: abc"));
    EXPECT_TRUE(capture.has(L"timout value is empty"));
    // The element and the accepted form follow the refusal; a clamped value is told with the one used.
    for (const wchar_t* refused : {L"-1", L"nan"}) {
        EXPECT_TRUE(capture.has(L"Timeout \"" + std::wstring(refused) +
                                L"\" in <hostwell>/<execution>/<termination> is not a positive number: write minutes "
                                L"with a decimal point, such as 1.5, or 0 to end the program at once"))
            << refused;
    }
    // The C runtime may or may not read "inf" as a number at all.
    EXPECT_TRUE(capture.has(L"Timeout \"inf\" in <hostwell>/<execution>/<termination> is not a number: write "
                            L"minutes with a decimal point, such as 1.5") ||
                capture.has(L"Timeout \"inf\" in <hostwell>/<execution>/<termination> is not a positive number: "
                            L"write minutes with a decimal point, such as 1.5, or 0 to end the program at once"));
    EXPECT_TRUE(capture.has(L"Timeout \"1e300\" in <hostwell>/<execution>/<termination> is longer than can be "
                            L"counted: 2147483647 milliseconds (about 24.8 days) are used"));
    EXPECT_FALSE(capture.has(L"Timeout \"1e3\" in <hostwell>/<execution>/<termination> is longer than can be "
                             L"counted: 2147483647 milliseconds (about 24.8 days) are used"));
}

TEST(StopTimeout, RefusesAValueThatIsNoNumberAsAWhole)
{
    LoggingCapture capture(LEVEL_ERROR);
    const auto parse = [](const std::wstring& text) {
        int milliseconds = -7;
        return parseStopTimeout(text, milliseconds) ? milliseconds : -1;
    };
    EXPECT_EQ(parse(L"+1.5"), 90000);
    EXPECT_EQ(parse(L".5"), 30000);
    EXPECT_EQ(parse(L"2."), 120000);
    EXPECT_EQ(parse(L"1.5E+1"), 900000);
    EXPECT_EQ(parse(L"1,5"), -1);
    EXPECT_EQ(parse(L"1.5abc"), -1);
    EXPECT_EQ(parse(L"12 minutes"), -1);
    EXPECT_EQ(parse(L"2e"), -1);
    EXPECT_EQ(parse(L"1e+"), -1);
    EXPECT_EQ(parse(L"1..5"), -1);
    EXPECT_EQ(parse(L"0x10"), -1);
    EXPECT_TRUE(capture.has(L"Timeout \"1,5\" in <hostwell>/<execution>/<termination> is not a number: write "
                            L"minutes with a decimal point, such as 1.5"));
    EXPECT_TRUE(capture.has(L"Failed to parse timeout value: 0x10"));  // read as 0, refused as before
}

TEST(HealthCheckSettings, AllowFrom1To1000FailuresInARow)
{
    LoggingCapture capture(LEVEL_ERROR);
    // The failures the health check reads from <execution>; 0 when refused.
    const auto failures = [](const std::wstring& value) {
        std::wstring text = L"<execution><health failures='" + value + L"'><tcp>h:1</tcp></health></execution>";
        rapidxml::xml_document<wchar_t> document;
        document.parse<0>(&text[0]);
        SimpleServiceSettings service(L"Svc", L"Svc", L"d", L"");
        SimpleServiceTaskSettings task(&service);
        const bool read = readHealthCheck(*document.first_node(), task) == 0 && task.getHealthCheck() != nullptr;
        return read ? task.getHealthCheck()->failures : 0u;
    };
    EXPECT_EQ(failures(L"1"), 1u);
    EXPECT_EQ(failures(L"1000"), 1000u);
    EXPECT_EQ(failures(L"0"), 0u);
    EXPECT_EQ(failures(L"1001"), 0u);
    EXPECT_TRUE(capture.has(L"failures \"1001\" in <hostwell>/<execution>/<health> is not a whole number from 1 to "
                            L"1000: write how many failed probes in a row make the program unhealthy"));
}

TEST(SimpleSettings, WrappersAnswerTheWrappedServiceAndTheirOwnDefaults)
{
    SimpleServiceSettings service(L"Name", L"Display", L"Description", L"C:\\svc\\app.xml");
    EXPECT_EQ(service.getLogFile(), nullptr);
    EXPECT_EQ(service.getLogLevel(), nullptr);
    service.setLogLevel(L"warn");
    service.setLogFile(L"C:\\svc\\x.log");

    const SimpleCreateServiceSettings create(&service, L"\"cmd\" hostwell");
    const CreateServiceSettings& createView = create;
    const UserSettings& userView = createView;
    EXPECT_EQ(createView.getServiceName(), L"Name");
    EXPECT_EQ(createView.getServiceDisplayName(), L"Display");
    EXPECT_EQ(createView.getServiceDescription(), L"Description");
    EXPECT_EQ(createView.getSettingsFile(), L"C:\\svc\\app.xml");
    EXPECT_EQ(*createView.getLogLevel(), L"warn");
    EXPECT_EQ(*createView.getLogFile(), L"C:\\svc\\x.log");
    EXPECT_TRUE(createView.isAutostart());
    EXPECT_FALSE(createView.isRunAsSystem());
    EXPECT_EQ(createView.getServiceCommandLine(), L"\"cmd\" hostwell");
    EXPECT_EQ(userView.getDomain(), L".");
    EXPECT_EQ(userView.getUser(), L"");

    SimpleServiceTaskSettings task(&service);
    EXPECT_EQ(task.getServiceName(), L"Name");
    EXPECT_EQ(task.getStopCommand(), nullptr);
    EXPECT_EQ(task.getStartedMarker(), nullptr);
    SimpleExecutionSettings stop;
    stop.setProgram(L"C:\\stop.exe");
    stop.setArguments(L"--now");
    task.setStopCommand(stop);
    stop.setProgram(L"changed later");
    ASSERT_NE(task.getStopCommand(), nullptr);
    EXPECT_EQ(task.getStopCommand()->getProgram(), L"C:\\stop.exe");
    EXPECT_EQ(task.getStopCommand()->getArguments(), L"--now");
    task.addEnvironmentVariable(L"PATH");
    task.addEnvironmentVariable(L"PATH");
    EXPECT_EQ(task.getEnvironmentVariables().size(), 2u);
}

TEST(SettingsFile, ThatCannotBeReadSaysWhyOrHowLargeItIsAndTheLimit)
{
    EXPECT_EQ(settingsFileFailure(L"C:\\svc\\app.xml", ERROR_FILE_TOO_LARGE, 300000000),
              L"Failed to open settings file C:\\svc\\app.xml: it holds 300000000 bytes, more than the 268435456 a "
              L"settings file may hold");
    EXPECT_EQ(settingsFileFailure(L"C:\\svc\\app.xml", ERROR_ACCESS_DENIED, 10),
              L"Failed to open settings file C:\\svc\\app.xml: " + errorText(ERROR_ACCESS_DENIED));
}

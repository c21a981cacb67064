#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "support/ValidateSettingsTestCase.h"

// validate-settings on the logs: how the service log and the program's output
// log roll, where they may lie, and when the service log is applied.

using ValidateSettings = ValidateSettingsTestCase;

TEST_F(ValidateSettings, ReadsHowLogsRollAndRefusesSizesCountsAndNamesOutOfRangeWithTheAcceptedForm)
{
    const std::vector<std::pair<std::wstring, std::wstring>> accepted = {
        {service(L"<service-logging file='s.log' max-size=' 10mb' keep='10' roll='daily' compress='gzip'/>") +
             minimalExecution(),
         L"[L]: LogRoll:max-size=10MB keep=10 roll=daily compress=gzip!~"},
        {service(L"<service-logging max-size='4GB' keep='1000'/>") + minimalExecution(),
         L"[L]: LogRoll:max-size=4GB keep=1000 roll=size compress=none!~"},
        {service() + minimalExecution(L"<output-log file='logs\\app.log' max-size='64KB' keep='1'/>"),
         L"[e]: OutputLog:" + dir.file(L"logs\\app.log") + L" max-size=64KB keep=1 roll=size compress=none!~"},
    };
    for (const auto& entry : accepted) {
        const ProcessResult result = validate(entry.first);
        EXPECT_EQ(result.exitCode, 0u) << toUtf8(entry.first);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
        EXPECT_EQ(result.output().find(L"Unknown attribute"), std::wstring::npos) << toUtf8(result.output());
    }
    // The defaults are today's 3MB and 3 backups, not worth a line.
    EXPECT_EQ(tagged(validate(service(L"<service-logging max-size='3MB' keep='3' roll='size'/>") + minimalExecution())),
              tagged(validate(service(L"<service-logging/>") + minimalExecution())));

    const std::wstring logging = L" in <hostwell>/<service-logging> ";
    const std::wstring hint = L": write a whole number and KB, MB or GB, from 64KB to 4GB, such as 10MB";
    const std::wstring keepHint = L" is not a whole number from 1 to 1000: write how many backups are kept, such as 10";
    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        {L"max-size='63KB'", L"Size max-size=\"63KB\"" + logging + L"is smaller than 64KB" + hint},
        {L"max-size='4097MB'", L"Size max-size=\"4097MB\"" + logging + L"is larger than 4GB" + hint},
        {L"max-size='99999999999999999999GB'",
         L"Size max-size=\"99999999999999999999GB\"" + logging + L"is larger than 4GB" + hint},
        {L"max-size='10'", L"Size max-size=\"10\"" + logging + L"has no unit" + hint},
        {L"max-size='1.5MB'", L"Size max-size=\"1.5MB\"" + logging + L"is not a whole number" + hint},
        {L"max-size='10M'", L"Size max-size=\"10M\"" + logging + L"has the unknown unit \"M\"" + hint},
        {L"keep='0'", L"keep=\"0\" in <hostwell>/<service-logging>" + keepHint},
        {L"keep='1001'", L"keep=\"1001\" in <hostwell>/<service-logging>" + keepHint},
        {L"keep='-1'", L"keep=\"-1\" in <hostwell>/<service-logging>" + keepHint},
        {L"roll='hourly'", L"Unknown roll=\"hourly\" in <hostwell>/<service-logging>: write size or daily"},
        {L"compress='zip'", L"Unknown compress=\"zip\" in <hostwell>/<service-logging>: write gzip or none"},
        {L"file=''", L"Empty file=\"\" in <hostwell>/<service-logging>: write the path of the log file, or leave "
                     L"the attribute out for no log file"},
    };
    for (const auto& entry : refused) {
        const ProcessResult result = validate(service(L"<service-logging " + entry.first + L"/>") + minimalExecution());
        EXPECT_EQ(result.exitCode, 1u) << toUtf8(entry.first);
        EXPECT_TRUE(result.hasLine(entry.second)) << toUtf8(result.output());
    }
    const ProcessResult outputLog = validate(service() + minimalExecution(L"<output-log keep='5' roll='weekly'/>"));
    EXPECT_EQ(outputLog.exitCode, 1u);
    EXPECT_TRUE(outputLog.hasLine(L"<hostwell>/<execution>/<output-log> has no file: write the path of the file for "
                                  L"the program's output, such as file=\"logs\\app.log\""))
        << toUtf8(outputLog.output());
    EXPECT_TRUE(validate(service() + minimalExecution(L"<output-log file='a.log' roll='weekly'/>"))
                    .hasLine(L"Unknown roll=\"weekly\" in <hostwell>/<execution>/<output-log>: write size or daily"));
}

TEST_F(ValidateSettings, RefusesAnOutputLogThatIsTheServiceLogOrTheSettingsFileNamingBoth)
{
    const ProcessResult log = validate(service(L"<service-logging file='logs\\service.log'/>") +
                                       minimalExecution(L"<output-log file='LOGS\\.\\Service.log'/>"));
    EXPECT_EQ(log.exitCode, 1u);
    EXPECT_TRUE(log.hasLine(L"<hostwell>/<execution>/<output-log> file=\"LOGS\\.\\Service.log\" is the service log " +
                            dir.file(L"logs\\service.log") + L": give the program's output a file of its own"))
        << toUtf8(log.output());
    const ProcessResult self = validate(service() + minimalExecution(L"<output-log file='app.xml'/>"));
    EXPECT_EQ(self.exitCode, 1u);
    EXPECT_TRUE(self.hasLine(L"<hostwell>/<execution>/<output-log> file=\"app.xml\" is the settings file " + settings +
                             L": give the program's output a file of its own"))
        << toUtf8(self.output());
}

TEST_F(ValidateSettings, AppliesTheSettingsLoggingOnlyWhenAsked)
{
    const std::wstring body = service(L"<service-logging level='error' file='logs\\service.log'/>") + minimalExecution();
    const ProcessResult plain = validate(body);
    EXPECT_TRUE(plain.hasLine(L"[?] INFO"));
    EXPECT_FALSE(plain.hasLine(L"[?] DEBUG"));

    const ProcessResult applied = validate(body, {L"/initServiceLogging=true"});
    EXPECT_EQ(applied.exitCode, 0u);
    EXPECT_EQ(tagged(applied), std::vector<std::wstring>{L"[?] ERROR"});
    const std::wstring log = readUtf8(dir.file(L"logs\\service.log"));
    EXPECT_NE(log.find(L"RollFileWriter                    [Info] Logging will be redirected to: "), std::wstring::npos);
    EXPECT_NE(log.find(L"[Error] [?] ERROR"), std::wstring::npos);
    EXPECT_EQ(log.find(L"[?] WARN"), std::wstring::npos);

    const ProcessResult debug = validate(service(L"<service-logging level='Debug'/>") + minimalExecution(),
                                         {L"/initServiceLogging=true"});
    EXPECT_TRUE(debug.hasLine(L"ValidateServiceTaskAction        [Debug] [?] DEBUG"));

    const ProcessResult unknown = validate(service(L"<service-logging level=' info'/>") + minimalExecution(),
                                           {L"/initServiceLogging=true"});
    EXPECT_TRUE(unknown.hasLine(L"Unknown log level from the settings file:  info"));
    EXPECT_TRUE(unknown.hasLine(L"[?] INFO"));
}

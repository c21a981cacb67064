#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "common/Json.h"
#include "common/TextConversion.h"
#include "logging/LogLevel.h"
#include "service/ProgramState.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

TEST(ProgramState, IsReadBackAsWrittenAndSaysWhatTheProgramDoes)
{
    TemporaryDirectory dir;
    const std::wstring file = ProgramState::fileBeside(dir.file(L"service.log"));
    EXPECT_EQ(file, dir.file(L"service.log.state.json"));
    EXPECT_EQ(ProgramState::fileBeside(L""), L"");
    EXPECT_FALSE(ProgramState::read(file).has_value());

    ProgramState state(file);
    state.started(5120);
    std::optional<ProgramState> read = ProgramState::read(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->json(), state.json());
    EXPECT_EQ(read->text().rfind(L"program process id 5120, started ", 0), 0u) << read->text();
    EXPECT_EQ(read->text().substr(read->text().size() - 12), L", 0 restarts") << read->text();

    state.ended(3221225477);
    state.restarting(1);
    read = ProgramState::read(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->json().find(L"{\"processId\": null, \"startedAt\": \""), 0u) << read->json();
    EXPECT_EQ(read->json().substr(read->json().find(L"\"restarts\"")),
              L"\"restarts\": 1, \"lastExitCode\": 3221225477, \"health\": null}");
    EXPECT_EQ(read->text().rfind(L"program not running, last started ", 0), 0u) << read->text();
    EXPECT_EQ(read->text().substr(read->text().size() - 38), L", 1 restart, last exit code 3221225477");
    EXPECT_FALSE(fileExists(file + L".tmp"));

    LoggingCapture capture(LEVEL_WARN);
    writeUtf8(file, L"{\"program\": {\"processId\": 1");
    EXPECT_FALSE(ProgramState::read(file).has_value());
    EXPECT_TRUE(capture.has(L"The program state file " + file + L" is not the JSON that Hostwell writes"));
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

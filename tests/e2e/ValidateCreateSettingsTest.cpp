#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"
#include "support/CurrentUser.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

// validate-create-settings and validate-sid: what install would register, and
// the account's SID as Wine's LookupAccountNameW knows it.

namespace {

const std::wstring CMD = L"C:\\windows\\system32\\cmd.exe";
const std::wstring NO_DOMAIN = L"Domain not specified. Will use localhost";

// The user SID of this process's token, found without any account lookup.
std::wstring currentUserSid()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) {
        return L"<no token>";
    }
    const UniqueHandle token(opened);
    std::vector<BYTE> buffer(1024);
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) {
        return L"<no token user>";
    }
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return L"<no SID text>";
    }
    const UniqueLocalMemory textMemory(text);
    return text;
}

// The machine-readable lines only.
std::vector<std::wstring> tagged(const ProcessResult& result)
{
    std::vector<std::wstring> lines;
    for (const std::wstring& line : result.lines()) {
        if (line.compare(0, 5, L"[j]: ") == 0 || line.compare(0, 5, L"[e]: ") == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

class ValidateAccount : public ::testing::Test {
protected:
    TemporaryDirectory dir;
    std::wstring settings = dir.file(L"app.xml");

    void SetUp() override
    {
        writeUtf8(settings, L"<hostwell><name>Svc</name><displayName>Shown Name</displayName>"
                            L"<description>The service</description><execution><program>" + CMD +
                                L"</program><arguments>/c exit 3</arguments></execution></hostwell>");
    }

    ProcessResult run(const std::wstring& command, std::vector<std::wstring> arguments)
    {
        arguments.insert(arguments.begin(), {command, L"/settings=" + settings});
        return runHostwell(arguments);
    }

    std::vector<std::wstring> service(const std::wstring& autostart, const std::wstring& runAsSystem) const
    {
        return {
            L"[j]: ServiceName:Svc!~",
            L"[j]: ServiceDisplayName:Shown Name!~",
            L"[j]: ServiceDescription:The service!~",
            L"[j]: IsAutostart:" + autostart + L"!~",
            L"[j]: RunAsService:" + runAsSystem + L"!~",
        };
    }

    std::vector<std::wstring> execution() const
    {
        return {
            L"[e]: Program:" + CMD + L"!~",
            L"[e]: Arguments:/c exit 3!~",
            L"[e]: WorkDir:" + dir.path() + L"!~",
        };
    }

    static std::vector<std::wstring> join(std::vector<std::wstring> first, const std::vector<std::wstring>& second)
    {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    }
};

}  // namespace

TEST_F(ValidateAccount, CreateSettingsForLocalSystemPrintNoAccountLines)
{
    const ProcessResult result = run(L"validate-create-settings", {L"/runAsSystem", L"/user=NT SERVICE\\Small"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_EQ(tagged(result), join(service(L"true", L"true"), execution()));
    EXPECT_TRUE(result.hasLine(L"Installing service unser LOCAL_SYSTEM account"));
    // An administrator who asked for a small account hears that it is not used.
    EXPECT_TRUE(result.hasLine(L"/user=NT SERVICE\\Small is ignored: with /runAsSystem the service runs as LocalSystem"))
        << toUtf8(result.output());
}

TEST_F(ValidateAccount, CreateSettingsForAnAccountPrintItAndThePasswordAsGiven)
{
    const std::wstring password = L"p\u00e4ss \"w\u00f6rd\" %s %d \u20ac";
    ProcessResult result = run(L"validate-create-settings", {L"/user=svc", L"/password=" + password});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    std::vector<std::wstring> account = {L"[j]: AccountKind:user account!~", L"[j]: UserName:svc!~", L"[j]: Domain:.!~",
                                         L"[j]: Password:" + password + L"!~"};
    EXPECT_EQ(tagged(result), join(join(service(L"true", L"false"), account), execution()));
    EXPECT_TRUE(result.hasLine(NO_DOMAIN));
    EXPECT_TRUE(result.hasLine(L"Installing service under svc (domain=.) account"));

    result = run(L"validate-create-settings", {L"/user=svc", L"/domain=CORP", L"/password="});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    account = {L"[j]: AccountKind:user account!~", L"[j]: UserName:svc!~", L"[j]: Domain:CORP!~", L"[j]: Password:!~"};
    EXPECT_EQ(tagged(result), join(join(service(L"true", L"false"), account), execution()));
    EXPECT_FALSE(result.hasLine(NO_DOMAIN));

    // A group managed service account, written as Windows writes it, needs no password.
    result = run(L"validate-create-settings", {L"/user=CORP\\app$"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    account = {L"[j]: AccountKind:group managed service account!~", L"[j]: UserName:app$!~", L"[j]: Domain:CORP!~",
               L"[j]: Password:!~"};
    EXPECT_EQ(tagged(result), join(join(service(L"true", L"false"), account), execution()));
}

TEST_F(ValidateAccount, CreateSettingsShowAutostartOffWhenEitherSwitchIsNotTrue)
{
    const std::vector<std::pair<std::vector<std::wstring>, std::wstring>> cases = {
        {{L"/autorun=false"}, L"false"},
        {{L"/autostart=false"}, L"false"},
        {{L"/autostart=no", L"/autorun=true"}, L"false"},
        {{L"/autostart=TRUE", L"/autorun=true"}, L"true"},
    };
    for (const auto& entry : cases) {
        std::vector<std::wstring> arguments = entry.first;
        arguments.push_back(L"/runAsSystem");
        const ProcessResult result = run(L"validate-create-settings", arguments);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(result.hasLine(L"[j]: IsAutostart:" + entry.second + L"!~")) << toUtf8(entry.first.front());
    }
}

TEST_F(ValidateAccount, CreateSettingsWithoutUserOrPasswordFailWithoutPrinting)
{
    ProcessResult result = run(L"validate-create-settings", {L"/password=secret"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"/user=<user> parameter must be specified."));
    EXPECT_TRUE(tagged(result).empty());

    result = run(L"validate-create-settings", {L"/user=svc"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"/password=<password> parameter must be specified."));
    EXPECT_TRUE(tagged(result).empty());

    result = run(L"validate-create-settings", {L"/user=", L"/password=x"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"/user= names no account: write the account the service runs as, such as "
                               L"/user=NT SERVICE\\<service name>, or install with /runAsSystem"))
        << toUtf8(result.output());
    EXPECT_TRUE(tagged(result).empty());
}

TEST_F(ValidateAccount, SidOfTheCurrentUserIsTheOneOfItsToken)
{
    const ProcessResult result = run(L"validate-sid", {L"/user=" + currentUserName(), L"/password=unused"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const std::wstring sid = currentUserSid();
    EXPECT_EQ(sid.compare(0, 6, L"S-1-5-"), 0) << toUtf8(sid);
    EXPECT_TRUE(result.hasLine(L"User token opened: SID=" + sid)) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(NO_DOMAIN));
}

TEST_F(ValidateAccount, SidOfAnUnknownUserOrOfLocalSystemIsRefused)
{
    ProcessResult result = run(L"validate-sid", {L"/user=no-such-hostwell-user", L"/domain=CORP", L"/password=x"});
    EXPECT_EQ(result.exitCode, 1u);
    // Wine's text for ERROR_NONE_MAPPED, then the code.
    bool lookupFailed = false;
    for (const std::wstring& line : result.lines()) {
        lookupFailed = lookupFailed || (line.compare(0, 29, L"Failed to LookupAccountName. ") == 0 &&
                                        line.size() > 36 && line.compare(line.size() - 7, 7, L" (1332)") == 0);
    }
    EXPECT_TRUE(lookupFailed) << toUtf8(result.output());
    EXPECT_FALSE(result.contains(L"User token opened"));

    result = run(L"validate-sid", {L"/runAsSystem", L"/user=" + currentUserName(), L"/password=x"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Username and password must be specified"));
    EXPECT_FALSE(result.contains(L"User token opened"));

    result = run(L"validate-sid", {L"/password=x"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"/user=<user> parameter must be specified."));
}

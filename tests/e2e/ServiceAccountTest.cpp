#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextConversion.h"
#include "support/CurrentUser.h"
#include "support/InstallTestCase.h"
#include "support/ProcessRunner.h"

// The account a service runs under: install with one, grantService, checkUser
// and grantLogon against Wine's real service control manager. LogonUserW and
// the LSA are stubs there that always succeed.

namespace {

const std::wstring UNKNOWN_USER = L"no-such-hostwell-user";

// With /debug a console line starts with the logger's name and level (41 characters).
bool hasMessage(const ProcessResult& result, const std::wstring& message)
{
    for (const std::wstring& line : result.lines()) {
        if (line == message || (line.size() >= 41 && line.compare(41, std::wstring::npos, message) == 0)) {
            return true;
        }
    }
    return false;
}

}  // namespace

using Install = InstallTestCase;

TEST_F(Install, UnderAnAccountChecksItAndGivesItStartStopRights)
{
    const RegisteredService& local = newService();
    ProcessResult result = install({L"/user=" + currentUserName(), L"/password=secret"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    const std::vector<std::wstring> expected = {
        L"Domain not specified. Will use localhost",
        L"Installing service under " + currentUserName() + L" (domain=.) account",
        L"User logged in as service",
        L"Installing service for user: .\\" + currentUserName(),
        L"Service '" + local.name() + L"' was created",
        L"Allowed service running user to start, stop the service",
    };
    int previous = -1;
    for (const std::wstring& line : expected) {
        const int index = lineIndex(result, line);
        EXPECT_GT(index, previous) << toUtf8(line);
        previous = index;
    }
    EXPECT_EQ(lastLines(result, 8), startStopHint(local.name()));
    EXPECT_EQ(queryConfig(local.name()).account, L".\\" + currentUserName());

    const RegisteredService& domain = newService();
    result = install({L"/user=" + currentUserName(), L"/domain=CORP", L"/password=secret"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_FALSE(result.contains(L"Domain not specified"));
    EXPECT_TRUE(result.hasLine(L"Installing service under " + currentUserName() + L" (domain=CORP) account"));
    EXPECT_TRUE(result.hasLine(L"Installing service for user: CORP\\" + currentUserName()));
    EXPECT_EQ(queryConfig(domain.name()).account, L"CORP\\" + currentUserName());
}

TEST_F(Install, UnderAnAccountWithoutPasswordRegistersItWithoutOneOrALogonCheck)
{
    const RegisteredService& virtualService = newService();
    const std::wstring virtualAccount = L"NT SERVICE\\" + virtualService.name();
    const ProcessResult shown = run(L"validate-create-settings", {L"/settings=app.xml", L"/user=" + virtualAccount});
    EXPECT_TRUE(shown.hasLine(L"[j]: AccountKind:virtual account!~")) << toUtf8(shown.output());
    ProcessResult result = install({L"/user=" + virtualAccount});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Installing service for user: " + virtualAccount)) << toUtf8(result.output());
    // The account runs the service: no logon to check, no right to control it.
    EXPECT_FALSE(result.contains(L"User logged in as service"));
    EXPECT_FALSE(result.contains(L"Allowed service running user"));
    EXPECT_FALSE(result.contains(L"Domain not specified"));
    EXPECT_EQ(queryConfig(virtualService.name()).account, virtualAccount);

    const RegisteredService& localService = newService();
    result = install({L"/user=LocalService", L"/password=secret"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(
        L"/password= is ignored: NT AUTHORITY\\LocalService is a local service account, which has no password"));
    EXPECT_EQ(queryConfig(localService.name()).account, L"NT AUTHORITY\\LocalService");

    const RegisteredService& other = newService();
    result = install({L"/user=NT SERVICE\\SomeOtherService"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"NT SERVICE\\SomeOtherService is not the virtual account of service " + other.name() +
                               L": write /user=NT SERVICE\\" + other.name()))
        << toUtf8(result.output());
    EXPECT_FALSE(queryConfig(other.name()).found);
}

TEST_F(Install, PasswordWithBlanksQuotesAndNonAsciiIsTakenAsItIsAndNeverShown)
{
    const RegisteredService& service = newService();
    const std::wstring password = L"p\u00e4ss \"w\u00f6rd\" \u20ac 1";
    const ProcessResult result = install({L"/user=" + currentUserName(), L"/password=" + password, L"/debug"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_FALSE(result.contains(L"w\u00f6rd"));
    EXPECT_TRUE(queryConfig(service.name()).found);
}

TEST_F(Install, SwitchesTurnTheAccountCheckAndTheDaclChangeOff)
{
    newService();
    ProcessResult result = install({L"/user=" + currentUserName(), L"/password=secret", L"/checkUserAccount=no"});
    ASSERT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_FALSE(result.contains(L"User logged in as service"));
    EXPECT_TRUE(result.hasLine(L"Allowed service running user to start, stop the service"));

    // The DACL entry cannot name an unknown account: a warning, and the service stays installed.
    const RegisteredService& unknownUser = newService();
    result = install({L"/user=" + UNKNOWN_USER, L"/password=secret", L"/changeDACL=TRUE"});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Failed to grant rights for user."));
    EXPECT_TRUE(result.hasLine(L"To disable this check add '/changeDACL=false' commandline parameter"));
    EXPECT_EQ(lastLines(result, 8), startStopHint(unknownUser.name()));
    EXPECT_TRUE(isRegistered(unknownUser.name()));

    newService();
    result = install({L"/user=" + UNKNOWN_USER, L"/password=secret", L"/changeDACL=yes"});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_FALSE(result.contains(L"Failed to grant rights for user."));
    EXPECT_FALSE(result.contains(L"Allowed service running user"));
}

TEST_F(Install, GrantServiceAddsTheAccountToAnInstalledServiceAndReportsFailure)
{
    const RegisteredService& service = newService();
    ASSERT_EQ(install({L"/runAsSystem"}).exitCode, 0u);

    ProcessResult result = run(L"grantService", {L"/settings=" + settings, L"/user=" + currentUserName(), L"/password=x"});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(result.hasLine(L"Installing service under " + currentUserName() + L" (domain=.) account"));
    EXPECT_TRUE(result.hasLine(L"Allowed service running user to start, stop the service"));

    result = run(L"grantService", {L"/settings=" + settings, L"/runAsSystem", L"/debug"});
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_FALSE(hasMessage(result, L"Going to give service running user account rights to start/stop service"));

    result = run(L"grantService", {L"/settings=" + settings, L"/user=" + UNKNOWN_USER, L"/password=x"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to grant rights for user."));

    // The entry names the account with its domain: CORP\SYSTEM is none here,
    // while the bare name would have been LocalSystem.
    result = run(L"grantService", {L"/settings=" + settings, L"/user=SYSTEM", L"/domain=CORP", L"/password=x"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.contains(L"Failed to set entries in ACL. "));
    EXPECT_TRUE(result.hasLine(L"Failed to grant rights for user."));

    newService();
    result = run(L"grantService", {L"/settings=" + settings, L"/user=" + currentUserName(), L"/password=x"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"Failed to grant rights for user."));
    EXPECT_TRUE(result.contains(L". Service does not exist"));
    EXPECT_TRUE(isRegistered(service.name()));
}

TEST_F(Install, CheckUserAndGrantLogonLogOnTheAccount)
{
    ProcessResult result = run(L"checkUser", {L"/user=" + currentUserName(), L"/password=secret", L"/debug"});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_TRUE(hasMessage(result, L"Domain not specified. Will use localhost"));
    EXPECT_TRUE(hasMessage(result, L"User " + currentUserName() + L" logged in as Logon as service"));
    EXPECT_TRUE(hasMessage(result, L"User logged in as service"));

    result = run(L"checkUser", {L"/password=secret"});
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.hasLine(L"/user=<user> parameter must be specified."));

    result = run(L"grantLogon", {L"/user=" + currentUserName(), L"/domain=CORP", L"/password=secret"});
    EXPECT_EQ(result.exitCode, 0u) << toUtf8(result.output());
    EXPECT_FALSE(result.contains(L"Domain not specified"));
    EXPECT_TRUE(result.hasLine(L"User logged in as service"));
    EXPECT_TRUE(result.hasLine(L"User already has 'Logon as service' privilege"));
}

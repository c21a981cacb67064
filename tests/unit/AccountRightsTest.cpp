#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commandline/Argz.h"
#include "common/Format.h"
#include "common/UniqueResource.h"
#include "install/AccountName.h"
#include "install/CheckAndGrantLogOnAsServiceCommand.h"
#include "install/CheckLogonAsServiceCommand.h"
#include "install/CreateServiceAction.h"
#include "install/CreateServiceCheckAccountAction.h"
#include "install/LSAGrantPrivilegeCommand.h"
#include "install/ServiceAccountKind.h"
#include "install/ServiceGrantDACLCommand.h"
#include "logging/ErrorText.h"
#include "logging/LogLevel.h"
#include "settings/SimpleSettings.h"
#include "support/LoggingCapture.h"

// Wine's LogonUserW and LSA succeed without changing anything (LookupAccountNameW
// is real), so these tests prove the order of the calls and the lines logged.

namespace {

std::wstring currentUser()
{
    wchar_t name[256] = {};
    DWORD size = 256;
    GetUserNameW(name, &size);
    return name;
}

SimpleUserSettings account(const std::wstring& user, const std::wstring& domain = L".")
{
    SimpleUserSettings settings;
    settings.setUser(user);
    settings.setDomain(domain);
    settings.setPassword(L"secret");
    return settings;
}

Argz makeArgz(std::vector<const wchar_t*> arguments)
{
    arguments.insert(arguments.begin(), L"C:\\tools\\Hostwell.exe");
    return Argz(static_cast<int>(arguments.size()), arguments.data());
}

// Position of the first message that starts with `text`, or -1.
int indexOf(const LoggingCapture& capture, const std::wstring& text)
{
    const std::vector<std::wstring> messages = capture.messages();
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].compare(0, text.size(), text) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int countOf(const LoggingCapture& capture, const std::wstring& text)
{
    const std::vector<std::wstring> messages = capture.messages();
    return static_cast<int>(std::count(messages.begin(), messages.end(), text));
}

}  // namespace

TEST(ServiceAccounts, RegisterTheUsersPasswordAnEmptyOneForBuiltInAccountsAndNoneForManagedOnes)
{
    EXPECT_EQ(registeredPassword(account(L"alice")), std::optional<std::wstring>(L"secret"));
    EXPECT_EQ(registeredPassword(account(L"LocalService", L"NT AUTHORITY")), std::optional<std::wstring>(L""));
    EXPECT_EQ(registeredPassword(account(L"Network Service")), std::optional<std::wstring>(L""));
    EXPECT_EQ(registeredPassword(account(L"app", L"NT SERVICE")), std::nullopt);
    EXPECT_EQ(registeredPassword(account(L"web$", L"CORP")), std::nullopt);
}

TEST(AccountRights, LogonCheckLogsTheUserAndTheLogonType)
{
    LoggingCapture capture(LEVEL_DEBUG);
    const SimpleUserSettings user = account(currentUser());
    EXPECT_EQ(CheckLogonAsServiceCommand(user).execute(), 0);
    const std::vector<std::wstring> expected = {
        format(L"User %s logged in as Logon as service", currentUser()),
        L"User logged in as service",
    };
    EXPECT_EQ(capture.messages(), expected);
}

TEST(AccountRights, GrantLooksUpTheAccountInItsDomainAndNamesItDomainFirst)
{
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &size));
    EXPECT_EQ(qualifiedAccountName(account(L"svc")), std::wstring(computer) + L"\\svc");
    EXPECT_EQ(qualifiedAccountName(account(L"svc", L"CORP")), L"CORP\\svc");

    LoggingCapture capture(LEVEL_DEBUG);
    EXPECT_EQ(LSAGrantPrivilegeCommand(account(currentUser())).execute(), 0);
    const std::vector<std::wstring> messages = capture.messages();
    ASSERT_EQ(messages.size(), 10u);
    EXPECT_EQ(messages[0], L"Opening LSAPolicy with Change privileges right");
    EXPECT_EQ(messages[1], L"LsaOpenPolicy called");
    EXPECT_EQ(messages[2], L"Opened LSA policy");
    EXPECT_EQ(messages[3], L"Call LookupAccountName");
    EXPECT_EQ(messages[4].compare(0, 26, L"LSA Policy opened: Domain "), 0);
    EXPECT_GT(messages[4].size(), 26u);
    EXPECT_EQ(messages[5], L"Start changing user previleges");
    EXPECT_EQ(messages[6], L"Called LsaAddAccountRights");
    EXPECT_EQ(messages[7], L"Added previleges");
    EXPECT_EQ(messages[8], L"Removed deny previleges");
    EXPECT_EQ(messages[9], format(L"User .\\%s was given 'Logon as Service' privilege", currentUser()));

    // Wine finds SYSTEM by its bare name but CORP\SYSTEM nowhere: an account of
    // another domain must not be taken for its local namesake.
    LoggingCapture namesake(LEVEL_INFO);
    EXPECT_EQ(LSAGrantPrivilegeCommand(account(L"SYSTEM", L"CORP")).execute(), 1);
    const std::vector<std::wstring> refused = {L"Failed to LookupAccountName. " + errorText(ERROR_NONE_MAPPED),
                                               L"The account CORP\\SYSTEM was not found: check its name and its domain"};
    EXPECT_EQ(namesake.messages(), refused);
}

namespace {

struct AccessEntry {
    std::vector<BYTE> sid;
    ACCESS_MASK mask;
};

std::vector<AccessEntry> accessEntries(const UniqueLocalMemory& list)
{
    std::vector<AccessEntry> entries;
    const PACL acl = static_cast<PACL>(list.get());
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        EXPECT_TRUE(GetAce(acl, i, &ace));
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        const auto sid = reinterpret_cast<const BYTE*>(&allowed->SidStart);
        const DWORD length = GetLengthSid(const_cast<BYTE*>(sid));
        entries.push_back({std::vector<BYTE>(sid, sid + length), allowed->Mask});
    }
    return entries;
}

// The access mask of the SID's entry, or -1 without one.
long long maskOf(const std::vector<AccessEntry>& entries, std::vector<BYTE> sid)
{
    for (const AccessEntry& entry : entries) {
        if (EqualSid(const_cast<BYTE*>(entry.sid.data()), sid.data())) {
            return entry.mask;
        }
    }
    return -1;
}

std::vector<BYTE> wellKnownSid(WELL_KNOWN_SID_TYPE type)
{
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, sid.data(), &size));
    return sid;
}

std::vector<BYTE> currentUserSid()
{
    HANDLE opened = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened));
    const UniqueHandle token(opened);
    std::vector<BYTE> buffer(1024);
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size));
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + GetLengthSid(sid));
}

}  // namespace

TEST(AccountRights, StartStopDaclKeepsSystemAndAdministratorsWhenTheServiceHadNone)
{
    const long long startStop =
        SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE | DELETE | READ_CONTROL;
    const std::wstring user = qualifiedAccountName(account(currentUser()));

    UniqueLocalMemory fromNone;
    ASSERT_EQ(buildStartStopDacl(user, nullptr, fromNone), 0);
    std::vector<AccessEntry> entries = accessEntries(fromNone);
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(maskOf(entries, wellKnownSid(WinLocalSystemSid)), SERVICE_ALL_ACCESS);
    EXPECT_EQ(maskOf(entries, wellKnownSid(WinBuiltinAdministratorsSid)), SERVICE_ALL_ACCESS);
    EXPECT_EQ(maskOf(entries, currentUserSid()), startStop);

    // A list the service has, even an empty one, only gains the user's entry.
    ACL empty;
    ASSERT_TRUE(InitializeAcl(&empty, sizeof(empty), ACL_REVISION));
    UniqueLocalMemory fromEmpty;
    ASSERT_EQ(buildStartStopDacl(user, &empty, fromEmpty), 0);
    entries = accessEntries(fromEmpty);
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(maskOf(entries, currentUserSid()), startStop);
}

TEST(AccountRights, GrantRefusesAnUnknownAccountAndADomainName)
{
    LoggingCapture capture(LEVEL_INFO);
    const SimpleUserSettings unknown = account(L"no-such-hostwell-user");
    EXPECT_EQ(LSAGrantPrivilegeCommand(unknown).execute(), 1);
    EXPECT_TRUE(capture.has(L"Failed to LookupAccountName. " + errorText(ERROR_NONE_MAPPED)));

    // An empty name finds a whole domain; the right must not go there.
    const SimpleUserSettings empty = account(L"");
    EXPECT_EQ(LSAGrantPrivilegeCommand(empty).execute(), 1);
    // Wine finds no account for "<computer>\" at all; either way it is refused.
    ASSERT_GE(capture.messages().size(), 3u);
    EXPECT_EQ(capture.messages()[1].compare(0, 12, L"The account "), 0);
    EXPECT_NE(capture.messages()[1].find(L"no-such-hostwell-user was not found"), std::wstring::npos);
    EXPECT_EQ(capture.messages()[2].compare(0, 29, L"Failed to LookupAccountName. "), 0);
}

TEST(AccountRights, CheckAndGrantChecksFirstOnlyWhenAsked)
{
    const SimpleUserSettings user = account(currentUser());
    {
        LoggingCapture capture(LEVEL_DEBUG);
        EXPECT_EQ(CheckAndGrantLogOnAsServiceCommand(user, true).execute(), 0);
        EXPECT_EQ(indexOf(capture, L"Opening LSAPolicy"), -1);
        EXPECT_EQ(indexOf(capture, L"User already has 'Logon as service' privilege"),
                  indexOf(capture, L"User logged in as service") + 1);
    }
    {
        LoggingCapture capture(LEVEL_DEBUG);
        EXPECT_EQ(CheckAndGrantLogOnAsServiceCommand(user, false).execute(), 0);
        EXPECT_EQ(countOf(capture, L"User logged in as service"), 1);
        EXPECT_LT(indexOf(capture, L"Opening LSAPolicy"), indexOf(capture, L"User logged in as service"));
        EXPECT_EQ(capture.messages().back(), L"Gave user 'Logon as service' privilege");
    }
}

TEST(AccountRights, CheckAndGrantFailsWithoutASecondCheckWhenTheGrantFails)
{
    LoggingCapture capture(LEVEL_DEBUG);
    const SimpleUserSettings unknown = account(L"no-such-hostwell-user");
    EXPECT_EQ(CheckAndGrantLogOnAsServiceCommand(unknown, false).execute(), 1);
    EXPECT_EQ(indexOf(capture, L"User logged in as service"), -1);
    EXPECT_EQ(capture.messages().back(), L"Failed to give user enough rights to run as server");
}

namespace {

// The account check with the two account operations answered by the test.
template <typename Action>
class ScriptedAccount : public Action {
public:
    int checkResult = 0;
    int grantResult = 0;
    std::vector<std::wstring> calls;

    template <typename... Args>
    explicit ScriptedAccount(Args&&... args) : Action(std::forward<Args>(args)...)
    {
    }
    void printUsage(ConsoleWriter&) override {}

protected:
    int checkLogonAsService(const UserSettings&) override
    {
        calls.push_back(L"check");
        return checkResult;
    }
    int grantLogonAsService(const UserSettings&) override
    {
        calls.push_back(L"grant");
        return grantResult;
    }
};

class AccountCheck : public ::testing::Test {
protected:
    SimpleServiceSettings service{serviceName(), L"Display", L"Description", L"C:\\svc\\app.xml"};
    SimpleServiceTaskSettings task{&service};
    SimpleCreateServiceSettings create{&service, L"\"C:\\svc\\Hostwell.exe\" hostwell"};
    ScriptedAccount<CreateServiceCheckAccountAction> check{L"install"};

    AccountCheck()
    {
        create.setUser(L"svc");
        create.setPassword(L"secret");
    }

    // A faulty install might have registered the service after all.
    ~AccountCheck() override
    {
        const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        const UniqueServiceHandle installed(OpenServiceW(manager.get(), serviceName().c_str(), DELETE));
        if (installed) {
            DeleteService(installed.get());
        }
    }

    static std::wstring serviceName() { return format(L"HwUnitNotInstalled%lu", GetCurrentProcessId()); }

    int run(CreateServiceCheckAccountAction& action, std::vector<const wchar_t*> arguments)
    {
        return action.ExecuteCreateAction(makeArgz(arguments), create, task);
    }
};

}  // namespace

TEST_F(AccountCheck, IsSkippedForLocalSystemAndWhenSwitchedOff)
{
    create.setRunAsSystem(true);
    EXPECT_EQ(run(check, {}), 0);
    create.setRunAsSystem(false);
    EXPECT_EQ(run(check, {L"/checkUserAccount=no"}), 0);
    EXPECT_TRUE(check.calls.empty());
}

TEST_F(AccountCheck, GrantsTheRightOnlyWhenTheCheckFails)
{
    EXPECT_EQ(run(check, {}), 0);
    EXPECT_EQ(check.calls, std::vector<std::wstring>({L"check"}));

    check.calls.clear();
    check.checkResult = 1;
    EXPECT_EQ(run(check, {L"/checkUserAccount=TRUE"}), 0);
    EXPECT_EQ(check.calls, std::vector<std::wstring>({L"check", L"grant"}));
}

TEST_F(AccountCheck, FailsWithHintsWhenTheRightCannotBeGranted)
{
    LoggingCapture capture(LEVEL_INFO);
    check.checkResult = 1;
    check.grantResult = 1;
    EXPECT_EQ(run(check, {}), 1);
    const std::vector<std::wstring> expected = {
        L"Failed to give user enough rights to run as server",
        L"Give user enough rights or add '/giveUserRights=false' commandline argument",
    };
    EXPECT_EQ(capture.messages(), expected);
}

TEST_F(AccountCheck, WithoutGrantingFailsAndNamesTheSwitchThatSkipsTheCheck)
{
    LoggingCapture capture(LEVEL_INFO);
    check.checkResult = 1;
    EXPECT_EQ(run(check, {L"/giveUserRights=no"}), 1);
    EXPECT_EQ(check.calls, std::vector<std::wstring>({L"check"}));
    const std::vector<std::wstring> expected = {
        L"To disable user account check add '/checkUserAccount=false' commandline argument",
    };
    EXPECT_EQ(capture.messages(), expected);
}

TEST_F(AccountCheck, InstallCreatesNothingWhenTheAccountCheckFails)
{
    LoggingCapture capture(LEVEL_DEBUG);
    ScriptedAccount<CreateServiceAction> install;
    install.checkResult = 1;
    install.grantResult = 1;
    EXPECT_EQ(run(install, {}), 1);
    EXPECT_EQ(indexOf(capture, L"Openning ServiceControlManager"), -1);

    const UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ASSERT_TRUE(manager);
    const UniqueServiceHandle installed(OpenServiceW(manager.get(), serviceName().c_str(), SERVICE_QUERY_STATUS));
    const DWORD code = GetLastError();
    EXPECT_FALSE(installed);
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

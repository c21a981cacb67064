#include <gtest/gtest.h>

#include <windows.h>
#include <ntsecapi.h>

#include <string>

#include "common/TextConversion.h"
#include "commandline/UserSettingsParser.h"
#include "install/CreateServiceCommand.h"
#include "install/DeleteServiceCommand.h"
#include "install/LSAGrantPrivilegeCommand.h"
#include "install/LSAPolicyCommand.h"
#include "install/LSAUserCommand.h"
#include "install/LogonUserCommand.h"
#include "install/RefreshServiceCommand.h"
#include "install/ServiceCommand.h"
#include "install/ServiceControlManagerCommand.h"
#include "logging/ErrorText.h"
#include "logging/LogLevel.h"

// Most of these codes need a real Windows service control manager or LSA, so
// the choice of line is tested with the codes themselves.

namespace {

const NTSTATUS STATUS_ACCESS_DENIED_CODE = static_cast<NTSTATUS>(0xC0000022);
const NTSTATUS STATUS_NO_SUCH_PRIVILEGE_CODE = static_cast<NTSTATUS>(0xC0000060);
const NTSTATUS STATUS_UNSUCCESSFUL_CODE = static_cast<NTSTATUS>(0xC0000001);
const NTSTATUS STATUS_INVALID_PARAMETER_CODE = static_cast<NTSTATUS>(0xC000000D);

void expectMessage(const FailureMessage& actual, int level, const std::wstring& text)
{
    EXPECT_EQ(actual.level, level) << toUtf8(text);
    EXPECT_EQ(actual.text, text);
}

}  // namespace

TEST(ServiceControlManagerFailures, AccessDeniedSaysNotEnoughRightsOtherCodesTheSystemText)
{
    const std::wstring text = L"Failed to open Service Control Manager with Create service permissions.";
    expectMessage(managerOpenFailure(text, ERROR_ACCESS_DENIED), LEVEL_ERROR, text + L" Not enough rights");
    expectMessage(managerOpenFailure(text, ERROR_DATABASE_DOES_NOT_EXIST), LEVEL_ERROR,
                  text + L" " + errorText(ERROR_DATABASE_DOES_NOT_EXIST));
}

TEST(ServiceControlManagerFailures, OpeningAServiceWarnsWithOneSentencePerKnownCode)
{
    const std::wstring text = L"Failed to open service Svc.";
    expectMessage(openServiceFailure(text, ERROR_ACCESS_DENIED), LEVEL_WARN, text + L" Access denied");
    expectMessage(openServiceFailure(text, ERROR_INVALID_NAME), LEVEL_WARN, text + L" Invalid service name");
    expectMessage(openServiceFailure(text, ERROR_SERVICE_DOES_NOT_EXIST), LEVEL_WARN,
                  text + L" Service does not exist");
    // The text ends in a period already, so the line shows two.
    expectMessage(openServiceFailure(text, ERROR_INVALID_HANDLE), LEVEL_WARN,
                  L"Failed to open service Svc.. " + errorText(ERROR_INVALID_HANDLE));
}

TEST(ServiceControlManagerFailures, CreatingAServiceWarnsForKnownCodesAndReportsOthersAsErrors)
{
    const std::wstring text = L"Failed to create service Svc.";
    const struct {
        DWORD code;
        const wchar_t* sentence;
    } known[] = {
        {ERROR_ACCESS_DENIED, L" Access denied"},
        {ERROR_INVALID_PARAMETER, L" A parameter that was specified is invalid"},
        {ERROR_INVALID_NAME, L" The specified service name is invalid"},
        {ERROR_INVALID_SERVICE_ACCOUNT, L" Specified account does not exist"},
        {ERROR_CIRCULAR_DEPENDENCY, L" A circular service dependency was specified"},
        {ERROR_SERVICE_MARKED_FOR_DELETE, L" The service already exists and marked for deletion"},
        {ERROR_SERVICE_EXISTS, L" The service already exists"},
        {ERROR_DUPLICATE_SERVICE_NAME, L" Service display name is already used"},
    };
    for (const auto& entry : known) {
        expectMessage(createServiceFailure(text, entry.code), LEVEL_WARN, text + entry.sentence);
    }
    expectMessage(createServiceFailure(text, ERROR_GEN_FAILURE), LEVEL_ERROR,
                  text + L" " + errorText(ERROR_GEN_FAILURE));
}

TEST(ServiceControlManagerFailures, DeletingAServiceMarkedForDeleteSaysSo)
{
    const std::wstring text = L"Failed to delete service Svc.";
    expectMessage(deleteServiceFailure(text, ERROR_SERVICE_MARKED_FOR_DELETE), LEVEL_WARN,
                  text + L" Service is marked for delete.");
    expectMessage(deleteServiceFailure(text, ERROR_ACCESS_DENIED), LEVEL_WARN,
                  text + L" " + errorText(ERROR_ACCESS_DENIED));
}

TEST(ServiceControlManagerFailures, RefreshingAServiceWarnsForKnownCodesAndReportsOthersAsErrors)
{
    const std::wstring text = L"Failed to change service Svc.";
    expectMessage(refreshServiceFailure(text, ERROR_ACCESS_DENIED), LEVEL_WARN, text + L" Access denied");
    expectMessage(refreshServiceFailure(text, ERROR_CIRCULAR_DEPENDENCY), LEVEL_WARN,
                  text + L" A circular service dependency was specified");
    expectMessage(refreshServiceFailure(text, ERROR_SERVICE_MARKED_FOR_DELETE), LEVEL_WARN,
                  text + L" Service is marked for delete.");
    expectMessage(refreshServiceFailure(text, ERROR_DUPLICATE_SERVICE_NAME), LEVEL_WARN,
                  text + L" Service display name is already used");
    expectMessage(refreshServiceFailure(text, ERROR_GEN_FAILURE), LEVEL_ERROR,
                  text + L" " + errorText(ERROR_GEN_FAILURE));
}

TEST(AccountRightsFailures, LogonWithoutTheTcbPrivilegeIsOnlyAWarning)
{
    const std::wstring text = L"Failed to Logon user CORP\\svc.";
    expectMessage(logonFailure(text, ERROR_PRIVILEGE_NOT_HELD), LEVEL_WARN,
                  text + L" Not enough rights to check user account. SE_TCB_NAME is not given. " +
                      errorText(ERROR_PRIVILEGE_NOT_HELD));
    expectMessage(logonFailure(text, ERROR_LOGON_FAILURE), LEVEL_ERROR, text + L" " + errorText(ERROR_LOGON_FAILURE));
    expectMessage(logonFailure(text, ERROR_LOGON_TYPE_NOT_GRANTED), LEVEL_ERROR,
                  text + L" " + errorText(ERROR_LOGON_TYPE_NOT_GRANTED));
}

TEST(AccountRightsFailures, PolicyOpenMapsTheStatusAndShowsOthersAsSignedDecimal)
{
    const std::wstring text = L"Failed to open LSAPolicy with Change privileges right.";
    expectMessage(policyOpenFailure(text, STATUS_ACCESS_DENIED_CODE), LEVEL_ERROR, text + L" Access denied");
    expectMessage(policyOpenFailure(text, STATUS_UNSUCCESSFUL_CODE), LEVEL_ERROR,
                  text + L". Error code -1073741823");
}

TEST(AccountRightsFailures, RightChangesMapTheStatusAndShowOthersInHexadecimal)
{
    const std::wstring text = L"Failed to add account privilege.";
    expectMessage(accountRightFailure(text, STATUS_NO_SUCH_PRIVILEGE_CODE), LEVEL_ERROR, text + L" No such privelege");
    expectMessage(accountRightFailure(text, STATUS_ACCESS_DENIED_CODE), LEVEL_ERROR, text + L" Access denied");
    expectMessage(accountRightFailure(text, STATUS_INVALID_PARAMETER_CODE), LEVEL_ERROR, text + L" NTSTATUS=c000000d");
}

TEST(AccountOptions, NoAccountAndLocalSystemAreRefusedWithTheOptionToUse)
{
    EXPECT_EQ(userRefusal(L"", L"", L"", true), L"/user= names no account: write the account the service runs as, "
                                                L"such as /user=NT SERVICE\\<service name>, or install with /runAsSystem");
    EXPECT_EQ(userRefusal(L".\\", L"", L".", true).compare(0, 26, L"/user=.\\ names no account:"), 0);
    for (const auto& system : {std::make_pair(L"LocalSystem", L""), std::make_pair(L"SYSTEM", L"NT AUTHORITY"),
                               std::make_pair(L"localsystem", L".")}) {
        const std::wstring written = system.second[0] == L'\0' ? std::wstring(system.first)
                                                               : std::wstring(system.second) + L"\\" + system.first;
        EXPECT_EQ(userRefusal(written, system.first, system.second, true),
                  L"/user=" + written + L" is the local system account: install with /runAsSystem instead of /user=");
    }
    EXPECT_EQ(userRefusal(L"LocalSystem", L"LocalSystem", L"", false), L"");  // checkUser may name it
    EXPECT_EQ(userRefusal(L"CORP\\SYSTEM", L"SYSTEM", L"CORP", true), L"");
    EXPECT_EQ(userRefusal(L"NT SERVICE\\Svc", L"Svc", L"NT SERVICE", true), L"");
}

TEST(AccountOptions, AnAccountThatIsNotFoundIsNamedWithWhatToCheck)
{
    EXPECT_EQ(accountLookupHint(L"CORP\\gmsa$", ERROR_NONE_MAPPED),
              L"The managed service account CORP\\gmsa$ was not found: it must exist in its domain, and this computer "
              L"must be allowed to use it (one of its PrincipalsAllowedToRetrieveManagedPassword)");
    EXPECT_EQ(accountLookupHint(L"CORP\\svc", ERROR_NONE_MAPPED),
              L"The account CORP\\svc was not found: check its name and its domain");
    EXPECT_EQ(accountLookupHint(L"CORP\\gmsa$", ERROR_ACCESS_DENIED), L"");
}

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>

#include <string>

#include "common/TextConversion.h"
#include "support/ProcessRunner.h"
#include "support/ServiceTestCase.h"
#include "support/TestService.h"

// A service runs what its settings file names, usually as LocalSystem: files
// that ordinary users may change are refused unless the risk is accepted.

namespace {

// As an administrator would open it up with icacls: Everyone may modify.
void letEveryoneWrite(const std::wstring& path)
{
    EXPLICIT_ACCESSW access = {};
    access.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
    access.grfAccessMode = SET_ACCESS;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.ptstrName = const_cast<wchar_t*>(L"Everyone");
    PACL dacl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &access, nullptr, &dacl), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD status = SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
    LocalFree(dacl);
    ASSERT_EQ(status, static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace

using WritableFiles = ServiceTestCase;

TEST_F(WritableFiles, AreRefusedByInstallAndAtTheStartUnlessTheRiskIsAccepted)
{
    writeSettings(L"text working ignore-ctrl sleep 600000");
    letEveryoneWrite(settings);
    const std::wstring finding = settings + L" can be changed by Everyone (write data, append data, DELETE)";

    const ProcessResult validated = runHostwell({L"validate-settings", L"/settings=" + settings});
    EXPECT_EQ(validated.exitCode, 0u);
    EXPECT_TRUE(validated.hasLine(finding)) << toUtf8(validated.output());

    const ProcessResult refused = runHostwell({L"install", L"/settings=" + settings, L"/runAsSystem"});
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_TRUE(refused.hasLine(finding)) << toUtf8(refused.output());
    EXPECT_TRUE(refused.hasLine(L"Ordinary users could make the service run another program: remove these groups' "
                                L"write access, or accept the risk with /allowWritableFiles=true"));
    EXPECT_FALSE(refused.contains(L"was created"));

    const ProcessResult accepted =
        runHostwell({L"install", L"/settings=" + settings, L"/runAsSystem", L"/allowWritableFiles=true"});
    ASSERT_EQ(accepted.exitCode, 0u) << toUtf8(accepted.output());
    EXPECT_TRUE(accepted.hasLine(finding));
    {
        TestService installed(name);
        ASSERT_TRUE(installed.start()) << installed.startError();
        EXPECT_EQ(installed.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    }
    EXPECT_EQ(runHostwell({L"delete", L"/settings=" + settings}).exitCode, 0u);

    // Registered without the option, as before the file was opened up.
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
    EXPECT_TRUE(logHas(L"[Error] " + finding));
    EXPECT_FALSE(logHas(L"console                           [Info] working"));
}

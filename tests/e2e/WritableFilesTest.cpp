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

const ACCESS_MASK MODIFY = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;

// As an administrator would open it up with icacls: Everyone gets `rights`
// beside the entries it has, or instead of them.
void letEveryone(const std::wstring& path, ACCESS_MASK rights, bool keepEntries = false)
{
    PACL old = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (keepEntries) {
        ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                        &old, nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
    }
    EXPLICIT_ACCESSW access = {};
    access.grfAccessPermissions = rights;
    access.grfAccessMode = SET_ACCESS;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.ptstrName = const_cast<wchar_t*>(L"Everyone");
    PACL dacl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &access, old, &dacl), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD status = SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
    LocalFree(dacl);
    LocalFree(descriptor);
    ASSERT_EQ(status, static_cast<DWORD>(ERROR_SUCCESS));
}

const wchar_t* const ADVICE =
    L"Accounts other than administrators, SYSTEM and the service's own could make the service run another "
    L"program: take their right to change these files and folders, or accept the risk with "
    L"/allowWritableFiles=true";

}  // namespace

using WritableFiles = ServiceTestCase;

TEST_F(WritableFiles, AreRefusedByInstallAndAtTheStartUnlessTheRiskIsAccepted)
{
    writeSettings(L"text working ignore-ctrl sleep 600000");
    letEveryone(settings, MODIFY);
    const std::wstring finding = settings + L" can be changed by Everyone (write data, append data, DELETE)";

    const ProcessResult validated = runHostwell({L"validate-settings", L"/settings=" + settings});
    EXPECT_EQ(validated.exitCode, 0u);
    EXPECT_TRUE(validated.hasLine(finding)) << toUtf8(validated.output());

    const ProcessResult refused = runHostwell({L"install", L"/settings=" + settings, L"/runAsSystem"});
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_TRUE(refused.hasLine(finding)) << toUtf8(refused.output());
    EXPECT_TRUE(refused.hasLine(ADVICE)) << toUtf8(refused.output());
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

    // Registered without the option, as before the file was opened up. The
    // settings' own log file is never opened: whoever may change the file
    // could aim it anywhere. The log of the command line says why.
    removeTree(dir.file(L"logs"));
    const std::wstring commandLog = dir.file(L"hostwell.log");
    TestService service(name, hostwellArguments() + L" \"/logfile=" + commandLog + L"\"");
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the refused service did not stop";
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
    const std::wstring logged = readUtf8(commandLog);
    EXPECT_NE(logged.find(L"[Error] " + finding), std::wstring::npos) << toUtf8(logged);
    EXPECT_EQ(logged.find(L"Settings log file from the settings file"), std::wstring::npos) << toUtf8(logged);
    EXPECT_FALSE(directoryExists(dir.file(L"logs"))) << "the settings' log folder was created";
}

TEST_F(WritableFiles, AreFoundInTheFileFolderAndUpTheFolderChain)
{
    // A protected program three folders down, a protected settings file in a folder of its own.
    const std::wstring top = dir.file(L"top");
    const std::wstring program = top + L"\\mid\\bin\\hwtestprog.exe";
    const std::wstring conf = dir.file(L"conf");
    const std::wstring confSettings = conf + L"\\service.xml";
    for (const std::wstring& folder : {top, top + L"\\mid", top + L"\\mid\\bin", conf}) {
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << toUtf8(folder);
    }
    ASSERT_TRUE(CopyFileW(helperPath(L"hwtestprog.exe").c_str(), program.c_str(), TRUE));
    writeUtf8(confSettings, L"<hostwell><name>" + name + L"</name><description>d</description><execution><program>" +
                                program + L"</program><arguments>sleep 600000</arguments></execution></hostwell>");
    const std::vector<std::wstring> install = {L"install", L"/settings=" + confSettings, L"/runAsSystem"};

    // Anyone may plant a file beside the settings, or delete it and put another there.
    letEveryone(conf, FILE_ADD_FILE | FILE_DELETE_CHILD, true);
    const ProcessResult besideSettings = runHostwell(install);
    EXPECT_EQ(besideSettings.exitCode, 1u);
    EXPECT_TRUE(besideSettings.contains(L"\n" + conf + L" can be changed by Everyone (add file"))
        << toUtf8(besideSettings.output());
    EXPECT_FALSE(besideSettings.contains(L"was created"));
    letEveryone(conf, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);

    // Two folders above the program: adding folders is harmless, replacing one is not.
    letEveryone(top, FILE_ADD_SUBDIRECTORY, true);
    const ProcessResult addOnly = runHostwell({L"validate-create-settings", L"/settings=" + confSettings});
    EXPECT_FALSE(addOnly.contains(L"can be changed by")) << toUtf8(addOnly.output());
    letEveryone(top, FILE_ALL_ACCESS);
    const ProcessResult replaceable = runHostwell(install);
    EXPECT_EQ(replaceable.exitCode, 1u);
    EXPECT_TRUE(replaceable.contains(L"\n" + top + L" can be changed by Everyone (delete child, DELETE"))
        << toUtf8(replaceable.output());
    EXPECT_FALSE(replaceable.contains(L"mid can be changed")) << toUtf8(replaceable.output());
    EXPECT_TRUE(replaceable.hasLine(ADVICE));
    letEveryone(top, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
}

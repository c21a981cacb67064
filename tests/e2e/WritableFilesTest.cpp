#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>

#include <string>

#include "common/TextConversion.h"
#include "common/UniqueResource.h"
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

TEST_F(WritableFiles, AreFoundWhereALinkInTheChainLeadsAndTheLinkIsNamed)
{
    // A folder anyone may change, a protected one in it with the program, and
    // a link to that one: the chain as written shows nothing wrong.
    const std::wstring open = dir.file(L"open");
    const std::wstring safe = open + L"\\safe";
    const std::wstring link = dir.file(L"tools");
    ASSERT_TRUE(CreateDirectoryW(open.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(safe.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(helperPath(L"hwtestprog.exe").c_str(), (safe + L"\\child.exe").c_str(), TRUE));
    // Wine 8 reports CreateSymbolicLinkW done and makes nothing; it shows a
    // Linux symbolic link as one, and runs Linux programs.
    if (!CreateSymbolicLinkW(link.c_str(), safe.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ProcessOptions inDir;
        inDir.workDir = dir.path();
        runProcess(L"Z:\\bin\\ln", {L"-s", L"open/safe", L"tools"}, inDir);
    }
    const DWORD linkAttributes = GetFileAttributesW(link.c_str());
    ASSERT_TRUE(linkAttributes != INVALID_FILE_ATTRIBUTES && (linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        << "no link made";
    letEveryone(open, FILE_ALL_ACCESS);
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>"
                        L"<service-logging level='debug' file='logs\\service.log'/><execution><program>" + link +
                        L"\\child.exe</program><arguments>sleep 600000</arguments></execution></hostwell>");
    const std::wstring finding = L"\n" + open + L" can be changed by Everyone (";
    const std::wstring through = L", reached through " + link + L" -> " + safe;

    const ProcessResult refused = runHostwell({L"install", L"/settings=" + settings, L"/runAsSystem"});
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_TRUE(refused.contains(finding)) << toUtf8(refused.output());
    EXPECT_TRUE(refused.contains(through)) << toUtf8(refused.output());
    EXPECT_FALSE(refused.contains(L"was created"));

    const std::wstring commandLog = dir.file(L"hostwell.log");
    TestService service(name, hostwellArguments() + L" \"/logfile=" + commandLog + L"\"");
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
    // The settings file itself is trusted: from its check on, the service logs to its log file.
    const std::wstring logged = readUtf8(commandLog) + retainedLog();
    EXPECT_NE(logged.find(L"[Error] " + open + L" can be changed by Everyone ("), std::wstring::npos) << toUtf8(logged);
    EXPECT_EQ(logged.find(L"Starting process:"), std::wstring::npos) << "the program was started";
    letEveryone(open, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
}

TEST_F(WritableFiles, TheWorkFolderAndTheWrapperConfigurationAreCheckedLikeTheSettingsFile)
{
    // A program that runs "run.bat" runs whatever the work folder holds.
    const std::wstring work = dir.file(L"work");
    ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    letEveryone(work, FILE_ADD_FILE, true);
    writeSettings(L"sleep 600000", L"<workdir>" + work + L"</workdir>");
    const ProcessResult validated = runHostwell({L"validate-settings", L"/settings=" + settings});
    EXPECT_TRUE(validated.contains(L"\n" + work + L" can be changed by Everyone (add file")) << toUtf8(validated.output());
    letEveryone(work, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);

    // Started as a JavaServiceWrapper is, the service reads the wrapper
    // configuration to find its settings: anyone who may change it chooses them.
    writeSettings(L"sleep 600000");
    const std::wstring wrapperConfig = dir.file(L"wrapper.conf");
    writeUtf8(wrapperConfig, L"# ###!!! Hostwell: service.xml !!!###\n");
    letEveryone(wrapperConfig, MODIFY);
    const std::wstring commandLog = dir.file(L"hostwell.log");
    TestService service(name, hostwellPath(), L"-s \"" + wrapperConfig + L"\" \"/logfile=" + commandLog + L"\"");
    ASSERT_TRUE(service.start()) << service.startError();
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
    const std::wstring logged = readUtf8(commandLog);
    EXPECT_NE(logged.find(L"[Error] " + wrapperConfig + L" can be changed by Everyone (write data, append data, DELETE"),
              std::wstring::npos)
        << toUtf8(logged);
    EXPECT_FALSE(directoryExists(dir.file(L"logs"))) << "the settings' log was opened";
}

TEST_F(WritableFiles, ThatBecomeWritableWhileTheServiceRunsStopItBeforeTheNextStartOrTheStopCommand)
{
    // The program in a folder of its own, restarted whenever it ends.
    const std::wstring bin = dir.file(L"bin");
    const std::wstring program = bin + L"\\hwtestprog.exe";
    const std::wstring pid = dir.file(L"program.pid");
    ASSERT_TRUE(CreateDirectoryW(bin.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(helperPath(L"hwtestprog.exe").c_str(), program.c_str(), TRUE));
    const std::wstring run = L"<execution><program>" + program + L"</program><arguments>write-pid " + pid +
                             L" ignore-ctrl sleep 600000</arguments>";
    const std::wstring logging = L"<service-logging level='debug' file='logs\\service.log'/>";
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>" + logging + run +
                            L"<restart when='always' delay='100ms'/></execution></hostwell>");
    {
        TestService service(name, hostwellArguments());
        ASSERT_TRUE(service.start()) << service.startError();
        ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        const DWORD first = readProcessId(pid);
        DeleteFileW(pid.c_str());
        letEveryone(bin, FILE_ALL_ACCESS);
        const UniqueHandle killed(OpenProcess(PROCESS_TERMINATE, FALSE, first));
        ASSERT_TRUE(killed && TerminateProcess(killed.get(), 9));
        const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
        EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
        EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
        EXPECT_FALSE(fileExists(pid)) << "the program was started again";
        EXPECT_TRUE(logHas(L"[Error] " + bin + L" can be changed by Everyone (")) << toUtf8(retainedLog());
        EXPECT_TRUE(logHas(L"Failed to start process: its files may be changed by ordinary users"));
        letEveryone(bin, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
    }

    // The stop command in that folder: it is not run, the program is killed.
    const std::wstring asked = dir.file(L"asked");
    writeUtf8(settings, L"<hostwell><name>" + name + L"</name><description>d</description>" + logging + run +
                            L"<termination timeout='1'><execution><program>" + program +
                            L"</program><arguments>touch " + asked +
                            L"</arguments></execution></termination></execution></hostwell>");
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    ASSERT_EQ(service.waitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD program2 = readProcessId(pid);
    letEveryone(bin, FILE_ALL_ACCESS);
    ASSERT_TRUE(service.requestStop());
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
    EXPECT_FALSE(fileExists(asked)) << "the stop command ran";
    EXPECT_FALSE(isProcessAlive(program2));
    EXPECT_TRUE(logHas(L"Failed to run the stop command: its files may be changed by ordinary users"));
    letEveryone(bin, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
}

TEST_F(WritableFiles, OfTheHooksAndTheEnvironmentFileAreFoundByValidationAndRefusedBeforeTheNextRun)
{
    const std::wstring hooks = dir.file(L"hooks");
    const std::wstring after = dir.file(L"after");
    const std::wstring hook = hooks + L"\\pre.exe";
    const std::wstring environment = dir.file(L"app.env");
    ASSERT_TRUE(CreateDirectoryW(hooks.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(after.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(helperPath(L"hwtestprog.exe").c_str(), hook.c_str(), TRUE));
    writeBytes(environment, "A=1\n");
    const std::wstring pid = dir.file(L"program.pid");
    writeSettings(L"write-pid " + pid + L" ignore-ctrl sleep 600000",
                  L"<environment file='app.env'/><restart when='always' delay='100ms'/><hooks><pre-start><program>" +
                      hook + L"</program><arguments>text prepared</arguments></pre-start><post-stop><workdir>" +
                      after + L"</workdir><program>" + helperPath(L"hwtestprog.exe") + L"</program></post-stop></hooks>");

    letEveryone(environment, MODIFY);
    letEveryone(after, FILE_ADD_FILE, true);
    const ProcessResult validated = runHostwell({L"validate-settings", L"/settings=" + settings});
    EXPECT_TRUE(validated.hasLine(environment + L" can be changed by Everyone (write data, append data, DELETE)"))
        << toUtf8(validated.output());
    EXPECT_TRUE(validated.contains(L"\n" + after + L" can be changed by Everyone (add file")) << toUtf8(validated.output());
    letEveryone(environment, FILE_GENERIC_READ);
    letEveryone(after, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);

    // The pre-start command's folder opened up while the program runs: no more runs.
    TestService service(name, hostwellArguments());
    ASSERT_TRUE(service.start()) << service.startError();
    const DWORD first = readProcessId(pid);
    letEveryone(hooks, FILE_ALL_ACCESS);
    const UniqueHandle killed(OpenProcess(PROCESS_TERMINATE, FALSE, first));
    ASSERT_TRUE(killed && TerminateProcess(killed.get(), 9));
    const SERVICE_STATUS_PROCESS stopped = service.waitFor(SERVICE_STOPPED);
    EXPECT_EQ(stopped.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 1u);
    const std::wstring text = retainedLog();
    const std::wstring prepared = L"[Info] prepared\r\n";
    ASSERT_NE(text.find(prepared), std::wstring::npos) << toUtf8(text);
    EXPECT_EQ(text.find(prepared), text.rfind(prepared)) << "pre-start ran again:\n" << toUtf8(text);
    EXPECT_TRUE(logHas(L"[Error] " + hooks + L" can be changed by Everyone (")) << toUtf8(text);
    EXPECT_TRUE(logHas(L"Failed to run the pre-start command: its files may be changed by ordinary users"));
    letEveryone(hooks, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
}

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "security/FolderChain.h"
#include "security/TrustedAccounts.h"
#include "security/WriteAccessCheck.h"
#include "support/TestFiles.h"

namespace {

const wchar_t* const DOMAIN_USERS = L"S-1-5-21-1-2-3-513";
const wchar_t* const NAMED_USER = L"S-1-5-21-1-2-3-1001";

// The findings for a descriptor written in SDDL, as "account: rights".
std::vector<std::wstring> scanned(const std::wstring& sddl, WriteReach reach = WriteReach::WHOLE_FILE,
                                  const TrustedAccounts& trusted = TrustedAccounts(),
                                  bool firstIsCallback = false)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                     nullptr))
        << "SDDL " << std::string(sddl.begin(), sddl.end());
    const UniqueLocalMemory owner(descriptor);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    void* first = nullptr;
    if (firstIsCallback && GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && dacl != nullptr &&
        GetAce(dacl, 0, &first)) {
        // A callback entry keeps the layout of a plain one; SDDL parsers differ in writing it.
        static_cast<ACE_HEADER*>(first)->AceType = ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    }
    std::vector<std::wstring> texts;
    for (const WriteAccessFinding& finding : scanSecurity(L"C:\\x", ERROR_SUCCESS, descriptor, reach, trusted)) {
        texts.push_back(finding.account + L": " + finding.rights);
    }
    return texts;
}

using Texts = std::vector<std::wstring>;

}  // namespace

TEST(WriteAccessCheck, FindsEveryAccountOutsideTheTrustedOnesThatMayReplaceAFile)
{
    // Administrators, SYSTEM and TrustedInstaller may write; everyone else reads.
    EXPECT_EQ(scanned(L"O:BAD:(A;;FA;;;BA)(A;;GA;;;SY)(A;;FRFX;;;WD)"
                      L"(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"),
              Texts{});
    // A domain group ("Domain Users: Modify") and a named user with Full control.
    EXPECT_EQ(scanned(L"O:BAD:(A;;0x1301bf;;;" + std::wstring(DOMAIN_USERS) + L")"),
              Texts{std::wstring(DOMAIN_USERS) + L": write data, append data, DELETE"});
    EXPECT_EQ(scanned(L"O:BAD:(A;;FA;;;" + std::wstring(NAMED_USER) + L")"),
              Texts{std::wstring(NAMED_USER) + L": write data, append data, DELETE, WRITE_DAC, WRITE_OWNER"});
    // ... unless that user is the service's account.
    const TrustedAccounts serviceAccount({sidOfString(NAMED_USER)});
    EXPECT_EQ(scanned(L"O:BAD:(A;;FA;;;" + std::wstring(NAMED_USER) + L")", WriteReach::WHOLE_FILE, serviceAccount),
              Texts{});
    // Generic rights count as what they map to; attributes alone do not replace content.
    EXPECT_EQ(scanned(L"O:BAD:(A;;GW;;;NS)(A;;0x180;;;WD)"), Texts{L"NT AUTHORITY\\NETWORK SERVICE: write data, append data"});
    // LocalService runs exactly the services handed less trusted code: trusted only as the service's own account.
    EXPECT_EQ(scanned(L"O:BAD:(A;;FW;;;LS)"), Texts{L"NT AUTHORITY\\LOCAL SERVICE: write data, append data"});
    const SidBytes localService = sidOfString(L"S-1-5-19");
    EXPECT_FALSE(TrustedAccounts::forInstall(L"NT SERVICE\\HwApp").contains(localService.data()));
    // Inherited-only entries and the inheritance placeholders grant nothing here.
    EXPECT_EQ(scanned(L"O:BAD:(A;OICIIO;GA;;;AU)(A;;GA;;;CO)"), Texts{});
    // A deny entry counts only where it comes first; Everyone's covers every account.
    EXPECT_EQ(scanned(L"O:BAD:(D;;FW;;;WD)(A;;FW;;;BU)"), Texts{});
    EXPECT_EQ(scanned(L"O:BAD:(A;;SD;;;BG)(D;;SD;;;BG)"), Texts{L"BUILTIN\\Guests: DELETE"});
    // A conditional entry may apply, so it counts.
    EXPECT_EQ(scanned(L"O:BAD:(A;;FW;;;IU)", WriteReach::WHOLE_FILE, TrustedAccounts(), true),
              Texts{L"NT AUTHORITY\\INTERACTIVE: write data, append data"});
    // No DACL gives everyone everything.
    SECURITY_DESCRIPTOR open;
    InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    const std::vector<WriteAccessFinding> all =
        scanSecurity(L"C:\\x", ERROR_SUCCESS, &open, WriteReach::WHOLE_FILE, TrustedAccounts());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(findingText(all[0]), L"C:\\x can be changed by Everyone (full control: no DACL)");
}

TEST(WriteAccessCheck, CountsTheOwnerUnlessAnOwnerRightsEntryLimitsIt)
{
    const std::wstring owner = L"O:" + std::wstring(NAMED_USER);
    EXPECT_EQ(scanned(owner + L"D:(A;;FA;;;BA)"), Texts{std::wstring(NAMED_USER) + L": WRITE_DAC, owner"});
    EXPECT_EQ(scanned(owner + L"D:(A;;FR;;;OW)(A;;FA;;;BA)"), Texts{});
    EXPECT_EQ(scanned(owner + L"D:(A;;FW;;;OW)(A;;FA;;;BA)"), Texts{std::wstring(NAMED_USER) + L": write data, append data"});
    EXPECT_EQ(scanned(L"O:SYD:(A;;FA;;;BA)"), Texts{});
}

TEST(WriteAccessCheck, AboveTheOwnFolderOnlyTheRightsToReplaceAFolderCount)
{
    const std::wstring addFiles = L"O:BAD:(A;;0x6;;;WD)";
    EXPECT_EQ(scanned(addFiles, WriteReach::OWN_FOLDER), Texts{L"Everyone: add file, add subfolder"});
    EXPECT_EQ(scanned(addFiles, WriteReach::FOLDER_ABOVE), Texts{});
    EXPECT_EQ(scanned(L"O:BAD:(A;;0x1301ff;;;WD)", WriteReach::FOLDER_ABOVE), Texts{L"Everyone: delete child, DELETE"});
    EXPECT_EQ(scanned(L"O:BAD:(A;;WDWO;;;BU)", WriteReach::FOLDER_ABOVE), Texts{L"BUILTIN\\Users: WRITE_DAC, WRITE_OWNER"});
    // Windows' own ACL of C:\: Authenticated Users may create folders in it, not replace one.
    const std::wstring root = L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                              L"(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)";
    EXPECT_EQ(scanned(root, WriteReach::FOLDER_ABOVE), Texts{});
    // One that lets Everyone delete any folder in it is another matter.
    EXPECT_EQ(scanned(root + L"(A;;0x40;;;WD)", WriteReach::FOLDER_ABOVE), Texts{L"Everyone: delete child"});
    EXPECT_EQ(scanned(root, WriteReach::OWN_FOLDER), Texts{L"NT AUTHORITY\\Authenticated Users: add subfolder"});
}

TEST(WriteAccessCheck, ChecksTheFileItsFolderAndEveryFolderAboveUpToTheVolumeRoot)
{
    TemporaryDirectory dir;
    const std::wstring file = dir.file(L"app.xml");
    writeUtf8(file, L"<hostwell/>");
    FolderChain chain;
    chain.addFile(file);
    // The path as written; where links lead elsewhere, their chain follows.
    std::vector<CheckedPath> written;
    for (const CheckedPath& checked : chain.paths()) {
        if (checked.via.empty()) {
            written.push_back(checked);
        }
    }
    ASSERT_GE(written.size(), 3u);
    EXPECT_EQ(written[0].path, file);
    EXPECT_EQ(written[0].reach, WriteReach::WHOLE_FILE);
    EXPECT_EQ(written[1].path, dir.path());
    EXPECT_EQ(written[1].reach, WriteReach::OWN_FOLDER);
    EXPECT_EQ(written.back().path, file.substr(0, 3)) << "the volume root is not in the chain";
    EXPECT_EQ(written.back().reach, WriteReach::FOLDER_ABOVE);
}

TEST(WriteAccessCheck, APathWhosePermissionsCannotBeReadIsAFinding)
{
    const std::vector<WriteAccessFinding> denied =
        scanSecurity(L"C:\\svc", ERROR_ACCESS_DENIED, nullptr, WriteReach::OWN_FOLDER, TrustedAccounts());
    ASSERT_EQ(denied.size(), 1u);
    EXPECT_EQ(findingText(denied[0]).rfind(L"Failed to read the permissions of C:\\svc: ", 0), 0u);
    EXPECT_NE(findingText(denied[0]).find(L"(5)"), std::wstring::npos);
    // What does not exist yet is reported where it is used.
    EXPECT_TRUE(scanSecurity(L"C:\\svc\\a.exe", ERROR_FILE_NOT_FOUND, nullptr, WriteReach::WHOLE_FILE,
                             TrustedAccounts())
                    .empty());
}

TEST(WriteAccessCheck, TrustsTheVirtualAccountOfTheServiceByItsComputedSid)
{
    // Windows' own TrustedInstaller is the virtual account of that service.
    const SidBytes trustedInstaller = sidOfString(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
    EXPECT_EQ(virtualAccountSid(L"TrustedInstaller"), trustedInstaller);
    EXPECT_EQ(sidOfAccount(L"nt service\\trustedinstaller"), trustedInstaller);
    EXPECT_NE(virtualAccountSid(L"OtherService"), trustedInstaller);
    const TrustedAccounts installing = TrustedAccounts::forInstall(L"NT SERVICE\\HwApp");
    EXPECT_TRUE(installing.contains(virtualAccountSid(L"HwApp").data()));
    EXPECT_FALSE(installing.contains(virtualAccountSid(L"HwOther").data()));
}

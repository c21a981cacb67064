#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "install/WriteAccessCheck.h"

namespace {

struct Entry {
    bool allow;
    WELL_KNOWN_SID_TYPE who;
    ACCESS_MASK rights;
    BYTE flags;
};

// A DACL made of the entries in order, as icacls or an inheritance would leave it.
class Dacl {
public:
    explicit Dacl(const std::vector<Entry>& entries) : buffer_(4096)
    {
        auto* acl = reinterpret_cast<ACL*>(buffer_.data());
        InitializeAcl(acl, static_cast<DWORD>(buffer_.size()), ACL_REVISION);
        for (const Entry& entry : entries) {
            BYTE sid[SECURITY_MAX_SID_SIZE];
            DWORD size = sizeof sid;
            CreateWellKnownSid(entry.who, nullptr, sid, &size);
            if (entry.allow) {
                AddAccessAllowedAceEx(acl, ACL_REVISION, entry.flags, entry.rights, sid);
            } else {
                AddAccessDeniedAceEx(acl, ACL_REVISION, entry.flags, entry.rights, sid);
            }
        }
    }
    const ACL* get() const { return reinterpret_cast<const ACL*>(buffer_.data()); }

private:
    std::vector<BYTE> buffer_;
};

std::vector<std::wstring> scanned(const std::vector<Entry>& entries, bool isFolder = false)
{
    std::vector<std::wstring> texts;
    for (const WriteAccessFinding& finding : scanDacl(Dacl(entries).get(), isFolder)) {
        texts.push_back(finding.group + L": " + finding.rights);
    }
    return texts;
}

using Texts = std::vector<std::wstring>;

}  // namespace

TEST(WriteAccessCheck, FindsOrdinaryGroupsThatMayReplaceWhatTheServiceRuns)
{
    const BYTE inheritOnly = OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
    // Administrators and SYSTEM may write; everyone else reads.
    EXPECT_EQ(scanned({{true, WinBuiltinAdministratorsSid, FILE_ALL_ACCESS, 0},
                       {true, WinLocalSystemSid, GENERIC_ALL, 0},
                       {true, WinWorldSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, 0}}),
              Texts{});
    EXPECT_EQ(scanned({{true, WinBuiltinUsersSid, FILE_GENERIC_WRITE, 0}}), Texts{L"Users: write data, append data"});
    // Attributes alone do not replace content.
    EXPECT_EQ(scanned({{true, WinWorldSid, FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA, 0}}), Texts{});
    EXPECT_EQ(scanned({{true, WinAuthenticatedUserSid, GENERIC_ALL, inheritOnly},
                       {true, WinInteractiveSid, GENERIC_WRITE | WRITE_DAC, 0}}),
              Texts{L"Interactive: WRITE_DAC, GENERIC_WRITE"});
    // A deny entry counts only where it comes first.
    EXPECT_EQ(scanned({{false, WinWorldSid, FILE_WRITE_DATA | FILE_APPEND_DATA, 0},
                       {true, WinBuiltinUsersSid, FILE_WRITE_DATA | FILE_APPEND_DATA, 0}}),
              Texts{});
    EXPECT_EQ(scanned({{true, WinBuiltinGuestsSid, DELETE, 0}, {false, WinBuiltinGuestsSid, DELETE, 0}}),
              Texts{L"Guests: DELETE"});
    // Folders: adding, and deleting what is inside.
    EXPECT_EQ(scanned({{true, WinAnonymousSid, FILE_ADD_FILE | FILE_DELETE_CHILD, 0}}, true),
              Texts{L"Anonymous: add file, delete child"});
    EXPECT_EQ(scanned({{true, WinAnonymousSid, FILE_DELETE_CHILD, 0}}, false), Texts{});

    const std::vector<WriteAccessFinding> open = scanDacl(nullptr, false);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].group, L"Everyone");
}

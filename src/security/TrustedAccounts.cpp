#include "security/TrustedAccounts.h"

#include <lm.h>
#include <sddl.h>

#include <algorithm>

#include "common/UniqueResource.h"

namespace {

const wchar_t* const TRUSTED_INSTALLER = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

SidBytes copySid(const void* sid)
{
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return SidBytes(bytes, bytes + GetLengthSid(const_cast<void*>(sid)));
}

SidBytes wellKnownSid(WELL_KNOWN_SID_TYPE type)
{
    SidBytes sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) {
        return {};
    }
    sid.resize(size);
    return sid;
}

SidBytes tokenUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    const UniqueHandle owner(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    return copySid(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
}

bool runByAdministrator()
{
    SidBytes administrators = wellKnownSid(WinBuiltinAdministratorsSid);
    BOOL member = FALSE;
    return !administrators.empty() && CheckTokenMembership(nullptr, administrators.data(), &member) && member;
}

}  // namespace

TrustedAccounts::TrustedAccounts(std::vector<SidBytes> added) : sids_(std::move(added))
{
    sids_.push_back(wellKnownSid(WinLocalSystemSid));
    sids_.push_back(wellKnownSid(WinBuiltinAdministratorsSid));
    sids_.push_back(sidOfString(TRUSTED_INSTALLER));
}

TrustedAccounts TrustedAccounts::forInstall(const std::wstring& serviceAccount)
{
    TrustedAccounts trusted;
    trusted.addAdministratorMembers();
    if (runByAdministrator()) {
        trusted.sids_.push_back(tokenUser());
    }
    if (!serviceAccount.empty()) {
        trusted.sids_.push_back(sidOfAccount(serviceAccount));
    }
    return trusted;
}

TrustedAccounts TrustedAccounts::forService()
{
    TrustedAccounts trusted({tokenUser()});
    trusted.addAdministratorMembers();
    return trusted;
}

void TrustedAccounts::addAdministratorMembers()
{
    // The group's name is translated; its SID is not.
    const std::wstring group = nameOfSid(wellKnownSid(WinBuiltinAdministratorsSid).data());
    const std::wstring name = group.substr(group.find(L'\\') + 1);
    BYTE* buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    const NET_API_STATUS status = NetLocalGroupGetMembers(nullptr, name.c_str(), 0, &buffer, MAX_PREFERRED_LENGTH,
                                                          &read, &total, nullptr);
    if (status == NERR_Success && buffer != nullptr) {
        const auto* members = reinterpret_cast<const LOCALGROUP_MEMBERS_INFO_0*>(buffer);
        for (DWORD i = 0; i < read; ++i) {
            sids_.push_back(copySid(members[i].lgrmi0_sid));
        }
    }
    if (buffer != nullptr) {
        NetApiBufferFree(buffer);
    }
}

bool TrustedAccounts::contains(const void* sid) const
{
    for (const SidBytes& trusted : sids_) {
        if (!trusted.empty() && EqualSid(const_cast<BYTE*>(trusted.data()), const_cast<void*>(sid))) {
            return true;
        }
    }
    return false;
}

SidBytes sidOfString(const std::wstring& text)
{
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(text.c_str(), &sid)) {
        return {};
    }
    const UniqueLocalMemory owner(sid);
    return copySid(sid);
}

SidBytes sidOfAccount(const std::wstring& account)
{
    const std::wstring virtualDomain = L"NT SERVICE\\";
    if (CompareStringOrdinal(account.c_str(), static_cast<int>(std::min(account.size(), virtualDomain.size())),
                             virtualDomain.c_str(), -1, TRUE) == CSTR_EQUAL) {
        return virtualAccountSid(account.substr(virtualDomain.size()));
    }
    SidBytes sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (!LookupAccountNameW(nullptr, account.c_str(), sid.data(), &size, domain, &domainSize, &use)) {
        return {};
    }
    sid.resize(GetLengthSid(sid.data()));
    return sid;
}

SidBytes virtualAccountSid(const std::wstring& serviceName)
{
    std::wstring upper = serviceName;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return {};
    }
    const UniqueCryptProvider providerOwner(provider);
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
        return {};
    }
    const UniqueCryptHash hashOwner(hash);
    DWORD digest[5] = {};
    DWORD size = sizeof digest;
    if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(upper.data()),
                       static_cast<DWORD>(upper.size() * sizeof(wchar_t)), 0) ||
        !CryptGetHashParam(hash, HP_HASHVAL, reinterpret_cast<BYTE*>(digest), &size, 0)) {
        return {};
    }
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&authority, 6, SECURITY_SERVICE_ID_BASE_RID, digest[0], digest[1], digest[2],
                                  digest[3], digest[4], 0, 0, &sid)) {
        return {};
    }
    SidBytes bytes = copySid(sid);
    FreeSid(sid);
    return bytes;
}

std::wstring nameOfSid(const void* sid)
{
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, const_cast<void*>(sid), name, &nameSize, domain, &domainSize, &use)) {
        return domainSize == 0 ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(const_cast<void*>(sid), &text)) {
        return L"an account whose SID cannot be read";
    }
    const UniqueLocalMemory owner(text);
    return text;
}

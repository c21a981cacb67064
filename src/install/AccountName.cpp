#include "install/AccountName.h"

#include <windows.h>

#include "settings/SettingsInterfaces.h"

std::wstring qualifiedAccountName(const UserSettings& user)
{
    std::wstring domain = user.getDomain();
    if (domain.empty() || domain == L".") {
        wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
        // Without the name, "." stays: the lookup then fails rather than search the domains.
        if (GetComputerNameW(computer, &size)) {
            domain.assign(computer, size);
        } else {
            domain = L".";
        }
    }
    return domain + L"\\" + user.getUser();
}

#include "support/CurrentUser.h"

#include <windows.h>

std::wstring currentUserName()
{
    wchar_t name[256] = {};
    DWORD size = 256;
    GetUserNameW(name, &size);
    return name;
}

#include "support/SystemVariable.h"

namespace {
const wchar_t* ENVIRONMENT_KEY = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
}

SystemVariable::SystemVariable(const std::wstring& name, DWORD type, const std::wstring& text) : name_(name)
{
    open();
    RegSetValueExW(key_.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

SystemVariable::SystemVariable(const std::wstring& name, DWORD number) : name_(name)
{
    open();
    RegSetValueExW(key_.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

SystemVariable::~SystemVariable()
{
    RegDeleteValueW(key_.get(), name_.c_str());
    SetEnvironmentVariableW(name_.c_str(), nullptr);
}

void SystemVariable::open()
{
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, ENVIRONMENT_KEY, 0, KEY_READ | KEY_WRITE, key_.put());
}

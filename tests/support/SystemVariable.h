#pragma once

#include <windows.h>

#include <string>

#include "common/UniqueResource.h"

// A value in the registry's system environment for the lifetime of the
// object; removed again even when the test fails.
class SystemVariable {
public:
    // A string value: REG_SZ or REG_EXPAND_SZ.
    SystemVariable(const std::wstring& name, DWORD type, const std::wstring& text);
    // A value of another type, for the cases that must be skipped.
    SystemVariable(const std::wstring& name, DWORD number);
    ~SystemVariable();
    SystemVariable(const SystemVariable&) = delete;
    SystemVariable& operator=(const SystemVariable&) = delete;

private:
    void open();

    std::wstring name_;
    UniqueRegistryKey key_;
};

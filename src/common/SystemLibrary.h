#pragma once

#include <windows.h>

#include "common/UniqueResource.h"

// A DLL of the system folder, loaded when it is needed. What a service needs
// only now and then is not imported: an imported DLL is loaded at every start
// with the DLLs it needs in turn, and under Wine each costs memory.
UniqueModule loadSystemLibrary(const wchar_t* name);

// Sets `function` to the DLL's function of that name; false when there is none.
template <typename Function>
bool loadFunction(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

#pragma once

#include <windows.h>

#include "common/UniqueResource.h"

struct ModuleTraits {
    using Type = HMODULE;
    static Type invalid() { return nullptr; }
    static bool isValid(Type h) { return h != nullptr; }
    static void close(Type h) { FreeLibrary(h); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

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

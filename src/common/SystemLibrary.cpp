#include "common/SystemLibrary.h"

UniqueModule loadSystemLibrary(const wchar_t* name)
{
    // Only from the system folder: never a DLL of the same name beside the program.
    return UniqueModule(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

// Loading system DLLs and their exports without letting a planted copy beside the
// program win.
#pragma once

#include <windows.h>

namespace mossgate {

// Restricts the process's DLL search to the system folder where the running Windows
// offers it and the caller allows it; otherwise, and where the call is missing,
// only removes the current folder from the search. Call first thing at start-up.
void RestrictDllSearch(bool systemFolderOnlyAllowed);

// LoadLibraryA with the full system-folder path of `name`; null on failure.
HMODULE LoadSystemLibrary(const char* name);

// Looks up an export as the function type the caller expects; null for a null
// module or a missing export.
template <typename Function> Function FindExport(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The same in a module that is already loaded (not loaded or freed here).
template <typename Function> Function FindLoadedExport(const char* module, const char* name) {
    return FindExport<Function>(GetModuleHandleA(module), name);
}

} // namespace mossgate

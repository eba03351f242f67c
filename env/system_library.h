// Loading system DLLs without letting a planted copy beside the program win.
#pragma once

#include <windows.h>

namespace mossgate {

// Restricts the process's DLL search to the system folder where the running
// Windows offers it; on Vista, and where the call is missing, only removes the
// current folder from the search. Call first thing at start-up.
void RestrictDllSearch();

// LoadLibraryA with the full system-folder path of `name`; null on failure.
HMODULE LoadSystemLibrary(const char* name);

} // namespace mossgate

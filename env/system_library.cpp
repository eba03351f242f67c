#include "env/system_library.h"

#include "app/bounded_text.h"
#include "app/win_holders.h"
#include "env/os_version.h"

namespace mossgate {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);

constexpr DWORD SEARCH_SYSTEM32_ONLY = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

// Installer projects have seen the shell link object fail to create on Vista after
// SetDefaultDllDirectories; there the full paths below carry the protection.
bool IsWindowsVista() {
    OSVERSIONINFOEXA record;
    return ReadClassicVersion(record) && record.dwMajorVersion == 6 && record.dwMinorVersion == 0;
}

} // namespace

void RestrictDllSearch() {
    auto setDefault = FindLoadedExport<SetDefaultDllDirectoriesFunction>(
        "Kernel32.dll", "SetDefaultDllDirectories");
    if (setDefault != nullptr && !IsWindowsVista() && setDefault(SEARCH_SYSTEM32_ONLY)) {
        return;
    }
    auto setDllDirectory =
        FindLoadedExport<SetDllDirectoryFunction>("Kernel32.dll", "SetDllDirectoryA");
    if (setDllDirectory != nullptr) {
        setDllDirectory("");
    }
}

HMODULE LoadSystemLibrary(const char* name) {
    char systemFolder[MAX_PATH + 1];
    const UINT cch = GetSystemDirectoryA(systemFolder, sizeof(systemFolder));
    if (cch == 0 || cch >= sizeof(systemFolder)) {
        return nullptr;
    }
    char path[MAX_PATH * 2];
    if (!JoinPath(path, sizeof(path), systemFolder, name)) {
        return nullptr;
    }
    return LoadLibraryA(path);
}

} // namespace mossgate

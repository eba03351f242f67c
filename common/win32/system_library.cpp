#include "common/win32/system_library.h"

#include "common/portable/path_text.h"

namespace mossgate {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);

constexpr DWORD SEARCH_SYSTEM32_ONLY = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

} // namespace

void RestrictDllSearch(bool systemFolderOnlyAllowed) {
    auto setDefault = FindLoadedExport<SetDefaultDllDirectoriesFunction>(
        "Kernel32.dll", "SetDefaultDllDirectories");
    if (setDefault != nullptr && systemFolderOnlyAllowed && setDefault(SEARCH_SYSTEM32_ONLY)) {
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

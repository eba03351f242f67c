#include "env/folders.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/holders.h"
#include "common/win32/system_library.h"
#include "env/portable/install_path.h"

#include <shlobj.h>

char commonProgramsFolder[mossgate::COMMON_PROGRAMS_BYTES];

namespace mossgate {

namespace {

using SHGetSpecialFolderPathFunction = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
using SHGetFolderPathFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

bool discoveryDone = false;

// Both shell functions write up to MAX_PATH bytes; every caller's buffer is larger.
static_assert(MAX_PATH <= COMMON_PROGRAMS_BYTES && MAX_PATH <= PATH_BYTES);

// First source: SHELL32's SHGetSpecialFolderPathA. False when the library cannot
// be loaded at all.
bool AskShell32(int folderId, BOOL create, char* folder) {
    UniqueModule shell32(LoadSystemLibrary("SHELL32.DLL"));
    if (shell32.Get() == nullptr) {
        return false;
    }
    auto getSpecialFolderPath =
        FindExport<SHGetSpecialFolderPathFunction>(shell32.Get(), "SHGetSpecialFolderPathA");
    if (getSpecialFolderPath != nullptr &&
        getSpecialFolderPath(nullptr, folder, folderId, create) != 1) {
        folder[0] = '\0';
    }
    return true;
}

// Second source: SHFOLDER's SHGetFolderPathA.
void AskShFolder(int folderId, char* folder) {
    UniqueModule shfolder(LoadSystemLibrary("SHFOLDER.DLL"));
    auto getFolderPath = FindExport<SHGetFolderPathFunction>(shfolder.Get(), "SHGetFolderPathA");
    if (getFolderPath != nullptr && getFolderPath(nullptr, folderId, nullptr, 0, folder) != S_OK) {
        folder[0] = '\0';
    }
}

bool ReadWindowsFolder(char* folder, UINT cbFolder, UINT cchAsked) {
    const UINT cch = GetWindowsDirectoryA(folder, cchAsked);
    return cch != 0 && cch < cbFolder && cch == BoundedLength(folder, cbFolder);
}

} // namespace

void DiscoverCommonProgramsFolder() {
    if (discoveryDone) {
        return;
    }
    discoveryDone = true;
    if (!AskShell32(CSIDL_COMMON_PROGRAMS, TRUE, commonProgramsFolder)) {
        return;
    }
    if (commonProgramsFolder[0] == '\0') {
        AskShFolder(CSIDL_COMMON_PROGRAMS, commonProgramsFolder);
    }
}

bool FindShellFolder(int folderId, char* folder) {
    folder[0] = '\0';
    AskShell32(folderId, FALSE, folder);
    if (folder[0] == '\0') {
        AskShFolder(folderId, folder);
    }
    return folder[0] != '\0';
}

int ComposeInstallFolder(SetupContextRecord& context, const char* subPath) {
    char* folder = context.installFolder;
    if (!FindShellFolder(CSIDL_PROGRAM_FILES, folder)) {
        char windowsFolder[2048] = "";
        const bool known = ReadWindowsFolder(windowsFolder, sizeof(windowsFolder), 2000);
        if (!BuildProgramFilesFallback(folder, PATH_BYTES, known ? windowsFolder : nullptr) ||
            folder[0] == '\0') {
            folder[0] = '\0';
            return -1;
        }
    }
    if (!AppendSeparator(folder, PATH_BYTES) || !AppendText(folder, PATH_BYTES, subPath)) {
        folder[0] = '\0';
        return -1;
    }
    return 0;
}

} // namespace mossgate

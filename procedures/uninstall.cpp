#include "procedures/uninstall.h"

#include "app/bounded_text.h"
#include "app/command_line.h"
#include "app/win_holders.h"
#include "env/folders.h"
#include "package/extraction.h"
#include "package/package_resource.h"
#include "package/path_text.h"
#include "procedures/driver_setup_runner.h"
#include "procedures/end_message.h"
#include "procedures/product_names.h"
#include "procedures/start_menu.h"

namespace mossgate {

namespace {

constexpr size_t SHORTCUT_PATH_BYTES = 2048;
constexpr size_t TREE_PATH_BYTES = 2048;
constexpr size_t SUBKEY_NAME_BYTES = 1024;
constexpr REGSAM DELETE_AND_ENUMERATE = DELETE | KEY_ENUMERATE_SUB_KEYS;

constexpr const char* PACKAGE_TEXT =
    "De-Installation package might be corrupted\nthanks to "
    "download official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";
constexpr const char* FOLDER_TEXT =
    "Failed to get target folder on system disk\nthanks to remove Mossgate manually...";

int Fail(SetupContextRecord& context, const char* text, int result) {
    ReportFailure(context, text);
    return result;
}

void RemoveStartMenuFolder(const char* programsFolder) {
    char menuFolder[START_MENU_BYTES];
    if (!BuildStartMenuFolder(menuFolder, sizeof(menuFolder), programsFolder)) {
        return;
    }
    for (const ShortcutName& shortcut : SHORTCUTS) {
        DeleteShortcut(menuFolder, shortcut.name);
    }
    DeleteFolderTree(menuFolder);
}

void RemoveStartMenuFolders() {
    char programsFolder[START_MENU_BYTES];
    if (ReadUserProgramsFolder(programsFolder, sizeof(programsFolder)) == 1) {
        RemoveStartMenuFolder(programsFolder);
    }
    if (CopyText(programsFolder, sizeof(programsFolder), commonProgramsFolder) &&
        programsFolder[0] != '\0') {
        RemoveStartMenuFolder(programsFolder);
    }
}

bool IsRunningFromFolder(const SetupContextRecord& context, const char* folder) {
    char programFolder[PATH_BYTES];
    if (!CopyText(programFolder, sizeof(programFolder), context.setupProgramPath)) {
        return false;
    }
    CutAtLastSeparator(programFolder);
    return lstrcmpiA(programFolder, folder) == 0;
}

// Run from the copy in the install folder (the uninstall entry's command), the
// program cannot delete itself: the copy and the folder go at the next restart,
// which the user is asked for anyway.
void RemoveInstallFolder(SetupContextRecord& context) {
    const bool runningFromIt = IsRunningFromFolder(context, context.installFolder);
    DeleteFolderTree(context.installFolder);
    if (runningFromIt && GetFileAttributesA(context.setupProgramPath) != INVALID_FILE_ATTRIBUTES) {
        MoveFileExA(context.setupProgramPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(context.installFolder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    context.installFolder[0] = '\0';
}

// The folder walk nests once per level: its path buffers live on the heap.
class TreePath {
  public:
    TreePath() : text_(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, TREE_PATH_BYTES))) {}
    ~TreePath() {
        if (text_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, text_);
        }
    }
    TreePath(const TreePath&) = delete;
    TreePath& operator=(const TreePath&) = delete;

    bool Join(const char* folder, const char* name) {
        return text_ != nullptr && JoinPath(text_, TREE_PATH_BYTES, folder, name);
    }
    const char* c_str() const { return text_; }

  private:
    char* text_;
};

bool IsFolder(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

enum class Step { ListAgain, Stop };

// Removes one listed entry; the listing is already closed.
Step RemoveEntry(const char* folder, const WIN32_FIND_DATAA& entry) {
    TreePath path;
    if (!path.Join(folder, entry.cFileName)) {
        return Step::Stop;
    }
    if (IsFolder(entry) && IsLink(entry)) {
        // A junction or directory link: remove the link, never what it points at.
        return RemoveDirectoryA(path.c_str()) ? Step::ListAgain : Step::Stop;
    }
    if (IsFolder(entry)) {
        DeleteFolderTree(path.c_str());
        // A subfolder that stays would be listed again at once: end this walk.
        return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? Step::ListAgain
                                                                           : Step::Stop;
    }
    return DeleteFileA(path.c_str()) == 1 ? Step::ListAgain : Step::Stop;
}

// Lists the folder and removes its first removable entry; Stop when nothing was
// removed (empty, unreadable, or only dot-folders left, or a removal failed).
Step RemoveFirstEntry(const char* folder) {
    TreePath pattern;
    if (!pattern.Join(folder, "*.*")) {
        return Step::Stop;
    }
    WIN32_FIND_DATAA entry;
    UniqueFindHandle listing(FindFirstFileA(pattern.c_str(), &entry));
    if (!listing.Valid()) {
        return Step::Stop;
    }
    while (IsFolder(entry) && entry.cFileName[0] == '.') {
        if (FindNextFileA(listing.Get(), &entry) != 1) {
            return Step::Stop;
        }
    }
    listing.Close();
    return RemoveEntry(folder, entry);
}

} // namespace

int DeletePackageFiles(const SetupContextRecord& context) {
    for (const PackageEntry& entry : context.packageDirectory) {
        char path[PATH_BYTES];
        // A name that would leave the install folder is never deleted either.
        if (BuildEntryTargetPath(path, sizeof(path), context.installFolder, entry)) {
            DeleteFileA(path);
        }
    }
    return 0;
}

BOOL DeleteShortcut(const char* folder, const char* name) {
    char path[SHORTCUT_PATH_BYTES];
    if (!JoinPath(path, sizeof(path), folder, name) || !AppendText(path, sizeof(path), ".LNK")) {
        return FALSE;
    }
    return DeleteFileA(path);
}

int DeleteFolderTree(const char* folder) {
    while (RemoveFirstEntry(folder) == Step::ListAgain) {
    }
    RemoveDirectoryA(folder);
    return 1;
}

int DeleteRegistryTree(HKEY parent, const char* subKey) {
    UniqueRegKey key;
    if (RegOpenKeyExA(parent, subKey, 0, DELETE_AND_ENUMERATE, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    for (;;) {
        char name[SUBKEY_NAME_BYTES];
        DWORD cchName = SUBKEY_NAME_BYTES - 1;
        const LONG status =
            RegEnumKeyExA(key.Get(), 0, name, &cchName, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            // A subkey that stays would be found again at index 0: stop instead.
            if (DeleteRegistryTree(key.Get(), name) == 0) {
                return 0;
            }
            continue;
        }
        if (status == ERROR_NO_MORE_ITEMS) {
            return RegDeleteKeyA(parent, subKey) == ERROR_SUCCESS ? 1 : 0;
        }
        return 1;
    }
}

int RunUninstall(SetupContextRecord& context) {
    CopyText(context.errorCaption, sizeof(context.errorCaption), "MOSSGATE Uninstallation Error");
    if (LoadPackageDirectory(context) != 0) {
        return Fail(context, PACKAGE_TEXT, UNINSTALL_PACKAGE_UNUSABLE);
    }
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) != 0) {
        return Fail(context, FOLDER_TEXT, UNINSTALL_NO_PROGRAM_FILES);
    }
    if (const int result = RunDriverSetup(context, DRIVER_C_SETUP, DriverSetupMode::Uninstall)) {
        return result;
    }
    if (const int result = RunDriverSetup(context, DRIVER_D_SETUP, DriverSetupMode::Uninstall)) {
        return result;
    }
    DeletePackageFiles(context);
    RemoveStartMenuFolders();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) == 0) {
        RemoveInstallFolder(context);
    }
    if (silentMode == 0) {
        MessageBoxA(context.mainWindow, "Restart System to finish de-installation!",
                    "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
    }
    return 0;
}

} // namespace mossgate

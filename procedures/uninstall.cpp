#include "procedures/uninstall.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/product_names.h"
#include "common/win32/file_system.h"
#include "common/win32/holders.h"
#include "common/win32/registry.h"
#include "env/folders.h"
#include "package/extraction.h"
#include "package/package_resource.h"
#include "procedures/driver_setup_runner.h"
#include "procedures/end_message.h"
#include "procedures/shortcuts.h"

namespace mossgate {

namespace {

constexpr int INSTALL_FOLDER_DEPTH = ComponentCount(INSTALL_SUB_PATH);
constexpr const char* DRIVER_SETUPS[] = {DRIVER_C_SETUP, DRIVER_D_SETUP};

constexpr const char* PACKAGE_TEXT =
    "De-Installation package might be corrupted\nthanks to "
    "download official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";
constexpr const char* FOLDER_TEXT =
    "Failed to get target folder on system disk\nthanks to remove Mossgate manually...";

int Fail(SetupContextRecord& context, const char* text, int result) {
    ReportFailure(context, text);
    return result;
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

// The drivers' setup programs from the program's own package, into a folder of this
// run that is removed afterwards: for an install folder that lost them.
bool TakeSetupProgramsFromPackage(SetupContextRecord& context, TemporaryFolder& folder) {
    char c[PATH_BYTES];
    char d[PATH_BYTES];
    const char* const names[] = {c, d};
    return folder.Create() && BuildDriverSetupName(c, sizeof(c), context, DRIVER_C_SETUP) &&
           BuildDriverSetupName(d, sizeof(d), context, DRIVER_D_SETUP) &&
           ExtractNamedEntries(context, folder.Path(), names, 2) == 1;
}

// The install folder as the program made it: its own levels real folders, no link
// (one planted there is removed as a link). Below anything else nothing is the program's.
bool InstallFolderIsOwn(const SetupContextRecord& context) {
    RemoveLinkAtEnd(context.installFolder, INSTALL_FOLDER_DEPTH);
    return IsRealFolderAtEnd(context.installFolder, INSTALL_FOLDER_DEPTH);
}

// Each driver's setup program in uninstall mode, C then D, from the install folder,
// or from the package when the install folder no longer holds it.
int RunDriverSetupsForRemoval(SetupContextRecord& context, bool ownFolder) {
    TemporaryFolder fromPackage;
    bool tried = false; // the package can be walked only once
    for (const char* baseName : DRIVER_SETUPS) {
        char program[PATH_BYTES];
        const char* folder = context.installFolder;
        if (!ownFolder || !BuildDriverSetupPath(program, sizeof(program), context, baseName) ||
            ProbeReadable(program) != 1) {
            if (!tried && !TakeSetupProgramsFromPackage(context, fromPackage)) {
                fromPackage.Reset();
            }
            tried = true;
            folder = fromPackage.Path();
        }
        // Nowhere to take it from: it counts as removed, as a missing program always did.
        if (folder[0] == '\0') {
            continue;
        }
        if (const int result =
                RunDriverSetupFrom(context, folder, baseName, DriverSetupMode::Uninstall)) {
            return result;
        }
    }
    return 0;
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

int RunUninstall(SetupContextRecord& context) {
    CopyText(context.errorCaption, sizeof(context.errorCaption), "MOSSGATE Uninstallation Error");
    if (LoadPackageDirectory(context) != 0) {
        return Fail(context, PACKAGE_TEXT, UNINSTALL_PACKAGE_UNUSABLE);
    }
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) != 0) {
        return Fail(context, FOLDER_TEXT, UNINSTALL_NO_PROGRAM_FILES);
    }
    const bool ownFolder = InstallFolderIsOwn(context);
    if (const int result = RunDriverSetupsForRemoval(context, ownFolder)) {
        return result;
    }
    if (ownFolder) {
        DeletePackageFiles(context);
    }
    RemoveStartMenuShortcuts();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) == 0) {
        if (InstallFolderIsOwn(context)) {
            RemoveInstallFolder(context);
        }
        context.installFolder[0] = '\0';
    }
    if (silentMode == 0) {
        MessageBoxA(context.mainWindow, "Restart System to finish de-installation!",
                    "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
    }
    return 0;
}

} // namespace mossgate

#include "procedures/uninstall.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/product_names.h"
#include "common/win32/file_system.h"
#include "common/win32/registry.h"
#include "env/folders.h"
#include "package/extraction.h"
#include "package/package_resource.h"
#include "procedures/driver_setup_runner.h"
#include "procedures/end_message.h"
#include "procedures/shortcuts.h"

namespace mossgate {

namespace {

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
    if (const int result = RunDriverSetup(context, DRIVER_C_SETUP, DriverSetupMode::Uninstall)) {
        return result;
    }
    if (const int result = RunDriverSetup(context, DRIVER_D_SETUP, DriverSetupMode::Uninstall)) {
        return result;
    }
    DeletePackageFiles(context);
    RemoveStartMenuShortcuts();
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

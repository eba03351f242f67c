#include "procedures/uninstall.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/product_names.h"
#include "common/win32/file_system.h"
#include "common/win32/folder_handles.h"
#include "common/win32/registry.h"
#include "common/win32/wide_text.h"
#include "env/folders.h"
#include "env/places.h"
#include "package/extraction.h"
#include "package/package_resource.h"
#include "procedures/driver_setup_runner.h"
#include "procedures/end_message.h"
#include "procedures/restart_plans.h"
#include "procedures/shortcuts.h"

#include <cwchar>

namespace mossgate {

namespace {

constexpr const char* DRIVER_SETUPS[] = {DRIVER_C_SETUP, DRIVER_D_SETUP};
constexpr size_t DRIVER_SETUP_COUNT = sizeof(DRIVER_SETUPS) / sizeof(DRIVER_SETUPS[0]);

constexpr const char* PACKAGE_TEXT =
    "De-Installation package might be corrupted\nthanks to "
    "download official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";
constexpr const char* FOLDER_TEXT =
    "Failed to get target folder on system disk\nthanks to remove Mossgate manually...";

// Whether the running program lies in the folder, by file identity: started
// through a short name or another spelling, it is still the same folder.
bool RunsFromFolder(const WCHAR* program, const WCHAR* folder) {
    WCHAR programFolder[PATH_BYTES];
    wmemcpy(programFolder, program, PATH_BYTES);
    // Without a separator the text names the program's file, which is no folder.
    if (WCHAR* separator = wcsrchr(programFolder, L'\\')) {
        *separator = L'\0';
    }
    return IsSameFileObject(programFolder, folder);
}

// Run from the copy in the install folder (the uninstall entry's command), the
// program cannot delete itself: the copy and the folder go at the next restart,
// which the user is asked for anyway. A folder that is an administrator's link
// stays, emptied, now and then.
void RemoveInstallFolder(SetupContextRecord& context) {
    OwnFolder folder;
    WCHAR program[PATH_BYTES];
    WCHAR installFolder[PATH_BYTES];
    if (!OpenOwnFolder(context.installFolder, INSTALL_FOLDER_LEVELS,
                       LinkRuleIn(PlaceOwner::AdministratorsOnly), Missing::Fail, folder)) {
        return;
    }
    const bool runningFromIt = ReadProgramPath(program, PATH_BYTES) &&
                               AnsiToWide(context.installFolder, installFolder, PATH_BYTES) &&
                               RunsFromFolder(program, installFolder);
    RemoveOpenedFolder(folder);
    // Named below the install folder as Program Files gives it, never by the path the
    // program was started through: a drive letter of the user's session, say, does not
    // exist when the system carries out its restart plans.
    WCHAR copy[PATH_BYTES];
    const WCHAR* separator = wcsrchr(program, L'\\');
    if (runningFromIt && separator != nullptr &&
        JoinWidePath(copy, PATH_BYTES, installFolder, separator + 1) &&
        GetFileAttributesW(copy) != INVALID_FILE_ATTRIBUTES) {
        PlanDeletionAtRestart(copy);
        if (!folder.isLink) {
            PlanDeletionAtRestart(installFolder);
        }
    }
}

// Each driver's setup program where it always ran, in the install folder: one that
// is missing there is taken from the program's own verified package, into the
// install folder made again when it is gone (its access rights then come from
// Program Files, as the first time). Nothing is ever put or started where an
// ordinary user can write. -605, reported, when that cannot be done.
int PutBackMissingSetupPrograms(SetupContextRecord& context) {
    char names[DRIVER_SETUP_COUNT][PATH_BYTES];
    const char* missing[DRIVER_SETUP_COUNT];
    size_t count = 0;
    for (const char* baseName : DRIVER_SETUPS) {
        char program[PATH_BYTES];
        if (!BuildDriverSetupPath(program, sizeof(program), context, baseName) ||
            !BuildDriverSetupName(names[count], sizeof(names[count]), context, baseName)) {
            return ReportDriverSetupNotStarted(context);
        }
        if (ProbeReadable(program) != 1) {
            missing[count] = names[count];
            ++count;
        }
    }
    if (count > 0 && (CreateFolderPath(context.installFolder) != 1 ||
                      ExtractNamedEntries(context, context.installFolder, missing, count) != 1)) {
        return ReportDriverSetupNotStarted(context);
    }
    return 0;
}

int RunDriverSetupsForRemoval(SetupContextRecord& context) {
    if (const int result = PutBackMissingSetupPrograms(context)) {
        return result;
    }
    for (const char* baseName : DRIVER_SETUPS) {
        if (const int result = RunDriverSetup(context, baseName, DriverSetupMode::Uninstall)) {
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
        return FailWith(context, PACKAGE_TEXT, UNINSTALL_PACKAGE_UNUSABLE);
    }
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) != 0) {
        return FailWith(context, FOLDER_TEXT, UNINSTALL_NO_PROGRAM_FILES);
    }
    if (OwnerOfFolder(context.installFolder) != PlaceOwner::AdministratorsOnly) {
        return FailWith(context, FOLDER_TEXT, UNINSTALL_NO_PROGRAM_FILES);
    }
    if (const int result = RunDriverSetupsForRemoval(context)) {
        return result;
    }
    DeletePackageFiles(context);
    RemoveStartMenuShortcuts();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) == 0 &&
        OwnerOfFolder(context.installFolder) == PlaceOwner::AdministratorsOnly) {
        RemoveInstallFolder(context);
    }
    context.installFolder[0] = '\0';
    if (silentMode == 0) {
        MessageBoxA(context.mainWindow, "Restart System to finish de-installation!",
                    "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
    }
    return 0;
}

} // namespace mossgate

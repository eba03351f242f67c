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
#include "procedures/install.h"
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
constexpr const char* REMAINS_TEXT =
    "Some files of the MOSSGATE Package could not be removed...\nclose the programs that use "
    "them, then remove the package again.";

// The copy's file name in the install folder, as the install named it.
bool ReadCopyName(const SetupContextRecord& context, wchar_t* name, size_t cchName) {
    WCHAR program[PATH_BYTES];
    char copyPath[PATH_BYTES];
    WCHAR copy[PATH_BYTES];
    if (!ReadProgramPath(program, PATH_BYTES) ||
        !BuildCopyPath(context, program, copyPath, sizeof(copyPath)) ||
        !AnsiToWide(copyPath, copy, PATH_BYTES)) {
        return false;
    }
    const WCHAR* separator = wcsrchr(copy, L'\\');
    return separator != nullptr && CopyWideText(name, cchName, separator + 1);
}

// The install folder with everything in it, the copy that the uninstall entry runs
// last: it stays while anything else of the program's does. What cannot go now
// goes at the restart (run from the copy, the program cannot delete itself), named
// below the install folder as Program Files gives it, never by the path the program
// was started through (a drive letter of the user's session, say, does not exist
// then). A folder that is an administrator's link stays, emptied. True when nothing
// of the program's stays unplanned.
bool RemoveInstallFolder(const SetupContextRecord& context) {
    OwnFolder folder;
    if (!OpenOwnFolder(context.installFolder, INSTALL_FOLDER_LEVELS,
                       LinkRuleIn(PlaceOwner::AdministratorsOnly), Missing::Fail, folder)) {
        return GetFileAttributesA(context.installFolder) == INVALID_FILE_ATTRIBUTES;
    }
    WCHAR copyName[PATH_BYTES];
    const bool named = ReadCopyName(context, copyName, PATH_BYTES);
    return RemoveOpenedFolder(folder, Leftovers::GoAtRestart, named ? copyName : nullptr) !=
           Removal::Stays;
}

// Everything of the program's but its drivers: the shortcuts, the install folder,
// then the uninstall entry, only when nothing of the program's stays unplanned.
// Until then the entry, and the install folder with the copy that it runs, stay
// to finish the removal. True when the entry went.
bool RemoveInstalledFiles(const SetupContextRecord& context) {
    if (!RemoveStartMenuShortcuts() || !RemoveInstallFolder(context)) {
        return false;
    }
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    return true;
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

// The install folder, below Program Files where only administrators write.
bool ComposeOwnInstallFolder(SetupContextRecord& context) {
    return ComposeInstallFolder(context, INSTALL_SUB_PATH) == 0 &&
           OwnerOfFolder(context.installFolder) == PlaceOwner::AdministratorsOnly;
}

void ShowRestartNotice(const SetupContextRecord& context) {
    if (silentMode == 0) {
        MessageBoxA(context.mainWindow, "Restart System to finish de-installation!",
                    "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
    }
}

} // namespace

int RunUninstall(SetupContextRecord& context) {
    CopyText(context.errorCaption, sizeof(context.errorCaption), "MOSSGATE Uninstallation Error");
    if (LoadPackageDirectory(context) != 0) {
        return FailWith(context, PACKAGE_TEXT, UNINSTALL_PACKAGE_UNUSABLE);
    }
    if (!ComposeOwnInstallFolder(context)) {
        return FailWith(context, FOLDER_TEXT, UNINSTALL_NO_PROGRAM_FILES);
    }
    if (const int result = RunDriverSetupsForRemoval(context)) {
        return result;
    }
    // The package's files go with the rest of the install folder, through its handle:
    // a deletion by path would delete what a link at such a name leads to.
    RemoveInstalledFiles(context);
    context.installFolder[0] = '\0';
    ShowRestartNotice(context);
    return 0;
}

int RemoveRemains(SetupContextRecord& context) {
    CopyText(context.errorCaption, sizeof(context.errorCaption), "MOSSGATE Uninstallation Error");
    if (!ComposeOwnInstallFolder(context)) {
        return FailWith(context, FOLDER_TEXT, UNINSTALL_NO_PROGRAM_FILES);
    }
    const bool found = GetFileAttributesA(context.installFolder) != INVALID_FILE_ATTRIBUTES ||
                       AnyStartMenuFolder() || MachineKeyExists(UNINSTALL_KEY);
    const bool finished = !found || RemoveInstalledFiles(context);
    context.installFolder[0] = '\0';
    if (!finished) {
        return FailWith(context, REMAINS_TEXT, UNINSTALL_REMAINS_LEFT);
    }
    if (found) {
        ShowRestartNotice(context);
    }
    return 0;
}

} // namespace mossgate

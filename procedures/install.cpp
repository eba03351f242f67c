#include "procedures/install.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/product_names.h"
#include "common/win32/file_system.h"
#include "common/win32/module_version.h"
#include "common/win32/registry.h"
#include "common/win32/shell_link.h"
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

constexpr const char* PACKAGE_TEXT = "Installation package might be corrupted\nthanks to download "
                                     "official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";
constexpr const char* FOLDER_TEXT =
    "Failed to create target folder on system disk\nthanks to "
    "download official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";
constexpr const char* PROGRAM_COPY_TEXT =
    "Failed to copy the setup program to the destination folder...\nThe MOSSGATE Package is "
    "installed but has no entry in the list of programs:\nrun this setup program again to "
    "remove it.";
constexpr const char* COPY_TEXT =
    "Failed to copy file(s) to destination folder...\nInstallation package might be "
    "corrupted\nthanks to download official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";

// Copies the running program, read by its exact path, into the install folder.
// Started from that copy itself (by whatever name), there is nothing to copy: no
// system replaces a running program's file, and the copy is whole already. False
// when the copy is not there, whole.
bool CopySetupProgram(const SetupContextRecord& context, char* copyPath, size_t cbCopyPath) {
    WCHAR program[PATH_BYTES];
    WCHAR copy[PATH_BYTES];
    if (!ReadProgramPath(program, PATH_BYTES) ||
        !BuildCopyPath(context, program, copyPath, cbCopyPath) ||
        !AnsiToWide(copyPath, copy, PATH_BYTES)) {
        return false;
    }
    return IsSameFileObject(program, copy) || CopyWholeFile(program, copyPath) == 1;
}

// A removal plans for the restart what it could not delete: the running copy, the
// install folder, a file or shortcut held open. Installed again before that
// restart, all of it must stay, and only that: the deletions of exactly these
// entries are taken back.
void KeepAfterRestart(const SetupContextRecord& context, const char* copyPath) {
    constexpr size_t SHORTCUT_COUNT = sizeof(SHORTCUTS) / sizeof(SHORTCUTS[0]);
    OwnEntries own(PACKAGE_ENTRY_COUNT + SHORTCUT_COUNT + 3);
    own.Add(copyPath);
    own.Add(context.installFolder);
    for (const PackageEntry& entry : context.packageDirectory) {
        char path[PATH_BYTES];
        if (BuildEntryTargetPath(path, sizeof(path), context.installFolder, entry)) {
            own.Add(path);
        }
    }
    // Where a user can write, nothing is ever planned.
    char menuFolder[START_MENU_BYTES];
    if (commonProgramsFolder[0] != '\0' &&
        OwnerOfFolder(commonProgramsFolder) == PlaceOwner::AdministratorsOnly &&
        BuildStartMenuFolder(menuFolder, sizeof(menuFolder), commonProgramsFolder)) {
        own.Add(menuFolder);
        for (const ShortcutName& shortcut : SHORTCUTS) {
            char link[JOINED_PATH_UNITS];
            if (JoinPath(link, sizeof(link), menuFolder, shortcut.name) &&
                AppendText(link, sizeof(link), LINK_FILE_SUFFIX)) {
                own.Add(link);
            }
        }
    }
    CancelDeletionsAtRestart(own);
}

constexpr char QUIET_REMOVE_SWITCHES[] = " -h -u";

// What is installed, in whole KB rounded up as Apps and Features shows it: the
// package's files and the copy of this program.
DWORD EstimatedSizeKb(const SetupContextRecord& context, const char* copyPath) {
    uint64_t bytes = 0;
    for (const PackageEntry& entry : context.packageDirectory) {
        bytes += entry.dataSize;
    }
    WIN32_FILE_ATTRIBUTE_DATA copy;
    if (GetFileAttributesExA(copyPath, GetFileExInfoStandard, &copy)) {
        bytes += static_cast<uint64_t>(copy.nFileSizeHigh) << 32 | copy.nFileSizeLow;
    }
    const uint64_t kb = (bytes + 1023) / 1024;
    return kb < MAXDWORD ? static_cast<DWORD>(kb) : MAXDWORD;
}

// The command is quoted: unquoted, a path below "Program Files" would let Windows
// try "C:\Program.exe" first when it runs the entry, elevated. The version is the
// one this program's version resource states, so the two cannot disagree.
void WriteUninstallEntry(const SetupContextRecord& context, const char* copyPath) {
    char command[PATH_BYTES + 2] = "\"";
    AppendText(command, sizeof(command), copyPath);
    AppendText(command, sizeof(command), "\"");
    WriteMachineStringValue(UNINSTALL_KEY, "DisplayName", "MOSSGATE C+D Package");
    WriteMachineStringValue(UNINSTALL_KEY, "Publisher", "Kestrine Software");
    WriteMachineStringValue(UNINSTALL_KEY, "UninstallString", command);
    WriteMachineStringValue(UNINSTALL_KEY, "DisplayIcon", copyPath);

    char version[sizeof("65535.65535.65535.65535")];
    if (ReadModuleProductVersion(context.instance, version, sizeof(version))) {
        WriteMachineStringValue(UNINSTALL_KEY, "DisplayVersion", version);
    }
    char quietCommand[sizeof(command) + sizeof(QUIET_REMOVE_SWITCHES)];
    if (CopyText(quietCommand, sizeof(quietCommand), command) &&
        AppendText(quietCommand, sizeof(quietCommand), QUIET_REMOVE_SWITCHES)) {
        WriteMachineStringValue(UNINSTALL_KEY, "QuietUninstallString", quietCommand);
    }
    // The program neither changes nor repairs an installation: no such buttons.
    WriteMachineDwordValue(UNINSTALL_KEY, "NoModify", 1);
    WriteMachineDwordValue(UNINSTALL_KEY, "NoRepair", 1);
    WriteMachineDwordValue(UNINSTALL_KEY, "EstimatedSize", EstimatedSizeKb(context, copyPath));
}

} // namespace

bool BuildCopyPath(const SetupContextRecord& context, const wchar_t* program, char* copyPath,
                   size_t cbCopyPath) {
    const wchar_t* separator = wcsrchr(program, L'\\');
    char fileName[PATH_BYTES];
    if (!WideToAnsiExactly(separator != nullptr ? separator + 1 : program, fileName,
                           sizeof(fileName)) ||
        fileName[0] == '\0') {
        CopyText(fileName, sizeof(fileName), SETUP_PROGRAM_FILE_NAME);
    }
    return JoinPath(copyPath, cbCopyPath, context.installFolder, fileName);
}

int RunInstall(SetupContextRecord& context) {
    CopyText(context.errorCaption, sizeof(context.errorCaption), "MOSSGATE Installation Error");

    SetStatusText(context, "Extract Package");
    if (LoadPackageDirectory(context) != 0) {
        return FailWith(context, PACKAGE_TEXT, INSTALL_PACKAGE_UNUSABLE);
    }
    SetStatusText(context, "Copy Files");
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) != 0) {
        return FailWith(context, FOLDER_TEXT, INSTALL_NO_PROGRAM_FILES);
    }
    // Programs are put and started only where administrators alone can write; there a
    // link on the way is theirs, and followed.
    if (OwnerOfFolder(context.installFolder) != PlaceOwner::AdministratorsOnly ||
        CreateFolderPath(context.installFolder) != 1) {
        return FailWith(context, FOLDER_TEXT, INSTALL_FOLDER_NOT_CREATED);
    }
    if (ExtractPackage(context) != 0) {
        return FailWith(context, COPY_TEXT, INSTALL_EXTRACTION_FAILED);
    }

    SetStatusText(context, "Install Audio Driver C");
    if (const int result = RunDriverSetup(context, DRIVER_C_SETUP, DriverSetupMode::Install)) {
        return result;
    }
    SetStatusText(context, "Install Audio Driver D");
    if (const int result = RunDriverSetup(context, DRIVER_D_SETUP, DriverSetupMode::Install)) {
        return result;
    }

    SetStatusText(context, "Finalize Installation");
    CreateStartMenuShortcuts(context);
    // The uninstall entry names the copy, so it is written only when the copy is whole.
    char copyPath[PATH_BYTES];
    if (!CopySetupProgram(context, copyPath, sizeof(copyPath))) {
        return FailWith(context, PROGRAM_COPY_TEXT, INSTALL_PROGRAM_NOT_COPIED);
    }
    KeepAfterRestart(context, copyPath);
    WriteUninstallEntry(context, copyPath);
    SetStatusText(context, "Installation Completed");
    PostProcedureEnd(context, END_INSTALLED);
    return 0;
}

} // namespace mossgate

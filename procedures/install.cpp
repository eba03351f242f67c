#include "procedures/install.h"

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

constexpr const char* PACKAGE_TEXT = "Installation package might be corrupted\nthanks to download "
                                     "official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";
constexpr const char* FOLDER_TEXT =
    "Failed to create target folder on system disk\nthanks to "
    "download official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";
constexpr const char* COPY_TEXT =
    "Failed to copy file(s) to destination folder...\nInstallation package might be "
    "corrupted\nthanks to download official package at\n" MOSSGATE_PUBLISHER_WEB_ADDRESS ".";

int Fail(SetupContextRecord& context, const char* text, int result) {
    ReportFailure(context, text);
    return result;
}

// Copies the running program into the install folder; false when the copy's path
// does not fit (then there is no path to name in the uninstall entry either).
bool CopySetupProgram(const SetupContextRecord& context, char* copyPath, size_t cbCopyPath) {
    char fileName[PATH_BYTES];
    if (!CopyText(fileName, sizeof(fileName), context.setupProgramPath)) {
        return false;
    }
    FileNamePart(fileName);
    if (!JoinPath(copyPath, cbCopyPath, context.installFolder, fileName)) {
        return false;
    }
    if (CopyFileA(context.setupProgramPath, copyPath, FALSE)) {
        SetFileAttributesA(copyPath, FILE_ATTRIBUTE_NORMAL);
    }
    return true;
}

// The command is quoted: unquoted, a path below "Program Files" would let Windows
// try "C:\Program.exe" first when it runs the entry, elevated.
void WriteUninstallEntry(const char* copyPath) {
    char command[PATH_BYTES + 2] = "\"";
    AppendText(command, sizeof(command), copyPath);
    AppendText(command, sizeof(command), "\"");
    WriteMachineStringValue(UNINSTALL_KEY, "DisplayName", "MOSSGATE C+D Package");
    WriteMachineStringValue(UNINSTALL_KEY, "Publisher", "Kestrine Software");
    WriteMachineStringValue(UNINSTALL_KEY, "UninstallString", command);
    WriteMachineStringValue(UNINSTALL_KEY, "DisplayIcon", copyPath);
}

} // namespace

int RunInstall(SetupContextRecord& context) {
    CopyText(context.errorCaption, sizeof(context.errorCaption), "MOSSGATE Installation Error");

    SetStatusText(context, "Extract Package");
    if (LoadPackageDirectory(context) != 0) {
        return Fail(context, PACKAGE_TEXT, INSTALL_PACKAGE_UNUSABLE);
    }
    SetStatusText(context, "Copy Files");
    if (ComposeInstallFolder(context, INSTALL_SUB_PATH) != 0) {
        return Fail(context, FOLDER_TEXT, INSTALL_NO_PROGRAM_FILES);
    }
    if (CreateFolderPath(context.installFolder) != 1) {
        return Fail(context, FOLDER_TEXT, INSTALL_FOLDER_NOT_CREATED);
    }
    if (ExtractPackage(context) != 0) {
        return Fail(context, COPY_TEXT, INSTALL_EXTRACTION_FAILED);
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
    char copyPath[PATH_BYTES];
    if (CopySetupProgram(context, copyPath, sizeof(copyPath))) {
        WriteUninstallEntry(copyPath);
    }
    SetStatusText(context, "Installation Completed");
    PostProcedureEnd(context, END_INSTALLED);
    return 0;
}

} // namespace mossgate

// Fixed names, paths and codes of the product, shared by every part of the program.
#pragma once

// The publisher's web address, ending every "download the official package" text.
// No real site stands behind it: it lies in the reserved .example domain.
#define MOSSGATE_PUBLISHER_WEB_ADDRESS "https://www.kestrine.example"

namespace mossgate {

constexpr const char* SINGLE_INSTANCE_MUTEX =
    "Kestrine MOSSGATE CD-Package-Installation-Mutex-{C76D3BC2-E852-4d06-A133-CBF7B878E752}";
constexpr const char* WINDOW_CLASS_NAME = "MossgatePack0Installer0MainWindow0";
constexpr const char* TITLE_FORMAT = "Kestrine MOSSGATE Package Installation (Version %s)";
constexpr const char* VERSION_TEXT = "2.1.5.2";
constexpr int ICON_ID = 100;
constexpr int BACKGROUND_BITMAP_ID = 101;
constexpr int PACKAGE_RESOURCE_ID = 100;

// Process exit codes of the start-up itself.
constexpr int EXIT_ANOTHER_COPY_RUNS = -1;
constexpr int EXIT_STARTUP_ERROR = -700; // after a "Startup Error" box
constexpr int EXIT_NOTHING_TO_DO = -701; // silent, and neither install nor remove asked for

constexpr const char* INSTALL_SUB_PATH = "KS\\MOSSGATE_CD_Pack";
constexpr const char* START_MENU_SUB_PATH = "Kestrine\\MOSSGATE_CD_Pack";
// The name of the program's copy in the install folder when its own file name has
// no exact form in the ANSI code page.
constexpr const char* SETUP_PROGRAM_FILE_NAME = "MOSSGATE_CD_Pack_Setup.exe";

// Folder levels of a relative path such as INSTALL_SUB_PATH: the program's own.
constexpr int ComponentCount(const char* relative) {
    int count = 1;
    for (; *relative != '\0'; ++relative) {
        count += *relative == '\\' ? 1 : 0;
    }
    return count;
}
constexpr int INSTALL_FOLDER_LEVELS = ComponentCount(INSTALL_SUB_PATH);
constexpr int START_MENU_LEVELS = ComponentCount(START_MENU_SUB_PATH);
constexpr const char* DRIVER_C_SETUP = "MOSSGATE_C_Setup";
constexpr const char* DRIVER_D_SETUP = "MOSSGATE_D_Setup";
constexpr const char* SHELL_FOLDERS_KEY =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* PROGRAMS_VALUE = "Programs";
constexpr const char* UNINSTALL_KEY =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KS:MOSSGATE_CD {C76D3BC2-E852-4d06}";

struct ShortcutName {
    const char* name;   // also the link's description
    const char* target; // file in the install folder
};

constexpr ShortcutName SHORTCUTS[] = {
    {"Readme", "readme.txt"},
    {"MOSSGATE C Control Panel", "MOSSGATE_C_ControlPanel.exe"},
    {"MOSSGATE D Control Panel", "MOSSGATE_D_ControlPanel.exe"},
};

} // namespace mossgate

// Fixed names and codes of the program.
#pragma once

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

} // namespace mossgate

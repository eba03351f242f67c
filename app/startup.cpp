#include "app/startup.h"

#include "app/bounded_text.h"
#include "app/command_line.h"
#include "app/program_names.h"
#include "app/setup_context.h"
#include "app/window_procedure.h"
#include "env/folders.h"
#include "env/os_version.h"
#include "env/system_library.h"

#include <objbase.h>

namespace mossgate {

namespace {

constexpr UINT STARTUP_ERROR_STYLE = MB_ICONWARNING;

void ShowStartupError(const char* text) {
    MessageBoxA(nullptr, text, "Startup Error", STARTUP_ERROR_STYLE);
}

HWND CreateMainWindow(HINSTANCE instance, WNDPROC procedure, const char* menuName,
                      const char* title) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ICON_ID));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(12));
    windowClass.lpszMenuName = menuName;
    windowClass.lpszClassName = WINDOW_CLASS_NAME;
    if (RegisterClassA(&windowClass) == 0) {
        ShowStartupError("Failed to register window class...");
        return nullptr;
    }
    constexpr DWORD style =
        WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    HWND window = CreateWindowExA(0, WINDOW_CLASS_NAME, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  900, 300, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        ShowStartupError("Failed to create window...");
        return nullptr;
    }
    if (silentMode != 0) {
        ShowWindow(window, SW_HIDE);
    } else {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

int RunMessageLoop() {
    MSG message;
    // GetMessage answers -1 only for a bad window filter, which is never given here.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int RunSetupProgram(HINSTANCE instance, const char* commandLine) {
    RestrictDllSearch();
    ParseCommandLine(commandLine);

    HANDLE mutex = CreateMutexA(nullptr, TRUE, SINGLE_INSTANCE_MUTEX);
    if (mutex == nullptr) {
        return EXIT_ANOTHER_COPY_RUNS;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return EXIT_ANOTHER_COPY_RUNS;
    }
    WaitForSingleObject(mutex, INFINITE);

    DiscoverCommonProgramsFolder();
    ZeroSetupContext(SetupContext);
    SetupContext.instance = instance;
    SetupContext.is64BitWindows = DetectWow64();

    char title[128];
    FormatWithText(title, sizeof(title), TITLE_FORMAT, VERSION_TEXT);

    const HRESULT comResult = CoInitialize(nullptr);
    const HWND window = CreateMainWindow(instance, MainWindowProcedure, nullptr, title);
    // Without a window nobody would ever post the quit message: end at once.
    const int exitCode = window != nullptr ? RunMessageLoop() : EXIT_STARTUP_ERROR;

    ReleaseMutex(mutex);
    CloseHandle(mutex);
    if (comResult == S_OK) {
        CoUninitialize();
    }
    return exitCode;
}

} // namespace mossgate

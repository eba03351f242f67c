#include "app/startup.h"

#include "app/setup_context.h"
#include "app/window_procedure.h"
#include "common/portable/bounded_text.h"
#include "common/product_names.h"
#include "common/win32/holders.h"
#include "common/win32/system_library.h"
#include "env/folders.h"
#include "env/os_version.h"

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
    RestrictDllSearch(!RunsOnWindowsVista());
    ParseCommandLine(commandLine);
    // A hidden window with no action would wait for a close that nobody can give.
    if (silentMode != 0 && installRequested == 0 && uninstallRequested == 0) {
        return EXIT_NOTHING_TO_DO;
    }

    OwnedMutex mutex(CreateMutexA(nullptr, TRUE, SINGLE_INSTANCE_MUTEX));
    const bool anotherCopyRuns = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mutex.Get() == nullptr || anotherCopyRuns) {
        return EXIT_ANOTHER_COPY_RUNS;
    }
    WaitForSingleObject(mutex.Get(), INFINITE);

    DiscoverCommonProgramsFolder();
    ZeroSetupContext(SetupContext);
    SetupContext.instance = instance;
    SetupContext.is64BitWindows = DetectWow64();

    char title[128];
    FormatWithText(title, sizeof(title), TITLE_FORMAT, VERSION_TEXT);

    const ComApartment com;
    const HWND window = CreateMainWindow(instance, MainWindowProcedure, nullptr, title);
    // Without a window nobody would ever post the quit message: end at once.
    const int exitCode = window != nullptr ? RunMessageLoop() : EXIT_STARTUP_ERROR;
    // The mutex is released once and closed before COM ends.
    mutex.Reset();
    return exitCode;
}

} // namespace mossgate

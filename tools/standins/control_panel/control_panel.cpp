// Stand-in for a driver's control panel: one plain window with a few texts and a
// Close button, ending with exit code 0 when it is closed. The build defines
// MOSSGATE_STANDIN_DRIVER_C or MOSSGATE_STANDIN_DRIVER_D. With MOSSGATE_STANDIN_LOG
// set it appends a start record, as the driver setup stand-ins do.
#include "tools/standins/common/standin_settings.h"

namespace {

#if defined(MOSSGATE_STANDIN_DRIVER_C) == defined(MOSSGATE_STANDIN_DRIVER_D)
#error "define exactly one of MOSSGATE_STANDIN_DRIVER_C and MOSSGATE_STANDIN_DRIVER_D"
#endif
#if defined(MOSSGATE_STANDIN_DRIVER_C)
#define MOSSGATE_STANDIN_NAME "MOSSGATE C"
#else
#define MOSSGATE_STANDIN_NAME "MOSSGATE D"
#endif

constexpr char kWindowClass[] = "MossgateStandinControlPanel";
constexpr char kTitle[] = MOSSGATE_STANDIN_NAME " Control Panel";
constexpr const char* kTexts[] = {
    "Stand-in control panel of the " MOSSGATE_STANDIN_NAME " virtual audio driver",
    "Kestrine",
    "This window stands in for the driver's own control panel; it changes nothing.",
};
constexpr int kCloseButtonId = IDCANCEL;
constexpr int kMargin = 16;
constexpr int kTextHeight = 20;
constexpr int kClientWidth = 480;

void AddControls(HWND window, HINSTANCE instance) {
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    int y = kMargin;
    for (const char* text : kTexts) {
        HWND label = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT, kMargin, y,
                                     kClientWidth - 2 * kMargin, kTextHeight, window, nullptr,
                                     instance, nullptr);
        SendMessageA(label, WM_SETFONT, font, FALSE);
        y += kTextHeight + 4;
    }
    HWND close = CreateWindowExA(
        0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
        kClientWidth - kMargin - 88, y + 8, 88, 26, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseButtonId)), instance, nullptr);
    SendMessageA(close, WM_SETFONT, font, FALSE);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        AddControls(window, reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCloseButtonId) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int Run(HINSTANCE instance, int show) {
    if (const auto log = mossgate::standins::ReadEnvironment("MOSSGATE_STANDIN_LOG")) {
        mossgate::standins::AppendStartRecord(*log);
    }
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExA(&windowClass) == 0) {
        return 1;
    }
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = {0, 0, kClientWidth, 2 * kMargin + 3 * (kTextHeight + 4) + 8 + 26};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = CreateWindowExA(0, kWindowClass, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    return Run(instance, show);
}

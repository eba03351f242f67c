#include "app/window_procedure.h"

#include "app/setup_context.h"

namespace mossgate {

namespace {

LRESULT OnCreate(HWND window) {
    SetupContext.mainWindow = window;
    SetFocus(window);
    return 0;
}

LRESULT OnClose() {
    if (SetupContext.workerRunning.load() == 0) {
        PostMessageA(SetupContext.mainWindow, WM_DESTROY, 0, 0);
    }
    return 0;
}

LRESULT OnDestroy() {
    PostQuitMessage(0);
    return 0;
}

} // namespace

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_CLOSE:
        return OnClose();
    case WM_DESTROY:
        return OnDestroy();
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace mossgate

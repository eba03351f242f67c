#include "app/window_procedure.h"

#include "app/accessibility.h"
#include "app/messages.h"
#include "app/portable/window_layout.h"
#include "app/publisher_links.h"
#include "app/rendering.h"
#include "app/setup_context.h"
#include "app/window_size.h"
#include "app/worker.h"
#include "common/win32/file_system.h"
#include "common/win32/holders.h"
#include "common/win32/wide_text.h"
#include "env/driver_probe.h"
#include "env/os_version.h"
#include "procedures/uninstall.h"

namespace mossgate {

namespace {

constexpr UINT_PTR ANIMATION_TIMER_ID = 12347;
constexpr UINT TIMER_PERIOD_MS = 500;
constexpr DWORD PRESS_DELAY_MS = 200;
constexpr UINT FAILURE_BOX_STYLE = MB_SYSTEMMODAL | MB_ICONERROR;
constexpr UINT REBOOT_BOX_STYLE = MB_SYSTEMMODAL | MB_ICONWARNING;

// The client area is the picture plus the status panel.
void SizeToPicture(HWND window) {
    SizeWindowToClient(window, SetupContext.bitmapWidth,
                       SetupContext.bitmapHeight + STATUS_PANEL_HEIGHT);
}

void StoreProgramPath(SetupContextRecord& context) {
    // Read exactly, then kept only when the ANSI text names the same file: a cut path,
    // or one whose letters the ANSI code page lacks, would name another file.
    WCHAR path[PATH_BYTES];
    if (!ReadProgramPath(path, PATH_BYTES) ||
        !WideToAnsiExactly(path, context.setupProgramPath, sizeof(context.setupProgramPath))) {
        context.setupProgramPath[0] = '\0';
    }
}

void OpenLink(const StoredLink& link) {
    OpenPublisherLink(link.bytes, link.length);
}

// The box of an end message; false for a parameter that is no end.
bool ShowEndBox(LPARAM end) {
    if (end == END_FAILED) {
        MessageBoxA(SetupContext.mainWindow, SetupContext.errorText, SetupContext.errorCaption,
                    FAILURE_BOX_STYLE);
        return true;
    }
    if (end == END_INSTALLED) {
        OpenLink(AFTER_INSTALL_LINK);
        MessageBoxA(SetupContext.mainWindow,
                    "Installation Complete and Successful !\n\nYOU MUST REBOOT your system to "
                    "finalize installation",
                    "REBOOT YOUR SYSTEM", REBOOT_BOX_STYLE);
        return true;
    }
    return false;
}

// The end of the install worker's procedure: its box, then the window closes.
void ShowEndBoxThenClose(LPARAM end) {
    if (ShowEndBox(end)) {
        PostMessageA(SetupContext.mainWindow, WM_CLOSE, 0, 0);
    }
}

// A procedure run on this thread has posted its end message, and the window is
// about to ask to close or quit. Handled here first, the box stays on screen until
// the user dismisses it; behind a destroy or quit request, the platform would end
// the box's own message loop at once.
void ShowQueuedEndBoxes() {
    if (silentMode != 0) {
        return;
    }
    MSG message;
    while (PeekMessageA(&message, SetupContext.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        if (LOWORD(message.wParam) == CMD_PROCEDURE_END) {
            ShowEndBox(message.lParam);
        }
    }
}

void ButtonAction(HWND window) {
    {
        WindowDC dc(window);
        DrawButton(SetupContext, dc.Get(), ButtonLook::Pressed);
    }
    // Not Sleep: where the system puts a window's drawing on screen only while its
    // thread waits for messages (Wine does), the pressed look would never be seen.
    // With no wake mask no message ends this wait early.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, PRESS_DELAY_MS, 0);
    if (SetupContext.driverInstalled == 0) {
        if (StartWorker(SetupContext, WorkerWait::ReturnAtOnce) == 0) {
            AnnounceChanges(window);
            return;
        }
        MessageBoxA(window, "Failed to launch Procedure...", "MOSSGATE Installation Error",
                    FAILURE_BOX_STYLE);
        PostMessageA(SetupContext.mainWindow, WM_DESTROY, 0, 0);
        return;
    }
    AnnounceRemoval(window);
    RunUninstall(SetupContext);
    ShowQueuedEndBoxes();
    PostMessageA(SetupContext.mainWindow, WM_DESTROY, 0, 0);
}

void OnCreate(HWND window) {
    SetupContext.mainWindow = window;
    CreateDrawingResources(SetupContext);
    SetupContext.osCode = ClassifyOperatingSystem();
    StoreProgramPath(SetupContext);
    SetupContext.driverInstalled = ProbeInstalledDrivers();
    if (silentMode == 0) {
        SizeToPicture(window);
        SetupContext.animationTimer =
            static_cast<int32_t>(SetTimer(window, ANIMATION_TIMER_ID, TIMER_PERIOD_MS, nullptr));
    }
    if (installRequested == 1 || uninstallRequested == 1) {
        PostMessageA(window, WM_COMMAND, CMD_COMMAND_LINE_RUN, COMMAND_LINE_RUN_PARAMETER);
    }
    SetFocus(window);
}

void OnDestroy(HWND window) {
    if (SetupContext.animationTimer != 0) {
        KillTimer(window, static_cast<UINT_PTR>(SetupContext.animationTimer));
    }
    SetupContext.animationTimer = 0;
    ReleaseAccessibleObject();
    ReleaseDrawingObjects(SetupContext);
    PostQuitMessage(0);
}

void OnClose() {
    if (!IsWorkerRunning(SetupContext)) {
        PostMessageA(SetupContext.mainWindow, WM_DESTROY, 0, 0);
    }
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintWindow(SetupContext, dc);
    EndPaint(window, &paint);
}

void OnEraseBackground(HDC dc) {
    BlitBackground(dc, 0, 0, SetupContext.backgroundBitmap, SetupContext);
}

void OnKeyDown(HWND window, WPARAM key) {
    if (key == VK_RETURN && !IsWorkerRunning(SetupContext)) {
        ButtonAction(window);
    } else if (key == VK_ESCAPE) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}

void OnTimer(HWND window, WPARAM timer) {
    if (timer != ANIMATION_TIMER_ID) {
        return;
    }
    if (IsWorkerRunning(SetupContext)) {
        SetupContext.animationTicks += 1;
        WindowDC dc(window);
        DrawProgressBox(SetupContext, dc.Get(), SetupContext.animationTicks & 1);
    }
    AnnounceChanges(window); // also the end of the install, which stops the drawing
}

void OnMouseMove(LPARAM position) {
    const int y = static_cast<short>(HIWORD(position));
    if (y < SetupContext.bitmapHeight) {
        SetCursor(SetupContext.handCursor);
    }
}

void OnLeftButtonDown(HWND window, LPARAM position) {
    if (IsWorkerRunning(SetupContext)) {
        return;
    }
    const int x = static_cast<short>(LOWORD(position));
    const int y = static_cast<short>(HIWORD(position));
    const ClientRect& b = SetupContext.buttonRect;
    if (StrictlyInside({b.left, b.top, b.right, b.bottom}, x, y)) {
        ButtonAction(window);
    } else if (y < SetupContext.bitmapHeight) {
        OpenLink(PUBLISHER_LINK);
    }
}

// Removal when a driver was found, whichever switch was given; else the install,
// waited for, with "-i"; else, with "-u", the removal of whatever an interrupted
// run left of the program's own. The result becomes the exit code.
void OnCommandLineRun() {
    int result = 0;
    if (SetupContext.driverInstalled != 0) {
        result = RunUninstall(SetupContext);
    } else if (installRequested == 1) {
        result = StartWorker(SetupContext, WorkerWait::UntilEnded);
    } else {
        result = RemoveRemains(SetupContext);
    }
    ShowQueuedEndBoxes();
    ReleaseDrawingObjects(SetupContext);
    PostQuitMessage(result);
}

void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    const WORD command = LOWORD(wParam);
    if (silentMode == 0 && command == CMD_PROCEDURE_END) {
        ShowEndBoxThenClose(lParam);
    } else if (command == CMD_COMMAND_LINE_RUN && lParam == COMMAND_LINE_RUN_PARAMETER) {
        OnCommandLineRun();
    } else if (command == CMD_PRESS_BUTTON && ButtonAvailable(window)) {
        // Checked again here: the state may have changed since the press was posted.
        ButtonAction(window);
    }
}

} // namespace

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        break;
    case WM_DESTROY:
        OnDestroy(window);
        break;
    case WM_PAINT:
        OnPaint(window);
        break;
    case WM_CLOSE:
        OnClose();
        break;
    case WM_ERASEBKGND:
        OnEraseBackground(reinterpret_cast<HDC>(wParam));
        return TRUE; // erased: the system leaves the background alone
    case WM_KEYDOWN:
        OnKeyDown(window, wParam);
        break;
    case WM_COMMAND:
        OnCommand(window, wParam, lParam);
        break;
    case WM_TIMER:
        OnTimer(window, wParam);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        break;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(window, lParam);
        break;
    case WM_GETOBJECT:
        return AnswerGetObject(window, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return 0; // what each message handled above answers when it is handled
}

} // namespace mossgate

// Windows of this process sized for their client area, with frames that the
// frame metrics describe and frames they do not.
#include "app/window_size.h"
#include "common/win32/holders.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate;

constexpr const char* kClass = "WindowSizeTest";

struct TestWindow {
    HWND handle = nullptr;
    HMENU menu = nullptr;
    TestWindow(DWORD style, bool withMenu) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClass;
        RegisterClassA(&windowClass); // a second registration fails harmlessly
        if (withMenu) {
            menu = CreateMenu();
            AppendMenuA(menu, MF_STRING, 1, "&File");
        }
        handle = CreateWindowExA(0, kClass, "sizing", style, 40, 30, 100, 100, nullptr, menu,
                                 GetModuleHandleA(nullptr), nullptr);
    }
    ~TestWindow() {
        DestroyWindow(handle); // destroys its menu too
    }
    RECT Client() const {
        RECT client = {};
        GetClientRect(handle, &client);
        return client;
    }
    RECT Frame() const {
        RECT frame = {};
        GetWindowRect(handle, &frame);
        return frame;
    }
};

// The program's own style, then a frame the metrics do not describe: a menu bar. Each time the
// client area comes out exact and the window stays where it was.
TEST(WindowSize, TheClientAreaIsExactWhateverTheFrame) {
    const struct {
        DWORD style;
        bool menu;
        int width;
        int height;
    } cases[] = {
        {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, false, 900, 524},
        {WS_POPUP | WS_CAPTION | WS_SYSMENU, true, 640, 300},
    };
    for (const auto& c : cases) {
        TestWindow window(c.style, c.menu);
        ASSERT_NE(window.handle, nullptr);
        const RECT before = window.Frame();
        SizeWindowToClient(window.handle, c.width, c.height);
        const RECT client = window.Client();
        EXPECT_EQ(client.right - client.left, c.width) << c.style << " menu " << c.menu;
        EXPECT_EQ(client.bottom - client.top, c.height) << c.style << " menu " << c.menu;
        const RECT after = window.Frame();
        EXPECT_EQ(after.left, before.left);
        EXPECT_EQ(after.top, before.top);
        EXPECT_TRUE(IsWindowVisible(window.handle));
    }
}

} // namespace

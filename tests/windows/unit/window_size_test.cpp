// Windows of this process sized for their client area, with frames that the
// frame metrics describe and frames they do not.
#include "app/window_size.h"
#include "common/win32/holders.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace mossgate;

// The program's own style, then a frame the metrics do not describe: a menu bar. Each time the
// client area comes out exact and the window stays where it was.
TEST(WindowSize, TheClientAreaIsExactWhateverTheFrame) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "WindowSizeTest";
    RegisterClassA(&windowClass);
    const struct {
        DWORD style;
        bool menu;
        LONG width;
        LONG height;
    } cases[] = {
        {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, false, 900, 524},
        {WS_POPUP | WS_CAPTION | WS_SYSMENU, true, 640, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.menu ? "with a menu bar" : "the program's style");
        const HMENU menu = c.menu ? CreateMenu() : nullptr;
        AppendMenuA(menu, MF_STRING, 1, "&File");
        // Destroying the window destroys its menu too.
        const HWND window =
            CreateWindowExA(0, windowClass.lpszClassName, "sizing", c.style, 40, 30, 100, 100,
                            nullptr, menu, windowClass.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        RECT before = {}, client = {}, after = {};
        GetWindowRect(window, &before);
        SizeWindowToClient(window, c.width, c.height);
        GetClientRect(window, &client);
        GetWindowRect(window, &after);
        EXPECT_EQ(std::make_pair(client.right - client.left, client.bottom - client.top),
                  std::make_pair(c.width, c.height));
        EXPECT_EQ(std::make_pair(after.left, after.top), std::make_pair(before.left, before.top));
        EXPECT_TRUE(IsWindowVisible(window));
        DestroyWindow(window);
    }
}

} // namespace

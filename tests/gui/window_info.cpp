// Small probe for the GUI tests, run in the same prefix as the program:
//   window_info.exe client CLASS   prints "x y width height" of the client area in
//                                  screen coordinates (Wine's are the X root's)
//   window_info.exe close CLASS    posts WM_CLOSE, as the close box does
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_info.exe client|close CLASS\n");
        return 2;
    }
    HWND window = FindWindowA(argv[2], nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "no window of class %s\n", argv[2]);
        return 1;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    RECT client = {};
    POINT origin = {0, 0};
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
}

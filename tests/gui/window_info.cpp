// Small probe for the GUI tests, run in the same prefix as the program:
//   window_info.exe client CLASS   prints "x y width height" of the client area in
//                                  screen coordinates (Wine's are the X root's)
//   window_info.exe close CLASS    posts WM_CLOSE, as the close box does
//   window_info.exe tree CLASS     prints the children of the window's accessible
//                                  object, one a line, tab-separated: role, name,
//                                  value, state, place (client x y width height)
//   window_info.exe end-shell      ends the desktop's shell: under Wine the process
//                                  that owns the desktop window (explorer.exe)
#include <windows.h>

#include <ole2.h>
#include <oleacc.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

int PrintTree(HWND window) {
    CoInitialize(nullptr);
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
        std::fprintf(stderr, "no accessible object\n");
        return 1;
    }
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    LONG count = 0;
    object->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) {
        VARIANT child, role, state;
        VariantInit(&role);
        VariantInit(&state);
        VariantInit(&child);
        V_VT(&child) = VT_I4;
        V_I4(&child) = id;
        char text[256] = "";
        object->get_accRole(child, &role);
        GetRoleTextA(V_I4(&role), text, sizeof(text));
        std::printf("%s\t", text);
        for (auto get : {&IAccessible::get_accName, &IAccessible::get_accValue}) {
            BSTR wide = nullptr;
            (object->*get)(child, &wide);
            text[0] = '\0';
            WideCharToMultiByte(CP_ACP, 0, wide != nullptr ? wide : L"", -1, text, sizeof(text),
                                nullptr, nullptr);
            SysFreeString(wide);
            std::printf("%s\t", text);
        }
        object->get_accState(child, &state);
        const char* separator = "";
        for (DWORD bit = 1; bit != 0; bit <<= 1) {
            if ((V_I4(&state) & bit) != 0 && GetStateTextA(bit, text, sizeof(text)) != 0) {
                std::printf("%s%s", separator, text);
                separator = ",";
            }
        }
        LONG x = 0, y = 0, width = 0, height = 0;
        object->accLocation(&x, &y, &width, &height, child);
        std::printf("\t%ld %ld %ld %ld\n", x - origin.x, y - origin.y, width, height);
    }
    object->Release();
    CoUninitialize();
    return 0;
}

// Waits until the shell has gone, so that what follows finds no shell.
int EndDesktopShell() {
    DWORD id = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &id);
    HANDLE shell = id != 0 ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr;
    if (shell == nullptr) {
        std::fprintf(stderr, "no desktop shell process\n");
        return 1;
    }
    const bool ended =
        TerminateProcess(shell, 1) && WaitForSingleObject(shell, 10000) == WAIT_OBJECT_0;
    CloseHandle(shell);
    return ended ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "end-shell") == 0) {
        return EndDesktopShell();
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_info.exe client|close|tree CLASS, or end-shell\n");
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
    if (std::strcmp(argv[1], "tree") == 0) {
        return PrintTree(window);
    }
    RECT client = {};
    POINT origin = {0, 0};
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
}

// Finds a process's top-level window of a class, hidden ones included. Header-only:
// the scripts' launcher uses it without the test framework.
#pragma once

#include <windows.h>

#include <cstring>

namespace mossgate::testing {

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

inline BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[256] = "";
    GetClassNameA(window, name, sizeof(name));
    if (owner == search->processId && std::strcmp(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

inline HWND FindProcessWindow(DWORD processId, const char* className) {
    WindowSearch search{processId, className, nullptr};
    EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace mossgate::testing

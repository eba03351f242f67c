// Finds a process's top-level window of a class, hidden ones included. Header-only:
// the scripts' launcher uses it without the test framework.
#pragma once

#include <windows.h>

#include <cstring>

namespace mossgate::testing {

inline HWND FindProcessWindow(DWORD processId, const char* className) {
    struct Search {
        DWORD processId;
        const char* className;
        HWND found;
    } search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[256] = "";
            GetClassNameA(window, name, sizeof(name));
            if (owner == s->processId && std::strcmp(name, s->className) == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace mossgate::testing

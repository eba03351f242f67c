// Leaves "<module path><suffix>" behind: how planted programs and DLLs show that
// they were loaded or started.
#pragma once

#include <windows.h>

inline void LeaveTraceBeside(HMODULE module, const char* suffix) {
    char path[MAX_PATH + 16];
    const DWORD cch = GetModuleFileNameA(module, path, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH || lstrlenA(suffix) > 15) {
        return;
    }
    lstrcatA(path, suffix);
    HANDLE trace =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (trace != INVALID_HANDLE_VALUE) {
        CloseHandle(trace);
    }
}

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

// Appends the program's own path and a line break to the file at logPath.
inline void AppendOwnPath(const char* logPath) {
    char line[MAX_PATH + 2];
    const DWORD cch = GetModuleFileNameA(nullptr, line, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) {
        return;
    }
    line[cch] = '\r';
    line[cch + 1] = '\n';
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(log, line, cch + 2, &written, nullptr);
        CloseHandle(log);
    }
}

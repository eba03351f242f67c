// Stands in for a DLL that an attacker plants beside the program: when loaded it
// leaves "<its own path>.loaded" behind.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 16];
        const DWORD cch = GetModuleFileNameA(instance, path, MAX_PATH);
        if (cch > 0 && cch < MAX_PATH) {
            lstrcatA(path, ".loaded");
            HANDLE trace = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
            if (trace != INVALID_HANDLE_VALUE) {
                CloseHandle(trace);
            }
        }
    }
    return TRUE;
}

// Leaves "<its own path>.ran" behind and ends: planted where a program must never
// be started by mistake.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH + 8];
    const DWORD cch = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (cch > 0 && cch < MAX_PATH) {
        lstrcatA(path, ".ran");
        HANDLE trace = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (trace != INVALID_HANDLE_VALUE) {
            CloseHandle(trace);
        }
    }
    return 0;
}

// Stands in for the web browser: appends the link it was asked to open, one line a
// start, to "<its own path>.links".
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char path[MAX_PATH + 8];
    const DWORD cch = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) {
        return 1;
    }
    lstrcatA(path, ".links");
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(log, commandLine, lstrlenA(commandLine), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
    return 0;
}

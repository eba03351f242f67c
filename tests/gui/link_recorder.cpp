// Stands in for the web browser: appends the link it was asked to open and the
// image name of the process that started it (which token it got), tab-separated,
// one line a start, to "<its own path>.links".
#include <windows.h>

#include <tlhelp32.h>

namespace {

// The parent's image name, or "?" when it has already gone.
void ParentImage(char* name, int cbName) {
    lstrcpynA(name, "?", cbName);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD parent = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more && parent == 0;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            parent = entry.th32ParentProcessID;
        }
    }
    for (BOOL more = Process32First(snapshot, &entry); more && parent != 0;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == parent) {
            lstrcpynA(name, entry.szExeFile, cbName);
            break;
        }
    }
    CloseHandle(snapshot);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char path[MAX_PATH + 8];
    const DWORD cch = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) {
        return 1;
    }
    lstrcatA(path, ".links");
    char parent[MAX_PATH];
    ParentImage(parent, sizeof(parent));
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(log, commandLine, lstrlenA(commandLine), &written, nullptr);
    WriteFile(log, "\t", 1, &written, nullptr);
    WriteFile(log, parent, lstrlenA(parent), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
    return 0;
}

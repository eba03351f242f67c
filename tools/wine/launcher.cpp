// Runs a Windows program under Wine and prints its exit code as the full signed
// 32-bit value (the Linux shell sees only the low 8 bits).
//   launcher.exe [--close-window CLASS] PROGRAM [ARGUMENTS...]
// With --close-window the launcher posts WM_CLOSE to the program's first window of
// that class once it exists (for a program that waits in its message loop).
#include "tests/windows/support/window_search.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void CloseWindowWhenItAppears(const PROCESS_INFORMATION& info, const char* className) {
    while (WaitForSingleObject(info.hProcess, 100) == WAIT_TIMEOUT) {
        HWND found = mossgate::testing::FindProcessWindow(info.dwProcessId, className);
        if (found != nullptr) {
            PostMessageA(found, WM_CLOSE, 0, 0);
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    int first = 1;
    const char* closeClass = nullptr;
    if (argc > 2 && std::strcmp(argv[1], "--close-window") == 0) {
        closeClass = argv[2];
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: launcher.exe [--close-window CLASS] PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    std::string commandLine = std::string("\"") + argv[first] + "\"";
    for (int i = first + 1; i < argc; ++i) {
        commandLine += std::string(" ") + argv[i];
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(argv[first], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        std::fprintf(stderr, "launcher: cannot start %s (error %lu)\n", argv[first],
                     GetLastError());
        return 1;
    }
    if (closeClass != nullptr) {
        CloseWindowWhenItAppears(info, closeClass);
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::printf("exit code: %ld\n", static_cast<long>(static_cast<int32_t>(code)));
    return 0;
}

// Stands in for a DLL that an attacker plants beside the program: when loaded it
// leaves "<its own path>.loaded" behind.
#include "tests/windows/support/trace_file.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        LeaveTraceBeside(instance, ".loaded");
    }
    return TRUE;
}

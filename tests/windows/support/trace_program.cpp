// Leaves "<its own path>.ran" behind and ends: planted where a program must never
// be started by mistake. Where MOSSGATE_TRACE_LOG names a file, its own path is
// appended there too, a place that outlives the folder it was started from.
#include "tests/windows/support/trace_file.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    LeaveTraceBeside(nullptr, ".ran");
    char log[MAX_PATH];
    const DWORD cch = GetEnvironmentVariableA("MOSSGATE_TRACE_LOG", log, sizeof(log));
    if (cch != 0 && cch < sizeof(log)) {
        AppendOwnPath(log);
    }
    return 0;
}

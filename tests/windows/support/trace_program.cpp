// Leaves "<its own path>.ran" behind and ends: planted where a program must never
// be started by mistake.
#include "tests/windows/support/trace_file.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    LeaveTraceBeside(nullptr, ".ran");
    return 0;
}

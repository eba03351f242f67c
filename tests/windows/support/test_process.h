// Starting and judging Windows programs from tests, with full 32-bit exit codes.
#pragma once

#include "common/win32/holders.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mossgate::testing {

struct ChildProcess {
    UniqueHandle process;
    UniqueHandle thread;
    DWORD id = 0;
};

// The folder of the running test program, without a trailing backslash.
std::string ExecutableFolder();
// The twin built beside the tests.
std::string TwinPath();

// Starts `program` with `arguments` after its quoted name; false when it cannot start.
bool StartProgram(const std::string& program, const std::string& arguments, ChildProcess& child,
                  const char* currentFolder = nullptr);

// A time limit stretched by MOSSGATE_TIME_SCALE, which the emulated machine sets:
// for every wait for something to happen, and every pause that waits for something
// not to happen. The waits below stretch theirs themselves.
DWORD Scaled(DWORD milliseconds);

// The exit code as a signed 32-bit value, or nothing when the child is still running.
std::optional<int32_t> WaitForExit(const ChildProcess& child, DWORD timeoutMs);

// Runs a whole command line as Windows and management tools run a command: no
// program name apart. The exit code, or nothing when it cannot start or does not end.
std::optional<int32_t> RunCommandLine(const std::string& commandLine, DWORD timeoutMs = 120000);

// A running process whose image name begins with `prefix` (case ignored), opened to
// wait for it and end it; waits up to timeoutMs for one to appear.
bool FindProcess(const std::string& prefix, ChildProcess& found, DWORD timeoutMs);

// A top-level window of the given class owned by the process, hidden ones included.
HWND WaitForProcessWindow(DWORD processId, const char* className, DWORD timeoutMs);

// True once `done()` holds, false when it does not within the (scaled) time limit.
template <typename Done> bool WaitUntil(Done done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + Scaled(timeoutMs);
    while (!done()) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// Creates or replaces the file with exactly these bytes; false when it cannot.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

} // namespace mossgate::testing

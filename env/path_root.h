// Path text operations of the folder discovery; no system calls.
#pragma once

#include <cstddef>

namespace mossgate {

// Cuts a path in place to its root: "C:\WINDOWS" gives "C:", "\\server\share\x"
// gives "\\server". Returns 1 when it cut, 0 when the text stayed unchanged.
int PathRoot(char* path);

// Program Files fallback built from the Windows folder: its root (or "C:" when the
// Windows folder is unknown, that is null) followed by "\Program Files\".
bool BuildProgramFilesFallback(char* destination, size_t cbDestination, const char* windowsFolder);

} // namespace mossgate

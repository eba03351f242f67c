// The three switches of the command line: "-h"/"-H" silent, "-i" install,
// "-u"/"-U" remove. Only the character right after each "-" counts.
#pragma once

#include <cstdint>

namespace mossgate {

struct CommandLineSwitches {
    int32_t silent = 0;
    int32_t install = 0;
    int32_t uninstall = 0;
};

// Pure scan of one command-line text; a missing or one-character text sets nothing.
CommandLineSwitches ScanCommandLine(const char* text);

} // namespace mossgate

// Process-wide flags, 0 at start, set to 1 by ParseCommandLine and never cleared.
extern int32_t silentMode;
extern int32_t installRequested;
extern int32_t uninstallRequested;

void ParseCommandLine(const char* text);

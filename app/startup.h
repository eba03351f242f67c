#pragma once

#include <windows.h>

namespace mossgate {

// The whole run from the command line to the quit message; returns the exit code.
int RunSetupProgram(HINSTANCE instance, const char* commandLine);

} // namespace mossgate

// Starts a driver's own setup program from the install folder and judges its exit code.
#pragma once

#include "app/setup_context.h"
#include "procedures/portable/exit_code.h"

namespace mossgate {

constexpr int DRIVER_SETUP_FAILED = -20;
constexpr int DRIVER_SETUP_NEEDS_RESTART = -21;
constexpr int DRIVER_SETUP_NO_PROCESS_HANDLE = -604;
constexpr int DRIVER_SETUP_NOT_STARTED = -605;

// Runs the driver's setup program from the install folder, with the install folder
// as its working folder. 0 on success; -20 and -21 after END_FAILED has been
// posted with the mode's text; -604 and -605 after END_FAILED with the text below,
// for a program that is not there or could not be started.
int RunDriverSetup(SetupContextRecord& context, const char* baseName, DriverSetupMode mode);

// Reports a driver setup program that cannot be started (END_FAILED with its own
// text) and returns -605.
int ReportDriverSetupNotStarted(SetupContextRecord& context);

// installFolder, separator, base name, "_x64.exe" on 64-bit Windows else ".exe".
bool BuildDriverSetupPath(char* path, size_t cbPath, const SetupContextRecord& context,
                          const char* baseName);
// The base name with "_x64.exe" on 64-bit Windows, else ".exe".
bool BuildDriverSetupName(char* name, size_t cbName, const SetupContextRecord& context,
                          const char* baseName);

} // namespace mossgate

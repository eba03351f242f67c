// Starts a driver's own setup program from the install folder and judges its exit code.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

enum class DriverSetupMode { Install, Uninstall };

constexpr int DRIVER_SETUP_FAILED = -20;
constexpr int DRIVER_SETUP_NEEDS_RESTART = -21;
constexpr int DRIVER_SETUP_NO_PROCESS_HANDLE = -604;
constexpr int DRIVER_SETUP_NOT_STARTED = -605;

// 0 on success (in uninstall mode also for a program that is not there); -20 and
// -21 after END_FAILED has been posted with the mode's text; -604 and -605, with
// nothing posted, for a child that could not be started.
int RunDriverSetup(SetupContextRecord& context, const char* baseName, DriverSetupMode mode);

// The same with the program taken from, and run in, another folder than the
// install folder.
int RunDriverSetupFrom(SetupContextRecord& context, const char* folder, const char* baseName,
                       DriverSetupMode mode);

// 1 when the file exists and opens for reading with read sharing, else 0.
int ProbeReadable(const char* path);

// installFolder, separator, base name, "_x64.exe" on 64-bit Windows else ".exe".
bool BuildDriverSetupPath(char* path, size_t cbPath, const SetupContextRecord& context,
                          const char* baseName);
bool BuildDriverSetupPathIn(char* path, size_t cbPath, const SetupContextRecord& context,
                            const char* folder, const char* baseName);
// The base name with "_x64.exe" on 64-bit Windows, else ".exe".
bool BuildDriverSetupName(char* name, size_t cbName, const SetupContextRecord& context,
                          const char* baseName);

} // namespace mossgate

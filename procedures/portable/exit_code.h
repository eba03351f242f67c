// What the exit code of a driver's own setup program means for the procedure that
// started it.
#pragma once

#include <cstdint>

namespace mossgate {

enum class DriverSetupMode { Install, Uninstall };

enum class SetupVerdict { Succeeded, Failed, NeedsRestart };

// The code read as a signed 32-bit value: below 0 (also any status with the top bit
// set) a failure; 1 in install mode a restart needed before installing; anything
// else success.
SetupVerdict JudgeExitCode(int32_t exitCode, DriverSetupMode mode);

} // namespace mossgate

#include "procedures/portable/exit_code.h"

namespace mossgate {

SetupVerdict JudgeExitCode(int32_t exitCode, DriverSetupMode mode) {
    if (exitCode < 0) {
        return SetupVerdict::Failed;
    }
    if (exitCode == 1 && mode == DriverSetupMode::Install) {
        return SetupVerdict::NeedsRestart;
    }
    return SetupVerdict::Succeeded;
}

} // namespace mossgate

// The uninstall procedure, run on the window thread.
#pragma once

#include "app/setup_context.h"

#include <windows.h>

namespace mossgate {

constexpr int UNINSTALL_PACKAGE_UNUSABLE = -1;
constexpr int UNINSTALL_NO_PROGRAM_FILES = -2;

// 0 when it got past both driver setup programs (the deletions may be partial);
// -1, -2 after END_FAILED; the driver setup runner's results otherwise.
int RunUninstall(SetupContextRecord& context);

} // namespace mossgate

// The uninstall procedure, run on the window thread.
#pragma once

#include "app/setup_context.h"

#include <windows.h>

namespace mossgate {

constexpr int UNINSTALL_PACKAGE_UNUSABLE = -1;
constexpr int UNINSTALL_NO_PROGRAM_FILES = -2;
constexpr int UNINSTALL_REMAINS_LEFT = -30;

// 0 when it got past both driver setup programs (the deletions may be partial);
// -1, -2 after END_FAILED; the driver setup runner's results otherwise.
int RunUninstall(SetupContextRecord& context);

// With no driver present: removes what an interrupted install or removal left of
// the program's own (install folder, shortcuts, uninstall entry); there is no
// driver setup program to run. 0 when nothing was there, or when all of it went or
// goes at the restart; -2 as RunUninstall; -30 after END_FAILED when something of
// the program's stays, the uninstall entry with it.
int RemoveRemains(SetupContextRecord& context);

} // namespace mossgate

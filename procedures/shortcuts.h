// The product's Start-menu shortcuts: "Kestrine\MOSSGATE_CD_Pack" with its three
// links below the per-user and the all-users Programs folders. The per-user folder
// comes from the registry; an empty text counts as missing, like the all-users one.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

constexpr size_t START_MENU_BYTES = 1024;

// 1 when the per-user Programs folder was read and is not empty.
int ReadUserProgramsFolder(char* folder, size_t cbFolder);

// programsFolder, separator, "Kestrine\MOSSGATE_CD_Pack"; false when it does not fit.
bool BuildStartMenuFolder(char* folder, size_t cbFolder, const char* programsFolder);

// The three shortcuts in both locations; a location that is missing, does not fit
// or cannot be made is skipped. COM must be initialised on the calling thread.
void CreateStartMenuShortcuts(const SetupContextRecord& context);

// Whether the Start-menu folder exists in either location.
bool AnyStartMenuFolder();

// The three shortcuts and their folder in both locations, as far as they go; what
// cannot go now goes at the restart where only administrators write. True when
// none of the shortcuts stays unplanned.
bool RemoveStartMenuShortcuts();

} // namespace mossgate

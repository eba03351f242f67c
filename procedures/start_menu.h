// The per-user Programs folder comes from the registry; an empty text counts as
// missing, like the all-users folder.
#pragma once

#include <cstddef>

namespace mossgate {

constexpr size_t START_MENU_BYTES = 1024;

// 1 when the per-user Programs folder was read and is not empty.
int ReadUserProgramsFolder(char* folder, size_t cbFolder);

// programsFolder, separator, "Kestrine\MOSSGATE_CD_Pack"; false when it does not fit.
bool BuildStartMenuFolder(char* folder, size_t cbFolder, const char* programsFolder);

} // namespace mossgate

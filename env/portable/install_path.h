// The Program Files fallback of the install folder, from the Windows folder's text.
#pragma once

#include <cstddef>

namespace mossgate {

// The root of the Windows folder (or "C:" when it is unknown, that is null)
// followed by "\Program Files\". False (destination untouched) when it does not fit.
bool BuildProgramFilesFallback(char* destination, size_t cbDestination, const char* windowsFolder);

} // namespace mossgate

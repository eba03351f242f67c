// A module's product version, as its own version resource states it.
#pragma once

#include <windows.h>

#include <cstddef>

namespace mossgate {

// "2.1.5.2" from the module's VS_VERSION_INFO resource; false (text untouched) when
// it has none that reads, or the text does not fit in cbText bytes.
bool ReadModuleProductVersion(HMODULE module, char* text, size_t cbText);

} // namespace mossgate

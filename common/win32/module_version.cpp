#include "common/win32/module_version.h"

#include "common/portable/version_resource.h"

#include <winver.h>

namespace mossgate {

// Read from the resource in place rather than through GetFileVersionInfo: version.dll
// is not among the DLLs Windows always takes from the system folder, so importing it
// would let a copy planted beside the program be loaded in its place, elevated.
bool ReadModuleProductVersion(HMODULE module, char* text, size_t cbText) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* block = loaded != nullptr ? LockResource(loaded) : nullptr;
    FourPartVersion version;
    return block != nullptr &&
           ReadProductVersion(static_cast<const uint8_t*>(block), SizeofResource(module, found),
                              version) &&
           FormatVersion(version, text, cbText);
}

} // namespace mossgate

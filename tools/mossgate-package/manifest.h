// The manifest that `mossgate-package write` reads: one package entry per line, in directory order,
//
//   NAME<TAB>RESERVED<TAB>SOURCE
//
// NAME is one the program would write (IsSafeRelativePath: below the install
// folder, no device, no forbidden character), at most 127 characters.
// RESERVED is 0x followed by 1 to 8 hex digits; SOURCE is absolute or relative to
// the manifest's folder. Blank lines and lines starting with '#' are skipped; a
// line may end in CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace package_tool {

struct ManifestEntry {
    std::string name;
    uint32_t reserved = 0;
    std::filesystem::path source;
    size_t line = 0; // 1-based, for messages
};

// Throws ToolError ("MANIFEST:LINE: why") on an unreadable manifest or a line
// that is not an entry. Counts are not checked here.
std::vector<ManifestEntry> ReadManifest(const std::filesystem::path& manifest);

} // namespace package_tool

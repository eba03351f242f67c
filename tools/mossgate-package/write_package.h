// Writes a package file from manifest entries with the core's package writer
// (package/package_writer.h: the reader's chain, the one layout).
#pragma once

#include "tools/mossgate-package/manifest.h"

#include <filesystem>
#include <vector>

namespace package_tool {

// Throws ToolError for a count other than 61, a source that is missing, not a
// regular file, unreadable or empty, or a package over 4 GiB - 1 byte (the most
// a u32 describes). Sizes are checked before any source is read. The package goes
// to a temporary file beside `output` that replaces `output` only when complete:
// on an error `output` is left as it was and nothing else remains.
void WritePackageFile(const std::vector<ManifestEntry>& entries,
                      const std::filesystem::path& output);

} // namespace package_tool

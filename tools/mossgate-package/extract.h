// Writes the entries of an inspected package below a folder, as the program writes
// them below its install folder: only entries that verified under a name the
// program accepts, each name's components ('\' or '/' between them) as folders.
#pragma once

#include "tools/mossgate-package/inspect.h"

#include <filesystem>

namespace package_tool {

// Creates `folder` when it is missing and writes each entry there. Nothing is
// written outside it: every folder on the way is entered without following a
// link, and a file is created new beside links and names already there. An
// existing file is replaced only with `force` (a folder never). Prints a line per
// file written, one on stderr per entry not written, and the count last; returns
// true when every entry was written. Throws ToolError when the folder itself
// cannot be made or opened.
bool ExtractPackage(const Inspection& inspection, const std::filesystem::path& folder, bool force);

} // namespace package_tool

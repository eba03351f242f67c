// Writes the entries of a setup program's package (or of a bare package) below a
// folder as the program writes them below its install folder: during the walk,
// each right after it is read, only entries that verified under a name the
// program accepts, each name's components ('\' or '/' between them) as folders.
#pragma once

#include <filesystem>

namespace package_tool {

// Creates `folder` when it is missing (once the file proved to hold a package) and
// writes each entry there. Nothing is
// written outside it: every folder on the way is entered without following a
// link, and a file is created new beside links and names already there. An
// existing file is replaced only with `force` (a folder never). Prints a line per
// file written, one on stderr per entry not written, and the count last; returns
// true when every entry was written. Throws ToolError as Inspect does, and when the
// folder itself cannot be made or opened.
bool ExtractPackage(const std::filesystem::path& file, const std::filesystem::path& folder,
                    bool force);

} // namespace package_tool

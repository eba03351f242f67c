// Prints a package's directory and verifies every entry along the chain.
#pragma once

#include <filesystem>

namespace packer {

// Prints one row per entry (index, offset, size, reserved, plain MD5, result,
// name), a line on stderr for each entry that fails (a name the program refuses,
// IsSafeRelativePath, as "unsafe name (why)"; out of bounds; digest mismatch) and
// "N of 61 entries verified" last.
// Returns true when every entry verified. Throws PackerError when the file cannot
// be read or is too small to be a package (9516 bytes or less).
bool ListPackage(const std::filesystem::path& package);

} // namespace packer

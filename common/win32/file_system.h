// Files and folder trees: a chain of folders made, a whole file written, a folder
// tree removed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

// Creates every folder of an absolute path below its root (never the drive, server
// or share). 1 when each exists afterwards; 0 for a missing path, one shorter than
// 5 characters or of 1024 characters or more, or when a folder cannot be made.
int CreateFolderPath(const char* path);

// Creates or replaces the file and writes all bytes in one call: 1 when every byte
// was written, else 0. A partly written file stays as it is.
int WriteWholeFile(const char* path, const uint8_t* bytes, uint32_t size);

// Removes the folder with its files and subfolders as far as it can; always 1.
// Subfolders whose name begins with "." are left alone (and so their parent);
// a junction or symbolic link is removed itself, never entered. The first entry
// that cannot be removed ends the walk of its folder, so the walk always ends.
int DeleteFolderTree(const char* folder);

} // namespace mossgate

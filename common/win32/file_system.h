// Files and folder trees: a chain of folders made, a whole file written, a folder
// tree removed, and links (junctions, symbolic links) kept out of the program's
// own folders.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

// Creates every folder of an absolute path below its root (never the drive, server
// or share). 1 when each is a folder afterwards; 0 for a missing path, one shorter
// than 5 characters or of 1024 characters or more, or when a folder cannot be made
// or a file stands where one belongs.
int CreateFolderPath(const char* path);

// Creates or replaces the file and writes all bytes in one call: 1 when every byte
// was written, else 0. A partly written file stays as it is.
int WriteWholeFile(const char* path, const uint8_t* bytes, uint32_t size);

// Removes the folder with its files and subfolders as far as it can; always 1.
// Subfolders whose name begins with "." are left alone (and so their parent); a
// junction or symbolic link, the folder itself included, is removed as a link and
// never entered. Names outside the ANSI code page are walked exactly. The first
// entry that cannot be removed ends the walk of its folder, so the walk always ends.
int DeleteFolderTree(const char* folder);

// Copies source (an exact path) to target through a temporary file beside target
// that replaces it only when every byte is there: 1 when the whole copy is in place
// (attributes normal), else 0 and target as it was. A link at target is replaced,
// never written through.
int CopyWholeFile(const wchar_t* source, const char* target);

// Makes a new, empty folder of this process below the user's temporary folder and
// puts its path into the buffer; false when none can be made.
bool CreateTemporaryFolder(char* path, size_t cbPath);

// A link at one of the last `components` components of path is removed as a link
// (never its target), and nothing below it is looked at. True when one was found.
bool RemoveLinkAtEnd(const char* path, int components);

// True when each of the last `components` components of path is a folder and
// none of them is a link.
bool IsRealFolderAtEnd(const char* path, int components);

// CreateFolderPath, with the last `components` levels made only as real folders:
// a link there is removed as a link first, and below one that stays (or a file)
// nothing is created. 1 when the whole path exists so afterwards, else 0.
int CreateRealFolderPath(const char* path, int components);

} // namespace mossgate

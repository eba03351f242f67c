// Files and folders by path: a chain of folders made, a whole file written or
// copied, a folder tree removed, and whether two paths name the same file.
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

// Copies source (an exact path) to target through a temporary file beside target
// that replaces it only when every byte is there: 1 when the whole copy is in place
// (attributes normal), else 0 and target as it was. A link at target is replaced,
// never written through.
int CopyWholeFile(const wchar_t* source, const char* target);

// 1 when the file exists and opens for reading with read sharing, else 0.
int ProbeReadable(const char* path);

// Where a file or folder lies: its volume and its index there, the same by every
// name and spelling (short names, links) that leads to it.
struct FileIdentity {
    uint32_t volume;
    uint64_t index;
};
bool ReadFileIdentity(const wchar_t* path, FileIdentity& identity);

// The running program's own file, exactly (UTF-16); false when it does not fit.
bool ReadProgramPath(wchar_t* path, size_t cchPath);

// True when both paths lead to one existing file or folder.
bool IsSameFileObject(const wchar_t* first, const wchar_t* second);

// Asks the system to delete the file or (then empty) folder at its next start, by
// this path, with the system's rights: only for paths that an ordinary user cannot
// change.
bool PlanDeletionAtRestart(const wchar_t* path);

} // namespace mossgate

// File-system helpers shared by extraction and the procedures.
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

} // namespace mossgate

// Unpacks the package into the install folder, every entry verified first.
#pragma once

#include "app/setup_context.h"

#include <cstddef>
#include <cstdint>

namespace mossgate {

constexpr int EXTRACT_PACKAGE_UNUSABLE = -1;

// 0 when every entry was verified and written; -1 when the package resource is
// missing, unloadable or 9516 bytes or smaller (nothing written); -(100 + n) when
// n entries failed (every other entry was written).
int ExtractPackage(SetupContextRecord& context);

// The walk over an image whose directory is already in context.packageDirectory.
// The image is descrambled in place and cannot be walked a second time.
int ExtractPackageImage(SetupContextRecord& context, uint8_t* image, size_t imageSize);

// Walks the program's own package once and writes the entries of the given names
// below folder: 1 when each was found, verified and written, else 0. As with every
// walk, the package can be walked only once in a run.
int ExtractNamedEntries(SetupContextRecord& context, const char* folder, const char* const* names,
                        size_t count);

// installFolder, separator, entry name; false when the name fails
// IsContainedRelativeName (it could leave the install folder or open a device) or
// the path does not fit the buffer.
bool BuildEntryTargetPath(char* target, size_t cbTarget, const char* installFolder,
                          const PackageEntry& entry);

} // namespace mossgate

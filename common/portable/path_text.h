// Path text in place or into bounded buffers: one backslash between a folder and
// what follows it, the folder of a file, the file of a path, the root of a path.
#pragma once

#include <cstddef>

namespace mossgate {

// Appends one backslash unless the text already ends in one. An empty text gets
// one too (nothing before the buffer is looked at). False when it does not fit.
bool AppendSeparator(char* destination, size_t cbDestination);

// destination = folder, separator as above, component. False (destination
// untouched) when the result does not fit. folder may be destination itself.
bool JoinPath(char* destination, size_t cbDestination, const char* folder, const char* component);

// Ends the text at its last backslash; a text without one is left unchanged.
void CutAtLastSeparator(char* path);

// Keeps only the text after the last backslash (possibly none); a text without
// one is left unchanged.
void FileNamePart(char* path);

// Cuts a path in place to its root: "C:\WINDOWS" gives "C:", "\\server\share\x"
// gives "\\server". Returns 1 when it cut, 0 when the text stayed unchanged.
int PathRoot(char* path);

// Index just past the separator that ends a path's root ("C:\", "\\server\share\"),
// or the end of the text when nothing follows the root.
size_t SkipRoot(const char* path);

} // namespace mossgate

// Path text in place or into bounded buffers: one backslash between a folder and
// what follows it, the folder of a file, the file of a path, the root of a path,
// and the rule for a relative path that must name a file below its folder.
#pragma once

#include <cstddef>

namespace mossgate {

// The working buffers for paths, counted in bytes of a narrow path or UTF-16 units
// of a wide one: a folder or a file, and a folder joined with a name below it. The
// program's own paths are far shorter; a longer path met on the machine is refused,
// never cut.
constexpr size_t PATH_UNITS = 1024;
constexpr size_t JOINED_PATH_UNITS = 2 * PATH_UNITS;

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

// Why a relative path, read from a field of cbField bytes and never past it, might
// not name a file below its folder on Windows; null when it is safe. Both '\' and
// '/' separate components; an empty one (two separators in a row) names nothing new.
// Refused: no terminator inside the field; empty; a leading separator (rooted,
// UNC); ':' anywhere (drive, stream); < > " | ? * and bytes 0x01-0x1F; a component
// ending in '.' or ' ' (so "." and ".."), since Windows trims those endings; a
// component whose text before its first '.', trailing blanks dropped, is a device
// in any case: CON PRN AUX NUL CONIN$ CONOUT$, COM or LPT with 1-9 or a superscript
// 1, 2 or 3 (code page 1252: 0xB9 0xB2 0xB3). Windows opens the device for such a
// name in any folder, whatever extension follows.
const char* UnsafeRelativePathReason(const char* path, size_t cbField);

inline bool IsSafeRelativePath(const char* path, size_t cbField) {
    return UnsafeRelativePathReason(path, cbField) == nullptr;
}

} // namespace mossgate

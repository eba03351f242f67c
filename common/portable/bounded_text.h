// Bounded helpers for the zero-terminated ANSI texts kept in fixed byte arrays.
// Every output takes its capacity in bytes; a result that would not fit leaves
// the destination as it was and reports false, so that a cut text is never used.
#pragma once

#include <cstddef>

namespace mossgate {

// Length of text, looking at no more than cbMax bytes (cbMax when no terminator).
size_t BoundedLength(const char* text, size_t cbMax);

// Copies source into destination; false (destination untouched) when it does not fit.
bool CopyText(char* destination, size_t cbDestination, const char* source);

// Copies as much of source as fits, always terminating; false when it was cut.
bool CopyTextTruncating(char* destination, size_t cbDestination, const char* source);

// Appends source; false (destination untouched) when the result does not fit.
bool AppendText(char* destination, size_t cbDestination, const char* source);

// destination = format with its one "%s" replaced by text; false (destination
// untouched) when the result does not fit or the format has no "%s".
bool FormatWithText(char* destination, size_t cbDestination, const char* format, const char* text);

// Fills the whole buffer with zero bytes in a way the optimiser keeps.
void WipeBytes(void* buffer, size_t cbBuffer);

} // namespace mossgate

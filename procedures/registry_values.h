// The two registry value routines of the procedures.
#pragma once

#include <cstddef>

namespace mossgate {

// Reads a REG_SZ value under HKEY_CURRENT_USER into the caller's buffer of
// cbBuffer bytes. 1 when read; 0 (buffer untouched) for a missing key or value,
// another type, a value over 4096 bytes, or a text that does not fit the buffer.
int ReadUserStringValue(const char* subKey, const char* valueName, char* buffer, size_t cbBuffer);

// Stores a REG_SZ value under HKEY_LOCAL_MACHINE, creating the key when missing.
// 1 when stored, else 0.
int WriteMachineStringValue(const char* subKey, const char* valueName, const char* text);

} // namespace mossgate

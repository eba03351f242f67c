// Registry values read and written by key path, and whole key trees removed.
#pragma once

#include <windows.h>

#include <cstddef>

namespace mossgate {

// Reads a REG_SZ value under HKEY_CURRENT_USER into the caller's buffer of
// cbBuffer bytes. 1 when read; 0 (buffer untouched) for a missing key or value,
// another type, a value over 4096 bytes, or a text that does not fit the buffer.
int ReadUserStringValue(const char* subKey, const char* valueName, char* buffer, size_t cbBuffer);

// Stores a REG_SZ value under HKEY_LOCAL_MACHINE, creating the key when missing.
// 1 when stored, else 0.
int WriteMachineStringValue(const char* subKey, const char* valueName, const char* text);

// Stores a REG_DWORD value under HKEY_LOCAL_MACHINE, creating the key when missing.
// 1 when stored, else 0.
int WriteMachineDwordValue(const char* subKey, const char* valueName, DWORD value);

// Whether the key exists under HKEY_LOCAL_MACHINE (in the view the other calls use).
bool MachineKeyExists(const char* subKey);

// Removes the key with all its subkeys: 0 when it, or a subkey, cannot be opened or
// deleted (the walk then stops), else 1.
int DeleteRegistryTree(HKEY parent, const char* subKey);

} // namespace mossgate

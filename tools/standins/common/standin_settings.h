// What the stand-in programs share: the settings that tests give them through the
// environment, and the record of each start. Without these variables the programs
// do their normal work.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>

namespace mossgate::standins {

// The value of an environment variable; nothing when it is unset or empty.
std::optional<std::string> ReadEnvironment(const char* name);

// The value of the first of the variables that is set.
std::optional<std::string> ReadFirstSet(std::initializer_list<std::string> names);

// An exit code as the 32-bit value that the parent sees: decimal from -2147483648 to
// 4294967295 ("0", "2", "-1") or 0x-hexadecimal up to 0xFFFFFFFF ("0xC0000005").
// Nothing for any other text.
std::optional<UINT> ParseExitCode(const std::string& text);

// Decimal milliseconds up to 4294967294 (never INFINITE); nothing for any other text.
std::optional<DWORD> ParseMilliseconds(const std::string& text);
// A pause stretched by MOSSGATE_TIME_SCALE, which the emulated machine sets.
DWORD StretchedByTimeScale(DWORD milliseconds);

// Appends "<module file name> TAB <whole command line> TAB <current folder> CRLF" to
// the file (made when missing) in one write; false when it cannot be written.
bool AppendStartRecord(const std::string& logPath);

} // namespace mossgate::standins

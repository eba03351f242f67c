// Wide (UTF-16) text for the calls that must see every name exactly: folder walks
// and the program's own path. The program's own paths are ANSI texts; names that
// the system reports may lie outside the ANSI code page, and the ANSI calls then
// hand back '?' for the letters they cannot hold.
#pragma once

#include <windows.h>

#include <cstddef>

namespace mossgate {

// The ANSI text in UTF-16; false (out unchanged or empty) when it does not fit.
bool AnsiToWide(const char* text, wchar_t* out, size_t cchOut);

// The UTF-16 text in the ANSI code page; false when a character has no exact ANSI
// form or the text does not fit (out is then empty).
bool WideToAnsiExactly(const wchar_t* text, char* out, size_t cbOut);

// out = text. False, out empty, when it does not fit.
bool CopyWideText(wchar_t* out, size_t cchOut, const wchar_t* text);

// out = folder, one backslash unless folder ends in one, name. False when it does
// not fit; out may not be folder itself.
bool JoinWidePath(wchar_t* out, size_t cchOut, const wchar_t* folder, const wchar_t* name);

} // namespace mossgate

#include "common/win32/wide_text.h"

#include <climits>
#include <cwchar>

namespace mossgate {

namespace {

// The conversions' length for a text that ends at its terminator, which they copy.
constexpr int NUL_TERMINATED = -1;

} // namespace

bool AnsiToWide(const char* text, wchar_t* out, size_t cchOut) {
    if (text == nullptr || out == nullptr || cchOut == 0 || cchOut > INT_MAX) {
        return false;
    }
    if (MultiByteToWideChar(CP_ACP, 0, text, NUL_TERMINATED, out, static_cast<int>(cchOut)) == 0) {
        out[0] = L'\0';
        return false;
    }
    return true;
}

bool WideToAnsiExactly(const wchar_t* text, char* out, size_t cbOut) {
    if (text == nullptr || out == nullptr || cbOut == 0 || cbOut > INT_MAX) {
        return false;
    }
    BOOL lossy = FALSE;
    const int cb = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, NUL_TERMINATED, out,
                                       static_cast<int>(cbOut), nullptr, &lossy);
    if (cb == 0 || lossy) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool CopyWideText(wchar_t* out, size_t cchOut, const wchar_t* text) {
    if (out == nullptr || cchOut == 0 || text == nullptr) {
        return false;
    }
    const size_t cchText = wcsnlen(text, cchOut);
    if (cchText == cchOut) {
        out[0] = L'\0';
        return false;
    }
    wmemcpy(out, text, cchText + 1);
    return true;
}

bool JoinWidePath(wchar_t* out, size_t cchOut, const wchar_t* folder, const wchar_t* name) {
    if (out == nullptr || folder == nullptr || name == nullptr || out == folder) {
        return false;
    }
    const size_t cchFolder = wcslen(folder);
    const bool separator = cchFolder == 0 || folder[cchFolder - 1] != L'\\';
    const size_t cchName = wcslen(name);
    if (cchFolder + (separator ? 1 : 0) + cchName >= cchOut) {
        return false;
    }
    wmemcpy(out, folder, cchFolder);
    size_t at = cchFolder;
    if (separator) {
        out[at++] = L'\\';
    }
    wmemcpy(out + at, name, cchName + 1);
    return true;
}

} // namespace mossgate

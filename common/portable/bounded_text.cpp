#include "common/portable/bounded_text.h"

#include <cstring>

namespace mossgate {

size_t BoundedLength(const char* text, size_t cbMax) {
    if (text == nullptr) {
        return 0;
    }
    const void* end = std::memchr(text, 0, cbMax);
    return end == nullptr ? cbMax : static_cast<size_t>(static_cast<const char*>(end) - text);
}

bool CopyText(char* destination, size_t cbDestination, const char* source) {
    if (destination == nullptr || cbDestination == 0 || source == nullptr) {
        return false;
    }
    const size_t cch = BoundedLength(source, cbDestination);
    if (cch >= cbDestination) {
        return false;
    }
    std::memmove(destination, source, cch + 1);
    return true;
}

bool CopyTextTruncating(char* destination, size_t cbDestination, const char* source) {
    if (destination == nullptr || cbDestination == 0) {
        return false;
    }
    if (source == nullptr) {
        destination[0] = '\0';
        return true;
    }
    const size_t cch = BoundedLength(source, cbDestination);
    const bool fits = cch < cbDestination;
    const size_t cchCopied = fits ? cch : cbDestination - 1;
    std::memmove(destination, source, cchCopied);
    destination[cchCopied] = '\0';
    return fits;
}

bool AppendText(char* destination, size_t cbDestination, const char* source) {
    if (destination == nullptr || source == nullptr) {
        return false;
    }
    const size_t cchHave = BoundedLength(destination, cbDestination);
    if (cchHave >= cbDestination) {
        return false;
    }
    return CopyText(destination + cchHave, cbDestination - cchHave, source);
}

bool FormatWithText(char* destination, size_t cbDestination, const char* format, const char* text) {
    if (destination == nullptr || format == nullptr || text == nullptr) {
        return false;
    }
    const char* placeholder = std::strstr(format, "%s");
    if (placeholder == nullptr) {
        return false;
    }
    const size_t cchBefore = static_cast<size_t>(placeholder - format);
    const size_t cchText = std::strlen(text);
    const size_t cchAfter = std::strlen(placeholder + 2);
    if (cbDestination == 0 || cchBefore + cchText + cchAfter >= cbDestination) {
        return false;
    }
    std::memcpy(destination, format, cchBefore);
    std::memcpy(destination + cchBefore, text, cchText);
    std::memcpy(destination + cchBefore + cchText, placeholder + 2, cchAfter + 1);
    return true;
}

void WipeBytes(void* buffer, size_t cbBuffer) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(buffer);
    for (size_t i = 0; i < cbBuffer; ++i) {
        bytes[i] = 0;
    }
}

} // namespace mossgate

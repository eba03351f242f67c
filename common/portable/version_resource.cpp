#include "common/portable/version_resource.h"

#include "common/portable/bounded_text.h"

namespace mossgate {

namespace {

// wLength, wValueLength, wType, then the key in UTF-16 with its terminator, then
// padding to a 32-bit boundary: the fixed part follows.
constexpr char16_t KEY[] = u"VS_VERSION_INFO";
constexpr size_t KEY_OFFSET = 6;
constexpr size_t FIXED_OFFSET = (KEY_OFFSET + sizeof(KEY) + 3) & ~size_t{3};
constexpr size_t FIXED_BYTES = 52;
constexpr uint32_t FIXED_SIGNATURE = 0xFEEF04BD;
constexpr size_t PRODUCT_VERSION_OFFSET = 16; // dwProductVersionMS, then LS
static_assert(FIXED_OFFSET == 40);

uint16_t Read16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

uint32_t Read32(const uint8_t* at) {
    return static_cast<uint32_t>(Read16(at)) | static_cast<uint32_t>(Read16(at + 2)) << 16;
}

bool HasKey(const uint8_t* block) {
    for (size_t i = 0; i < sizeof(KEY) / sizeof(KEY[0]); ++i) {
        if (Read16(block + KEY_OFFSET + 2 * i) != KEY[i]) {
            return false;
        }
    }
    return true;
}

// Appends the decimal digits of value; false (text untouched) when they do not fit.
bool AppendNumber(char* text, size_t cbText, uint16_t value) {
    char digits[sizeof("65535")];
    size_t at = sizeof(digits) - 1;
    digits[at] = '\0';
    do {
        digits[--at] = static_cast<char>('0' + value % 10);
        value = static_cast<uint16_t>(value / 10);
    } while (value != 0);
    return AppendText(text, cbText, digits + at);
}

} // namespace

bool ReadProductVersion(const uint8_t* block, size_t cbBlock, FourPartVersion& version) {
    constexpr size_t cbNeeded = FIXED_OFFSET + FIXED_BYTES;
    if (block == nullptr || cbBlock < cbNeeded) {
        return false;
    }
    const size_t cbDeclared = Read16(block);
    if (cbDeclared < cbNeeded || cbDeclared > cbBlock || Read16(block + 2) < FIXED_BYTES ||
        !HasKey(block) || Read32(block + FIXED_OFFSET) != FIXED_SIGNATURE) {
        return false;
    }
    const uint32_t high = Read32(block + FIXED_OFFSET + PRODUCT_VERSION_OFFSET);
    const uint32_t low = Read32(block + FIXED_OFFSET + PRODUCT_VERSION_OFFSET + 4);
    version = {{static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high),
                static_cast<uint16_t>(low >> 16), static_cast<uint16_t>(low)}};
    return true;
}

bool FormatVersion(const FourPartVersion& version, char* text, size_t cbText) {
    char formatted[sizeof("65535.65535.65535.65535")] = "";
    for (size_t i = 0; i < 4; ++i) {
        if ((i != 0 && !AppendText(formatted, sizeof(formatted), ".")) ||
            !AppendNumber(formatted, sizeof(formatted), version.part[i])) {
            return false;
        }
    }
    return CopyText(text, cbText, formatted);
}

} // namespace mossgate

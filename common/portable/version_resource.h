// The fixed part of a version resource (VS_VERSIONINFO): the four numbers that
// Windows shows as a program's product version. Reads nothing but the given
// bytes, and checks the block's own length against them before any field.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

struct FourPartVersion {
    uint16_t part[4];
};

// The product version of a VS_VERSIONINFO block; false when the bytes are not one
// (too short for its fixed part, a length past the bytes, another key, no
// VS_FIXEDFILEINFO signature).
bool ReadProductVersion(const uint8_t* block, size_t cbBlock, FourPartVersion& version);

// "2.1.5.2"; false (text untouched) when it does not fit in cbText bytes.
bool FormatVersion(const FourPartVersion& version, char* text, size_t cbText);

} // namespace mossgate

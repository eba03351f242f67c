// The keystream that keeps the stored web links unreadable in the program file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

constexpr uint32_t LINK_SEED = 0x5D2C9B61;

// In place; the same call scrambles and descrambles. -1 when buffer is null, else 0.
int DescrambleText(uint32_t seed, uint8_t* buffer, size_t length);

} // namespace mossgate

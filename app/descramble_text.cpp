#include "app/descramble_text.h"

namespace mossgate {

int DescrambleText(uint32_t seed, uint8_t* buffer, size_t length) {
    if (buffer == nullptr) {
        return -1;
    }
    uint32_t state = seed;
    for (size_t i = 0; i < length; ++i) {
        const uint32_t k = static_cast<uint32_t>(length - i);
        state += k;
        state *= state;
        buffer[i] = static_cast<uint8_t>(buffer[i] ^ ((state >> 8) & 0xFFu));
        state = static_cast<uint32_t>(static_cast<int32_t>(state) >> 8);
    }
    return 0;
}

} // namespace mossgate

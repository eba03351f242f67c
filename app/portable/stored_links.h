// The two web links the window opens, kept in the program only in scrambled form,
// and the keystream that scrambles and descrambles them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

constexpr uint32_t LINK_SEED = 0x5D2C9B61;

// In place; the same call scrambles and descrambles. -1 when buffer is null, else 0.
int DescrambleText(uint32_t seed, uint8_t* buffer, size_t length);

struct StoredLink {
    const uint8_t* bytes;
    size_t length; // counts the terminating zero
};

extern const StoredLink PUBLISHER_LINK;     // the picture is clicked
extern const StoredLink AFTER_INSTALL_LINK; // END_INSTALLED arrives

} // namespace mossgate

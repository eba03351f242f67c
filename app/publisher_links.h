// The two web links the window opens, kept in the program only in scrambled form.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

struct StoredLink {
    const uint8_t* bytes;
    size_t length; // counts the terminating zero
};

extern const StoredLink PUBLISHER_LINK;     // the picture is clicked
extern const StoredLink AFTER_INSTALL_LINK; // END_INSTALLED arrives

constexpr size_t LINK_SCRATCH_BYTES = 512;

// Opens the link with the shell's "open" verb; a link over 512 bytes is not
// opened, and the plain text is wiped before the call returns.
void OpenPublisherLink(const uint8_t* storedText, size_t length);

} // namespace mossgate

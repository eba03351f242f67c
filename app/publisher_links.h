// Opening the publisher's web links with the shell.
#pragma once

#include "app/portable/stored_links.h"

namespace mossgate {

constexpr size_t LINK_SCRATCH_BYTES = 512;

// Opens the link with the shell's "open" verb; a link over 512 bytes is not
// opened, and the plain text is wiped before the call returns.
void OpenPublisherLink(const uint8_t* storedText, size_t length);

} // namespace mossgate

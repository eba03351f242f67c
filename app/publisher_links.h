// Opening the publisher's web links through the desktop's shell.
#pragma once

#include "app/portable/stored_links.h"

namespace mossgate {

constexpr size_t LINK_SCRATCH_BYTES = 512;

// Asks the desktop's shell to open the link (the "open" verb), so that the browser
// runs as the signed-in user, never with the program's rights. A link over 512
// bytes is not opened, nor any link when no shell answers; nothing is reported.
// The plain text is wiped before the call returns. Window thread only.
void OpenPublisherLink(const uint8_t* storedText, size_t length);

} // namespace mossgate

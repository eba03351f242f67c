// SetupContext.statusText is replaced by the install worker while the window's
// timer reads it. Both sides go through these two calls, which hold a lock for
// the copy, so the window never sees a half-written text or one without its end.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

void SetStatusText(SetupContextRecord& context, const char* text);

// Copies the current text into the caller's buffer, always terminated.
void SnapshotStatusText(const SetupContextRecord& context, char* buffer, size_t cbBuffer);

} // namespace mossgate

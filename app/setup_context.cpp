#include "app/setup_context.h"

#include "common/portable/bounded_text.h"
#include "common/win32/holders.h"

#include <cstring>

mossgate::SetupContextRecord SetupContext;

namespace mossgate {

namespace {

// Constructed before WinMain runs, so before any worker thread exists.
CriticalSection statusTextLock;

} // namespace

void ZeroSetupContext(SetupContextRecord& context) {
    // Every member is a plain value or a lock-free atomic whose zero bytes mean 0.
    std::memset(static_cast<void*>(&context), 0, sizeof(context));
}

void SetStatusText(SetupContextRecord& context, const char* text) {
    ScopedLock lock(statusTextLock);
    CopyTextTruncating(context.statusText, sizeof(context.statusText), text);
}

void SnapshotStatusText(const SetupContextRecord& context, char* buffer, size_t cbBuffer) {
    ScopedLock lock(statusTextLock);
    CopyTextTruncating(buffer, cbBuffer, context.statusText);
}

} // namespace mossgate

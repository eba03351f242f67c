#include "app/status_text.h"

#include "app/bounded_text.h"

namespace mossgate {

namespace {

class StatusTextLock {
  public:
    StatusTextLock() { InitializeCriticalSection(&section_); }
    ~StatusTextLock() { DeleteCriticalSection(&section_); }
    StatusTextLock(const StatusTextLock&) = delete;
    StatusTextLock& operator=(const StatusTextLock&) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

// Constructed before WinMain runs, so before any worker thread exists.
StatusTextLock statusTextLock;

} // namespace

void SetStatusText(SetupContextRecord& context, const char* text) {
    statusTextLock.Enter();
    CopyTextTruncating(context.statusText, sizeof(context.statusText), text);
    statusTextLock.Leave();
}

void SnapshotStatusText(const SetupContextRecord& context, char* buffer, size_t cbBuffer) {
    statusTextLock.Enter();
    CopyTextTruncating(buffer, cbBuffer, context.statusText);
    statusTextLock.Leave();
}

} // namespace mossgate

// MinGW's win32 thread model has no std::mutex, which gtest's Notification uses.
// gtest needs the class only for its own thread tests; this stand-in spins on an
// atomic flag and is force-included before gtest's headers.
#pragma once

#include <atomic>

namespace testing::internal {

class Notification {
  public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

  private:
    std::atomic<bool> notified_{false};
};

} // namespace testing::internal

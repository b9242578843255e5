// GoogleTest's Notification is built on std::mutex, which the toolchain's
// win32 thread model lacks. This stand-in is force-included in place of it;
// only GoogleTest's own thread helpers use it, never our single-threaded
// tests, so a spinning wait is enough.
#pragma once

#include <atomic>

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : notified_(false) {}
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_;
};

}  // namespace internal
}  // namespace testing

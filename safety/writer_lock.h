// One writer at a time, machine-wide: the dialog holds this lock for its
// whole life and /check and /apply for their run, so that no two copies of
// the program read the ports, decide and write at once (both could give
// one name to two ports).
#pragma once

#include <cstdint>

#include "platform/system.h"

namespace velnara {

// A named mutex in the global namespace, one for every session of the
// machine. Windows 2000 without Terminal Services accepts the "Global\"
// prefix and has one namespace anyway.
constexpr const char* kWriterLockName = "Global\\Velnara.Writer";

// Only SYSTEM and the administrators may open the lock: a user who could
// open it could take it and hold every writer off. (A name made first by
// such a user still keeps its own list; the writers then wait and give up.)
constexpr const char* kWriterLockSddl = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// How long /check and /apply wait for the lock before they give up.
constexpr std::uint32_t kWriterLockWaitMs = 30000;

class WriterLock {
 public:
  explicit WriterLock(platform::System& system) : system_(system) {}
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  ~WriterLock();

  // Takes the lock, waiting up to `milliseconds` for another copy of the
  // program to give it back: success, WAIT_TIMEOUT when it did not, or the
  // failed call's own code.
  platform::ErrorCode Take(std::uint32_t milliseconds);
  // Whether the copy that held the lock before ended without giving it
  // back (it was ended, or it crashed): whatever it was writing may be
  // half written.
  bool TakenFromAnEndedCopy() const { return abandoned_; }

 private:
  platform::System& system_;
  platform::MutexHandle mutex_ = nullptr;
  bool held_ = false;
  bool abandoned_ = false;
};

}  // namespace velnara

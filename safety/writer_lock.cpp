#include "safety/writer_lock.h"

namespace velnara {

using namespace platform;

WriterLock::~WriterLock() {
  if (held_) system_.ReleaseMutex(mutex_);  // result not examined: the process ends
  if (mutex_ != nullptr) system_.CloseMutex(mutex_);
}

ErrorCode WriterLock::Take(std::uint32_t milliseconds) {
  if (held_) return error::kSuccess;
  if (mutex_ == nullptr) {
    if (const ErrorCode code = system_.CreateMutex(kWriterLockName, kWriterLockSddl, &mutex_);
        code != error::kSuccess) {
      return code;
    }
  }
  bool abandoned = false;
  const ErrorCode code = system_.WaitForMutex(mutex_, milliseconds, &abandoned);
  held_ = code == error::kSuccess;
  abandoned_ = held_ && abandoned;
  return code;
}

}  // namespace velnara

// The calls the program makes on the stand-in's facilities, in the order it
// makes them, and the failures a test asks for. Each facility of the
// stand-in that is given a log enters every call into it before doing
// anything; a call the log says must fail fails at once with that code and
// changes nothing, as a call refused by Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_constants.h"

namespace velnara::platform::sim {

// Thrown by the call log at the write it was told to end the run at: the
// program's run ends there, as a killed process's does (a crash, a power
// cut, a deployment tool's time-out), and the test goes on.
struct ProcessKilled {
  std::size_t write;  // the writes that reached the machine before
};

struct Call {
  std::string function;     // the Windows function: "RegOpenKeyExA", "ComDBClaimPort"
  std::string target;       // what it acts on: a key path, "path : value", a number
  std::uint32_t value = 0;  // an access mask, flags or a number, where the call has one
  ErrorCode forced = 0;     // the failure the log imposed, 0 when the call ran
};

class CallLog {
 public:
  // Enters a call; answers the error it must fail with, or 0 to go on.
  ErrorCode Enter(const char* function, std::string target = std::string(),
                  std::uint32_t value = 0);

  // Records a call that cannot be made to fail (the window system's), for
  // the order of events; it takes no index.
  void Note(const char* function, std::string target = std::string(), std::uint32_t value = 0);

  // Makes the call with this index (0 for the first entered) fail.
  void FailCall(std::size_t index, ErrorCode code);
  // Makes calls of `function` fail: the next `times` of them after skipping
  // `skip` (times < 0: every one). With `target`, only calls whose target
  // contains it (without regard to case) count.
  void FailNext(const std::string& function, ErrorCode code, int skip = 0, int times = 1,
                const std::string& target = std::string());
  void ClearFailures();

  // Ends the run just before its write number `write` (0: the first),
  // counting the calls that change the machine: registry values, access
  // lists, COM port database claims, files made, written, moved or
  // deleted, folders made, event reports. That call throws ProcessKilled
  // and changes nothing; every call after it (the ended program's handles
  // closing as its stack unwinds) reaches nothing either.
  void KillAtWrite(std::size_t write);
  bool Killed() const { return killed_; }

  // The writes entered so far (all of them when no kill was asked for).
  std::size_t WritesEntered() const { return writes_; }
  // Whether a call is one of those writes.
  static bool IsWrite(const std::string& function, const std::string& target, std::uint32_t value);

  const std::vector<Call>& calls() const { return calls_; }
  std::vector<Call> CallsOf(const std::string& function) const;
  // How many calls were entered (those that can fail), since Clear().
  std::size_t Entered() const { return entered_; }
  // Forgets the calls entered so far; indexes count from 0 again.
  void Clear() {
    calls_.clear();
    entered_ = 0;
  }

  // While a Pause lives, calls are neither entered nor failed: a facility
  // that works through another one (the COM port database through the
  // registry) does not show its own inner calls as the program's.
  class Pause {
   public:
    explicit Pause(CallLog* log) : log_(log) {
      if (log_ != nullptr) ++log_->paused_;
    }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
    ~Pause() {
      if (log_ != nullptr) --log_->paused_;
    }

   private:
    CallLog* log_;
  };

 private:
  struct ByIndex {
    std::size_t index;
    ErrorCode code;
  };
  struct ByFunction {
    std::string function;
    std::string target;
    ErrorCode code;
    int skip;
    int times;
  };
  std::vector<Call> calls_;
  std::vector<ByIndex> byIndex_;
  std::vector<ByFunction> byFunction_;
  std::size_t entered_ = 0;
  int paused_ = 0;
  std::size_t writes_ = 0;
  std::size_t killAt_ = static_cast<std::size_t>(-1);
  bool killed_ = false;
};

}  // namespace velnara::platform::sim

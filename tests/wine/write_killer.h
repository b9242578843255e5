// Ends a program the way a crash, a power cut or a deployment tool's
// time-out does, just before one of its writes: a small debugger starts it
// (DEBUG_ONLY_THIS_PROCESS), puts a breakpoint on the first byte of each
// call that writes a file or the registry, and counts their calls; at the
// one it was told, TerminateProcess ends the program before the call runs.
// Every other call is single-stepped past and its breakpoint set again.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "platform/win32/windows_api.h"

namespace velnara::wine_test {

class WriteKiller {
 public:
  WriteKiller() = default;
  WriteKiller(const WriteKiller&) = delete;
  WriteKiller& operator=(const WriteKiller&) = delete;
  ~WriteKiller();

  // Starts `commandLine` on a thread of its own, which debugs it, to be
  // killed just before its write `kill` from its start; none by default
  // (KillAfter may set one later).
  bool Start(const std::string& commandLine, std::string* problem,
             std::size_t kill = static_cast<std::size_t>(-1));
  // Ends the program just before its write `writes` from now (0: the next).
  void KillAfter(std::size_t writes) { killAt_ = writes_ + writes; }
  // The writes the program has begun so far.
  std::size_t Writes() const { return writes_; }
  DWORD processId() const { return processId_; }

  // Waits for the end: *killed whether the debugger ended it, *status its
  // exit status. False when it did not end within `timeoutMs` (it is then
  // ended) or could not be debugged.
  bool Wait(DWORD timeoutMs, bool* killed, DWORD* status, std::string* problem);

  // The calls that count as writes.
  static const char* const kWriteCalls[];

 private:
  static DWORD WINAPI Debug(void* self);
  void DebugLoop();

  std::string commandLine_;
  HANDLE thread_ = nullptr;
  HANDLE started_ = nullptr;
  std::atomic<DWORD> processId_{0};
  std::atomic<std::size_t> writes_{0};
  std::atomic<std::size_t> killAt_{static_cast<std::size_t>(-1)};
  std::atomic<bool> killed_{false};
  DWORD status_ = 0xDEAD;
  std::string problem_;
};

// Runs `commandLine` to its end, or kills it just before its write `kill`
// (counted from its start): whether it was killed, and how many writes it
// began.
bool RunKilledAt(const std::string& commandLine, std::size_t kill, bool* killed,
                 std::size_t* writes, std::string* problem);

}  // namespace velnara::wine_test

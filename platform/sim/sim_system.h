// The stand-in's version source, system message texts, program file name,
// process token with its privileges, restart of Windows and process exit.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/call_log.h"
#include "platform/system.h"

namespace velnara::platform::sim {

// Thrown by SimSystem::ExitProcess: ends the program's run, not the test.
struct ProcessExit {
  int status;
};

class SimSystem : public System {
 public:
  SimSystem();

  ErrorCode GetVersion(OsVersionInfo* info) override;
  ErrorCode FormatSystemMessage(ErrorCode code, std::string* text) override;
  std::string ModuleFileName() override { return moduleFileName_; }
  LocalTime GetLocalTime() override;
  ErrorCode GetComputerName(std::string* name) override;
  ErrorCode OpenProcessToken(AccessMask access, TokenHandle* token) override;
  ErrorCode LookupPrivilegeValue(const char* systemName, const char* name, Luid* luid) override;
  ErrorCode AdjustTokenPrivileges(TokenHandle token, bool disableAll,
                                  const TokenPrivileges& newState) override;
  ErrorCode CloseToken(TokenHandle token) override;
  ErrorCode GetProcessUserSid(std::string* sid) override;
  ErrorCode ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
  void SetErrorMode(std::uint32_t mode) override;
  ErrorCode CreateMutex(const char* name, const char* sddl, MutexHandle* mutex) override;
  ErrorCode WaitForMutex(MutexHandle mutex, std::uint32_t milliseconds, bool* abandoned) override;
  ErrorCode GetProcessUserName(std::string* name) override;
  ErrorCode RegisterEventSource(const char* source, EventSourceHandle* handle) override;
  ErrorCode ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint32_t id,
                        bool asProcessUser, const std::vector<std::string>& strings) override;
  ErrorCode DeregisterEventSource(EventSourceHandle source) override;
  ErrorCode ReleaseMutex(MutexHandle mutex) override;
  ErrorCode CloseMutex(MutexHandle mutex) override;
  [[noreturn]] void ExitProcess(int status) override;

  // The process token. An administrator's holds the shutdown privilege,
  // disabled until enabled; an account without it gets TRUE from
  // AdjustTokenPrivileges all the same (with ERROR_NOT_ALL_ASSIGNED as the
  // last error) and ERROR_PRIVILEGE_NOT_HELD from the restart, as on Windows.
  void SetHoldsShutdownPrivilege(bool held) { holdsShutdown_ = held; }
  int OpenTokenCount() const { return static_cast<int>(tokens_.size()); }
  // The flags of every ExitWindowsEx that began a restart or shutdown; the
  // stand-in records it and the program runs on, as it does on Windows until
  // the system ends it.
  const std::vector<std::uint32_t>& RestartRequests() const { return restarts_; }
  // The last SetErrorMode's flags (0: the system's boxes all show).
  std::uint32_t ErrorMode() const { return errorMode_; }

  // Enters every token, privilege and restart call into `log` (null: none),
  // which may fail it.
  void SetCallLog(CallLog* log) { log_ = log; }

  // The system the version queries report; by default Windows XP x64
  // (NT 5.2 build 3790, service pack 2). Both record sizes succeed.
  void SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                  std::uint16_t servicePackMajor);
  // Makes the 156-byte (extended) or the 148-byte (basic) query fail with
  // ERROR_INSUFFICIENT_BUFFER (122), as a system that does not know that
  // record size answers.
  void FailExtendedQuery(bool fail) { failExtended_ = fail; }
  void FailBasicQuery(bool fail) { failBasic_ = fail; }
  int VersionQueryCount() const { return versionQueries_; }

  // The message texts are Windows's English ones; a test may remove one (a
  // code without text answers 317).
  void RemoveMessageText(ErrorCode code) { removedTexts_.insert(code); }

  // Named mutexes, shared by every process of the machine. The program runs
  // as process 1; another copy of it, or any other program, is another
  // process: RunAs runs `run` as process `process` (another copy of the
  // program started on the same machine), HoldMutex makes `process` hold the
  // mutex `name` as if it had taken it, ReleaseMutexOf gives that back.
  void RunAs(int process, const std::function<void()>& run);
  void HoldMutex(const std::string& name, int process);
  void ReleaseMutexOf(const std::string& name, int process);
  // `process` ended without releasing what it held (it was killed, or it
  // crashed): each mutex it held goes to its next waiter as abandoned.
  void AbandonMutexesOf(int process);
  // The named mutexes of `other`, as the same machine has them (their
  // handles are `other`'s processes' and stay there).
  void CopyMutexesFrom(const SimSystem& other) { mutexes_ = other.mutexes_; }
  // What other processes do while the program waits for a mutex one of them
  // holds: called once per wait, before the wait ends; it may release the
  // mutex. Without it the wait times out.
  void WhileWaiting(std::function<void()> meanwhile) { whileWaiting_ = std::move(meanwhile); }
  // Mutex handles open, and whether `process` holds the mutex `name`.
  int OpenMutexCount() const { return static_cast<int>(mutexHandles_.size()); }
  bool HoldsMutex(const std::string& name, int process) const;
  // The access list (SDDL) the mutex `name` was made with; empty when it was
  // made with the default one or does not exist.
  std::string MutexSddl(const std::string& name) const;

  // The clock stands still at 2026-12-09 05:12:00 (a Wednesday); the
  // machine is BENCH-07, and the account the program runs as: an administrator's.
  static constexpr const char* kUserSid = "S-1-5-21-1004336348-1177238915-682003330-500";
  static constexpr const char* kUserName = "BENCH-07\\Administrator";

  // The Application log: every event reported, in order, with the source
  // it was reported under and the SID of its user (empty: none).
  struct Event {
    std::string source;
    std::uint16_t type;
    std::uint32_t id;
    std::string userSid;
    std::vector<std::string> strings;
  };
  const std::vector<Event>& Events() const { return events_; }
  int OpenEventSourceCount() const { return static_cast<int>(eventSources_.size()); }

 private:
  OsVersionInfo version_{};
  bool failExtended_ = false;
  bool failBasic_ = false;
  int versionQueries_ = 0;
  std::string moduleFileName_ = "C:\\Program Files\\Velnara\\Velnara.exe";
  bool holdsShutdown_ = true;
  bool shutdownEnabled_ = false;
  std::map<TokenHandle, AccessMask> tokens_;  // open token handles and their access
  std::uintptr_t nextToken_ = 0x400;
  std::vector<std::uint32_t> restarts_;
  std::uint32_t errorMode_ = 0;
  struct Mutex {
    int holder = 0;          // the process that holds it; 0: free
    int count = 0;           // how often its holder took it
    bool abandoned = false;  // its last holder ended holding it
    std::string sddl;        // the access list it was made with; empty: the default
  };
  std::map<std::string, Mutex> mutexes_;             // by name (case matters)
  std::map<MutexHandle, std::string> mutexHandles_;  // open handles
  std::map<EventSourceHandle, std::string> eventSources_;
  std::vector<Event> events_;
  int process_ = 1;
  std::function<void()> whileWaiting_;
  CallLog* log_ = nullptr;
  std::set<ErrorCode> removedTexts_;
};

}  // namespace velnara::platform::sim

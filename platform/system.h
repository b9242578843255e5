// Process-wide system calls: the version query, the system's message texts,
// the program file's name, the clock and the computer's name, the process's
// token and privileges, the restart of Windows and the end of the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_constants.h"

namespace velnara::platform {

// The layout of OSVERSIONINFOEXA. The basic OSVERSIONINFOA is its first 148
// bytes; `size` tells the system which of the two it is given.
struct OsVersionInfo {
  std::uint32_t size;
  std::uint32_t majorVersion;
  std::uint32_t minorVersion;
  std::uint32_t buildNumber;
  std::uint32_t platformId;
  char csdVersion[128];
  std::uint16_t servicePackMajor;
  std::uint16_t servicePackMinor;
  std::uint16_t suiteMask;
  std::uint8_t productType;
  std::uint8_t reserved;
};
static_assert(sizeof(OsVersionInfo) == 156, "OSVERSIONINFOEXA is 156 bytes");
constexpr std::uint32_t kOsVersionInfoBasicSize = 148;
constexpr std::uint32_t kOsVersionInfoExSize = 156;

// SYSTEMTIME: a date and time of day.
struct LocalTime {
  std::uint16_t year;
  std::uint16_t month;
  std::uint16_t dayOfWeek;
  std::uint16_t day;
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

// A token handle (HANDLE) of OpenProcessToken.
using TokenHandle = void*;
// A mutex handle (HANDLE) of CreateMutexA.
using MutexHandle = void*;
// An event log handle (HANDLE) of RegisterEventSourceA.
using EventSourceHandle = void*;

// ReportEventA's event types.
namespace event_type {
constexpr std::uint16_t kError = 0x0001;        // EVENTLOG_ERROR_TYPE
constexpr std::uint16_t kWarning = 0x0002;      // EVENTLOG_WARNING_TYPE
constexpr std::uint16_t kInformation = 0x0004;  // EVENTLOG_INFORMATION_TYPE
}  // namespace event_type

// LUID and a TOKEN_PRIVILEGES of one entry, as the SDK lays them out.
struct Luid {
  std::uint32_t lowPart;
  std::int32_t highPart;
};
struct TokenPrivileges {
  std::uint32_t privilegeCount;
  Luid luid;
  std::uint32_t attributes;
};

namespace token {
constexpr AccessMask kAdjustPrivileges = 0x0020;                   // TOKEN_ADJUST_PRIVILEGES
constexpr AccessMask kQuery = 0x0008;                              // TOKEN_QUERY
constexpr std::uint32_t kPrivilegeEnabled = 0x2;                   // SE_PRIVILEGE_ENABLED
constexpr const char* kShutdownPrivilege = "SeShutdownPrivilege";  // SE_SHUTDOWN_NAME
}  // namespace token

// ExitWindowsEx flags.
namespace ewx {
constexpr std::uint32_t kLogoff = 0x0;
constexpr std::uint32_t kShutdown = 0x1;
constexpr std::uint32_t kReboot = 0x2;
constexpr std::uint32_t kForce = 0x4;
}  // namespace ewx

// SetErrorMode flags.
namespace sem {
constexpr std::uint32_t kFailCriticalErrors = 0x0001;  // no "insert a disk" box
constexpr std::uint32_t kNoGpFaultErrorBox = 0x0002;   // no box when the program faults
constexpr std::uint32_t kNoOpenFileErrorBox = 0x8000;  // no box when a file is not found
}  // namespace sem

class System {
 public:
  virtual ~System() = default;

  // GetVersionExA on a record whose `size` the caller has set; fills as many
  // bytes as `size` names. Sizes other than 148 and 156 fail with 122.
  virtual ErrorCode GetVersion(OsVersionInfo* info) = 0;

  // FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS | ALLOCATE_BUFFER) in the
  // user's default language. On success *text is the system's text as
  // stored, usually ending "\r\n"; a code without text gives 317 and leaves
  // *text alone.
  virtual ErrorCode FormatSystemMessage(ErrorCode code, std::string* text) = 0;

  // The full path of the running program file (GetModuleFileNameA).
  virtual std::string ModuleFileName() = 0;

  // GetLocalTime: the date and time of day on this machine's clock.
  virtual LocalTime GetLocalTime() = 0;
  // GetComputerNameA: this machine's NetBIOS name.
  virtual ErrorCode GetComputerName(std::string* name) = 0;

  // OpenProcessToken of the running process (GetCurrentProcess). On
  // failure *token is null.
  virtual ErrorCode OpenProcessToken(AccessMask access, TokenHandle* token) = 0;
  // LookupPrivilegeValueA; a null system name is the local system.
  virtual ErrorCode LookupPrivilegeValue(const char* systemName, const char* name, Luid* luid) = 0;
  // AdjustTokenPrivileges without the previous state. Success whenever the
  // call returns TRUE, also when the token lacks the privilege (Windows
  // then leaves ERROR_NOT_ALL_ASSIGNED as the last error; the change
  // simply does not happen).
  virtual ErrorCode AdjustTokenPrivileges(TokenHandle token, bool disableAll,
                                          const TokenPrivileges& newState) = 0;
  // CloseHandle of a token.
  virtual ErrorCode CloseToken(TokenHandle token) = 0;
  // The account the process runs as, as a SID string ("S-1-5-21-...-500"):
  // OpenProcessToken (TOKEN_QUERY), then GetTokenInformation (TokenUser).
  virtual ErrorCode GetProcessUserSid(std::string* sid) = 0;
  // The account the process runs as by name, "DOMAIN\user":
  // LookupAccountSidA of the SID GetProcessUserSid gives.
  virtual ErrorCode GetProcessUserName(std::string* name) = 0;
  // ExitWindowsEx. Success means the restart (or shutdown) has begun.
  virtual ErrorCode ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) = 0;

  // SetErrorMode: which of the system's own error boxes the process is
  // spared from now on. It cannot fail.
  virtual void SetErrorMode(std::uint32_t mode) = 0;

  // CreateMutexA, not taken yet: the named mutex, made or opened. A mutex it
  // makes gets the access list of `sddl` (null: the default one); one that
  // exists keeps its own. On failure *mutex is null.
  virtual ErrorCode CreateMutex(const char* name, const char* sddl, MutexHandle* mutex) = 0;
  // WaitForSingleObject on a mutex: success once the process holds it,
  // WAIT_TIMEOUT (258) when another process still holds it after
  // `milliseconds`. *abandoned says whether its last holder ended without
  // releasing it (WAIT_ABANDONED): the process holds it then as well, and
  // what the mutex guards may be half changed.
  virtual ErrorCode WaitForMutex(MutexHandle mutex, std::uint32_t milliseconds,
                                 bool* abandoned) = 0;
  // ReleaseMutex of a mutex the process holds.
  virtual ErrorCode ReleaseMutex(MutexHandle mutex) = 0;
  // CloseHandle of a mutex.
  virtual ErrorCode CloseMutex(MutexHandle mutex) = 0;

  // RegisterEventSourceA on this machine: a handle for the Application log's
  // source `source`. On failure *handle is null.
  virtual ErrorCode RegisterEventSource(const char* source, EventSourceHandle* handle) = 0;
  // ReportEventA of one event (category 0, no data) with its insert
  // strings; with `asProcessUser` the event names the process's user
  // (Event Viewer's User column). A full log answers ERROR_LOG_FILE_FULL.
  virtual ErrorCode ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint32_t id,
                                bool asProcessUser, const std::vector<std::string>& strings) = 0;
  // DeregisterEventSource.
  virtual ErrorCode DeregisterEventSource(EventSourceHandle source) = 0;

  // The runtime's exit(): runs the registered process clean-up, then ends the
  // process with `status`. Never returns.
  [[noreturn]] virtual void ExitProcess(int status) = 0;
};

// A process token that closes itself.
class Token {
 public:
  explicit Token(System& system) : system_(system) {}
  Token(const Token&) = delete;
  Token& operator=(const Token&) = delete;
  ~Token() {
    if (handle_ != nullptr) system_.CloseToken(handle_);
  }

  ErrorCode OpenForProcess(AccessMask access) {
    TokenHandle opened = nullptr;
    const ErrorCode code = system_.OpenProcessToken(access, &opened);
    if (code == error::kSuccess) handle_ = opened;
    return code;
  }
  TokenHandle get() const { return handle_; }

 private:
  System& system_;
  TokenHandle handle_ = nullptr;
};

}  // namespace velnara::platform

// Process-wide system calls: the version query, the system's message texts,
// the program file's name and the end of the process.
#pragma once

#include <cstdint>
#include <string>

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

  // The runtime's exit(): runs the registered process clean-up, then ends the
  // process with `status`. Never returns.
  [[noreturn]] virtual void ExitProcess(int status) = 0;
};

}  // namespace velnara::platform

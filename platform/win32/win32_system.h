// The version query, system message texts, program file name, process
// token, privileges, restart and process exit over kernel32, advapi32,
// user32 and the C runtime. The BOOL calls report the last error read right
// after a failure.
#pragma once

#include <string>

#include "platform/system.h"

namespace velnara::platform::win32 {

class Win32System final : public System {
 public:
  ErrorCode GetVersion(OsVersionInfo* info) override;
  ErrorCode FormatSystemMessage(ErrorCode code, std::string* text) override;
  std::string ModuleFileName() override;
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
};

// True when the program runs under Wine, whose ntdll exports
// wine_get_version. Some system facilities (the COM port database) are stubs
// there and must not be called.
bool IsWine();

}  // namespace velnara::platform::win32

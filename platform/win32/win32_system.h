// The version query, system message texts, program file name and process
// exit over kernel32 and the C runtime.
#pragma once

#include <string>

#include "platform/system.h"

namespace velnara::platform::win32 {

class Win32System final : public System {
 public:
  ErrorCode GetVersion(OsVersionInfo* info) override;
  ErrorCode FormatSystemMessage(ErrorCode code, std::string* text) override;
  std::string ModuleFileName() override;
  [[noreturn]] void ExitProcess(int status) override;
};

// True when the program runs under Wine, whose ntdll exports
// wine_get_version. Some system facilities (the COM port database) are stubs
// there and must not be called.
bool IsWine();

}  // namespace velnara::platform::win32

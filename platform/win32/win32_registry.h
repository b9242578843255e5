// The registry contract over the real Reg*A calls of advapi32.
#pragma once

#include "platform/registry.h"

namespace velnara::platform::win32 {

class Win32Registry final : public Registry {
 public:
  ErrorCode OpenKey(RawKey parent, const char* subKey, AccessMask access, RawKey* result) override;
  ErrorCode CreateKey(RawKey parent, const char* subKey, AccessMask access, const char* sddl,
                      RawKey* result) override;
  ErrorCode DeleteKey(RawKey parent, const char* subKey) override;
  ErrorCode EnumKey(RawKey key, std::uint32_t index, char* name, std::uint32_t* nameChars) override;
  ErrorCode EnumValue(RawKey key, std::uint32_t index, char* name, std::uint32_t* nameChars,
                      std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataBytes) override;
  ErrorCode QueryValue(RawKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataBytes) override;
  ErrorCode SetValue(RawKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t dataBytes) override;
  ErrorCode DeleteValue(RawKey key, const char* name) override;
  ErrorCode FlushKey(RawKey key) override;
  ErrorCode CloseKey(RawKey key) override;
};

}  // namespace velnara::platform::win32

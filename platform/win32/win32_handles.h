// Conversions between the contract's handle types and the SDK's, and the
// small ownership helpers the backend shares.
#pragma once

#include <string>

#include "platform/registry.h"
#include "platform/win32/windows_api.h"

namespace velnara::platform::win32 {

// The predefined roots are 32-bit values that Windows sign-extends to the
// pointer width; RawKey carries them zero-extended, so a 64-bit build has to
// widen them again before a Reg* call sees them. Opened keys pass unchanged.
inline HKEY ToHkey(RawKey key) {
  if (key >= kClassesRoot && key <= 0x800000FFu) {
    return reinterpret_cast<HKEY>(
        static_cast<LONG_PTR>(static_cast<LONG>(static_cast<DWORD>(key))));
  }
  return reinterpret_cast<HKEY>(key);
}

inline RawKey FromHkey(HKEY key) {
  return reinterpret_cast<RawKey>(key);
}

inline HWND ToHwnd(WindowHandle window) {
  return static_cast<HWND>(window);
}

// The last error of a call that has just reported failure. A failure that
// left no code is never passed on as success.
inline ErrorCode LastErrorCode() {
  const DWORD code = GetLastError();
  return code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE;
}

// Memory the system allocated with LocalAlloc for the caller to free.
class LocalMemory {
 public:
  LocalMemory() = default;
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  ~LocalMemory() {
    if (memory_ != nullptr) LocalFree(memory_);
  }

  // The out-parameter for the allocating call.
  template <class T>
  T* receive_as() {
    return reinterpret_cast<T*>(&memory_);
  }
  void** receive() { return &memory_; }
  void* get() const { return memory_; }

 private:
  void* memory_ = nullptr;
};

// A SID as SID strings write it, "S-1-5-32-544", read from its documented
// layout (ConvertSidToStringSidA is missing before Windows 2000).
inline std::string SidText(const void* sid) {
  const SID* s = static_cast<const SID*>(sid);
  unsigned long long authority = 0;
  for (const BYTE byte : s->IdentifierAuthority.Value) authority = authority << 8 | byte;
  std::string text = "S-" + std::to_string(s->Revision) + "-" + std::to_string(authority);
  for (BYTE i = 0; i < s->SubAuthorityCount; ++i) {
    text += "-" + std::to_string(static_cast<unsigned long>(s->SubAuthority[i]));
  }
  return text;
}

}  // namespace velnara::platform::win32

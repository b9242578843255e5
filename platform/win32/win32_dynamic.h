// Functions the program looks up when it runs rather than importing them,
// so that a Windows without them still starts the program (and shows the
// platform gate's message) instead of refusing to load it.
#pragma once

#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_api.h"

namespace velnara::platform::win32 {

// The function `name` of `dll` as a pointer of type F (declare it with
// decltype(&TheFunction)), or null when the DLL or the function is missing.
// A DLL once loaded stays loaded for the life of the process.
template <typename F>
F LookUpFunction(const char* dll, const char* name) {
  const HMODULE module = LoadLibraryA(dll);
  if (module == nullptr) return nullptr;
  // Through void*: FARPROC's own type says nothing of the real signature.
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The security attributes that make an object with the access list of an
// SDDL text. The SDDL call is looked up: Windows 2000 and later have it,
// and the program runs on no other (an older one still starts it, to hear
// its gate).
class SddlAttributes {
 public:
  SddlAttributes() = default;
  SddlAttributes(const SddlAttributes&) = delete;
  SddlAttributes& operator=(const SddlAttributes&) = delete;

  // Success (also for a null `sddl`: the default list), or the
  // conversion's error.
  ErrorCode Make(const char* sddl) {
    if (sddl == nullptr) return ERROR_SUCCESS;
    static const auto convert =
        LookUpFunction<decltype(&ConvertStringSecurityDescriptorToSecurityDescriptorA)>(
            "advapi32.dll", "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    if (convert == nullptr) return ERROR_PROC_NOT_FOUND;
    if (!convert(sddl, SDDL_REVISION_1, descriptor_.receive(), nullptr)) return LastErrorCode();
    attributes_.lpSecurityDescriptor = descriptor_.get();
    return ERROR_SUCCESS;
  }
  // For the making call: null for the default list.
  SECURITY_ATTRIBUTES* get() {
    return attributes_.lpSecurityDescriptor != nullptr ? &attributes_ : nullptr;
  }

 private:
  LocalMemory descriptor_;
  SECURITY_ATTRIBUTES attributes_ = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

}  // namespace velnara::platform::win32

// Functions the program looks up when it runs rather than importing them,
// so that a Windows without them still starts the program (and shows the
// platform gate's message) instead of refusing to load it.
#pragma once

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

}  // namespace velnara::platform::win32

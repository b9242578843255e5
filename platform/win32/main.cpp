// The program's entry point: the real Windows facilities, then the program.

#include "app/application.h"
#include "platform/platform.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window_system.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  namespace win32 = velnara::platform::win32;
  // Static, so that they outlive everything the program builds after them:
  // the program may end itself with exit() from inside a dialog, and exit()
  // destroys static objects in the reverse order of their construction, while
  // the stack of the running dialog is never unwound.
  static win32::Win32Registry registry;
  static win32::Win32System system;
  static win32::Win32WindowSystem windows;
  static velnara::platform::Platform platform{registry, system, windows};
  return velnara::RunApplication(platform);
}

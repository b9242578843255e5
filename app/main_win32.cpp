// The Windows program's entry point: the real Windows facilities, then the
// program. The MinGW runtime calls main() for a program of the GUI subsystem
// as well, so the entry point needs nothing from <windows.h>.

#include "app/application.h"
#include "platform/platform.h"
#include "platform/win32/win32_com_port_database.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_security.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window_system.h"

#include <string>
#include <vector>

// The arguments as Windows gives them, * and ? untouched: a map file's
// name is not a pattern to expand.
int _dowildcard = 0;

int main(int argc, char** argv) {
  namespace win32 = velnara::platform::win32;
  // Static, so that they outlive everything the program builds after them:
  // the program may end itself with exit() from inside a dialog, and exit()
  // destroys static objects in the reverse order of their construction, while
  // the stack of the running dialog is never unwound.
  static win32::Win32Registry registry;
  static win32::Win32System system;
  static win32::Win32WindowSystem windows;
  static win32::Win32Security security;
  static const auto comPorts = win32::MakeComPortDatabase(registry);
  static win32::Win32Files files;
  static velnara::platform::Platform platform{registry, system,    windows,
                                              security, *comPorts, files};
  return velnara::RunApplication(platform, std::vector<std::string>(argv + 1, argv + argc));
}

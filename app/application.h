// The application object: its start-up operation runs the main dialog.
#pragma once

#include "platform/platform.h"

namespace velnara {

class Application {
 public:
  explicit Application(platform::Platform& platform) : platform_(platform) {}

  // Start-up: asks for 3-D controls, runs the main dialog modally, destroys
  // it. Always false: there is no message loop after the dialog.
  bool InitInstance();

 private:
  platform::Platform& platform_;
};

// Runs the program on `platform` and gives the exit status of a normal end.
int RunApplication(platform::Platform& platform);

}  // namespace velnara

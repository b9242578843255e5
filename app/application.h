// The application object: its start-up operation runs the main dialog.
#pragma once

#include <string>
#include <vector>

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

// Runs the program on `platform` with the arguments that followed its name:
// none opens the dialog, the others run unattended (unattended/). Gives
// the exit status: 0 after the dialog, the unattended run's own otherwise.
int RunApplication(platform::Platform& platform, const std::vector<std::string>& args = {});

}  // namespace velnara

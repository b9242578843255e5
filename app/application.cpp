#include "app/application.h"

namespace velnara {

bool Application::InitInstance() {
  platform_.windows.Enable3dControls();
  return false;
}

int RunApplication(platform::Platform& platform) {
  Application application(platform);
  application.InitInstance();
  return 0;
}

}  // namespace velnara

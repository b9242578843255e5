#include "app/application.h"

#include "ui/main_dialog.h"

namespace velnara {

namespace {

// Keeps the main dialog the application's main window while it exists.
class MainWindowScope {
 public:
  MainWindowScope(platform::WindowSystem& windows, const platform::Dialog& dialog)
      : windows_(windows) {
    windows_.SetMainWindow(dialog.handleAddress());
  }
  MainWindowScope(const MainWindowScope&) = delete;
  MainWindowScope& operator=(const MainWindowScope&) = delete;
  ~MainWindowScope() { windows_.SetMainWindow(nullptr); }

 private:
  platform::WindowSystem& windows_;
};

}  // namespace

bool Application::InitInstance() {
  platform_.windows.Enable3dControls();  // result ignored: nothing depends on it
  MainDialog dialog(platform_);
  const MainWindowScope mainWindow(platform_.windows, dialog);
  // How the user left does not matter here: the dialog's exits did the work.
  dialog.DoModal();
  return false;
}

int RunApplication(platform::Platform& platform) {
  Application application(platform);
  application.InitInstance();
  return 0;
}

}  // namespace velnara

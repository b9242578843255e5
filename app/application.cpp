#include "app/application.h"

#include "ui/main_dialog.h"
#include "ui/platform_gate.h"
#include "unattended/command_line.h"
#include "unattended/unattended_run.h"

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

int RunApplication(platform::Platform& platform, const std::vector<std::string>& args) {
  Command command;
  std::string problem;
  if (!ParseCommandLine(args, &command, &problem)) {
    return StatusOf(RefuseCommandLine(platform, problem));
  }
  if (command.mode == Mode::kDialog) {
    Application application(platform);
    application.InitInstance();
    return 0;
  }
  // Unattended, the gate speaks where the run's messages go, and "/?" is
  // answered on any Windows.
  UnattendedRun run(platform, command);
  const Outcome begun = run.Begin();
  if (begun != Outcome::kDone) return StatusOf(begun);
  const int status = StatusOf(command.mode != Mode::kUsage && !IsSupportedSystem(platform.system)
                                  ? run.RefuseSystem(kUnsupportedSystemText)
                                  : run.Run());
  run.End(status);
  return status;
}

}  // namespace velnara

// Drives a Velnara.exe that something else started, from a second process
// in the same Wine session: the shell-level end-to-end test of the platform
// gate and the screenshot script use it.
//
//   velnara_e2e_driver answer-gate
//       Waits for the message of the platform gate, checks its text and that
//       the main dialog never shows, presses OK and waits for the program to
//       end with status -1. Exit status 0 when all of that held.
//   velnara_e2e_driver wait CAPTION         a visible window with that caption
//   velnara_e2e_driver rect CAPTION...      prints the rectangle covering those
//                                           windows as WIDTHxHEIGHT+X+Y
//   velnara_e2e_driver about                the About command of the main dialog
//   velnara_e2e_driver open-rename PORT     double-clicks the port item PORT
//   velnara_e2e_driver press CAPTION ID     presses button ID of that window
//   velnara_e2e_driver activate CAPTION     makes that window the active one
//   velnara_e2e_driver cancel-main          the main dialog's cancel command
//
// Exit status 1 with a message on stderr when something did not happen.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/wine/e2e_names.h"
#include "tests/wine/ui_automation.h"

namespace velnara::wine_test {
namespace {

constexpr DWORD kWaitMs = 30000;

int Fail(const std::string& message) {
  std::fprintf(stderr, "velnara_e2e_driver: %s\n", message.c_str());
  return 1;
}

struct Query {
  const std::string* caption;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<Query*>(context);
  char caption[512] = {};
  GetWindowTextA(window, caption, sizeof(caption));
  if (IsWindowVisible(window) && *query->caption == caption) query->found.push_back(window);
  return TRUE;
}

// The visible top-level window with that caption, of any process.
HWND FindVisible(const std::string& caption) {
  Query query{&caption, {}};
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&query));
  return query.found.empty() ? nullptr : query.found.front();
}

HWND WaitForVisible(const std::string& caption, DWORD timeoutMs = kWaitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (const HWND window = FindVisible(caption)) return window;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

class ProcessHandle {
 public:
  explicit ProcessHandle(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    handle_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  ~ProcessHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

// The gate's message box: the main dialog owns it but must never show, and
// after OK the process ends with -1.
int AnswerGate() {
  const DWORD start = GetTickCount();
  HWND box = nullptr;
  while ((box = FindVisible(kBoxCaption)) == nullptr) {
    if (FindVisible(kMainCaption) != nullptr) return Fail("the main dialog showed");
    if (GetTickCount() - start >= kWaitMs) return Fail("no message box captioned Velnara");
    Sleep(kPollMs);
  }
  const ProcessHandle process(box);
  if (process.get() == nullptr) return Fail("cannot open the program's process");

  int failures = 0;
  const std::string text = MessageBoxText(box);
  if (text != kGateText) failures += Fail("message box text \"" + text + "\"");
  const HWND owner = GetWindow(box, GW_OWNER);
  char ownerCaption[256] = {};
  if (owner != nullptr) GetWindowTextA(owner, ownerCaption, sizeof(ownerCaption));
  if (std::string(ownerCaption) != kMainCaption) {
    failures += Fail("the box is not owned by the main dialog");
  }
  if (!ClickButton(box, IDOK)) return Fail("cannot press OK");

  const DWORD pressed = GetTickCount();
  while (WaitForSingleObject(process.get(), kPollMs) == WAIT_TIMEOUT) {
    if (FindVisible(kMainCaption) != nullptr) return Fail("the main dialog showed after OK");
    if (GetTickCount() - pressed >= kWaitMs) return Fail("the program did not end after OK");
  }
  DWORD status = 0;
  GetExitCodeProcess(process.get(), &status);
  if (status != 0xFFFFFFFFu) failures += Fail("exit status " + std::to_string(status));
  return failures == 0 ? 0 : 1;
}

int PrintRect(const std::vector<std::string>& captions) {
  RECT all = {};
  for (const std::string& caption : captions) {
    const HWND window = FindVisible(caption);
    if (window == nullptr) return Fail("no visible window \"" + caption + "\"");
    RECT rect = {};
    GetWindowRect(window, &rect);
    UnionRect(&all, &all, &rect);
  }
  std::printf("%ldx%ld+%ld+%ld\n", all.right - all.left, all.bottom - all.top, all.left, all.top);
  return 0;
}

int OpenRename(const std::string& port) {
  const HWND dialog = FindVisible(kMainCaption);
  if (dialog == nullptr) return Fail("no main dialog");
  const HWND tree = GetDlgItem(dialog, kTreeId);
  std::vector<TreeNode> roots;
  if (!ReadTree(tree, &roots)) return Fail("cannot read the tree");
  const TreeNode* node = FindTreeNode(roots, port);
  if (node == nullptr) return Fail("no item " + port);
  if (!SelectTreeItem(tree, node->item) || !DoubleClickTreeItem(tree, node->item)) {
    return Fail("cannot double-click " + port);
  }
  return WaitForVisible(kRenameCaption) != nullptr ? 0 : Fail("no rename dialog");
}

int Run(const std::vector<std::string>& args) {
  const std::string command = args.empty() ? std::string() : args[0];
  if (command == "answer-gate" && args.size() == 1) return AnswerGate();
  if (command == "wait" && args.size() == 2) {
    return WaitForVisible(args[1]) != nullptr ? 0 : Fail("no window \"" + args[1] + "\"");
  }
  if (command == "rect" && args.size() >= 2) {
    return PrintRect(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  if (command == "about" && args.size() == 1) {
    const HWND dialog = FindVisible(kMainCaption);
    if (dialog == nullptr) return Fail("no main dialog");
    return PostMessageA(dialog, WM_SYSCOMMAND, kAboutCommand, 0) ? 0 : Fail("post failed");
  }
  if (command == "open-rename" && args.size() == 2) return OpenRename(args[1]);
  if (command == "press" && args.size() == 3) {
    const HWND window = FindVisible(args[1]);
    if (window == nullptr) return Fail("no window \"" + args[1] + "\"");
    return ClickButton(window, std::atoi(args[2].c_str())) ? 0 : Fail("cannot press");
  }
  if (command == "activate" && args.size() == 2) {
    const HWND window = FindVisible(args[1]);
    if (window == nullptr) return Fail("no window \"" + args[1] + "\"");
    if (!SetForegroundWindow(window)) return Fail("cannot activate");
    // Wine may leave the caption of a window that was already active drawn
    // as inactive; this redraws it as what it is.
    SendMessageA(window, WM_NCACTIVATE, GetForegroundWindow() == window, 0);
    return 0;
  }
  if (command == "cancel-main" && args.size() == 1) {
    const HWND dialog = FindVisible(kMainCaption);
    if (dialog == nullptr) return Fail("no main dialog");
    return PostCommand(dialog, IDCANCEL) ? 0 : Fail("post failed");
  }
  std::fprintf(stderr,
               "usage: velnara_e2e_driver answer-gate | wait CAPTION | rect CAPTION... | about |"
               " open-rename PORT | press CAPTION ID | activate CAPTION | cancel-main\n");
  return 2;
}

}  // namespace
}  // namespace velnara::wine_test

int main(int argc, char** argv) {
  return velnara::wine_test::Run(std::vector<std::string>(argv + 1, argv + argc));
}

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
//   velnara_e2e_driver reset SAMPLE.reg     puts the sample machine back and
//                                           locks its port device keys
//   velnara_e2e_driver rename FROM TO       renames port FROM to TO
//   velnara_e2e_driver answer TEXT ID       presses button ID of the program's
//                                           message box that says TEXT, once
//                                           it shows (ID 0: only waits for it)
//   velnara_e2e_driver check-port NAME      the port named NAME has that name
//                                           in PortName and FriendlyName, and
//                                           its key is locked again
//   velnara_e2e_driver state                prints every place a walk writes,
//                                           a line each, texts up to their
//                                           terminator, and the claimed numbers
//   velnara_e2e_driver run-killed K LINE    runs the command line LINE, ended
//                                           just before its K-th write; prints
//                                           "killed" or "ended" and the writes
//
// Exit status 1 with a message on stderr when something did not happen.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/wine/e2e_names.h"
#include "tests/wine/ui_automation.h"
#include "tests/wine/wine_machine.h"
#include "tests/wine/write_killer.h"

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

int Rename(const std::string& from, const std::string& to) {
  if (const int failed = OpenRename(from)) return failed;
  const HWND rename = WaitForVisible(kRenameCaption);
  if (!TypeIntoCombo(GetDlgItem(rename, kNewNameId), to) || !ClickButton(rename, IDOK)) {
    return Fail("cannot choose " + to);
  }
  const DWORD start = GetTickCount();
  for (;;) {
    std::vector<TreeNode> roots;
    const HWND dialog = FindVisible(kMainCaption);
    if (dialog != nullptr && ReadTree(GetDlgItem(dialog, kTreeId), &roots) &&
        FindTreeNode(roots, to) != nullptr) {
      return 0;
    }
    if (GetTickCount() - start >= kWaitMs) return Fail("the tree never showed " + to);
    Sleep(kPollMs);
  }
}

// Waits for the program's message box that says `text` (an earlier box may
// still be closing) and presses `button`, unless it is 0.
int Answer(const std::string& text, int button) {
  const DWORD start = GetTickCount();
  std::string shown = "nothing";
  for (;;) {
    if (const HWND box = FindVisible(kBoxCaption)) {
      shown = MessageBoxText(box);
      if (shown == text) {
        if (button == 0 || ClickButton(box, button)) return 0;
        return Fail("cannot press " + std::to_string(button));
      }
    }
    if (GetTickCount() - start >= kWaitMs) {
      return Fail("no message box \"" + text + "\"; the last one said \"" + shown + "\"");
    }
    Sleep(kPollMs);
  }
}

int CheckPort(const std::string& name) {
  const std::map<std::string, std::string> keys = PortDeviceKeysByName();
  const auto found = keys.find(name);
  if (found == keys.end()) return Fail("no port device key holds PortName " + name);
  int failures = 0;
  const std::string friendly = ReadValue(found->second, "FriendlyName");
  if (friendly != "Tarvex 880 Port (" + name + ")" + std::string(1, '\0')) {
    failures += Fail("FriendlyName is \"" + friendly + "\"");
  }
  const std::string sddl = DaclSddl(found->second);
  if (sddl.find(";WD)") != std::string::npos) failures += Fail("Everyone keeps an entry: " + sddl);
  if (sddl.substr(sddl.find('(')) != std::string(kLockedPortKey).substr(3)) {
    failures += Fail("the key is not locked again: " + sddl);
  }
  return failures == 0 ? 0 : 1;
}

std::string Text(const std::string& data) {
  return data.substr(0, data.find('\0'));
}

int PrintState() {
  for (const std::string& key : PortDeviceKeys()) {
    const std::string sddl = DaclSddl(key);
    std::printf("key %s PortName=%s FriendlyName=%s list=%s\n", key.c_str(),
                Text(ReadValue(key + "\\Device Parameters", "PortName")).c_str(),
                Text(ReadValue(key, "FriendlyName")).c_str(),
                sddl.substr(std::min(sddl.find('('), sddl.size())).c_str());
  }
  for (const char* path : {"HARDWARE\\DEVICEMAP\\SERIALCOMM",
                           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"}) {
    for (const std::string& name : ValueNames(path)) {
      std::printf("value %s|%s=%s\n", path, name.c_str(), Text(ReadValue(path, name)).c_str());
    }
  }
  std::printf("claimed");
  for (const int number : ClaimedNumbers()) std::printf(" %d", number);
  std::printf("\n");
  return 0;
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
  if (command == "reset" && args.size() == 2) {
    std::string problem;
    return ResetSampleMachine(args[1], &problem) ? 0 : Fail(problem);
  }
  if (command == "rename" && args.size() == 3) return Rename(args[1], args[2]);
  if (command == "answer" && args.size() == 3) return Answer(args[1], std::atoi(args[2].c_str()));
  if (command == "check-port" && args.size() == 2) return CheckPort(args[1]);
  if (command == "state" && args.size() == 1) return PrintState();
  if (command == "run-killed" && args.size() == 3) {
    bool killed = false;
    std::size_t writes = 0;
    std::string problem;
    if (!RunKilledAt(args[2], std::strtoul(args[1].c_str(), nullptr, 10), &killed, &writes,
                     &problem)) {
      return Fail(problem);
    }
    std::printf("%s %zu\n", killed ? "killed" : "ended", writes);
    return 0;
  }
  std::fprintf(stderr,
               "usage: velnara_e2e_driver answer-gate | wait CAPTION | rect CAPTION... | about |"
               " open-rename PORT | press CAPTION ID | activate CAPTION | cancel-main |"
               " reset SAMPLE | rename FROM TO | answer TEXT ID | check-port NAME | state |"
               " run-killed K LINE\n");
  return 2;
}

}  // namespace
}  // namespace velnara::wine_test

int main(int argc, char** argv) {
  return velnara::wine_test::Run(std::vector<std::string>(argv + 1, argv + argc));
}

#include "tests/wine/ui_automation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace velnara::wine_test {
namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 5000;
constexpr int kTextCapacity = 260;

// SendMessage that gives up on a hung target instead of hanging the test.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                           kSendTimeoutMs, &answer)) {
    return false;
  }
  if (result != nullptr) *result = static_cast<LRESULT>(answer);
  return true;
}

// A block of memory inside the process that owns `window`.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, SIZE_T size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_ != nullptr) {
      base_ = static_cast<char*>(
          VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  ~RemoteMemory() {
    if (base_ != nullptr) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }

  bool ok() const { return base_ != nullptr; }
  char* at(SIZE_T offset) const { return base_ + offset; }
  bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }
  bool ReadFrom(const void* remote, void* data, SIZE_T size) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, remote, data, size, &done) && done == size;
  }

 private:
  HANDLE process_ = nullptr;
  char* base_ = nullptr;
};

bool ReadNode(HWND tree, const RemoteMemory& remote, HTREEITEM item, TreeNode* node) {
  TVITEMA entry = {};
  entry.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
  entry.hItem = item;
  entry.stateMask = TVIS_EXPANDED;
  entry.pszText = remote.at(sizeof(TVITEMA));
  entry.cchTextMax = kTextCapacity;
  LRESULT answer = 0;
  if (!remote.Write(0, &entry, sizeof(entry)) ||
      !Send(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.at(0)), &answer) ||
      answer == FALSE || !remote.ReadFrom(remote.at(0), &entry, sizeof(entry))) {
    return false;
  }
  // The control may point pszText at its own copy of the text.
  char text[kTextCapacity] = {};
  if (entry.pszText != nullptr && !remote.ReadFrom(entry.pszText, text, sizeof(text) - 1)) {
    return false;
  }
  node->item = item;
  node->text = text;
  node->expanded = (entry.state & TVIS_EXPANDED) != 0;
  return true;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT code) {
  LRESULT answer = 0;
  if (!Send(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item), &answer)) return nullptr;
  return reinterpret_cast<HTREEITEM>(answer);
}

bool ReadSiblings(HWND tree, const RemoteMemory& remote, HTREEITEM first,
                  std::vector<TreeNode>* nodes) {
  for (HTREEITEM item = first; item != nullptr; item = NextItem(tree, item, TVGN_NEXT)) {
    TreeNode node;
    if (!ReadNode(tree, remote, item, &node)) return false;
    if (!ReadSiblings(tree, remote, NextItem(tree, item, TVGN_CHILD), &node.children)) {
      return false;
    }
    nodes->push_back(std::move(node));
  }
  return true;
}

struct WindowQuery {
  DWORD processId;
  const char* className;
  const std::string* caption;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<WindowQuery*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != query->processId) return TRUE;
  if (query->className != nullptr && ReadClassName(window) != query->className) return TRUE;
  char caption[512] = {};
  GetWindowTextA(window, caption, sizeof(caption));  // top-level captions cross processes
  if (*query->caption == caption) query->found.push_back(window);
  return TRUE;
}

}  // namespace

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

BOOL StartProcess(std::string commandLine, BOOL inheritHandles, STARTUPINFOA* startup,
                  PROCESS_INFORMATION* process) {
  constexpr int kTries = 3;
  for (int attempt = 1;; ++attempt) {
    std::string line = commandLine;  // CreateProcessA may write into it
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, inheritHandles, 0, nullptr, nullptr,
                       startup, process)) {
      return TRUE;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == kTries) {
      SetLastError(error);
      return FALSE;
    }
    std::fprintf(stderr, "note: Wine lost the new process of %s (error 1359); starting it again\n",
                 commandLine.c_str());
    Sleep(500);
  }
}

// --- RunningProgram ----------------------------------------------------------

RunningProgram::~RunningProgram() {
  Terminate();
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
}

bool RunningProgram::Attach(DWORD processId) {
  if (info_.hProcess != nullptr) return false;
  info_.hProcess =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
  info_.dwProcessId = processId;
  return info_.hProcess != nullptr;
}

void RunningProgram::Release() {
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
  info_ = PROCESS_INFORMATION{};
}

bool RunningProgram::Start(const std::string& program, const std::string& arguments, DWORD* error) {
  if (info_.hProcess != nullptr) return false;
  std::string commandLine = "\"" + ToWindowsPath(program) + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  if (!StartProcess(commandLine, FALSE, &startup, &info_)) {
    if (error != nullptr) *error = GetLastError();
    info_ = PROCESS_INFORMATION{};
    return false;
  }
  return true;
}

HWND RunningProgram::WaitForWindow(const std::string& caption, DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  for (;;) {
    for (HWND window : FindTopLevelWindows(processId(), nullptr, caption)) {
      if (IsWindowVisible(window)) return window;
    }
    if (!IsRunning() || GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

HWND RunningProgram::WaitForMessageBox(const std::string& caption, HWND owner,
                                       DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  for (;;) {
    for (HWND box : FindTopLevelWindows(processId(), "#32770", caption)) {
      if (IsWindowVisible(box) && (owner == nullptr || GetWindow(box, GW_OWNER) == owner)) {
        return box;
      }
    }
    if (!IsRunning() || GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

bool RunningProgram::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (info_.hProcess == nullptr ||
      WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    return false;
  }
  return GetExitCodeProcess(info_.hProcess, exitCode) != FALSE;
}

bool RunningProgram::IsRunning() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void RunningProgram::Terminate() {
  if (!IsRunning()) return;
  TerminateProcess(info_.hProcess, 1);
  WaitForSingleObject(info_.hProcess, 5000);
}

// --- Windows -----------------------------------------------------------------

std::vector<HWND> FindTopLevelWindows(DWORD processId, const char* className,
                                      const std::string& caption) {
  WindowQuery query{processId, className, &caption, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

std::string ReadWindowText(HWND window) {
  LRESULT length = 0;
  if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length) || length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  LRESULT copied = 0;
  if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) {
    return std::string();
  }
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

bool WriteWindowText(HWND window, const std::string& text) {
  LRESULT answer = 0;
  return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &answer) &&
         answer != FALSE;
}

std::string ReadClassName(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof(name));
  return std::string(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string MessageBoxText(HWND box) {
  const HWND text = GetDlgItem(box, 0xFFFF);
  return text != nullptr ? ReadWindowText(text) : std::string();
}

bool ClickButton(HWND dialog, int id) {
  const HWND button = GetDlgItem(dialog, id);
  // A person cannot press a button of a dialog that a modal box has
  // disabled, nor one that is hidden or greyed.
  if (button == nullptr || !IsWindowEnabled(dialog) || !IsWindowVisible(button) ||
      !IsWindowEnabled(button)) {
    return false;
  }
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool PostCommand(HWND dialog, int id) {
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))) != FALSE;
}

bool TypeIntoCombo(HWND combo, const std::string& text) {
  const HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
  if (edit == nullptr || !Send(edit, EM_SETSEL, 0, -1)) return false;
  for (const char c : text) {
    if (!Send(edit, WM_CHAR, static_cast<unsigned char>(c), 1)) return false;
  }
  return true;
}

bool SetComboText(HWND combo, const std::string& text) {
  return WriteWindowText(combo, text);
}

// --- Tree view ---------------------------------------------------------------

bool ReadTree(HWND tree, std::vector<TreeNode>* roots) {
  roots->clear();
  const RemoteMemory remote(tree, sizeof(TVITEMA) + kTextCapacity);
  if (!remote.ok()) return false;
  return ReadSiblings(tree, remote, NextItem(tree, nullptr, TVGN_ROOT), roots);
}

const TreeNode* FindTreeNode(const std::vector<TreeNode>& roots, const std::string& text) {
  for (const TreeNode& node : roots) {
    if (node.text == text) return &node;
    if (const TreeNode* found = FindTreeNode(node.children, text)) return found;
  }
  return nullptr;
}

bool SelectTreeItem(HWND tree, HTREEITEM item) {
  LRESULT answer = 0;
  return Send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item), &answer) &&
         answer != FALSE;
}

bool DoubleClickTreeItem(HWND tree, HTREEITEM item) {
  // An item below a collapsed parent or scrolled away has no rectangle.
  if (!Send(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item))) return false;
  const RemoteMemory remote(tree, sizeof(RECT));
  if (!remote.ok()) return false;
  // TVM_GETITEMRECT takes the item in the first bytes of the RECT it fills.
  RECT rect = {};
  static_assert(sizeof(HTREEITEM) <= sizeof(RECT));
  std::memcpy(&rect, &item, sizeof(item));
  LRESULT answer = 0;
  if (!remote.Write(0, &rect, sizeof(rect)) ||
      !Send(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote.at(0)), &answer) ||
      answer == FALSE || !remote.ReadFrom(remote.at(0), &rect, sizeof(rect))) {
    return false;
  }
  const int x = (rect.left + rect.right) / 2;
  const int y = (rect.top + rect.bottom) / 2;
  return PostMessageA(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y)) != FALSE;
}

}  // namespace velnara::wine_test

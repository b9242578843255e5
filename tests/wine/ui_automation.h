// Drives a running program's windows from another process, the way a person
// would: find its dialog, read and click its tree view, answer its message
// boxes, type into its combo box, press its buttons. Structures that a
// control must read or fill (TVITEMA, RECT) are placed in memory allocated
// inside the target process, since Windows does not carry the pointers of
// common-control messages across processes.
#pragma once

#include <string>
#include <vector>

// Raw Win32 calls on another process's windows are the point of this helper.
#include "platform/win32/windows_api.h"

namespace velnara::wine_test {

// A Linux path as CTest hands it over ("/work/...") becomes the Z: path
// Wine maps it to; Windows paths pass unchanged.
std::string ToWindowsPath(const std::string& path);

// CreateProcessA of `commandLine`, tried again (up to three times in all,
// with a word on standard error) when it fails with ERROR_INTERNAL_ERROR:
// under load Wine's loader now and then loses a new process before its first
// instruction, and CreateProcessA then answers 1359. The program itself has
// not run, so nothing it does is hidden; any other failure returns at once.
BOOL StartProcess(std::string commandLine, BOOL inheritHandles, STARTUPINFOA* startup,
                  PROCESS_INFORMATION* process);

// A started program. The destructor ends it if it is still running.
class RunningProgram {
 public:
  RunningProgram() = default;
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  ~RunningProgram();

  // CreateProcessA of `program` with `arguments` appended to its quoted
  // name. False (with *error the last error) when it cannot be started.
  bool Start(const std::string& program, const std::string& arguments = std::string(),
             DWORD* error = nullptr);

  // A top-level window of this process whose caption is exactly `caption`,
  // once it is visible: a dialog exists, caption and all, while its
  // WM_INITDIALOG still runs, and only shows when that is done. Null after
  // `timeoutMs` or as soon as the process ends.
  HWND WaitForWindow(const std::string& caption, DWORD timeoutMs) const;
  // A visible message box (dialog class "#32770") of this process with that
  // caption, owned by `owner` unless `owner` is null.
  HWND WaitForMessageBox(const std::string& caption, HWND owner, DWORD timeoutMs) const;

  // True with the exit status once the process has ended within `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;
  bool IsRunning() const;
  void Terminate();

  DWORD processId() const { return info_.dwProcessId; }
  HANDLE process() const { return info_.hProcess; }

  // Takes on a program something else started (a debugger); false when it
  // cannot be opened. This object must hold none.
  bool Attach(DWORD processId);
  // Lets go of an ended program, so that Start or Attach may take another.
  void Release();

 private:
  PROCESS_INFORMATION info_ = {};
};

// The top-level windows of process `processId` with class `className` (null:
// any class) and caption `caption`, in z-order.
std::vector<HWND> FindTopLevelWindows(DWORD processId, const char* className,
                                      const std::string& caption);

// A window's text read through WM_GETTEXT, which the system carries across
// processes (GetWindowTextA does not for another process's controls).
std::string ReadWindowText(HWND window);
bool WriteWindowText(HWND window, const std::string& text);
std::string ReadClassName(HWND window);

// The message text of a message box (its static control 0xFFFF).
std::string MessageBoxText(HWND box);

// Presses a button the way a click does: refused (false) when the button is
// missing, hidden or disabled; otherwise its BN_CLICKED reaches the parent.
// Posted, so a handler that opens a modal box does not block the caller.
bool ClickButton(HWND dialog, int id);
// WM_COMMAND with `id` posted to `dialog` whatever the button's state, as
// the dialog manager sends IDCANCEL for Escape.
bool PostCommand(HWND dialog, int id);

// Types `text` into a combo box's edit field: selects the old text and sends
// one WM_CHAR per character, so the field's length limit applies as it does
// to a person typing.
bool TypeIntoCombo(HWND combo, const std::string& text);
// Replaces the combo box's edit text with WM_SETTEXT (no limit applies).
bool SetComboText(HWND combo, const std::string& text);

// One tree-view item as read from the other process.
struct TreeNode {
  HTREEITEM item = nullptr;
  std::string text;
  bool expanded = false;
  std::vector<TreeNode> children;
};

// The whole tree, top-level items first. False when a message failed.
bool ReadTree(HWND tree, std::vector<TreeNode>* roots);
// The first item, depth first, whose text is `text`; null when none.
const TreeNode* FindTreeNode(const std::vector<TreeNode>& roots, const std::string& text);
// TVM_SELECTITEM with TVGN_CARET.
bool SelectTreeItem(HWND tree, HTREEITEM item);
// Posts a left double click at the middle of the item's text rectangle; the
// tree view answers it with NM_DBLCLK to its parent.
bool DoubleClickTreeItem(HWND tree, HTREEITEM item);

}  // namespace velnara::wine_test

// A headless window system: the program's dialogs run in it unchanged,
// built from the templates of the resource script, while a test script
// plays the user. Every message box and dialog shown is recorded in order.
//
// The script is a queue of steps. A modal dialog's loop takes the next step
// and runs it against the active (topmost) dialog; a message box takes the
// next step, which must be an answer. A step that meets the wrong kind of
// window, or a script that runs out while a window waits for the user, is
// recorded in errors() and the waiting window is abandoned (its loop ends
// with IDCANCEL without running any handler), so a test never hangs.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/call_log.h"
#include "platform/sim/res_file.h"
#include "platform/window_system.h"

namespace velnara::platform::sim {

// One window shown to the user, in the order shown.
struct Shown {
  enum class Kind { Dialog, MessageBox };
  Kind kind = Kind::MessageBox;
  int templateId = 0;  // dialogs
  std::string caption;
  std::string text;                // message boxes
  std::uint32_t type = 0;          // message boxes: MB_* buttons | icon
  bool ownedByMainWindow = false;  // its owner is the application's main window
  int answer = 0;                  // message boxes: the button pressed
};

// A snapshot of a tree-view item and its subtree.
struct TreeNode {
  std::string text;
  std::intptr_t data = 0;
  bool expanded = false;
  std::vector<TreeNode> children;
};

class SimWindowSystem;

// What a script step can do to, and read from, the active dialog.
class SimUser {
 public:
  SimUser(SimWindowSystem& windows, WindowHandle dialog) : windows_(windows), dialog_(dialog) {}

  WindowHandle dialog() const { return dialog_; }
  int TemplateId() const;
  std::string Caption() const;

  // Acting. Each records an error when the control cannot take the action
  // (missing, hidden or disabled), as a person could not do it either.
  void Click(int id);                          // BN_CLICKED of a button
  void PressEnter();                           // the focused push button, else IDOK
  void PressEscape();                          // IDCANCEL
  void CloseBox();                             // WM_SYSCOMMAND SC_CLOSE
  void SystemCommand(std::uintptr_t command);  // WM_SYSCOMMAND, e.g. a system menu entry
  // Selects the item reached by following texts from the top level, e.g.
  // {"PCI Bus", "Tarvex 880-4 RJ45", "COM5"}.
  void SelectTreeItem(int treeId, const std::vector<std::string>& path);
  void DoubleClickTree(int treeId);  // NM_DBLCLK via WM_NOTIFY
  // Replaces the text of a combo box's edit field as typing would: the
  // field takes at most its text limit, and the list selection is cleared.
  void TypeText(int comboId, const std::string& text);

  // Reading.
  std::string Text(int id) const;
  bool Enabled(int id) const;
  bool Visible(int id) const;
  int FocusedId() const;  // 0 when no control has the focus
  std::vector<std::string> ComboEntries(int comboId) const;
  int ComboSelection(int comboId) const;         // CB_ERR when none
  int ComboTextLimit(int comboId) const;         // 0 when none was set
  std::vector<TreeNode> Tree(int treeId) const;  // the top-level items

 private:
  SimWindowSystem& windows_;
  WindowHandle dialog_;
};

class SimWindowSystem : public WindowSystem {
 public:
  explicit SimWindowSystem(const Resources& resources = ProgramResources());
  ~SimWindowSystem() override;

  // --- The script ---------------------------------------------------------
  // A step acting on the active dialog.
  void Then(const std::string& description, std::function<void(SimUser&)> action);
  // The answer to the next message box (IDOK, IDYES, IDNO, ...).
  void Answer(int buttonId);
  bool ScriptDone() const;
  // What the user does where the script says nothing: a message box that
  // meets no answer (the script is empty, or its next step is an action)
  // gets `answer`'s button, and a dialog that waits on an empty script gets
  // `step` played on it. For runs whose course is not known in advance
  // (fault sweeps, fuzzing); neither is an error. `step` must end the
  // dialog sooner or later: after 1000 steps on one dialog it is abandoned.
  void SetAutopilot(std::function<int(const Shown&)> answer, std::function<void(SimUser&)> step);
  // Problems met while running the script; a good run leaves this empty.
  const std::vector<std::string>& errors() const;

  // --- What was shown -----------------------------------------------------
  const std::vector<Shown>& transcript() const;
  std::vector<Shown> MessageBoxes() const;
  // Brushes made and not yet deleted. Deleting one that is not there (a
  // second time) is recorded in errors().
  int LiveBrushes() const;
  // Makes CreateSolidBrush fail (answer null), as when GDI runs out.
  void FailBrushCreation(bool fail);

  // Notes dialogs run, message boxes shown, icons set, menu entries added
  // and windows enabled into `log` (null: none), among the other calls.
  void SetCallLog(CallLog* log);

  // Makes every dialog creation fail (RunModalDialog answers -1).
  void FailDialogCreation(bool fail);
  // Which dialogs have a system menu. Windows and Wine give one only to a
  // window with WS_SYSMENU (GetSystemMenu answers null for the others);
  // a test may give every dialog one.
  enum class SystemMenus { kFollowStyle, kAlways };
  void SetSystemMenus(SystemMenus which);
  // Replaces a string resource (an empty text removes it).
  void SetString(int id, const std::string& text);

  // --- WindowSystem --------------------------------------------------------
  bool Enable3dControls() override;
  std::intptr_t RunModalDialog(int templateId, WindowHandle owner, MessageTarget& dialog) override;
  bool EndDialog(WindowHandle dialog, std::intptr_t result) override;
  WindowHandle GetDlgItem(WindowHandle dialog, int id) override;
  bool Subclass(WindowHandle control, MessageTarget& target) override;
  std::intptr_t CallDefault(const Message& message) override;
  bool EnableWindow(WindowHandle window, bool enable) override;
  bool IsWindowEnabled(WindowHandle window) override;
  bool IsWindowVisible(WindowHandle window) override;
  bool IsIconic(WindowHandle window) override;
  bool SetWindowText(WindowHandle window, const char* text) override;
  std::string GetWindowText(WindowHandle window) override;
  std::intptr_t SendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  int MessageBox(WindowHandle owner, const char* text, const char* caption,
                 std::uint32_t type) override;
  MenuHandle GetSystemMenu(WindowHandle window) override;
  bool AppendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                  const char* text) override;
  std::string LoadString(int id) override;
  IconHandle LoadIcon(int id) override;
  DeviceContext BeginPaint(WindowHandle window) override;
  void EndPaint(WindowHandle window) override;
  int GetSystemMetrics(int index) override;
  Rect GetClientRect(WindowHandle window) override;
  bool DrawIcon(DeviceContext dc, int x, int y, IconHandle icon) override;
  BrushHandle CreateSolidBrush(ColorRef color) override;
  bool DeleteObject(BrushHandle brush) override;
  ColorRef SetTextColor(DeviceContext dc, ColorRef color) override;
  ColorRef SetBkColor(DeviceContext dc, ColorRef color) override;
  TreeItem TreeInsertItem(WindowHandle tree, TreeItem parent, TreeItem insertAfter,
                          const char* text) override;
  bool TreeSetItemText(WindowHandle tree, TreeItem item, const char* text) override;
  bool TreeSetItemData(WindowHandle tree, TreeItem item, std::intptr_t data) override;
  bool TreeGetItemText(WindowHandle tree, TreeItem item, char* buffer, int capacity) override;
  bool TreeGetItemData(WindowHandle tree, TreeItem item, std::intptr_t* data) override;
  bool TreeGetItemChildren(WindowHandle tree, TreeItem item, int* children) override;
  TreeItem TreeGetNextItem(WindowHandle tree, TreeItem item, std::uint32_t code) override;
  bool TreeExpand(WindowHandle tree, TreeItem item, std::uint32_t action) override;
  bool TreeSelectItem(WindowHandle tree, TreeItem item) override;
  bool TreeDeleteAllItems(WindowHandle tree) override;
  int ComboAddString(WindowHandle combo, const char* text) override;
  int ComboSetCurSel(WindowHandle combo, int index) override;
  int ComboGetCurSel(WindowHandle combo) override;
  int ComboGetCount(WindowHandle combo) override;
  bool ComboLimitText(WindowHandle combo, int limit) override;

 private:
  friend class SimUser;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velnara::platform::sim

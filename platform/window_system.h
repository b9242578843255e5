// The user-interface calls of the program: dialogs from templates, their
// controls, message boxes, the system menu, icons and painting. The Win32
// backend makes the real calls; the stand-in runs the same dialogs headless.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_constants.h"

namespace velnara::platform {

using WindowHandle = void*;      // HWND
using TreeItem = void*;          // HTREEITEM
using IconHandle = void*;        // HICON
using MenuHandle = void*;        // HMENU
using DeviceContext = void*;     // HDC
using BrushHandle = void*;       // HBRUSH
using ColorRef = std::uint32_t;  // COLORREF: 0x00bbggrr

// One window message as a dialog procedure or window procedure receives it.
struct Message {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// The layout of NMHDR, the head of every WM_NOTIFY.
struct NotifyHeader {
  WindowHandle from;
  std::uintptr_t idFrom;
  std::uint32_t code;
};

struct Rect {
  int left;
  int top;
  int right;
  int bottom;
};

constexpr int kSmCxIcon = 11;    // SM_CXICON
constexpr int kSmCyIcon = 12;    // SM_CYICON
constexpr int kComboError = -1;  // CB_ERR

inline std::uint16_t LowWord(std::uintptr_t value) {
  return static_cast<std::uint16_t>(value & 0xFFFF);
}
inline std::uint16_t HighWord(std::uintptr_t value) {
  return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}

// Something that window messages are delivered to: a dialog, or a control
// object that receives its own window's messages. Returns true when it
// handled the message, with *result the value for the sender; false hands
// the message to the default handling.
class MessageTarget {
 public:
  virtual bool HandleMessage(const Message& message, std::intptr_t* result) = 0;

 protected:
  ~MessageTarget() = default;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The application's main window owns application message boxes and the
  // dialogs that are shown without a parent. Null while there is none.
  void SetMainWindow(const WindowHandle* mainWindow) { mainWindow_ = mainWindow; }
  WindowHandle MainWindow() const { return mainWindow_ ? *mainWindow_ : nullptr; }

  // Asks for three-dimensional drawing of dialog controls.
  virtual bool Enable3dControls() = 0;

  // --- Dialogs -----------------------------------------------------------
  // Creates the dialog window from template `templateId`, owned by `owner`,
  // delivers its messages to `dialog` (WM_INITDIALOG first), runs it until
  // EndDialog and destroys it. Returns the EndDialog value, or -1 when the
  // window cannot be created.
  virtual std::intptr_t RunModalDialog(int templateId, WindowHandle owner,
                                       MessageTarget& dialog) = 0;
  virtual bool EndDialog(WindowHandle dialog, std::intptr_t result) = 0;
  virtual WindowHandle GetDlgItem(WindowHandle dialog, int id) = 0;

  // Routes the messages of a control's own window to `target` before the
  // control's class handles them (subclassing). Stays until the window dies.
  virtual bool Subclass(WindowHandle control, MessageTarget& target) = 0;
  // From inside a subclassed control's handler: the control class's own
  // handling of the message, with its result.
  virtual std::intptr_t CallDefault(const Message& message) = 0;

  // --- Windows -----------------------------------------------------------
  virtual bool EnableWindow(WindowHandle window, bool enable) = 0;
  virtual bool IsWindowEnabled(WindowHandle window) = 0;
  virtual bool IsWindowVisible(WindowHandle window) = 0;
  virtual bool IsIconic(WindowHandle window) = 0;
  virtual bool SetWindowText(WindowHandle window, const char* text) = 0;
  virtual std::string GetWindowText(WindowHandle window) = 0;
  virtual std::intptr_t SendMessage(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) = 0;

  // --- Message boxes -----------------------------------------------------
  // MessageBoxA: returns the id of the button pressed (0 when it failed).
  virtual int MessageBox(WindowHandle owner, const char* text, const char* caption,
                         std::uint32_t type) = 0;

  // --- Menus and resources -----------------------------------------------
  virtual MenuHandle GetSystemMenu(WindowHandle window) = 0;
  virtual bool AppendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                          const char* text) = 0;
  // LoadStringA: the empty text when the string does not exist.
  virtual std::string LoadString(int id) = 0;
  virtual IconHandle LoadIcon(int id) = 0;

  // --- Painting ----------------------------------------------------------
  virtual DeviceContext BeginPaint(WindowHandle window) = 0;
  virtual void EndPaint(WindowHandle window) = 0;
  virtual int GetSystemMetrics(int index) = 0;
  virtual Rect GetClientRect(WindowHandle window) = 0;
  virtual bool DrawIcon(DeviceContext dc, int x, int y, IconHandle icon) = 0;

  // --- Colours -----------------------------------------------------------
  // CreateSolidBrush: null when the system cannot make one.
  virtual BrushHandle CreateSolidBrush(ColorRef color) = 0;
  // DeleteObject of a brush.
  virtual bool DeleteObject(BrushHandle brush) = 0;
  // SetTextColor and SetBkColor: the colour the device context had before.
  virtual ColorRef SetTextColor(DeviceContext dc, ColorRef color) = 0;
  virtual ColorRef SetBkColor(DeviceContext dc, ColorRef color) = 0;

  // --- Tree view (TVM_* messages) ----------------------------------------
  // TVM_INSERTITEMA with TVIF_TEXT alone; parent null inserts at the top
  // level, insertAfter null appends (TVI_LAST). Returns null on failure.
  virtual TreeItem TreeInsertItem(WindowHandle tree, TreeItem parent, TreeItem insertAfter,
                                  const char* text) = 0;
  // TVM_SETITEMA with TVIF_TEXT alone.
  virtual bool TreeSetItemText(WindowHandle tree, TreeItem item, const char* text) = 0;
  // TVM_SETITEMA with TVIF_PARAM alone.
  virtual bool TreeSetItemData(WindowHandle tree, TreeItem item, std::intptr_t data) = 0;
  // TVM_GETITEMA with TVIF_TEXT into a buffer of `capacity` bytes.
  virtual bool TreeGetItemText(WindowHandle tree, TreeItem item, char* buffer, int capacity) = 0;
  // TVM_GETITEMA with TVIF_PARAM.
  virtual bool TreeGetItemData(WindowHandle tree, TreeItem item, std::intptr_t* data) = 0;
  // TVM_GETITEMA with TVIF_CHILDREN.
  virtual bool TreeGetItemChildren(WindowHandle tree, TreeItem item, int* children) = 0;
  // TVM_GETNEXTITEM with a TVGN_* code; null when there is no such item.
  virtual TreeItem TreeGetNextItem(WindowHandle tree, TreeItem item, std::uint32_t code) = 0;
  // TVM_EXPAND with a TVE_* action.
  virtual bool TreeExpand(WindowHandle tree, TreeItem item, std::uint32_t action) = 0;
  // TVM_SELECTITEM with TVGN_CARET.
  virtual bool TreeSelectItem(WindowHandle tree, TreeItem item) = 0;
  // TVM_DELETEITEM with TVI_ROOT: every item goes.
  virtual bool TreeDeleteAllItems(WindowHandle tree) = 0;

  // --- Combo box (CB_* messages) -----------------------------------------
  virtual int ComboAddString(WindowHandle combo, const char* text) = 0;
  // CB_SETCURSEL: an index out of range clears the selection and the edit
  // field and answers CB_ERR.
  virtual int ComboSetCurSel(WindowHandle combo, int index) = 0;
  virtual int ComboGetCurSel(WindowHandle combo) = 0;
  virtual int ComboGetCount(WindowHandle combo) = 0;
  // CB_LIMITTEXT: the most characters the user can type into the edit field.
  virtual bool ComboLimitText(WindowHandle combo, int limit) = 0;

 private:
  const WindowHandle* mainWindow_ = nullptr;
};

}  // namespace velnara::platform

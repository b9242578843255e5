// The window-system contract over user32, comctl32 and gdi32: modal dialogs
// from the program's own templates, subclassed controls, the tree view and
// combo box messages, message boxes, menus, resources and painting.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace velnara::platform::win32 {

class Win32WindowSystem final : public WindowSystem {
 public:
  // Registers the common control classes the templates use (the tree view).
  Win32WindowSystem();
  ~Win32WindowSystem() override;

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
  struct PaintState;
  // BeginPaint's records, each kept until its window's EndPaint.
  std::vector<std::unique_ptr<PaintState>> painting_;
};

}  // namespace velnara::platform::win32

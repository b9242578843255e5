#include "platform/dialog.h"

namespace velnara::platform {

void Control::Attach(WindowSystem& windows, WindowHandle window) {
  windows_ = &windows;
  window_ = window;
  if (window != nullptr && ReceivesOwnMessages() && subclassed_ != window) {
    if (windows.Subclass(window, *this)) subclassed_ = window;
  }
}

std::string TreeView::GetItemText(TreeItem item) const {
  char buffer[kTextCapacity] = {};
  if (!windows().TreeGetItemText(handle(), item, buffer, kTextCapacity)) return std::string();
  buffer[kTextCapacity - 1] = '\0';
  return buffer;
}

std::intptr_t TreeView::GetItemData(TreeItem item) const {
  std::intptr_t data = 0;
  if (!windows().TreeGetItemData(handle(), item, &data)) return 0;
  return data;
}

bool TreeView::HasChildren(TreeItem item) const {
  int children = 0;
  if (!windows().TreeGetItemChildren(handle(), item, &children)) return false;
  return children != 0;
}

void DataExchange::Bind(int id, Control& control) {
  control.Attach(windows_, windows_.GetDlgItem(dialog_, id));
}

std::intptr_t Dialog::DoModal() {
  const WindowHandle owner = parent_ != nullptr ? parent_ : windows_.MainWindow();
  const std::intptr_t result = windows_.RunModalDialog(templateId_, owner, *this);
  window_ = nullptr;
  return result;
}

bool Dialog::HandleMessage(const Message& message, std::intptr_t* result) {
  if (message.message == wm::kInitDialog) window_ = message.window;
  if (ProcessMessageTable(message, result)) return true;
  switch (message.message) {
    case wm::kInitDialog:
      *result = OnInitDialog() ? 1 : 0;
      return true;
    case wm::kCommand:
      if (HighWord(message.wParam) != notify::kButtonClicked) return false;
      if (LowWord(message.wParam) == id::kOk) {
        OnOK();
        *result = 0;
        return true;
      }
      if (LowWord(message.wParam) == id::kCancel) {
        OnCancel();
        *result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void Dialog::RunDataExchange() {
  DataExchange dx(windows_, window_);
  DoDataExchange(dx);
}

bool Dialog::OnInitDialog() {
  RunDataExchange();
  return true;
}

void Dialog::OnOK() {
  RunDataExchange();
  EndDialog(id::kOk);
}

void Dialog::OnCancel() { EndDialog(id::kCancel); }

}  // namespace velnara::platform

// A small modal-dialog framework: a dialog class per template, a static
// message table per class, and control objects bound to control ids by the
// data exchange. The same classes run on Win32 and on the headless stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/window_system.h"

namespace velnara::platform {

// A non-owning handle on a control window.
class Control : public MessageTarget {
 public:
  Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  // Binds the object to a window; a control that receives its own window's
  // messages (ReceivesOwnMessages) is subclassed the first time.
  void Attach(WindowSystem& windows, WindowHandle window);
  WindowHandle handle() const { return window_; }
  bool IsBound() const { return window_ != nullptr; }

  bool Enable(bool enable) const { return windows_->EnableWindow(window_, enable); }
  bool IsEnabled() const { return windows_->IsWindowEnabled(window_); }
  bool IsVisible() const { return windows_->IsWindowVisible(window_); }
  bool SetText(const char* text) const { return windows_->SetWindowText(window_, text); }
  std::string GetText() const { return windows_->GetWindowText(window_); }

  // Not meant to be overridden: the backend delivers the control window's
  // own messages here once it is subclassed.
  bool HandleMessage(const Message& message, std::intptr_t* result) final {
    return OnMessage(message, result);
  }

 protected:
  // Override these to receive the control window's own messages.
  virtual bool ReceivesOwnMessages() const { return false; }
  virtual bool OnMessage(const Message& /*message*/, std::intptr_t* /*result*/) { return false; }

  WindowSystem& windows() const { return *windows_; }

 private:
  WindowSystem* windows_ = nullptr;
  WindowHandle window_ = nullptr;
  WindowHandle subclassed_ = nullptr;
};

class Button : public Control {};
class Edit : public Control {};
class Static : public Control {};

class ComboBox : public Control {
 public:
  int AddString(const char* text) const { return windows().ComboAddString(handle(), text); }
  int SetCurSel(int index) const { return windows().ComboSetCurSel(handle(), index); }
  int GetCurSel() const { return windows().ComboGetCurSel(handle()); }
  int GetCount() const { return windows().ComboGetCount(handle()); }
  bool LimitText(int limit) const { return windows().ComboLimitText(handle(), limit); }
};

class TreeView : public Control {
 public:
  static constexpr int kTextCapacity = 260;

  TreeItem InsertItem(TreeItem parent, TreeItem insertAfter, const char* text) const {
    return windows().TreeInsertItem(handle(), parent, insertAfter, text);
  }
  bool SetItemText(TreeItem item, const char* text) const {
    return windows().TreeSetItemText(handle(), item, text);
  }
  bool SetItemData(TreeItem item, std::intptr_t data) const {
    return windows().TreeSetItemData(handle(), item, data);
  }
  // The item's whole text (empty when the item cannot be read).
  std::string GetItemText(TreeItem item) const;
  std::intptr_t GetItemData(TreeItem item) const;
  bool HasChildren(TreeItem item) const;
  TreeItem GetNextItem(TreeItem item, std::uint32_t code) const {
    return windows().TreeGetNextItem(handle(), item, code);
  }
  TreeItem GetRootItem() const { return GetNextItem(nullptr, tvgn::kRoot); }
  TreeItem GetChildItem(TreeItem item) const { return GetNextItem(item, tvgn::kChild); }
  TreeItem GetNextSibling(TreeItem item) const { return GetNextItem(item, tvgn::kNext); }
  TreeItem GetSelection() const { return GetNextItem(nullptr, tvgn::kCaret); }
  bool Expand(TreeItem item, std::uint32_t action = tve::kExpand) const {
    return windows().TreeExpand(handle(), item, action);
  }
  bool SelectItem(TreeItem item) const { return windows().TreeSelectItem(handle(), item); }
  bool DeleteAllItems() const { return windows().TreeDeleteAllItems(handle()); }
};

// Binds control objects to the controls of a dialog window by id.
class DataExchange {
 public:
  DataExchange(WindowSystem& windows, WindowHandle dialog) : windows_(windows), dialog_(dialog) {}
  void Bind(int id, Control& control);

 private:
  WindowSystem& windows_;
  WindowHandle dialog_;
};

// One row of a message table. Exactly one handler is set; the helper
// functions below build rows whose handler types the compiler checks.
template <class D>
struct MessageEntry {
  std::uint32_t message;
  std::uint32_t code;  // notification code of WM_COMMAND / WM_NOTIFY
  int id;              // control id of WM_COMMAND / WM_NOTIFY
  // Any message. Returns false to hand the message to the default handling.
  bool (D::*onMessage)(const Message& message, std::intptr_t* result);
  // WM_COMMAND with this code from this control.
  void (D::*onCommand)();
  // WM_NOTIFY with this code from this control; sets the notification result.
  void (D::*onNotify)(const NotifyHeader& header, std::intptr_t* result);
};

template <class D>
constexpr MessageEntry<D> MessageHandler(std::uint32_t message,
                                         bool (D::*handler)(const Message&, std::intptr_t*)) {
  return {message, 0, 0, handler, nullptr, nullptr};
}
template <class D>
constexpr MessageEntry<D> CommandHandler(std::uint32_t code, int id, void (D::*handler)()) {
  return {wm::kCommand, code, id, nullptr, handler, nullptr};
}
template <class D>
constexpr MessageEntry<D> NotifyHandler(std::uint32_t code, int id,
                                        void (D::*handler)(const NotifyHeader&, std::intptr_t*)) {
  return {wm::kNotify, code, id, nullptr, nullptr, handler};
}

// Finds the first row of `table` that matches `message` and runs its handler.
template <class D, std::size_t N>
bool DispatchMessageTable(D& target, const MessageEntry<D> (&table)[N], const Message& message,
                          std::intptr_t* result) {
  for (const MessageEntry<D>& entry : table) {
    if (entry.message != message.message) continue;
    if (entry.onMessage != nullptr) return (target.*entry.onMessage)(message, result);
    if (message.message == wm::kCommand) {
      if (LowWord(message.wParam) != static_cast<std::uint16_t>(entry.id) ||
          HighWord(message.wParam) != entry.code) {
        continue;
      }
      (target.*entry.onCommand)();
      *result = 0;
      return true;
    }
    if (message.message == wm::kNotify) {
      const auto* header = reinterpret_cast<const NotifyHeader*>(message.lParam);
      if (header == nullptr || header->code != entry.code ||
          header->idFrom != static_cast<std::uintptr_t>(entry.id)) {
        continue;
      }
      *result = 0;
      (target.*entry.onNotify)(*header, result);
      return true;
    }
  }
  return false;
}

class Dialog : public MessageTarget {
 public:
  // `parent` null: the application's main window owns the dialog.
  Dialog(WindowSystem& windows, int templateId, WindowHandle parent = nullptr)
      : windows_(windows), templateId_(templateId), parent_(parent) {}
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog() = default;

  // Creates the window, runs it modally and destroys it; IDOK, IDCANCEL,
  // another EndDialog value, or -1 when the window cannot be created.
  std::intptr_t DoModal();

  WindowHandle handle() const { return window_; }
  const WindowHandle* handleAddress() const { return &window_; }
  int templateId() const { return templateId_; }
  WindowSystem& windows() const { return windows_; }

  // Not meant to be overridden: the backend delivers every message of the
  // dialog window here. The class's message table is asked first; then
  // WM_INITDIALOG, IDOK and IDCANCEL reach the operations below.
  bool HandleMessage(const Message& message, std::intptr_t* result) final;

 protected:
  // --- Override these ----------------------------------------------------
  // Binds control objects (runs on WM_INITDIALOG and again on OK).
  virtual void DoDataExchange(DataExchange& /*dx*/) {}
  // WM_INITDIALOG: runs the data exchange. True lets the dialog manager put
  // the focus on the first control with a tab stop.
  virtual bool OnInitDialog();
  // IDOK: runs the data exchange once more and ends the dialog with IDOK.
  virtual void OnOK();
  // IDCANCEL (Cancel, Escape, the close box): ends the dialog with IDCANCEL.
  virtual void OnCancel();
  // The class's message table; see DispatchMessageTable.
  virtual bool ProcessMessageTable(const Message& /*message*/, std::intptr_t* /*result*/) {
    return false;
  }

  // --- Helpers -----------------------------------------------------------
  bool EndDialog(std::intptr_t result) { return windows_.EndDialog(window_, result); }
  WindowHandle GetItem(int id) const { return windows_.GetDlgItem(window_, id); }
  bool EnableItem(int id, bool enable) const { return windows_.EnableWindow(GetItem(id), enable); }
  bool SetItemText(int id, const char* text) const {
    return windows_.SetWindowText(GetItem(id), text);
  }
  std::string GetItemText(int id) const { return windows_.GetWindowText(GetItem(id)); }
  void RunDataExchange();

 private:
  WindowSystem& windows_;
  int templateId_;
  WindowHandle parent_;
  WindowHandle window_ = nullptr;
};

}  // namespace velnara::platform

#include "platform/sim/sim_window_system.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "platform/sim/sim_system.h"

namespace velnara::platform::sim {
namespace {

// Window style bits the stand-in looks at.
namespace style {
constexpr std::uint32_t kVisible = 0x10000000;
constexpr std::uint32_t kDisabled = 0x08000000;
constexpr std::uint32_t kTabStop = 0x00010000;
constexpr std::uint32_t kSysMenu = 0x00080000;
constexpr std::uint32_t kButtonTypeMask = 0x0000000F;
constexpr std::uint32_t kDefPushButton = 0x00000001;
}  // namespace style

constexpr std::uintptr_t kScClose = 0xF060;
constexpr std::uintptr_t kScMinimize = 0xF020;
constexpr std::uintptr_t kScRestore = 0xF120;
constexpr std::uint32_t kComboTypeMask = 0x0003;
constexpr std::uint32_t kComboDropDownList = 0x0003;
constexpr std::uint32_t kPushButton = 0x0000;
constexpr int kIconSize = 32;
constexpr Rect kClientArea{0, 0, 475, 470};

std::uintptr_t CommandParam(int id, std::uint32_t code) {
  return (static_cast<std::uintptr_t>(code & 0xFFFF) << 16) | static_cast<std::uint16_t>(id);
}

// The buttons of a message box type, and the answer a box gives when it is
// dismissed without a choice: Cancel where it has one, OK for a lone OK
// button, and No for Yes/No (which Windows offers no way to dismiss), so a
// broken script never takes the path that only Yes leads to.
struct BoxButtons {
  std::vector<int> ids;
  int dismissed;
};

// The program shows OK, OK/Cancel and Yes/No boxes.
BoxButtons ButtonsOf(std::uint32_t type) {
  switch (type & mb::kTypeMask) {
    case mb::kOkCancel:
      return {{id::kOk, id::kCancel}, id::kCancel};
    case mb::kYesNo:
      return {{id::kYes, id::kNo}, id::kNo};
    default:
      return {{id::kOk}, id::kOk};
  }
}

// --- The windows ------------------------------------------------------------

struct TreeNodeState {
  std::string text;
  std::intptr_t data = 0;
  bool expanded = false;
  TreeItem parent = nullptr;
  std::vector<TreeItem> children;
};

struct TreeState {
  std::map<TreeItem, TreeNodeState> items;
  std::vector<TreeItem> roots;
  TreeItem caret = nullptr;

  TreeNodeState* Find(TreeItem item) {
    const auto found = items.find(item);
    return found == items.end() ? nullptr : &found->second;
  }
  std::vector<TreeItem>& SiblingsOf(TreeItem parent) {
    return parent == nullptr ? roots : items.at(parent).children;
  }
};

struct ComboState {
  std::vector<std::string> entries;
  int selection = kComboError;
  int limit = 0;  // 0: no limit set
};

// A dialog or one of its controls.
struct SimWindow {
  WindowHandle handle = nullptr;
  SimWindow* dialog = nullptr;  // the dialog a control belongs to; null for dialogs
  int id = 0;                   // control id; template id for dialogs
  ControlKind kind = ControlKind::Other;
  std::uint32_t style = 0;
  std::string text;  // caption, control text, a combo box's edit field
  bool enabled = true;
  bool visible = true;
  MessageTarget* target = nullptr;  // the dialog object, or a subclassing control object

  // Dialogs.
  std::vector<SimWindow*> controls;
  SimWindow* focus = nullptr;
  bool ended = false;
  std::intptr_t result = 0;
  bool iconic = false;

  ComboState combo;
  TreeState tree;

  bool IsDialog() const { return dialog == nullptr; }
  bool IsPushButton() const {
    const std::uint32_t type = style & style::kButtonTypeMask;
    return kind == ControlKind::Button && (type == kPushButton || type == style::kDefPushButton);
  }
};

struct Step {
  std::string description;
  std::function<void(SimUser&)> action;  // empty for an answer
  int answer = 0;
};

}  // namespace

struct SimWindowSystem::Impl {
  explicit Impl(const Resources& script) : resources(script) {}

  Resources resources;
  std::map<WindowHandle, std::unique_ptr<SimWindow>> windows;
  std::vector<SimWindow*> modal;  // running dialogs, the active one last
  std::deque<Step> script;
  std::vector<std::string> errors;
  std::vector<Shown> transcript;
  std::map<int, IconHandle> icons;
  std::map<int, std::string> stringOverrides;
  bool failCreation = false;
  std::set<BrushHandle> brushes;
  CallLog* log = nullptr;
  int failedInARow = 0;
  std::function<int(const Shown&)> autoAnswer;
  std::function<void(SimUser&)> autoStep;

  void Note(const char* function, const std::string& target, std::uint32_t value) {
    if (log != nullptr) log->Note(function, target, value);
  }
  bool failBrushes = false;
  SimWindowSystem::SystemMenus systemMenus = SimWindowSystem::SystemMenus::kFollowStyle;
  std::uintptr_t nextHandle = 0x10000;

  // Handles are never reused, so a handle kept past its window's end finds
  // nothing instead of a newer window.
  void* NewHandle() {
    nextHandle += 0x10;
    return reinterpret_cast<void*>(nextHandle);
  }

  SimWindow* Find(WindowHandle handle) {
    const auto found = windows.find(handle);
    return found == windows.end() ? nullptr : found->second.get();
  }
  SimWindow* FindControl(WindowHandle handle, ControlKind kind) {
    SimWindow* window = Find(handle);
    return window != nullptr && !window->IsDialog() && window->kind == kind ? window : nullptr;
  }
  bool IsIcon(IconHandle handle) const {
    return std::any_of(icons.begin(), icons.end(),
                       [handle](const auto& icon) { return icon.second == handle; });
  }
  SimWindow* FindDialog(WindowHandle handle) {
    SimWindow* window = Find(handle);
    return window != nullptr && window->IsDialog() ? window : nullptr;
  }
  static SimWindow* Item(SimWindow& dialog, int id) {
    for (SimWindow* control : dialog.controls) {
      if (control->id == id) return control;
    }
    return nullptr;
  }

  SimWindow* CreateDialog(const DialogTemplate& dialogTemplate) {
    auto dialog = std::make_unique<SimWindow>();
    dialog->handle = NewHandle();
    dialog->id = dialogTemplate.id;
    dialog->style = dialogTemplate.style;
    dialog->text = dialogTemplate.caption;
    for (const ControlTemplate& item : dialogTemplate.controls) {
      auto control = std::make_unique<SimWindow>();
      control->handle = NewHandle();
      control->dialog = dialog.get();
      control->id = item.id;
      control->kind = item.kind;
      control->style = item.style;
      control->text = item.text;
      control->enabled = (item.style & style::kDisabled) == 0;
      control->visible = (item.style & style::kVisible) != 0;
      dialog->controls.push_back(control.get());
      windows.emplace(control->handle, std::move(control));
    }
    SimWindow* created = dialog.get();
    windows.emplace(created->handle, std::move(dialog));
    return created;
  }

  void DestroyDialog(SimWindow* dialog) {
    for (SimWindow* control : dialog->controls) windows.erase(control->handle);
    windows.erase(dialog->handle);
  }

  // --- Messages -------------------------------------------------------------

  std::intptr_t SendToDialog(SimWindow& dialog, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
    const Message sent{dialog.handle, message, wParam, lParam};
    std::intptr_t result = 0;
    if (dialog.target != nullptr && dialog.target->HandleMessage(sent, &result)) return result;
    return DefaultDialogHandling(dialog, sent);
  }

  // What the dialog manager and the default window procedure do with a
  // message the dialog left alone.
  std::intptr_t DefaultDialogHandling(SimWindow& dialog, const Message& message) {
    if (message.message == wm::kSysCommand) {
      switch (message.wParam & 0xFFF0) {
        case kScClose:
          SendToDialog(dialog, wm::kClose, 0, 0);
          break;
        case kScMinimize:
          SetIconic(dialog, true);
          break;
        case kScRestore:
          SetIconic(dialog, false);
          break;
        default:
          break;
      }
    } else if (message.message == wm::kClose) {
      // Windows turns WM_CLOSE into the cancel command, except that a
      // disabled IDCANCEL control makes it only beep.
      SimWindow* cancel = Item(dialog, id::kCancel);
      if (cancel == nullptr || cancel->enabled) {
        SendToDialog(dialog, wm::kCommand, CommandParam(id::kCancel, notify::kButtonClicked),
                     reinterpret_cast<std::intptr_t>(cancel ? cancel->handle : nullptr));
      }
    }
    return 0;
  }

  void SetIconic(SimWindow& dialog, bool iconic) {
    dialog.iconic = iconic;
    SendToDialog(dialog, wm::kPaint, 0, 0);
  }

  void Command(SimWindow& dialog, int id) {
    SimWindow* control = Item(dialog, id);
    SendToDialog(dialog, wm::kCommand, CommandParam(id, notify::kButtonClicked),
                 reinterpret_cast<std::intptr_t>(control ? control->handle : nullptr));
  }

  static SimWindow* FirstTabStop(SimWindow& dialog) {
    for (SimWindow* control : dialog.controls) {
      if ((control->style & style::kTabStop) != 0 && control->visible && control->enabled) {
        return control;
      }
    }
    return nullptr;
  }

  // --- The script -----------------------------------------------------------

  void Error(std::string problem) { errors.push_back(std::move(problem)); }

  // The control a user action or a reading is about, or null after
  // recording why a person could not reach it.
  SimWindow* Reach(WindowHandle dialogHandle, int id, const char* doing, bool acting) {
    SimWindow* dialog = FindDialog(dialogHandle);
    if (dialog == nullptr) {
      Error(std::string(doing) + ": the dialog is gone");
      return nullptr;
    }
    SimWindow* control = Item(*dialog, id);
    const std::string where = " in '" + dialog->text + "'";
    if (control == nullptr) {
      Error(std::string(doing) + ": no control " + std::to_string(id) + where);
      return nullptr;
    }
    if (acting && (!control->visible || !control->enabled)) {
      Error(std::string(doing) + ": control " + std::to_string(id) + where + " is " +
            (control->visible ? "disabled" : "hidden"));
      return nullptr;
    }
    return control;
  }

  bool NextStep(Step* step) {
    if (script.empty()) return false;
    *step = std::move(script.front());
    script.pop_front();
    return true;
  }
};

// --- SimUser ----------------------------------------------------------------

namespace {

void Snapshot(TreeState& tree, const std::vector<TreeItem>& items, std::vector<TreeNode>* out) {
  for (TreeItem item : items) {
    const TreeNodeState& state = tree.items.at(item);
    TreeNode node;
    node.text = state.text;
    node.data = state.data;
    node.expanded = state.expanded;
    Snapshot(tree, state.children, &node.children);
    out->push_back(std::move(node));
  }
}

}  // namespace

int SimUser::TemplateId() const {
  SimWindow* dialog = windows_.impl_->FindDialog(dialog_);
  return dialog != nullptr ? dialog->id : 0;
}

std::string SimUser::Caption() const {
  SimWindow* dialog = windows_.impl_->FindDialog(dialog_);
  return dialog != nullptr ? dialog->text : std::string();
}

void SimUser::Click(int id) {
  auto& impl = *windows_.impl_;
  SimWindow* button = impl.Reach(dialog_, id, "click", true);
  if (button == nullptr) return;
  if (button->kind != ControlKind::Button) {
    impl.Error("click: control " + std::to_string(id) + " is not a button");
    return;
  }
  button->dialog->focus = button;
  impl.Command(*button->dialog, id);
}

void SimUser::PressEnter() {
  auto& impl = *windows_.impl_;
  SimWindow* dialog = impl.FindDialog(dialog_);
  if (dialog == nullptr) return impl.Error("enter: the dialog is gone");
  // A focused push button takes Enter; otherwise the default push button,
  // the first in the template; without one the dialog gets IDOK.
  SimWindow* target =
      dialog->focus != nullptr && dialog->focus->IsPushButton() ? dialog->focus : nullptr;
  if (target == nullptr) {
    for (SimWindow* control : dialog->controls) {
      if (control->kind == ControlKind::Button &&
          (control->style & style::kButtonTypeMask) == style::kDefPushButton) {
        target = control;
        break;
      }
    }
  }
  if (target == nullptr) return impl.Command(*dialog, id::kOk);
  if (!target->enabled) {
    return impl.Error("enter: the default button " + std::to_string(target->id) + " in '" +
                      dialog->text + "' is disabled");
  }
  impl.Command(*dialog, target->id);
}

void SimUser::PressEscape() {
  auto& impl = *windows_.impl_;
  SimWindow* dialog = impl.FindDialog(dialog_);
  if (dialog == nullptr) return impl.Error("escape: the dialog is gone");
  // Unlike the close box, Escape sends IDCANCEL even when that button is
  // disabled or hidden.
  impl.Command(*dialog, id::kCancel);
}

void SimUser::CloseBox() {
  auto& impl = *windows_.impl_;
  SimWindow* dialog = impl.FindDialog(dialog_);
  if (dialog == nullptr) return impl.Error("close box: the dialog is gone");
  if ((dialog->style & style::kSysMenu) == 0) {
    return impl.Error("close box: '" + dialog->text + "' has none");
  }
  impl.SendToDialog(*dialog, wm::kSysCommand, kScClose, 0);
}

void SimUser::SystemCommand(std::uintptr_t command) {
  auto& impl = *windows_.impl_;
  SimWindow* dialog = impl.FindDialog(dialog_);
  if (dialog == nullptr) return impl.Error("system command: the dialog is gone");
  impl.SendToDialog(*dialog, wm::kSysCommand, command, 0);
}

void SimUser::SelectTreeItem(int treeId, const std::vector<std::string>& path) {
  auto& impl = *windows_.impl_;
  SimWindow* tree = impl.Reach(dialog_, treeId, "select tree item", true);
  if (tree == nullptr) return;
  TreeItem parent = nullptr;
  std::string walked;
  for (const std::string& text : path) {
    const std::vector<TreeItem>& siblings = tree->tree.SiblingsOf(parent);
    const auto found = std::find_if(siblings.begin(), siblings.end(), [&](TreeItem item) {
      return tree->tree.items.at(item).text == text;
    });
    walked += "/" + text;
    if (found == siblings.end()) return impl.Error("select tree item: no item " + walked);
    parent = *found;
  }
  if (parent == nullptr) return impl.Error("select tree item: empty path");
  tree->dialog->focus = tree;
  windows_.TreeSelectItem(tree->handle, parent);
}

void SimUser::DoubleClickTree(int treeId) {
  auto& impl = *windows_.impl_;
  SimWindow* tree = impl.Reach(dialog_, treeId, "double-click tree", true);
  if (tree == nullptr) return;
  if (tree->kind != ControlKind::TreeView) {
    return impl.Error("double-click tree: control " + std::to_string(treeId) +
                      " is not a tree view");
  }
  tree->dialog->focus = tree;
  const NotifyHeader header{tree->handle, static_cast<std::uintptr_t>(treeId),
                            notify::kDoubleClick};
  impl.SendToDialog(*tree->dialog, wm::kNotify, static_cast<std::uintptr_t>(treeId),
                    reinterpret_cast<std::intptr_t>(&header));
}

void SimUser::TypeText(int comboId, const std::string& text) {
  auto& impl = *windows_.impl_;
  SimWindow* combo = impl.Reach(dialog_, comboId, "type", true);
  if (combo == nullptr) return;
  if (combo->kind != ControlKind::ComboBox ||
      (combo->style & kComboTypeMask) == kComboDropDownList) {
    return impl.Error("type: control " + std::to_string(comboId) +
                      " is not a combo box with an edit field");
  }
  combo->dialog->focus = combo;
  const int limit = combo->combo.limit;
  combo->text = limit > 0 && text.size() > static_cast<std::size_t>(limit)
                    ? text.substr(0, static_cast<std::size_t>(limit))
                    : text;
  combo->combo.selection = kComboError;
}

std::string SimUser::Text(int id) const {
  SimWindow* control = windows_.impl_->Reach(dialog_, id, "read text", false);
  return control != nullptr ? control->text : std::string();
}

bool SimUser::Enabled(int id) const {
  SimWindow* control = windows_.impl_->Reach(dialog_, id, "read enabled state", false);
  return control != nullptr && control->enabled;
}

bool SimUser::Visible(int id) const {
  SimWindow* control = windows_.impl_->Reach(dialog_, id, "read visible state", false);
  return control != nullptr && control->visible;
}

int SimUser::FocusedId() const {
  SimWindow* dialog = windows_.impl_->FindDialog(dialog_);
  return dialog != nullptr && dialog->focus != nullptr ? dialog->focus->id : 0;
}

std::vector<std::string> SimUser::ComboEntries(int comboId) const {
  SimWindow* combo = windows_.impl_->Reach(dialog_, comboId, "read combo entries", false);
  return combo != nullptr ? combo->combo.entries : std::vector<std::string>();
}

int SimUser::ComboSelection(int comboId) const {
  SimWindow* combo = windows_.impl_->Reach(dialog_, comboId, "read combo selection", false);
  return combo != nullptr ? combo->combo.selection : kComboError;
}

int SimUser::ComboTextLimit(int comboId) const {
  SimWindow* combo = windows_.impl_->Reach(dialog_, comboId, "read combo limit", false);
  return combo != nullptr ? combo->combo.limit : 0;
}

std::vector<TreeNode> SimUser::Tree(int treeId) const {
  std::vector<TreeNode> nodes;
  SimWindow* tree = windows_.impl_->Reach(dialog_, treeId, "read tree", false);
  if (tree != nullptr) Snapshot(tree->tree, tree->tree.roots, &nodes);
  return nodes;
}

// --- SimWindowSystem: the script and what was shown --------------------------

SimWindowSystem::SimWindowSystem(const Resources& resources)
    : impl_(std::make_unique<Impl>(resources)) {}

SimWindowSystem::~SimWindowSystem() = default;

void SimWindowSystem::Then(const std::string& description, std::function<void(SimUser&)> action) {
  impl_->script.push_back(Step{description, std::move(action), 0});
}

void SimWindowSystem::Answer(int buttonId) {
  impl_->script.push_back(Step{"answer " + std::to_string(buttonId), nullptr, buttonId});
}

bool SimWindowSystem::ScriptDone() const {
  return impl_->script.empty();
}

const std::vector<std::string>& SimWindowSystem::errors() const {
  return impl_->errors;
}

const std::vector<Shown>& SimWindowSystem::transcript() const {
  return impl_->transcript;
}

std::vector<Shown> SimWindowSystem::MessageBoxes() const {
  std::vector<Shown> boxes;
  for (const Shown& shown : impl_->transcript) {
    if (shown.kind == Shown::Kind::MessageBox) boxes.push_back(shown);
  }
  return boxes;
}

void SimWindowSystem::FailDialogCreation(bool fail) {
  impl_->failCreation = fail;
}

void SimWindowSystem::SetSystemMenus(SystemMenus which) {
  impl_->systemMenus = which;
}

void SimWindowSystem::SetString(int id, const std::string& text) {
  impl_->stringOverrides[id] = text;
}

// --- Dialogs -----------------------------------------------------------------

bool SimWindowSystem::Enable3dControls() {
  return true;
}

std::intptr_t SimWindowSystem::RunModalDialog(int templateId, WindowHandle owner,
                                              MessageTarget& target) {
  Impl& impl = *impl_;
  impl.Note("DialogBoxParamA", std::to_string(templateId), static_cast<std::uint32_t>(templateId));
  const auto found = impl.resources.dialogs.find(templateId);
  if (impl.failCreation || found == impl.resources.dialogs.end()) {
    // A program that asks again and again for a dialog that cannot be made
    // is stuck: the run ends, as a user would end it, rather than the test.
    if (++impl.failedInARow >= 100) {
      impl.Error("dialog " + std::to_string(templateId) + " asked for 100 times in vain");
      throw ProcessExit{-2};
    }
    return -1;
  }
  impl.failedInARow = 0;
  if (owner != nullptr && impl.Find(owner) == nullptr) return -1;  // no such owner window

  SimWindow* dialog = impl.CreateDialog(found->second);
  dialog->target = &target;
  impl.modal.push_back(dialog);
  // The process may end inside the dialog (the stand-in's exit unwinds the
  // stack): the window then vanishes without messages, as at a real exit.
  struct Unwind {
    Impl& impl;
    SimWindow* dialog;
    ~Unwind() {
      if (dialog == nullptr) return;
      impl.modal.pop_back();
      impl.DestroyDialog(dialog);
    }
  } unwind{impl, dialog};

  // WM_INITDIALOG carries the control that will get the focus; a nonzero
  // answer lets the dialog manager give it the focus.
  SimWindow* first = Impl::FirstTabStop(*dialog);
  if (impl.SendToDialog(*dialog, wm::kInitDialog,
                        reinterpret_cast<std::uintptr_t>(first ? first->handle : nullptr),
                        0) != 0) {
    dialog->focus = Impl::FirstTabStop(*dialog);
  }

  // The dialog manager shows the dialog once WM_INITDIALOG is done, and
  // not at all when the dialog ended there.
  if (!dialog->ended) {
    Shown shown;
    shown.kind = Shown::Kind::Dialog;
    shown.templateId = templateId;
    shown.caption = dialog->text;
    shown.ownedByMainWindow = owner != nullptr && owner == MainWindow();
    impl.transcript.push_back(shown);
  }

  int autoSteps = 0;
  while (!dialog->ended) {
    Step step;
    const char* problem = nullptr;
    if (impl.script.empty() && impl.autoStep && autoSteps < 1000) {
      ++autoSteps;
      step.description = "autopilot";
      step.action = impl.autoStep;
    } else if (!impl.NextStep(&step)) {
      problem = "the script ran out";
    } else if (!step.action) {
      problem = "the script gave an answer to a message box";
    }
    if (problem != nullptr) {
      impl.Error(std::string(problem) + " while '" + dialog->text + "' was open");
      dialog->ended = true;
      dialog->result = id::kCancel;
      break;
    }
    SimUser user(*this, dialog->handle);
    step.action(user);
  }

  // Windows sends WM_DESTROY to the dialog first, then to its controls.
  impl.SendToDialog(*dialog, wm::kDestroy, 0, 0);
  for (SimWindow* control : dialog->controls) {
    if (control->target != nullptr) {
      std::intptr_t ignored = 0;
      control->target->HandleMessage(Message{control->handle, wm::kDestroy, 0, 0}, &ignored);
    }
  }
  const std::intptr_t result = dialog->result;
  unwind.dialog = nullptr;
  impl.modal.pop_back();
  impl.DestroyDialog(dialog);
  return result;
}

bool SimWindowSystem::EndDialog(WindowHandle dialogHandle, std::intptr_t result) {
  SimWindow* dialog = impl_->FindDialog(dialogHandle);
  if (dialog == nullptr) return false;
  dialog->ended = true;
  dialog->result = result;
  return true;
}

WindowHandle SimWindowSystem::GetDlgItem(WindowHandle dialogHandle, int id) {
  SimWindow* dialog = impl_->FindDialog(dialogHandle);
  SimWindow* control = dialog != nullptr ? Impl::Item(*dialog, id) : nullptr;
  return control != nullptr ? control->handle : nullptr;
}

bool SimWindowSystem::Subclass(WindowHandle control, MessageTarget& target) {
  SimWindow* window = impl_->Find(control);
  if (window == nullptr || window->IsDialog()) return false;
  window->target = &target;
  return true;
}

std::intptr_t SimWindowSystem::CallDefault(const Message& message) {
  // The stand-in's control classes have no handling of their own for the
  // messages a control object passes on.
  static_cast<void>(message);
  return 0;
}

// --- Windows -----------------------------------------------------------------

bool SimWindowSystem::EnableWindow(WindowHandle handle, bool enable) {
  SimWindow* window = impl_->Find(handle);
  if (window == nullptr) return false;
  const bool wasDisabled = !window->enabled;
  window->enabled = enable;
  impl_->Note("EnableWindow", std::to_string(window->IsDialog() ? 0 : window->id), enable);
  // A window that is disabled loses the focus.
  if (!enable && !window->IsDialog() && window->dialog->focus == window) {
    window->dialog->focus = nullptr;
  }
  return wasDisabled;
}

bool SimWindowSystem::IsWindowEnabled(WindowHandle handle) {
  SimWindow* window = impl_->Find(handle);
  return window != nullptr && window->enabled;
}

bool SimWindowSystem::IsWindowVisible(WindowHandle handle) {
  // A running dialog is always shown, whether or not its template says
  // WS_VISIBLE: the dialog manager shows modal dialogs itself.
  SimWindow* window = impl_->Find(handle);
  return window != nullptr && window->visible;
}

bool SimWindowSystem::IsIconic(WindowHandle handle) {
  SimWindow* window = impl_->FindDialog(handle);
  return window != nullptr && window->iconic;
}

bool SimWindowSystem::SetWindowText(WindowHandle handle, const char* text) {
  SimWindow* window = impl_->Find(handle);
  if (window == nullptr) return false;
  window->text = text != nullptr ? text : "";
  return true;
}

std::string SimWindowSystem::GetWindowText(WindowHandle handle) {
  SimWindow* window = impl_->Find(handle);
  return window != nullptr ? window->text : std::string();
}

std::intptr_t SimWindowSystem::SendMessage(WindowHandle handle, std::uint32_t message,
                                           std::uintptr_t wParam, std::intptr_t lParam) {
  Impl& impl = *impl_;
  SimWindow* window = impl.Find(handle);
  if (window == nullptr) return 0;
  // The icons a dialog shows, and the erasing behind a minimised one's,
  // are drawn by the system.
  if (message == wm::kSetIcon && window->IsDialog()) {
    impl.Note("SendMessageA", "WM_SETICON", static_cast<std::uint32_t>(wParam));
    if (!impl.IsIcon(reinterpret_cast<IconHandle>(lParam))) {
      impl.Error("WM_SETICON: not an icon that LoadIcon gave");
    }
    return 0;
  }
  if (message == wm::kIconEraseBkgnd) return 0;
  if (window->IsDialog()) return impl.SendToDialog(*window, message, wParam, lParam);
  std::intptr_t result = 0;
  if (window->target != nullptr &&
      window->target->HandleMessage(Message{handle, message, wParam, lParam}, &result)) {
    return result;
  }
  return CallDefault(Message{handle, message, wParam, lParam});
}

// --- Message boxes -------------------------------------------------------------

int SimWindowSystem::MessageBox(WindowHandle owner, const char* text, const char* caption,
                                std::uint32_t type) {
  Impl& impl = *impl_;
  if (owner != nullptr && impl.Find(owner) == nullptr) return 0;  // no such owner window
  impl.Note("MessageBoxA", caption != nullptr ? caption : "", type);
  Shown shown;
  shown.kind = Shown::Kind::MessageBox;
  shown.text = text != nullptr ? text : "";
  shown.caption = caption != nullptr ? caption : "Error";  // what Windows shows without one
  shown.type = type;
  shown.ownedByMainWindow = owner != nullptr && owner == MainWindow();
  const std::size_t index = impl.transcript.size();
  impl.transcript.push_back(shown);

  const BoxButtons buttons = ButtonsOf(type);
  int answer = buttons.dismissed;
  Step step;
  const std::string box = " for the message box '" + shown.text + "'";
  if (impl.autoAnswer && (impl.script.empty() || impl.script.front().action)) {
    answer = impl.autoAnswer(shown);
    if (std::find(buttons.ids.begin(), buttons.ids.end(), answer) == buttons.ids.end()) {
      answer = buttons.dismissed;
    }
  } else if (!impl.NextStep(&step)) {
    impl.Error("the script ran out" + box);
  } else if (step.action) {
    impl.Error("the step '" + step.description + "' met the message box '" + shown.text + "'");
  } else if (std::find(buttons.ids.begin(), buttons.ids.end(), step.answer) == buttons.ids.end()) {
    impl.Error("the answer " + std::to_string(step.answer) + " is not a button" + box);
  } else {
    answer = step.answer;
  }
  impl.transcript[index].answer = answer;
  return answer;
}

// --- Menus and resources ---------------------------------------------------------

// A dialog's own handle stands for its system menu, as for its paint DC.
MenuHandle SimWindowSystem::GetSystemMenu(WindowHandle handle) {
  SimWindow* dialog = impl_->FindDialog(handle);
  if (dialog == nullptr) return nullptr;
  const bool hasOne =
      impl_->systemMenus == SystemMenus::kAlways || (dialog->style & style::kSysMenu) != 0;
  return hasOne ? dialog->handle : nullptr;
}

// Noted as the entry's command id and text, with its flags.
bool SimWindowSystem::AppendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                                 const char* text) {
  if (impl_->FindDialog(menu) == nullptr) return false;
  impl_->Note("AppendMenuA", std::to_string(id) + " " + (text != nullptr ? text : ""), flags);
  return true;
}

std::string SimWindowSystem::LoadString(int id) {
  const auto overridden = impl_->stringOverrides.find(id);
  if (overridden != impl_->stringOverrides.end()) return overridden->second;
  const auto found = impl_->resources.strings.find(id);
  return found != impl_->resources.strings.end() ? found->second : std::string();
}

IconHandle SimWindowSystem::LoadIcon(int id) {
  Impl& impl = *impl_;
  if (impl.resources.icons.count(id) == 0) return nullptr;
  IconHandle& icon = impl.icons[id];
  if (icon == nullptr) icon = impl.NewHandle();
  return icon;
}

// --- Painting and colours ----------------------------------------------------------
// What is drawn is not kept: only the brushes, which the program must delete.

DeviceContext SimWindowSystem::BeginPaint(WindowHandle handle) {
  SimWindow* window = impl_->Find(handle);
  return window != nullptr ? window->handle : nullptr;  // the window stands for its paint DC
}

void SimWindowSystem::EndPaint(WindowHandle /*window*/) {}

int SimWindowSystem::GetSystemMetrics(int index) {
  return index == kSmCxIcon || index == kSmCyIcon ? kIconSize : 0;
}

Rect SimWindowSystem::GetClientRect(WindowHandle handle) {
  return impl_->Find(handle) != nullptr ? kClientArea : Rect{0, 0, 0, 0};
}

bool SimWindowSystem::DrawIcon(DeviceContext dc, int /*x*/, int /*y*/, IconHandle icon) {
  return impl_->Find(dc) != nullptr && impl_->IsIcon(icon);
}

BrushHandle SimWindowSystem::CreateSolidBrush(ColorRef /*color*/) {
  if (impl_->failBrushes) return nullptr;
  const BrushHandle brush = impl_->NewHandle();
  impl_->brushes.insert(brush);
  return brush;
}

bool SimWindowSystem::DeleteObject(BrushHandle brush) {
  if (impl_->brushes.erase(brush) == 1) return true;
  impl_->Error("DeleteObject: no such brush (deleted before?)");
  return false;
}

ColorRef SimWindowSystem::SetTextColor(DeviceContext /*dc*/, ColorRef /*color*/) {
  return 0;
}

ColorRef SimWindowSystem::SetBkColor(DeviceContext /*dc*/, ColorRef /*color*/) {
  return 0;
}

int SimWindowSystem::LiveBrushes() const {
  return static_cast<int>(impl_->brushes.size());
}

void SimWindowSystem::FailBrushCreation(bool fail) {
  impl_->failBrushes = fail;
}

void SimWindowSystem::SetAutopilot(std::function<int(const Shown&)> answer,
                                   std::function<void(SimUser&)> step) {
  impl_->autoAnswer = std::move(answer);
  impl_->autoStep = std::move(step);
}

void SimWindowSystem::SetCallLog(CallLog* log) {
  impl_->log = log;
}

// --- Tree view ---------------------------------------------------------------------

TreeItem SimWindowSystem::TreeInsertItem(WindowHandle handle, TreeItem parent, TreeItem insertAfter,
                                         const char* text) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  if (window == nullptr) return nullptr;
  TreeState& tree = window->tree;
  if (parent != nullptr && tree.Find(parent) == nullptr) return nullptr;
  std::vector<TreeItem>& siblings = tree.SiblingsOf(parent);
  auto position = siblings.end();
  if (insertAfter != nullptr) {
    position = std::find(siblings.begin(), siblings.end(), insertAfter);
    if (position == siblings.end()) return nullptr;
    ++position;
  }
  const TreeItem item = impl_->NewHandle();
  siblings.insert(position, item);
  TreeNodeState state;
  state.text = text != nullptr ? text : "";
  state.parent = parent;
  tree.items.emplace(item, std::move(state));
  return item;
}

bool SimWindowSystem::TreeSetItemText(WindowHandle handle, TreeItem item, const char* text) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  TreeNodeState* state = window != nullptr ? window->tree.Find(item) : nullptr;
  if (state == nullptr) return false;
  state->text = text != nullptr ? text : "";
  return true;
}

bool SimWindowSystem::TreeSetItemData(WindowHandle handle, TreeItem item, std::intptr_t data) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  TreeNodeState* state = window != nullptr ? window->tree.Find(item) : nullptr;
  if (state == nullptr) return false;
  state->data = data;
  return true;
}

bool SimWindowSystem::TreeGetItemText(WindowHandle handle, TreeItem item, char* buffer,
                                      int capacity) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  TreeNodeState* state = window != nullptr ? window->tree.Find(item) : nullptr;
  if (state == nullptr || buffer == nullptr || capacity <= 0) return false;
  const std::size_t count = std::min(state->text.size(), static_cast<std::size_t>(capacity) - 1);
  std::copy_n(state->text.data(), count, buffer);
  buffer[count] = '\0';
  return true;
}

bool SimWindowSystem::TreeGetItemData(WindowHandle handle, TreeItem item, std::intptr_t* data) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  TreeNodeState* state = window != nullptr ? window->tree.Find(item) : nullptr;
  if (state == nullptr || data == nullptr) return false;
  *data = state->data;
  return true;
}

bool SimWindowSystem::TreeGetItemChildren(WindowHandle handle, TreeItem item, int* children) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  TreeNodeState* state = window != nullptr ? window->tree.Find(item) : nullptr;
  if (state == nullptr || children == nullptr) return false;
  *children = state->children.empty() ? 0 : 1;
  return true;
}

TreeItem SimWindowSystem::TreeGetNextItem(WindowHandle handle, TreeItem item, std::uint32_t code) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  if (window == nullptr) return nullptr;
  TreeState& tree = window->tree;
  if (code == tvgn::kRoot) return tree.roots.empty() ? nullptr : tree.roots.front();
  if (code == tvgn::kCaret) return tree.caret;
  // TVGN_CHILD of no item: the first item at the top level, as in Windows.
  if (code == tvgn::kChild && item == nullptr) {
    return tree.roots.empty() ? nullptr : tree.roots.front();
  }
  TreeNodeState* state = tree.Find(item);
  if (state == nullptr) return nullptr;
  switch (code) {
    case tvgn::kChild:
      return state->children.empty() ? nullptr : state->children.front();
    case tvgn::kParent:
      return state->parent;
    case tvgn::kNext:
    case tvgn::kPrevious: {
      const std::vector<TreeItem>& siblings = tree.SiblingsOf(state->parent);
      const auto at = std::find(siblings.begin(), siblings.end(), item);
      if (code == tvgn::kNext) return at + 1 == siblings.end() ? nullptr : *(at + 1);
      return at == siblings.begin() ? nullptr : *(at - 1);
    }
    default:
      return nullptr;
  }
}

bool SimWindowSystem::TreeExpand(WindowHandle handle, TreeItem item, std::uint32_t action) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  TreeNodeState* state = window != nullptr ? window->tree.Find(item) : nullptr;
  // An item without children cannot be expanded; the tree view refuses.
  if (state == nullptr || state->children.empty()) return false;
  switch (action & 0x3) {
    case tve::kExpand:
      state->expanded = true;
      return true;
    case tve::kCollapse:
      state->expanded = false;
      return true;
    case tve::kExpand | tve::kCollapse:
      state->expanded = !state->expanded;
      return true;
    default:
      return false;
  }
}

bool SimWindowSystem::TreeDeleteAllItems(WindowHandle handle) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  if (window == nullptr) return false;
  window->tree = TreeState();
  return true;
}

bool SimWindowSystem::TreeSelectItem(WindowHandle handle, TreeItem item) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::TreeView);
  if (window == nullptr) return false;
  TreeState& tree = window->tree;
  if (item == nullptr) {
    tree.caret = nullptr;
    return true;
  }
  TreeNodeState* state = tree.Find(item);
  if (state == nullptr) return false;
  tree.caret = item;
  // Selecting an item in a collapsed branch opens the branch to show it.
  for (TreeItem parent = state->parent; parent != nullptr; parent = tree.items.at(parent).parent) {
    tree.items.at(parent).expanded = true;
  }
  return true;
}

// --- Combo box ---------------------------------------------------------------------

int SimWindowSystem::ComboAddString(WindowHandle handle, const char* text) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::ComboBox);
  if (window == nullptr) return kComboError;
  // The template gives no CBS_SORT, so entries keep the order of adding.
  window->combo.entries.push_back(text != nullptr ? text : "");
  return static_cast<int>(window->combo.entries.size()) - 1;
}

int SimWindowSystem::ComboSetCurSel(WindowHandle handle, int index) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::ComboBox);
  if (window == nullptr) return kComboError;
  ComboState& combo = window->combo;
  if (index < 0 || index >= static_cast<int>(combo.entries.size())) {
    combo.selection = kComboError;
    window->text.clear();
    return kComboError;
  }
  combo.selection = index;
  window->text = combo.entries[static_cast<std::size_t>(index)];
  return index;
}

int SimWindowSystem::ComboGetCurSel(WindowHandle handle) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::ComboBox);
  return window != nullptr ? window->combo.selection : kComboError;
}

int SimWindowSystem::ComboGetCount(WindowHandle handle) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::ComboBox);
  return window != nullptr ? static_cast<int>(window->combo.entries.size()) : kComboError;
}

bool SimWindowSystem::ComboLimitText(WindowHandle handle, int limit) {
  SimWindow* window = impl_->FindControl(handle, ControlKind::ComboBox);
  if (window == nullptr) return false;
  // Text already in the field is kept even when longer than the new limit.
  window->combo.limit = limit > 0 ? limit : 0;
  return true;
}

}  // namespace velnara::platform::sim

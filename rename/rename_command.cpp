#include "rename/rename_command.h"

#include <vector>

#include "discovery/port_names.h"
#include "messages/message_boxes.h"

namespace velnara {

using namespace platform;

namespace {

const PortRecord* RecordOf(const TreeView& tree, TreeItem item) {
  return reinterpret_cast<const PortRecord*>(tree.GetItemData(item));
}

std::string Formatted(const char* format, const std::string& name) {
  std::string text = format;
  return text.replace(text.find("%s"), 2, name);
}

// The records of the port items below the first root item, in tree order,
// each with the text its item shows.
std::vector<ShownName> ShownNames(const TreeView& tree) {
  std::vector<ShownName> shown;
  const TreeItem root = tree.GetRootItem();
  if (root == nullptr) return shown;
  for (TreeItem board = tree.GetChildItem(root); board != nullptr;
       board = tree.GetNextSibling(board)) {
    if (!tree.HasChildren(board)) continue;
    for (TreeItem port = tree.GetChildItem(board); port != nullptr;
         port = tree.GetNextSibling(port)) {
      if (const PortRecord* record = RecordOf(tree, port)) {
        shown.push_back({record, tree.GetItemText(record->treeItem)});
      }
    }
  }
  return shown;
}

// Whether the database holds COM`number` for hardware outside the tree.
bool ClaimedElsewhere(ComPortDatabase& database, const std::vector<ShownName>& ports,
                      long number) {
  if (number < 1) return false;
  ComDb opened(database);
  std::vector<bool> claimed;
  if (opened.Open() != error::kSuccess || opened.ClaimedNumbers(&claimed) != error::kSuccess) {
    return false;
  }
  if (static_cast<unsigned long>(number) > claimed.size() || !claimed[number - 1]) return false;
  for (const ShownName& port : ports) {
    if (ComNumber(port.port->committedName) == number) return false;  // one of ours
  }
  return true;
}

}  // namespace

int CheckNameAmong(const std::vector<ShownName>& shown, const PortRecord* record,
                   const std::string& name, ComPortDatabase* database, const PortRecord** other) {
  for (const ShownName& port : shown) {
    if (port.port == record || !SamePortName(port.name, name)) continue;
    if (other != nullptr) *other = port.port;
    return kNameShownByOtherPort;
  }
  if (database != nullptr && ClaimedElsewhere(*database, shown, ComNumber(name))) {
    return kNameClaimedByOtherHardware;
  }
  return kNameFree;
}

int CheckNameInUse(const TreeView& tree, const PortRecord* record, const std::string& name,
                   ComPortDatabase* database) {
  return CheckNameAmong(ShownNames(tree), record, name, database);
}

void RunRenameCommand(Platform& platform, const RenameTarget& target,
                      const std::function<std::unique_ptr<NameDialog>()>& makeDialog) {
  const TreeView& tree = target.tree;
  // The selected item, never the one under the pointer. Only port items
  // carry a record; the root and the board items carry none.
  const TreeItem item = tree.GetSelection();
  if (item == nullptr || RecordOf(tree, item) == nullptr) {
    AppMessageBox(platform, kNotAPortText, mb::kOk);
    return;
  }
  const std::string oldText = tree.GetItemText(item);
  const std::unique_ptr<NameDialog> dialog = makeDialog();
  for (;;) {
    dialog->SetOldName(oldText);
    if (dialog->Show() != id::kOk) return;
    const std::string newName = dialog->GetNewName();
    if (newName == oldText) return;
    // An empty name would be committed as a port without a name.
    if (newName.empty()) {
      AppMessageBox(platform, kEmptyNameText, mb::kOk);
      continue;
    }
    const int inUse = CheckNameInUse(tree, RecordOf(tree, item), newName, &platform.comPorts);
    if (inUse == kNameShownByOtherPort) {
      AppMessageBox(platform, Formatted(kNameInUseFormat, newName).c_str(), mb::kOk);
      continue;
    }
    if (inUse == kNameClaimedByOtherHardware) {
      AppMessageBox(platform, Formatted(kNameClaimedFormat, newName).c_str(), mb::kOk);
      continue;
    }
    tree.SetItemText(item, newName.c_str());
    target.unsavedChanges = true;
    target.resetButton.Enable(true);
    target.saveButton.Enable(true);
    return;
  }
}

}  // namespace velnara

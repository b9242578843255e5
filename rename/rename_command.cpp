#include "rename/rename_command.h"

#include "messages/message_boxes.h"

namespace velnara {

using namespace platform;

namespace {

const PortRecord* RecordOf(const TreeView& tree, TreeItem item) {
  return reinterpret_cast<const PortRecord*>(tree.GetItemData(item));
}

std::string NameInUseText(const std::string& name) {
  std::string text = kNameInUseFormat;
  return text.replace(text.find("%s"), 2, name);
}

}  // namespace

int CheckNameInUse(const TreeView& tree, const PortRecord* record, const std::string& name) {
  const TreeItem root = tree.GetRootItem();
  if (root == nullptr) return kNameFree;
  for (TreeItem board = tree.GetChildItem(root); board != nullptr;
       board = tree.GetNextSibling(board)) {
    if (!tree.HasChildren(board)) continue;
    for (TreeItem port = tree.GetChildItem(board); port != nullptr;
         port = tree.GetNextSibling(port)) {
      const PortRecord* other = RecordOf(tree, port);
      if (other == nullptr || other == record) continue;
      if (tree.GetItemText(other->treeItem) == name) return kNameShownByOtherPort;
    }
  }
  return kNameFree;
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
    if (CheckNameInUse(tree, RecordOf(tree, item), newName) == kNameShownByOtherPort) {
      AppMessageBox(platform, NameInUseText(newName).c_str(), mb::kOk);
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

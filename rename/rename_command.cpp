#include "rename/rename_command.h"

#include <vector>

#include "discovery/board_discovery.h"
#include "messages/message_boxes.h"

namespace velnara {

using namespace platform;

namespace {

const PortRecord* RecordOf(const TreeView& tree, TreeItem item) {
  return reinterpret_cast<const PortRecord*>(tree.GetItemData(item));
}

// The records of the port items, in tree order, each with the text its
// item shows.
std::vector<ShownName> ShownNames(const TreeView& tree) {
  std::vector<ShownName> shown;
  for (const TreeItem item : PortItems(tree)) {
    if (const PortRecord* record = RecordOf(tree, item)) {
      shown.push_back({record, tree.GetItemText(record->treeItem)});
    }
  }
  return shown;
}

// Tells the user why the rule refused the name, in a box; a name held only
// by hardware that is gone is the user's to take. True when the user may
// have the name.
bool AskWhetherNameMayBeGiven(Platform& platform, const NameCheck& check, const std::string& name) {
  if (check.verdict == NameVerdict::kFree) return true;
  if (MayBeTaken(check)) {
    return AnsweredYes(AppMessageBox(platform, TakeNameQuestion(check, name).c_str(), mb::kYesNo));
  }
  AppMessageBox(platform, RefusalBoxText(check, name).c_str(), mb::kOk);
  return false;
}

}  // namespace

void RunRenameCommand(Platform& platform, const RenameTarget& target, NameDialog& dialog) {
  const TreeView& tree = target.tree;
  // The selected item, never the one under the pointer. Only port items
  // carry a record; the root and the board items carry none.
  const TreeItem item = tree.GetSelection();
  if (item == nullptr || RecordOf(tree, item) == nullptr) {
    AppMessageBox(platform, kNotAPortText, mb::kOk);
    return;
  }
  const std::string oldText = tree.GetItemText(item);
  for (;;) {
    dialog.SetOldName(oldText);
    if (dialog.Show() != id::kOk) return;
    const std::string newName = dialog.GetNewName();
    if (newName == oldText) return;
    // Read afresh for every name: the registry may have moved meanwhile.
    NameRule rule(platform, ShownNames(tree));
    if (!AskWhetherNameMayBeGiven(platform, rule.Check(RecordOf(tree, item), newName), newName)) {
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

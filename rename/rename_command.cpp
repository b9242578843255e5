#include "rename/rename_command.h"

#include <vector>

#include "messages/message_boxes.h"

namespace velnara {

using namespace platform;

namespace {

const PortRecord* RecordOf(const TreeView& tree, TreeItem item) {
  return reinterpret_cast<const PortRecord*>(tree.GetItemData(item));
}

// `format` with each "%s" replaced, in order, by the next of `values`.
std::string Formatted(const char* format, std::initializer_list<std::string> values) {
  std::string text = format;
  std::size_t at = 0;
  for (const std::string& value : values) {
    at = text.find("%s", at);
    text.replace(at, 2, value);
    at += value.size();
  }
  return text;
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

// Whether the user may have `name`: a refusal is said in a box, and a name
// held only by hardware that is gone is the user's to take.
bool Accepted(Platform& platform, const NameCheck& check, const std::string& name) {
  switch (check.verdict) {
    case NameVerdict::kFree:
      return true;
    case NameVerdict::kShownByOtherPort:
      AppMessageBox(platform, Formatted(kNameInUseFormat, {name}).c_str(), mb::kOk);
      return false;
    case NameVerdict::kHeldByOtherHardware: {
      const std::string text = HeldNameText(check.holding);
      if (check.holding.Connected()) {
        AppMessageBox(platform, text.c_str(), mb::kOk);
        return false;
      }
      const std::string question = text + "\n\n" + Formatted(kTakeNameFormat, {name, name});
      return AnsweredYes(AppMessageBox(platform, question.c_str(), mb::kYesNo));
    }
    default:
      break;
  }
  // An empty name would be committed as a port without a name.
  const std::string text = check.form == NameForm::kEmpty
                               ? std::string(kEmptyNameText)
                               : Formatted(kNameRefusedFormat, {name, check.Reason()});
  AppMessageBox(platform, text.c_str(), mb::kOk);
  return false;
}

}  // namespace

std::string HeldNameText(const NameHolding& holding) {
  std::string text = Formatted(kNameClaimedFormat, {holding.name}) + "\n";
  if (holding.holders.empty()) return text + "\n" + kNoListedHolderLine;
  for (const ComNameHolder& holder : holding.holders) text += "\n" + holder.Describe();
  return text;
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
    // Read afresh for every name: the registry may have moved meanwhile.
    NameRule rule(platform, ShownNames(tree));
    if (!Accepted(platform, rule.Check(RecordOf(tree, item), newName), newName)) continue;
    tree.SetItemText(item, newName.c_str());
    target.unsavedChanges = true;
    target.resetButton.Enable(true);
    target.saveButton.Enable(true);
    return;
  }
}

}  // namespace velnara

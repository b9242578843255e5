// What a double-click in the port tree does: the user picks a new name for
// the selected port, a name the rule refuses is refused with the reason
// (another port shows it, other hardware holds it, a device cannot carry
// it), and an accepted name becomes the port item's text, its pending name.
// A name held only by hardware that is gone may be taken after a question.
// Nothing is written to the registry here; Save does that later.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/dialog.h"
#include "platform/platform.h"
#include "rename/name_rule.h"
#include "rename/refusals.h"

namespace velnara {

constexpr const char* kNotAPortText = "Please DoubleClick a Port";
// The dialog in which the user picks the name (the rename dialog).
class NameDialog {
 public:
  virtual ~NameDialog() = default;
  virtual void SetOldName(std::string oldName) = 0;
  // IDOK, IDCANCEL, or -1 when the dialog could not be shown.
  virtual std::intptr_t Show() = 0;
  virtual std::string GetNewName() const = 0;
};

// The main dialog's state that an accepted rename changes.
struct RenameTarget {
  const platform::TreeView& tree;
  const platform::Button& saveButton;
  const platform::Button& resetButton;
  bool& unsavedChanges;
};

// The rename command on the tree's selected item, which shows `dialog` as
// often as the user needs.
void RunRenameCommand(platform::Platform& platform, const RenameTarget& target, NameDialog& dialog);

}  // namespace velnara

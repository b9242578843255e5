// What a double-click in the port tree does: the user picks a new name for
// the selected port, a name the rule refuses is refused with the reason
// (another port shows it, other hardware holds it, a device cannot carry
// it), and an accepted name becomes the port item's text, its pending name.
// A name held only by hardware that is gone may be taken after a question.
// Nothing is written to the registry here; Save does that later.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/dialog.h"
#include "platform/platform.h"
#include "rename/name_rule.h"

namespace velnara {

constexpr const char* kNotAPortText = "Please DoubleClick a Port";
constexpr const char* kNameInUseFormat = "Port Name '%s' already used by installed Tarvex 880";
constexpr const char* kEmptyNameText = "Please enter a Port Name";
constexpr const char* kNameClaimedFormat =
    "COM name database claims Port '%s' is used by (or reserved for) other serial port "
    "hardware\nThe port concerned will not appear in the VELNARA list";
// A name refused for its form or for another device of Windows: the name,
// then why ("is reserved by Windows for another device").
constexpr const char* kNameRefusedFormat = "Port Name '%s' %s";
// Below the claim's text, a line for each holder of the name, or this one.
constexpr const char* kNoListedHolderLine = "Claimed for no device that Windows lists.";
// Ends the claim's text when no holder is connected: Yes takes the name.
constexpr const char* kTakeNameFormat = "No connected device uses %s. Give %s to this port anyway?";

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

// The box that says who holds a name taken for other hardware: the claim's
// text, a blank line, and a line for each holder.
std::string HeldNameText(const NameHolding& holding);

// The rename command on the tree's selected item. `makeDialog` builds the
// one rename dialog the command shows, as often as the user needs.
void RunRenameCommand(platform::Platform& platform, const RenameTarget& target,
                      const std::function<std::unique_ptr<NameDialog>()>& makeDialog);

}  // namespace velnara

// What a double-click in the port tree does: the user picks a new name for
// the selected port, a name that another port already shows is refused, and
// an accepted name becomes the port item's text, its pending name. Nothing
// is written to the registry here; Save does that later.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/dialog.h"
#include "platform/platform.h"

namespace velnara {

constexpr const char* kNotAPortText = "Please DoubleClick a Port";
constexpr const char* kNameInUseFormat = "Port Name '%s' already used by installed Tarvex 880";
constexpr const char* kEmptyNameText = "Please enter a Port Name";
constexpr const char* kNameClaimedFormat =
    "COM name database claims Port '%s' is used by (or reserved for) other serial port "
    "hardware\nThe port concerned will not appear in the VELNARA list";

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

// Results of the name-in-use check.
constexpr int kNameFree = 0;
constexpr int kNameShownByOtherPort = -1;
constexpr int kNameClaimedByOtherHardware = -2;

// Whether `name` is free for the port of `record`:
// - -1 when another port item shows it. Names are compared without regard
//   to case (ASCII), as Windows resolves device names: COM5 and com5 would
//   collide at the next start. Only the pending names in the tree count.
// - -2 when `database` (if given) claims the name's COM number and no port
//   in the tree has that number as its committed name: the number belongs
//   to hardware outside the tree, a motherboard port say. A database that
//   cannot be opened or asked refuses nothing.
// - 0 otherwise.
int CheckNameInUse(const platform::TreeView& tree, const PortRecord* record,
                   const std::string& name, platform::ComPortDatabase* database = nullptr);

// A port of the tree and the name it shows, or is to show.
struct ShownName {
  const PortRecord* port;
  std::string name;
};

// The same rule on a list of every port of the tree with its name: the
// check behind the rename command, and behind a port map, whose names are
// checked as they will be once the whole map is applied. For -1, *other
// (when given) is the port that shows the name.
int CheckNameAmong(const std::vector<ShownName>& shown, const PortRecord* record,
                   const std::string& name, platform::ComPortDatabase* database,
                   const PortRecord** other = nullptr);

// The rename command on the tree's selected item. `makeDialog` builds the
// one rename dialog the command shows, as often as the user needs.
void RunRenameCommand(platform::Platform& platform, const RenameTarget& target,
                      const std::function<std::unique_ptr<NameDialog>()>& makeDialog);

}  // namespace velnara

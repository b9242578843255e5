// The rename dialog: shows a port's current name and offers COM1 to COM256,
// or any name the user types, as its new name.
#pragma once

#include <string>

#include "platform/dialog.h"
#include "rename/rename_command.h"

namespace velnara {

class RenameDialog : public platform::Dialog, public NameDialog {
 public:
  // The longest name the user can type: port names are read back with room
  // for 7 characters, so a longer one would vanish at the next start.
  static constexpr int kMaxNameLength = 7;

  explicit RenameDialog(platform::WindowSystem& windows);

  void SetOldName(std::string oldName) override { oldName_ = std::move(oldName); }
  std::intptr_t Show() override { return DoModal(); }
  std::string GetNewName() const override { return newName_; }

  // The list entry that "COM<n>" preselects: n - 1 for COM1 to COM256, else
  // -1. The number is read as "COM%d" reads it: blanks, a sign and digits
  // after the three capitals, anything after the digits ignored.
  static int PreselectionFor(const std::string& oldName);

 protected:
  void DoDataExchange(platform::DataExchange& dx) override;
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  platform::Edit oldNameEdit_;
  platform::ComboBox newNameCombo_;
  std::string oldName_;
  std::string newName_;
};

}  // namespace velnara

#include "ui/rename_dialog.h"

#include <string>

#include "text/text.h"
#include "ui/resource.h"

namespace velnara {

using namespace platform;

namespace {
constexpr int kOfferedPorts = 256;
}

RenameDialog::RenameDialog(WindowSystem& windows) : Dialog(windows, IDD_RENAME) {}

int RenameDialog::PreselectionFor(const std::string& oldName) {
  if (oldName.compare(0, 3, "COM") != 0) return -1;
  const DecimalNumber number = ParseDecimal(oldName.c_str() + 3, DecimalForm::kBlanksAndSign);
  return number.found && number.value >= 1 && number.value <= kOfferedPorts
             ? static_cast<int>(number.value - 1)
             : -1;
}

void RenameDialog::DoDataExchange(DataExchange& dx) {
  dx.Bind(IDC_OLD_NAME, oldNameEdit_);
  dx.Bind(IDC_NEW_NAME, newNameCombo_);
}

bool RenameDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  // Every showing makes a new window, so the list is filled afresh.
  for (int n = 1; n <= kOfferedPorts; ++n) {
    newNameCombo_.AddString(("COM" + std::to_string(n)).c_str());
  }
  newNameCombo_.LimitText(kMaxNameLength);
  // An index outside the list leaves no selection and an empty field.
  newNameCombo_.SetCurSel(PreselectionFor(oldName_));
  oldNameEdit_.SetText(oldName_.c_str());
  return true;  // the focus goes to OK, so Enter accepts the preselection
}

void RenameDialog::OnOK() {
  // Exactly what the field shows: the chosen entry, or what was typed.
  newName_ = newNameCombo_.GetText();
  Dialog::OnOK();
}

}  // namespace velnara

#include "ui/rename_dialog.h"

#include <cctype>
#include <string>

#include "ui/resource.h"

namespace velnara {

using namespace platform;

namespace {
constexpr int kOfferedPorts = 256;
}

RenameDialog::RenameDialog(WindowSystem& windows) : Dialog(windows, IDD_RENAME) {}

int RenameDialog::PreselectionFor(const std::string& oldName) {
  if (oldName.compare(0, 3, "COM") != 0) return -1;
  std::size_t at = 3;
  while (at < oldName.size() && std::isspace(static_cast<unsigned char>(oldName[at]))) ++at;
  bool negative = false;
  if (at < oldName.size() && (oldName[at] == '+' || oldName[at] == '-')) {
    negative = oldName[at] == '-';
    ++at;
  }
  if (at >= oldName.size() || !std::isdigit(static_cast<unsigned char>(oldName[at]))) return -1;
  long long number = 0;
  for (; at < oldName.size() && std::isdigit(static_cast<unsigned char>(oldName[at])); ++at) {
    if (number <= kOfferedPorts) number = number * 10 + (oldName[at] - '0');
  }
  if (negative) number = -number;
  return number >= 1 && number <= kOfferedPorts ? static_cast<int>(number - 1) : -1;
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

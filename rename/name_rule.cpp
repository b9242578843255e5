#include "rename/name_rule.h"

#include <utility>

#include "discovery/port_enumeration.h"
#include "discovery/port_names.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

std::string NameCheck::Reason() const {
  switch (verdict) {
    case NameVerdict::kBadForm:
      return NameFormReason(form);
    case NameVerdict::kOtherWindowsPort:
      return kOtherWindowsPortReason;
    default:
      return std::string();
  }
}

NameRule::NameRule(Platform& platform, std::vector<ShownName> shown)
    : platform_(platform), shown_(std::move(shown)) {}

NameRule::~NameRule() = default;

// The port settings key holds, beside the COM ports' values, the printer
// ports' ("LPT1:", "FILE:", "XPSPort:"): a port given such a name would
// take that value over. A key that cannot be read answers "taken": what
// cannot be seen is not written over.
bool NameRule::IsOtherWindowsPort(const std::string& name) const {
  if (ComNumber(name) != 0) return false;  // a COM name: that value is a COM port's
  // A port of the tree may have any name: its value is its own settings (a
  // swap, or a rename back).
  for (const ShownName& port : shown_) {
    if (SameName(port.port->committedName, name) || SameName(port.port->settingsName, name)) {
      return false;
    }
  }
  RegKey ports(platform_.registry);
  const ErrorCode opened = ports.Open(kLocalMachine, kPortSettingsPath, access::kKeyQueryValue);
  if (opened == error::kFileNotFound) return false;
  if (opened != error::kSuccess) return true;
  std::uint32_t type = 0;
  std::uint32_t bytes = 0;
  const ErrorCode read = ports.QueryValue((name + ":").c_str(), &type, nullptr, &bytes);
  return read != error::kFileNotFound;
}

NameCheck NameRule::Check(const PortRecord* record, const std::string& name) {
  NameCheck check;
  check.form = CheckNameForm(name);
  if (check.form != NameForm::kFine) {
    check.verdict = NameVerdict::kBadForm;
    return check;
  }
  for (const ShownName& port : shown_) {
    if (port.port == record || !SameName(port.name, name)) continue;
    check.verdict = NameVerdict::kShownByOtherPort;
    check.other = port.port;
    return check;
  }
  if (IsOtherWindowsPort(name)) {
    check.verdict = NameVerdict::kOtherWindowsPort;
    return check;
  }
  if (holders_ == nullptr) {
    std::vector<const PortRecord*> ports;
    for (const ShownName& port : shown_) ports.push_back(port.port);
    holders_ = std::make_unique<ComNameHolders>(platform_, ports);
  }
  check.holding = holders_->For(name);
  if (check.holding.Held()) check.verdict = NameVerdict::kHeldByOtherHardware;
  return check;
}

}  // namespace velnara

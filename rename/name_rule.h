// The rule a port's new name must pass, in the dialog and in a port map
// alike: a name whose form a device cannot carry, a name of another device
// of Windows, a name another port of the tree shows, and a name held for
// other hardware are refused.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/platform.h"
#include "rename/com_name_holders.h"
#include "rename/name_form.h"

namespace velnara {

// A port of the tree and the name it shows, or is to show.
struct ShownName {
  const PortRecord* port;
  std::string name;
};

enum class NameVerdict {
  kFree,
  kBadForm,              // see NameCheck::form
  kOtherWindowsPort,     // "NAME:" under the port settings key is a printer port's or the like
  kShownByOtherPort,     // another port of the tree shows it (the rename command's -1)
  kHeldByOtherHardware,  // claimed or used outside the tree (the rename command's -2)
};

struct NameCheck {
  NameVerdict verdict = NameVerdict::kFree;
  NameForm form = NameForm::kFine;
  const PortRecord* other = nullptr;  // for kShownByOtherPort
  NameHolding holding;                // for kHeldByOtherHardware

  // Why the name is refused, as it follows the quoted name in a sentence
  // ("is reserved by Windows for another device"); empty for kFree and for
  // the two verdicts whose texts the callers word themselves.
  std::string Reason() const;
};

// The reason of kOtherWindowsPort.
constexpr const char* kOtherWindowsPortReason =
    "belongs to another port of Windows (a printer port or the like)";

class NameRule {
 public:
  // `shown`: every port of the tree with the name it shows (the dialog) or
  // will have once a map is applied. The registry is read when a check
  // needs it, and who holds a name outside the tree at most once in the
  // rule's life.
  NameRule(platform::Platform& platform, std::vector<ShownName> shown);
  ~NameRule();

  // Whether `name` is free for the port of `record`. Names are compared
  // without regard to case, as Windows resolves device names.
  NameCheck Check(const PortRecord* record, const std::string& name);

 private:
  bool IsOtherWindowsPort(const std::string& name) const;

  platform::Platform& platform_;
  std::vector<ShownName> shown_;
  std::unique_ptr<ComNameHolders> holders_;
};

}  // namespace velnara

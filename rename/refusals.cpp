#include "rename/refusals.h"

#include "discovery/port_address.h"
#include "text/text.h"

namespace velnara {

std::string FillFormat(const char* format, std::initializer_list<std::string> values) {
  std::string text = format;
  std::size_t at = 0;
  for (const std::string& value : values) {
    at = text.find("%s", at);
    text.replace(at, 2, value);
    at += value.size();
  }
  return text;
}

std::string HeldNameText(const NameHolding& holding) {
  std::string text = FillFormat(kNameClaimedFormat, {holding.name}) + "\n";
  if (holding.holders.empty()) return text + "\n" + kNoListedHolderLine;
  for (const ComNameHolder& holder : holding.holders) text += "\n" + holder.Describe();
  return text;
}

std::string RefusalBoxText(const NameCheck& check, const std::string& name) {
  switch (check.verdict) {
    case NameVerdict::kShownByOtherPort:
      return FillFormat(kNameInUseFormat, {name});
    case NameVerdict::kHeldByOtherHardware:
      return HeldNameText(check.holding);
    default:
      break;
  }
  // An empty name would be committed as a port without a name.
  if (check.form == NameForm::kEmpty) return kEmptyNameText;
  return FillFormat(kNameRefusedFormat, {name, check.Reason()});
}

bool MayBeTaken(const NameCheck& check) {
  return check.verdict == NameVerdict::kHeldByOtherHardware && !check.holding.Connected();
}

std::string TakeNameQuestion(const NameCheck& check, const std::string& name) {
  return HeldNameText(check.holding) + "\n\n" + FillFormat(kTakeNameFormat, {name, name});
}

std::string RefusalLine(const NameCheck& check, const PortRecord& port, const std::string& name) {
  const std::string quoted = QuotedName(name);
  switch (check.verdict) {
    case NameVerdict::kShownByOtherPort:
      return quoted + " would also be the name of " + FormatAddress(AddressOf(*check.other));
    case NameVerdict::kHeldByOtherHardware: {
      const std::string holders = check.holding.Describe("; ");
      const std::string taking = check.holding.Connected() ? "" : " (/reclaim takes it)";
      return (check.holding.claimed
                  ? "the COM port database holds " + quoted + " for other serial port hardware: "
                  : quoted + " is used by other serial port hardware: ") +
             holders + taking;
    }
    default:
      break;
  }
  if (check.form == NameForm::kEmpty) return FormatAddress(AddressOf(port)) + " is given no name";
  return quoted + " " + check.Reason();
}

}  // namespace velnara

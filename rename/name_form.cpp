#include "rename/name_form.h"

#include "discovery/port_names.h"
#include "text/text.h"

namespace velnara {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-' || c == '_';
}

// The names Windows keeps for devices of its own in every folder of every
// drive; a port named so would take the place of one of them.
bool IsReservedDevice(const std::string& name) {
  static const char* const kReserved[] = {"CON",  "PRN",  "AUX",  "NUL",  "LPT1", "LPT2", "LPT3",
                                          "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9", "COM0"};
  for (const char* reserved : kReserved) {
    if (SameName(name, reserved)) return true;
  }
  return false;
}

}  // namespace

NameForm CheckNameForm(const std::string& name) {
  if (name.empty()) return NameForm::kEmpty;
  if (name.size() > kMaxPortNameLength) return NameForm::kTooLong;
  for (const char c : name) {
    if (!IsNameCharacter(c)) return NameForm::kBadCharacter;
  }
  if (IsReservedDevice(name)) return NameForm::kReservedDevice;
  // "COM" and then a digit or a sign: the database reads a number there,
  // so it must be the number alone, as the database writes it.
  if (name.size() > 3 && StartsWithName(name, "COM") && (IsDigit(name[3]) || name[3] == '-')) {
    if (name[3] == '0' || name[3] == '-') return NameForm::kNotAComNumber;
    for (std::size_t i = 4; i < name.size(); ++i) {
      if (!IsDigit(name[i])) return NameForm::kNotAComNumber;
    }
  }
  return NameForm::kFine;
}

std::string NameFormReason(NameForm form) {
  switch (form) {
    case NameForm::kEmpty:
      return "is empty";
    case NameForm::kTooLong:
      return "is longer than 7 characters";
    case NameForm::kBadCharacter:
      return "holds a character other than the letters A to Z, the digits, '-' and '_'";
    case NameForm::kReservedDevice:
      return "is reserved by Windows for another device";
    case NameForm::kNotAComNumber:
      return "is not a COM name as Windows counts it: COM and a number without leading zeros";
    case NameForm::kFine:
      break;
  }
  return std::string();
}

}  // namespace velnara

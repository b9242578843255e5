#include "discovery/port_names.h"

#include <cstdlib>

namespace velnara {

namespace {

char FoldCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

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
    if (SamePortName(name, reserved)) return true;
  }
  return false;
}

}  // namespace

long ComNumber(const std::string& name) {
  if (name.size() <= 3 || !SamePortName(name.substr(0, 3), "COM")) return 0;
  // strtol's reading, overflow included (it gives LONG_MAX or LONG_MIN).
  return std::strtol(name.c_str() + 3, nullptr, 10);
}

bool SamePortName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

NameForm CheckNameForm(const std::string& name) {
  if (name.empty()) return NameForm::kEmpty;
  if (name.size() > kMaxPortNameLength) return NameForm::kTooLong;
  for (const char c : name) {
    if (!IsNameCharacter(c)) return NameForm::kBadCharacter;
  }
  if (IsReservedDevice(name)) return NameForm::kReservedDevice;
  // "COM" and then a digit or a sign: the database reads a number there,
  // so it must be the number alone, as the database writes it.
  if (name.size() > 3 && SamePortName(name.substr(0, 3), "COM") &&
      (IsDigit(name[3]) || name[3] == '-')) {
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

std::string QuotedName(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      quoted += c;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xF];
    }
  }
  return quoted + "\"";
}

}  // namespace velnara

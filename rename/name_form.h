// Which texts can be a port's name at all, by their form alone: a port's
// name becomes a DOS device name, and the COM port database counts a COM
// name by its number.
#pragma once

#include <string>

namespace velnara {

// Why a text cannot be a port's name, by its form alone.
enum class NameForm {
  kFine,
  kEmpty,
  kTooLong,         // more than kMaxPortNameLength characters
  kBadCharacter,    // anything but the ASCII letters, digits, '-' and '_': a
                    // port's name becomes a DOS device name ("C:", "A\B", "..")
  kReservedDevice,  // CON, PRN, AUX, NUL, LPT1 to LPT9 and COM0, in any case
  kNotAComNumber,   // COM and a number that is not written as the database
                    // counts it (COM047, COM-5, COM5A would all share a number)
};
NameForm CheckNameForm(const std::string& name);

// Why a name of that form is refused, as it follows the name in a sentence:
// "is reserved by Windows for another device". Empty for kFine.
std::string NameFormReason(NameForm form);

}  // namespace velnara

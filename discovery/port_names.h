// What a port's name means beyond its text: the COM number it stands for,
// when two names are the same name, and which texts can be a port's name at
// all.
#pragma once

#include <cstddef>
#include <string>

namespace velnara {

// The COM number of a name: the decimal number after its first three
// characters, read as strtol reads base 10 (leading blanks and a sign
// allowed, digits up to the first non-digit, 0 when there are none), so
// COM5 gives 5 and COM256 gives 256. Only a name that begins with "COM", in
// any case, has one: any other name, and one of three characters or fewer,
// gives 0, a number the COM port database never holds. (Taking the number
// of "LPT7" would release or claim COM7, which may belong to another port.)
long ComNumber(const std::string& name);

// Whether two port names name the same device: Windows resolves device
// names without regard to case, so COM5 and com5 are one name. ASCII
// letters only; every other byte must be equal.
bool SamePortName(const std::string& a, const std::string& b);

// The longest name a port takes: what the registry's PortName reads (8
// bytes with the terminator) hold.
constexpr std::size_t kMaxPortNameLength = 7;

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

// The name as it can be shown on a line of its own: printable ASCII as it
// is, every other byte as \xNN, in double quotes.
std::string QuotedName(const std::string& name);

}  // namespace velnara

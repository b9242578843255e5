// The program's small text toolkit: case folding as Windows compares device
// and key names, decimal numbers as the C library reads them, and numbers
// written with leading zeros. Every comparison without regard to case and
// every reading of a number in the program goes through these, so that one
// rule holds everywhere.
#pragma once

#include <cstddef>
#include <string>

namespace velnara {

// An ASCII letter in upper case; every other byte as it is. Windows folds
// device names, key names and value names so; the program's own keywords
// are ASCII.
char FoldCase(char c);
std::string FoldCase(std::string text);

// Whether two names are one name without regard to the case of their ASCII
// letters: COM5 and com5 name one device. Every other byte must be equal.
bool SameName(const std::string& a, const std::string& b);
// Whether `text` begins with `prefix`, compared as SameName compares.
bool StartsWithName(const std::string& text, const std::string& prefix);

// A decimal number as read from the front of a text.
struct DecimalNumber {
  bool found = false;      // at least one digit
  long value = 0;          // negative after a '-'; stops growing at kMaxDecimal
  std::size_t digits = 0;  // how many digits it has
  std::size_t length = 0;  // the characters read: blanks, sign and digits
};
constexpr long kMaxDecimal = 999999999;

// How the number may begin.
enum class DecimalForm {
  kDigitsOnly,     // digits at once
  kBlanksAndSign,  // as strtol (base 10) and scanf's %d read it: white
                   // space, then an optional sign, then the digits
};

// Reads the number at the front of `text`, up to the first character that
// is no digit (the terminator included).
DecimalNumber ParseDecimal(const char* text, DecimalForm form);

// A name as it can be shown on a line of its own: printable ASCII as it
// is, every other byte as \xNN, in double quotes.
std::string QuotedName(const std::string& name);

// `value` in at least `width` decimal digits, zeros in front: "0512".
std::string ZeroPadded(unsigned long value, std::size_t width);

}  // namespace velnara

// What a port's name means beyond its text: the COM number it stands for,
// and when two names are the same name.
#pragma once

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

}  // namespace velnara

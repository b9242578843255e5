// What a port's name stands for beyond its text: the COM number the COM
// port database counts it by, and the longest name a port can keep.
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

// The longest name a port takes: what the registry's PortName reads (8
// bytes with the terminator) hold.
constexpr std::size_t kMaxPortNameLength = 7;

}  // namespace velnara

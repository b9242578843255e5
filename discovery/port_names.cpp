#include "discovery/port_names.h"

#include <cstdlib>

namespace velnara {

namespace {

char FoldCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
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

}  // namespace velnara

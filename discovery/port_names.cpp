#include "discovery/port_names.h"

#include "text/text.h"

namespace velnara {

long ComNumber(const std::string& name) {
  if (name.size() <= 3 || !StartsWithName(name, "COM")) return 0;
  const DecimalNumber number = ParseDecimal(name.c_str() + 3, DecimalForm::kBlanksAndSign);
  return number.found ? number.value : 0;
}

}  // namespace velnara

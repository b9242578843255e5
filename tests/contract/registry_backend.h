// The platform contract tests (registry, access lists, COM port database)
// are written once and run against every backend a test program offers: the
// stand-in everywhere, the real calls in the Windows test program under
// Wine. Where the two may differ (see the notes at each test), the test
// states which behaviour it expects where.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/com_port_database.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/system.h"

namespace velnara::contract {

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  virtual platform::Registry& registry() = 0;
  virtual platform::Security& security() = 0;
  virtual platform::ComPortDatabase& comPorts() = 0;
  virtual platform::System& system() = 0;
  // The access list of a key named as the security calls name it
  // ("CURRENT_USER\Software\..."), as SDDL, read the backend's own way;
  // false when it cannot be read.
  virtual bool ReadDaclSddl(const std::string& objectName, std::string* sddl) = 0;
  // Replaces that key's list with the one `sddl` gives, the backend's own
  // way; false when it cannot.
  virtual bool WriteDaclSddl(const std::string& objectName, const std::string& sddl) = 0;
  // True for the real calls running under Wine.
  virtual bool IsWine() const = 0;
};

struct BackendFactory {
  std::string name;  // a valid GoogleTest parameter name: "Sim", "Win32"
  std::function<std::unique_ptr<RegistryBackend>()> make;
};

// GoogleTest names a parameter by this.
void PrintTo(const BackendFactory& factory, std::ostream* out);

// Each test program defines this: the backends its contract tests run on.
std::vector<BackendFactory> RegistryBackends();

}  // namespace velnara::contract

// The platform contract tests (registry, access lists, COM port database)
// are written once and run against every backend a test program offers: the
// stand-in everywhere, the real calls in the Windows test program under
// Wine. Where the two may differ (see the notes at each test), the test
// states which behaviour it expects where.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/com_port_database.h"
#include "platform/files.h"
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
  virtual platform::Files& files() = 0;
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

// Removes the key `path` below `parent` and everything below it, bottom-up;
// the contract tests clean their scratch keys with it.
inline platform::ErrorCode DeleteKeyTree(platform::Registry& registry, platform::RawKey parent,
                                         const std::string& path) {
  platform::RawKey key = platform::kNoKey;
  const platform::ErrorCode code =
      registry.OpenKey(parent, path.c_str(), platform::access::kKeyRead, &key);
  if (code != platform::error::kSuccess) return code;
  std::vector<std::string> children;
  for (std::uint32_t index = 0;; ++index) {
    char name[256];
    std::uint32_t chars = sizeof name;
    if (registry.EnumKey(key, index, name, &chars) != platform::error::kSuccess) break;
    children.emplace_back(name);
  }
  for (const std::string& child : children) DeleteKeyTree(registry, key, child);
  registry.CloseKey(key);
  return registry.DeleteKey(parent, path.c_str());
}

// GoogleTest names a parameter by this.
void PrintTo(const BackendFactory& factory, std::ostream* out);

// Each test program defines this: the backends its contract tests run on.
std::vector<BackendFactory> RegistryBackends();

}  // namespace velnara::contract

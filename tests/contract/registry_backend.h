// The registry contract tests are written once and run against every
// backend a test program offers: the stand-in everywhere, the real calls in
// the Windows test program under Wine. Where the two may differ (see the
// notes at each test), the test states which behaviour it expects where.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace velnara::contract {

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  virtual platform::Registry& registry() = 0;
  // True for the real calls running under Wine.
  virtual bool IsWine() const = 0;
};

struct BackendFactory {
  std::string name;  // a valid GoogleTest parameter name: "Sim", "Win32"
  std::function<std::unique_ptr<RegistryBackend>()> make;
};

// Each test program defines this: the backends its contract tests run on.
std::vector<BackendFactory> RegistryBackends();

}  // namespace velnara::contract

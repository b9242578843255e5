// The Windows test program runs the registry contract on the stand-in and on
// the real registry calls.

#include <memory>

#include "platform/sim/sim_registry.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

class SimBackend final : public RegistryBackend {
 public:
  platform::Registry& registry() override { return registry_; }
  bool IsWine() const override { return false; }

 private:
  platform::sim::SimRegistry registry_;
};

class Win32Backend final : public RegistryBackend {
 public:
  platform::Registry& registry() override { return registry_; }
  bool IsWine() const override { return platform::win32::IsWine(); }

 private:
  platform::win32::Win32Registry registry_;
};

}  // namespace

std::vector<BackendFactory> RegistryBackends() {
  return {
      {"Sim", [] { return std::unique_ptr<RegistryBackend>(new SimBackend); }},
      {"Win32", [] { return std::unique_ptr<RegistryBackend>(new Win32Backend); }},
  };
}

}  // namespace velnara::contract

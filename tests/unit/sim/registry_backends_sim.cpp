// The Linux test program runs the registry contract on the stand-in alone.
#include <memory>
#include <vector>

#include "platform/sim/sim_registry.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

class SimBackend : public RegistryBackend {
 public:
  platform::Registry& registry() override { return registry_; }
  bool IsWine() const override { return false; }

 private:
  platform::sim::SimRegistry registry_;
};

}  // namespace

std::vector<BackendFactory> RegistryBackends() {
  return {{"Sim", [] { return std::make_unique<SimBackend>(); }}};
}

}  // namespace velnara::contract

// The Linux test program runs the registry contract on the stand-in alone.
#include <memory>
#include <vector>

#include "platform/sim/sim_com_port_database.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/sim/sim_system.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

class SimBackend : public RegistryBackend {
 public:
  platform::Registry& registry() override { return registry_; }
  platform::Security& security() override { return security_; }
  platform::ComPortDatabase& comPorts() override { return comPorts_; }
  platform::System& system() override { return system_; }
  platform::Files& files() override { return files_; }
  bool ReadDaclSddl(const std::string& objectName, std::string* sddl) override {
    return security_.ReadSddl(objectName.c_str(), sddl);
  }
  bool WriteDaclSddl(const std::string& objectName, const std::string& sddl) override {
    return security_.WriteSddl(objectName.c_str(), sddl);
  }
  bool IsWine() const override { return false; }

 private:
  platform::sim::SimRegistry registry_;
  platform::sim::SimSecurity security_{registry_};
  platform::sim::SimComPortDatabase comPorts_{registry_};
  platform::sim::SimSystem system_;
  platform::sim::SimFiles files_;
};

}  // namespace

std::vector<BackendFactory> RegistryBackends() {
  return {{"Sim", [] { return std::make_unique<SimBackend>(); }}};
}

}  // namespace velnara::contract

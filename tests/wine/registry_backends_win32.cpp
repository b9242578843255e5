// The Windows test program runs the registry contract on the stand-in and on
// the real registry calls.

#include <memory>

#include "platform/sim/sim_com_port_database.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/sim/sim_system.h"
#include "platform/win32/win32_com_port_database.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_security.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/windows_api.h"
#include "tests/wine/wine_machine.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

class SimBackend final : public RegistryBackend {
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

class Win32Backend final : public RegistryBackend {
 public:
  platform::Registry& registry() override { return registry_; }
  platform::Security& security() override { return security_; }
  platform::ComPortDatabase& comPorts() override { return *comPorts_; }
  platform::System& system() override { return system_; }
  platform::Files& files() override { return files_; }
  // The system's own SDDL reader and writer.
  bool ReadDaclSddl(const std::string& objectName, std::string* sddl) override {
    *sddl = wine_test::ObjectDaclSddl(objectName);
    return *sddl != "<unreadable>";
  }
  bool WriteDaclSddl(const std::string& objectName, const std::string& sddl) override {
    return wine_test::SetObjectDaclSddl(objectName, sddl);
  }
  bool IsWine() const override { return platform::win32::IsWine(); }

 private:
  platform::win32::Win32Registry registry_;
  platform::win32::Win32Security security_;
  platform::win32::Win32System system_;
  platform::win32::Win32Files files_;
  std::unique_ptr<platform::ComPortDatabase> comPorts_ =
      platform::win32::MakeComPortDatabase(registry_);
};

}  // namespace

std::vector<BackendFactory> RegistryBackends() {
  return {
      {"Sim", [] { return std::unique_ptr<RegistryBackend>(new SimBackend); }},
      {"Win32", [] { return std::unique_ptr<RegistryBackend>(new Win32Backend); }},
  };
}

}  // namespace velnara::contract

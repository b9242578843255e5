// The Windows test program runs the registry contract on the stand-in and on
// the real registry calls.

#include <memory>

#include "platform/sim/sim_com_port_database.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/sim/sim_system.h"
#include "platform/win32/win32_com_port_database.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_security.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/windows_api.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

class SimBackend final : public RegistryBackend {
 public:
  platform::Registry& registry() override { return registry_; }
  platform::Security& security() override { return security_; }
  platform::ComPortDatabase& comPorts() override { return comPorts_; }
  platform::System& system() override { return system_; }
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
};

class Win32Backend final : public RegistryBackend {
 public:
  platform::Registry& registry() override { return registry_; }
  platform::Security& security() override { return security_; }
  platform::ComPortDatabase& comPorts() override { return *comPorts_; }
  platform::System& system() override { return system_; }
  // The system's own SDDL writer, on the list GetNamedSecurityInfoA reads.
  bool ReadDaclSddl(const std::string& objectName, std::string* sddl) override {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(objectName.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
      return false;
    }
    char* text = nullptr;
    const BOOL converted = ConvertSecurityDescriptorToStringSecurityDescriptorA(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
    if (converted) *sddl = text;
    LocalFree(text);
    LocalFree(descriptor);
    return converted != FALSE;
  }
  bool WriteDaclSddl(const std::string& objectName, const std::string& sddl) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
      return false;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    // Protection travels as its own flag of the call.
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION which =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
    std::string name = objectName;
    const bool written =
        GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
        SetNamedSecurityInfoA(name.data(), SE_REGISTRY_KEY, which, nullptr, nullptr, dacl,
                              nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return written;
  }
  bool IsWine() const override { return platform::win32::IsWine(); }

 private:
  platform::win32::Win32Registry registry_;
  platform::win32::Win32Security security_;
  platform::win32::Win32System system_;
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

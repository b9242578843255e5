#include "platform/sim/machine_access.h"

#include <string>

namespace velnara::platform::sim {
namespace {

// The port drivers' enumerators, one per enumerator letter.
constexpr const char* kEnumeratorKeys[] = {
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*PNP0501",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880S\\*PNP0501",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880U\\*PNP0501",
};

// SYSTEM full control, Administrators and Users read: writing FriendlyName
// needs the access list opened first. Protected, as Plug and Play sets it:
// nothing comes from the enumerator key above.
constexpr const char* kPortDeviceKeySddl = "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)";
// SYSTEM and Administrators full control, Users read: PortName is writable
// by an administrator as it is.
constexpr const char* kDeviceParametersSddl = "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)";
// Keys that the system makes belong to Administrators (the default owner
// of SYSTEM's token), which is what lets an administrator change their
// access lists at all.
constexpr const char* kDeviceKeyOwner = kSidAdministrators;

}  // namespace

void ApplyDeviceKeyAccessRules(SimRegistry& registry) {
  for (const char* enumerator : kEnumeratorKeys) {
    for (const std::string& instance : registry.SubkeyNamesAt(enumerator)) {
      const std::string deviceKey = std::string(enumerator) + "\\" + instance;
      registry.SetSddlAt(deviceKey, kPortDeviceKeySddl);
      registry.SetOwnerAt(deviceKey, kDeviceKeyOwner);
      // SetSddlAt and SetOwnerAt leave a missing subkey missing.
      registry.SetSddlAt(deviceKey + "\\Device Parameters", kDeviceParametersSddl);
      registry.SetOwnerAt(deviceKey + "\\Device Parameters", kDeviceKeyOwner);
    }
  }
}

}  // namespace velnara::platform::sim

// The access lists a real machine keeps on its device keys, which a sample
// machine's .reg file cannot carry.
#pragma once

#include "platform/sim/sim_registry.h"

namespace velnara::platform::sim {

// On a real Windows machine the device keys below
// HKLM\SYSTEM\CurrentControlSet\Enum are writable by SYSTEM alone: an
// administrator can read a port device key
// (SYSTEM\CurrentControlSet\Enum\TRVX880<A|S|U>\*PNP0501\<instance>) but not
// write to it until its access list is opened, while the key's "Device
// Parameters" subkey is writable by Administrators. This gives every existing
// port device key and its Device Parameters subkey those lists, explicit and
// not inherited. Call it after seeding a sample machine.
void ApplyDeviceKeyAccessRules(SimRegistry& registry);

}  // namespace velnara::platform::sim

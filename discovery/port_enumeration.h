// Finds the ports of one card under its driver's enumerator key and reads
// each port's current COM name.
#pragma once

#include <cstdint>
#include <string>

#include "discovery/port_record.h"
#include "platform/dialog.h"
#include "platform/registry.h"

namespace velnara {

constexpr const char* kEnumRoot = "SYSTEM\\CurrentControlSet\\Enum";
// The other places a machine keeps a serial port's name.
constexpr const char* kSerialMapPath = "HARDWARE\\DeviceMap\\SerialComm";
constexpr const char* kPortSettingsPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

// "SYSTEM\CurrentControlSet\Enum\TRVX880A\*PNP0501" for letter 'A'.
std::string EnumeratorKeyPath(char enumeratorLetter);

// A port device key's name below the enumerator key: the parent id prefix,
// "&" and the location code as eight lower-case hexadecimal digits.
std::string PortDeviceKeyName(const char* parentIdPrefix, std::uint32_t locationCode);

// The port's device key below HKEY_LOCAL_MACHINE: the enumerator key path,
// a backslash and the port device key's name.
std::string PortDeviceKeyPath(const PortRecord& port);

// The highest port index: the index lives in the location code's low byte.
constexpr std::uint32_t kMaxPortIndex = 255;

// Adds a port record and a port item under the board for every port its
// driver registered, from index 0 up to the first index without a Device
// Parameters subkey. A port whose PortName cannot be read whole (missing,
// or more than 7 characters) is skipped. Nothing is reported to the user.
// Without a tree no items are made.
void EnumeratePorts(platform::Registry& registry, const platform::TreeView* tree, PortRecord* board,
                    char enumeratorLetter);

}  // namespace velnara

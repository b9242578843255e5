// A machine for scenario tests: the stand-in's registry, system and window
// system, the program run on them, and helpers that seed cards and ports the
// way their drivers register them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "discovery/port_names.h"
#include "platform/sim/machine_access.h"
#include "platform/sim/sim_platform.h"
#include "ui/resource.h"

namespace velnara::testing {

namespace sim = platform::sim;

struct SimMachine : sim::SimPlatform {
  // Every Windows machine has the PCI enumeration key, even without cards.
  SimMachine() { registry.CreateKeyAt("SYSTEM\\CurrentControlSet\\Enum\\PCI"); }

  // Runs the program to its end with the arguments after its name; the
  // process exit status (0 for a normal end of the dialog).
  int Run(const std::vector<std::string>& args = {}) {
    try {
      return RunApplication(platform, args);
    } catch (const sim::ProcessExit& exit) {
      return exit.status;
    }
  }

  // Fails the test when the script met a problem or was not used up.
  void ExpectCleanScript() const {
    for (const std::string& problem : windows.errors()) ADD_FAILURE() << problem;
    EXPECT_TRUE(windows.ScriptDone()) << "steps of the script were not used";
  }
};

inline std::string Hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

inline std::string Location(int bus, int device, int function) {
  return "PCI bus " + std::to_string(bus) + ", device " + std::to_string(device) + ", function " +
         std::to_string(function);
}

constexpr const char* kPci = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\";

// A card instance under the PCI enumeration key, as Windows leaves it once
// the card is set up (with its Control subkey).
struct CardSpec {
  std::string identifier = "VEN_1F5A&DEV_8014&SUBSYS_00000000&REV_01";
  std::string instance = "3&13c0b0c5&0&48";
  int bus = 2, device = 9, function = 0;
  std::string prefix = "4&2d3a2b1c&0";
  bool control = true;
};

inline std::string AddCard(sim::SimRegistry& registry, const CardSpec& card) {
  const std::string key = kPci + card.identifier + "\\" + card.instance;
  registry.SetStringAt(key, "LocationInformation", Location(card.bus, card.device, card.function));
  registry.SetStringAt(key, "ParentIdPrefix", card.prefix);
  if (card.control) registry.CreateKeyAt(key + "\\Control");
  return key;
}

inline std::uint32_t LocationCode(const CardSpec& card) {
  return static_cast<std::uint32_t>(card.bus) << 24 |
         static_cast<std::uint32_t>(card.device) << 16 |
         static_cast<std::uint32_t>(card.function) << 8;
}

// The Device Parameters key of port `index` of `card` under letter `letter`.
inline std::string PortParameters(const CardSpec& card, char letter, std::uint32_t index) {
  return std::string("SYSTEM\\CurrentControlSet\\Enum\\TRVX880") + letter + "\\*PNP0501\\" +
         card.prefix + "&" + Hex8(LocationCode(card) | index) + "\\Device Parameters";
}

// Registers the card's ports 0, 1, ... with the given names.
inline void AddPorts(sim::SimRegistry& registry, const CardSpec& card, char letter,
                     const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    registry.SetStringAt(PortParameters(card, letter, static_cast<std::uint32_t>(i)), "PortName",
                         names[i]);
  }
}

// Where a machine keeps a port's name besides PortName.
constexpr const char* kSerialMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* kPortSettings = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

// The port device key of port `index` of `card` under letter `letter`.
inline std::string PortDeviceKey(const CardSpec& card, char letter, std::uint32_t index) {
  const std::string parameters = PortParameters(card, letter, index);
  return parameters.substr(0, parameters.rfind('\\'));
}

// The settings a port keeps under "COMn:", different for every port so that
// a test sees whose settings went where.
inline std::string SettingsOf(const std::string& name) {
  return "settings of " + name;
}

// Registers the card's ports as their driver and Windows do: PortName,
// FriendlyName, a serial device map value (\Device\<device><i>), a port
// settings value and a claim in the COM port database; the port device keys
// get the access lists of a real machine.
inline void AddWiredPorts(sim::SimPlatform& machine, const CardSpec& card, char letter,
                          const std::vector<std::string>& names,
                          const std::string& device = "TrvxSerial") {
  std::vector<std::uint32_t> claimed = machine.comPorts.ClaimedNumbers();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto index = static_cast<std::uint32_t>(i);
    machine.registry.SetStringAt(PortParameters(card, letter, index), "PortName", names[i]);
    machine.registry.SetStringAt(PortDeviceKey(card, letter, index), "FriendlyName",
                                 "Tarvex 880 Port (" + names[i] + ")");
    machine.registry.SetStringAt(kSerialMap, "\\Device\\" + device + std::to_string(i), names[i]);
    machine.registry.SetStringAt(kPortSettings, names[i] + ":", SettingsOf(names[i]));
    if (const long number = ComNumber(names[i]); number > 0) {
      claimed.push_back(static_cast<std::uint32_t>(number));
    }
  }
  machine.comPorts.SetClaimedNumbers(claimed);
  sim::ApplyDeviceKeyAccessRules(machine.registry);
}

// The texts of a tree snapshot, one line per item, indented by level.
inline void Outline(const std::vector<sim::TreeNode>& nodes, int level, std::string* out) {
  for (const sim::TreeNode& node : nodes) {
    *out += std::string(static_cast<std::size_t>(level) * 2, ' ') + node.text + "\n";
    Outline(node.children, level + 1, out);
  }
}
inline std::string Outline(const std::vector<sim::TreeNode>& nodes) {
  std::string out;
  Outline(nodes, 0, &out);
  return out;
}

}  // namespace velnara::testing

// Who holds a name, on a PC whose Enum key lists a thousand device
// instances: the name check behind one rename of a name the database claims
// (it reads the Enum tree once, the serial device map and the database),
// next to a bare walk that opens and enumerates the same keys and reads the
// same PortName values; and the check of a free name, which needs no walk,
// on a PC of 2,000 instances and on one of none.
//
//   cmake --preset bench && cmake --build --preset bench --target velnara_bench
//   build/bench/tests/velnara_bench --benchmark_filter=Holders --benchmark_repetitions=15
//
// With repetitions, compare the rows' "min": the machine's other work only
// ever adds to a run's time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "discovery/board_discovery.h"
#include "discovery/port_enumeration.h"
#include "platform/sim/sim_com_port_database.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_window_system.h"
#include "rename/name_rule.h"

namespace velnara {
namespace {

using namespace platform;

constexpr int kDevices = 10;
constexpr int kInstances = 10;  // a hundred instances an enumerator

struct Machine {
  // Ten enumerators by default: a thousand instances.
  explicit Machine(int enumerators = 10) {
    const std::string root = std::string(kEnumRoot) + "\\";
    for (int e = 0; e < enumerators; ++e) {
      for (int d = 0; d < kDevices; ++d) {
        for (int i = 0; i < kInstances; ++i) {
          const std::string key = root + "BUS" + std::to_string(e) + "\\DEV_" + std::to_string(d) +
                                  "\\" + std::to_string(i);
          registry.SetStringAt(key, "DeviceDesc", "Some device");
          // One in four is a serial port of some kind.
          if (i % 4 == 0) {
            const std::string name = "COM" + std::to_string(100 + (e * 100 + d * 10 + i) % 150);
            registry.SetStringAt(key + "\\Device Parameters", "PortName", name);
            registry.SetStringAt(key, "FriendlyName", "Port (" + name + ")");
          } else {
            registry.SetDwordAt(key + "\\Device Parameters", "Other", 1);
          }
        }
      }
    }
    // A card with its ports, the tree the check compares against.
    const std::string card =
        "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1F5A&DEV_8014&SUBSYS_0\\3&1&0&48";
    registry.SetStringAt(card, "LocationInformation", "PCI bus 2, device 9, function 0");
    registry.SetStringAt(card, "ParentIdPrefix", "4&1&0");
    registry.CreateKeyAt(card + "\\Control");
    for (std::uint32_t p = 0; p < 4; ++p) {
      registry.SetStringAt(EnumeratorKeyPath('A') + "\\" +
                               PortDeviceKeyName("4&1&0", 0x02090000 | p) + "\\Device Parameters",
                           "PortName", "COM" + std::to_string(3 + p));
    }
    registry.SetStringAt("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0", "COM1");
    comPorts.SetClaimedNumbers({1, 3, 4, 5, 6, 120});
  }
  sim::SimRegistry registry;
  sim::SimSystem system;
  sim::SimWindowSystem windows;
  sim::SimSecurity security{registry};
  sim::SimComPortDatabase comPorts{registry};
  sim::SimFiles files;
  Platform platform{registry, system, windows, security, comPorts, files};
};

// Opens and enumerates the three levels below Enum, opens each instance's
// Device Parameters and reads its PortName: the registry work alone.
int BareWalk(Registry& registry) {
  int found = 0;
  RegKey root(registry);
  root.Open(kLocalMachine, kEnumRoot, access::kKeyEnumerateSubKeys | access::kKeyQueryValue);
  char name[256];
  for (std::uint32_t e = 0;; ++e) {
    std::uint32_t chars = sizeof name;
    if (root.EnumKey(e, name, &chars) != error::kSuccess) break;
    RegKey enumerator(registry);
    enumerator.Open(root, name, access::kKeyEnumerateSubKeys | access::kKeyQueryValue);
    for (std::uint32_t d = 0;; ++d) {
      chars = sizeof name;
      if (enumerator.EnumKey(d, name, &chars) != error::kSuccess) break;
      RegKey device(registry);
      device.Open(enumerator, name, access::kKeyEnumerateSubKeys | access::kKeyQueryValue);
      for (std::uint32_t i = 0;; ++i) {
        chars = sizeof name;
        if (device.EnumKey(i, name, &chars) != error::kSuccess) break;
        RegKey parameters(registry);
        if (parameters.Open(device, (std::string(name) + "\\Device Parameters").c_str(),
                            access::kKeyEnumerateSubKeys | access::kKeyQueryValue) !=
            error::kSuccess) {
          continue;
        }
        std::string portName;
        found += QueryStringValue(parameters, "PortName", 64, &portName) == error::kSuccess;
      }
    }
  }
  return found;
}

void BM_HoldersBareWalk(benchmark::State& state) {
  Machine machine;
  for (auto _ : state) benchmark::DoNotOptimize(BareWalk(machine.registry));
  state.counters["port names"] = BareWalk(machine.registry);
}
double Fastest(const std::vector<double>& runs) {
  return *std::min_element(runs.begin(), runs.end());
}

BENCHMARK(BM_HoldersBareWalk)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);

// One rename's check of a name the database claims for a device of Enum.
void BM_HoldersNameCheck(benchmark::State& state) {
  Machine machine;
  const ErrorReporter reporter(machine.platform);
  PortRecord* boards = DiscoverBoards(machine.registry, nullptr, reporter).boards;
  std::vector<ShownName> shown;
  for (const PortRecord* port = boards->children; port != nullptr; port = port->next) {
    shown.push_back({port, port->committedName});
  }
  std::size_t holders = 0;
  for (auto _ : state) {
    NameRule rule(machine.platform, shown);
    const NameCheck check = rule.Check(shown[0].port, "COM120");
    holders = check.holding.holders.size();
    benchmark::DoNotOptimize(holders);
  }
  if (holders == 0) state.SkipWithError("the check found no holder");
  state.counters["holders"] = static_cast<double>(holders);
  ListFree(boards);
}
BENCHMARK(BM_HoldersNameCheck)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);

// One rename's check of a name nothing claims or uses, on a PC of
// range(0) * 100 instances of Enum: as fast with 2,000 as with none.
void BM_HoldersFreeName(benchmark::State& state) {
  Machine machine(static_cast<int>(state.range(0)));
  const ErrorReporter reporter(machine.platform);
  PortRecord* boards = DiscoverBoards(machine.registry, nullptr, reporter).boards;
  std::vector<ShownName> shown;
  for (const PortRecord& port : Ports(boards)) shown.push_back({&port, port.committedName});
  for (auto _ : state) {
    NameRule rule(machine.platform, shown);
    const NameCheck check = rule.Check(shown[0].port, "COM90");
    if (check.verdict != NameVerdict::kFree) state.SkipWithError("COM90 is not free");
    benchmark::DoNotOptimize(check.verdict);
  }
  state.counters["instances"] = static_cast<double>(state.range(0) * kDevices * kInstances);
  ListFree(boards);
}
BENCHMARK(BM_HoldersFreeName)
    ->Arg(0)
    ->Arg(20)
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", Fastest);

}  // namespace
}  // namespace velnara

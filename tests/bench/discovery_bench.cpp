// Discovery on a large machine, next to a bare walk that opens and
// enumerates the same keys: the floor that no discovery can beat.
//
//   cmake --preset bench && cmake --build --preset bench --target velnara_bench
//   build/bench/tests/velnara_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/application.h"
#include "discovery/port_enumeration.h"
#include "platform/sim/sim_com_port_database.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_security.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_window_system.h"

namespace velnara {
namespace {

using namespace platform;

constexpr int kUnrelatedDevices = 2000;
constexpr int kCards = 32;
constexpr int kPortsPerCard = 16;

void Seed(sim::SimRegistry& registry) {
  const std::string pci = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\";
  for (int i = 0; i < kUnrelatedDevices; ++i) {
    const std::string key = pci + "VEN_8086&DEV_" + std::to_string(1000 + i) + "\\3&11&0&" +
                            std::to_string(i);
    registry.SetStringAt(key, "LocationInformation", "PCI bus 0, device 1, function 0");
    registry.CreateKeyAt(key + "\\Control");
  }
  for (int c = 0; c < kCards; ++c) {
    const std::string prefix = "4&" + std::to_string(c) + "&0";
    const std::string key = pci + "VEN_1F5A&DEV_8022&SUBSYS_" + std::to_string(c) + "\\3&22&0&0";
    registry.SetStringAt(key, "LocationInformation",
                         "PCI bus " + std::to_string(c + 1) + ", device 4, function 0");
    registry.SetStringAt(key, "ParentIdPrefix", prefix);
    registry.CreateKeyAt(key + "\\Control");
    const std::uint32_t code = static_cast<std::uint32_t>(c + 1) << 24 | 4u << 16;
    for (int p = 0; p < kPortsPerCard; ++p) {
      registry.SetStringAt(EnumeratorKeyPath('U') + "\\" + PortDeviceKeyName(prefix.c_str(),
                                                                            code | p) +
                               "\\Device Parameters",
                           "PortName", "COM" + std::to_string(3 + c * kPortsPerCard + p));
    }
  }
}

// Opens and enumerates every key discovery visits and reads the same
// values, but builds no tree and no records: the registry work alone.
int BareWalk(Registry& registry) {
  int found = 0;
  RegKey pci(registry);
  pci.Open(kLocalMachine, "SYSTEM\\CurrentControlSet\\Enum\\PCI", access::kKeyRead);
  char name[128];
  for (std::uint32_t i = 0;; ++i) {
    std::uint32_t chars = sizeof name;
    if (pci.EnumKey(i, name, &chars) != error::kSuccess) break;
    if (std::strncmp(name, "VEN_1F5A&DEV_80", 15) != 0) continue;
    RegKey identifier(registry);
    identifier.Open(pci, name, access::kKeyRead);
    char instanceName[128];
    for (std::uint32_t j = 0;; ++j) {
      chars = sizeof instanceName;
      if (identifier.EnumKey(j, instanceName, &chars) != error::kSuccess) break;
      RegKey instance(registry);
      instance.Open(identifier, instanceName, access::kKeyRead);
      RegKey control(registry);
      control.Open(identifier, (std::string(instanceName) + "\\Control").c_str(),
                   access::kKeyRead);
      std::string location, prefix;
      QueryStringValue(instance, "LocationInformation", 128, &location);
      if (QueryStringValue(instance, "ParentIdPrefix", 128, &prefix) != error::kSuccess) continue;
      RegKey enumerator(registry);
      enumerator.Open(kLocalMachine, EnumeratorKeyPath('U').c_str(), access::kKeyRead);
      for (std::uint32_t p = 0;; ++p) {
        std::uint32_t code = 0;
        std::sscanf(location.c_str(), "PCI bus %u", &code);
        RegKey parameters(registry);
        const std::string relative =
            PortDeviceKeyName(prefix.c_str(), code << 24 | 4u << 16 | p) + "\\Device Parameters";
        if (parameters.Open(enumerator, relative.c_str(), access::kKeyRead) != error::kSuccess) {
          break;
        }
        std::string portName;
        found += QueryStringValue(parameters, "PortName", 8, &portName) == error::kSuccess;
      }
    }
  }
  return found;
}

void BM_BareWalk(benchmark::State& state) {
  sim::SimRegistry registry;
  Seed(registry);
  for (auto _ : state) benchmark::DoNotOptimize(BareWalk(registry));
  state.counters["ports"] = BareWalk(registry);
}
BENCHMARK(BM_BareWalk)->Unit(benchmark::kMillisecond);

// The whole main dialog start on the stand-in: discovery fills the tree.
void BM_Discovery(benchmark::State& state) {
  sim::SimRegistry registry;
  Seed(registry);
  sim::SimSystem system;
  sim::SimWindowSystem windows;
  sim::SimSecurity security(registry);
  sim::SimComPortDatabase comPorts(registry);
  sim::SimFiles files;
  Platform platform{registry, system, windows, security, comPorts, files};
  std::size_t boards = 0;
  for (auto _ : state) {
    windows.Then("count", [&boards](sim::SimUser& user) {
      boards = user.Tree(1002)[0].children.size();
    });
    windows.Then("exit", [](sim::SimUser& user) { user.Click(1); });
    RunApplication(platform);
  }
  if (boards != kCards) state.SkipWithError("discovery did not find every card");
}
BENCHMARK(BM_Discovery)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velnara

BENCHMARK_MAIN();

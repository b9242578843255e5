// Save with every port renamed, on machines of 4 to 32 cards of 16 ports,
// next to a floor that makes the same registry writes and database moves
// directly: each port's serial device map value (by its known name), its
// port settings value, FriendlyName and PortName, one release and one
// claim, and nothing else (no search, no access lists, no dialog).
//
//   cmake --preset bench && cmake --build --preset bench --target velnara_bench
//   build/bench/tests/velnara_bench --benchmark_filter=Save
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "commit/port_commit.h"
#include "commit/walks.h"
#include "discovery/board_discovery.h"
#include "discovery/port_enumeration.h"
#include "discovery/port_names.h"
#include "platform/registry_com_port_database.h"
#include "platform/sim/machine_access.h"
#include "platform/sim/sim_platform.h"
#include "ui/resource.h"

namespace velnara {
namespace {

using namespace platform;

constexpr int kPortsPerCard = 16;
constexpr const char* kSerialMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* kPortSettings = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

struct BenchPort {
  std::string deviceKey;  // below HKLM
  std::string serialValue;
  int number;  // COM number now; the Save gives it number + 1000
};

// `cards` cards of 16 ports, COM3 onwards, registered everywhere.
std::vector<BenchPort> Seed(sim::SimPlatform& machine, int cards) {
  std::vector<BenchPort> ports;
  std::vector<std::uint32_t> claimed;
  const std::string pci = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\";
  for (int c = 0; c < cards; ++c) {
    const std::string prefix = "4&" + std::to_string(c) + "&0";
    const std::string key = pci + "VEN_1F5A&DEV_8022&SUBSYS_" + std::to_string(c) + "\\3&22&0&0";
    machine.registry.SetStringAt(key, "LocationInformation",
                                 "PCI bus " + std::to_string(c + 1) + ", device 4, function 0");
    machine.registry.SetStringAt(key, "ParentIdPrefix", prefix);
    machine.registry.CreateKeyAt(key + "\\Control");
    const std::uint32_t code = static_cast<std::uint32_t>(c + 1) << 24 | 4u << 16;
    for (int p = 0; p < kPortsPerCard; ++p) {
      const int number = 3 + c * kPortsPerCard + p;
      const std::string name = "COM" + std::to_string(number);
      BenchPort port{EnumeratorKeyPath('U') + "\\" + PortDeviceKeyName(prefix.c_str(), code | p),
                     "\\Device\\TrvxSerial" + std::to_string(ports.size()), number};
      machine.registry.SetStringAt(port.deviceKey + "\\Device Parameters", "PortName", name);
      machine.registry.SetStringAt(port.deviceKey, "FriendlyName",
                                   "Tarvex 880 Port (" + name + ")");
      machine.registry.SetStringAt(kSerialMap, port.serialValue, name);
      machine.registry.SetStringAt(kPortSettings, name + ":", "9600,n,8,1");
      claimed.push_back(static_cast<std::uint32_t>(number));
      ports.push_back(port);
    }
  }
  machine.comPorts.SetClaimedNumbers(claimed, 4096 / 8);
  return ports;
}

// The whole program: one rename through the rename dialog makes Save
// usable, the other ports get their new names straight into the tree, and
// only the Save click is timed.
void BM_SaveWalk(benchmark::State& state) {
  const int cards = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto machine = std::make_unique<sim::SimPlatform>();
    machine->registry.SetCallLog(nullptr);  // the log is for tests
    machine->system.SetCallLog(nullptr);
    machine->security.SetCallLog(nullptr);
    machine->comPorts.SetCallLog(nullptr);
    Seed(*machine, cards);
    sim::ApplyDeviceKeyAccessRules(machine->registry);
    sim::SimWindowSystem& windows = machine->windows;
    windows.Then("rename every port", [&windows](sim::SimUser& user) {
      const WindowHandle tree = windows.GetDlgItem(user.dialog(), IDC_PORT_TREE);
      const TreeItem root = windows.TreeGetNextItem(tree, nullptr, tvgn::kRoot);
      for (TreeItem board = windows.TreeGetNextItem(tree, root, tvgn::kChild); board != nullptr;
           board = windows.TreeGetNextItem(tree, board, tvgn::kNext)) {
        for (TreeItem port = windows.TreeGetNextItem(tree, board, tvgn::kChild); port != nullptr;
             port = windows.TreeGetNextItem(tree, port, tvgn::kNext)) {
          char text[16];
          windows.TreeGetItemText(tree, port, text, sizeof text);
          windows.TreeSetItemText(tree, port,
                                  ("COM" + std::to_string(std::atoi(text + 3) + 1000)).c_str());
        }
      }
      // One real rename sets the unsaved-changes flag and enables Save.
      user.SelectTreeItem(IDC_PORT_TREE, {"PCI Bus", "Tarvex Universal 880-16", "COM1003"});
      user.DoubleClickTree(IDC_PORT_TREE);
    });
    windows.Then("choose", [](sim::SimUser& user) {
      user.TypeText(IDC_NEW_NAME, "COM999");
      user.Click(id::kOk);
    });
    windows.Then("save", [&state](sim::SimUser& user) {
      state.ResumeTiming();
      user.Click(IDC_SAVE);
      state.PauseTiming();
    });
    windows.Then("leave", [](sim::SimUser& user) { user.PressEscape(); });
    windows.Answer(id::kNo);
    windows.Answer(id::kOk);
    RunApplication(machine->platform);
    if (!windows.errors().empty() ||
        machine->registry.GetStringAt(kSerialMap, "\\Device\\TrvxSerial1") != "COM1004") {
      state.SkipWithError("the Save did not write every port");
    }
    machine.reset();
    state.ResumeTiming();
  }
  state.counters["ports"] = cards * kPortsPerCard;
}
BENCHMARK(BM_SaveWalk)->Arg(4)->Arg(8)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

// The walk behind the Save, called directly, with every port renamed: with
// its journal (the plan on the disk first, removed at the end) and, to see
// what the journal costs, the same plan and commits without it.
void SaveDirectly(benchmark::State& state, bool journal) {
  const int cards = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto machine = std::make_unique<sim::SimPlatform>();
    machine->registry.SetCallLog(nullptr);
    machine->system.SetCallLog(nullptr);
    machine->security.SetCallLog(nullptr);
    machine->comPorts.SetCallLog(nullptr);
    machine->files.SetCallLog(nullptr);
    Seed(*machine, cards);
    sim::ApplyDeviceKeyAccessRules(machine->registry);
    const ErrorReporter reporter(machine->platform);
    PortRecord* boards = DiscoverBoards(machine->registry, nullptr, reporter).boards;
    std::vector<PortChange> changes;
    for (PortRecord& port : Ports(boards)) {
      changes.push_back({&port, "COM" + std::to_string(ComNumber(port.committedName) + 1000)});
    }
    state.ResumeTiming();
    if (journal) {
      SaveNames(machine->platform, reporter, boards, changes, BackupPolicy::kNone, WalkKind::kSave);
    } else {
      WalkPlan plan(machine->registry);
      ReadWalkPlan(machine->platform, reporter, boards, changes, WalkKind::kSave, &plan);
      CommitWalk walk(machine->platform, reporter, plan);
      for (PortPlan& port : plan.ports) walk.CommitPort(port);
      walk.Finish();
    }
    state.PauseTiming();
    if (machine->registry.GetStringAt(kSerialMap, "\\Device\\TrvxSerial1") != "COM1004") {
      state.SkipWithError("the walk did not write every port");
    }
    ListFree(boards);
    machine.reset();
    state.ResumeTiming();
  }
  state.counters["ports"] = cards * kPortsPerCard;
}
void BM_SaveWithJournal(benchmark::State& state) {
  SaveDirectly(state, true);
}
void BM_SaveWithoutJournal(benchmark::State& state) {
  SaveDirectly(state, false);
}
BENCHMARK(BM_SaveWithJournal)->Arg(4)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveWithoutJournal)->Arg(4)->Arg(32)->Unit(benchmark::kMillisecond);

// The same writes made directly, on the same machine without the access
// lists that the program opens around FriendlyName.
void BM_SaveFloor(benchmark::State& state) {
  const int cards = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto machine = std::make_unique<sim::SimPlatform>();
    machine->registry.SetCallLog(nullptr);
    const std::vector<BenchPort> ports = Seed(*machine, cards);
    RegistryComPortDatabase database(machine->registry);
    state.ResumeTiming();
    Registry& registry = machine->registry;
    for (const BenchPort& port : ports) {
      const std::string newName = "COM" + std::to_string(port.number + 1000);
      RegKey map(registry);
      map.Open(kLocalMachine, kSerialMap, access::kKeyAllAccess);
      map.SetString(port.serialValue.c_str(), newName);
      RegKey settings(registry);
      settings.Open(kLocalMachine, kPortSettings, access::kKeyAllAccess);
      settings.DeleteValue(("COM" + std::to_string(port.number) + ":").c_str());
      settings.SetString((newName + ":").c_str(), "9600,n,8,1");
      RegKey device(registry);
      device.Open(kLocalMachine, port.deviceKey.c_str(), access::kKeyWrite);
      device.SetString("FriendlyName", "Tarvex 880 Port (" + newName + ")");
      RegKey parameters(registry);
      parameters.Open(kLocalMachine, (port.deviceKey + "\\Device Parameters").c_str(),
                      access::kKeyWrite);
      parameters.SetString("PortName", newName);
      ComDb db(database);
      db.Open();
      db.ReleasePort(static_cast<std::uint32_t>(port.number));
      db.ClaimPort(static_cast<std::uint32_t>(port.number + 1000), false, nullptr);
    }
    state.PauseTiming();
    machine.reset();
    state.ResumeTiming();
  }
  state.counters["ports"] = cards * kPortsPerCard;
}
BENCHMARK(BM_SaveFloor)->Arg(4)->Arg(8)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velnara

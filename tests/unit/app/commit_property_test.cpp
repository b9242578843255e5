// A property of the whole program on the sample machine: whatever a user
// does (renames, including swaps, shifts, rotations, renames back, names in
// other case and names held elsewhere; Save; Reset answered either way;
// Exit; the cancel command; several sessions one after another), after each
// step every port's PortName, FriendlyName, serial device map value, port
// settings value (with the data it started with) and the COM port database
// agree with what the user last saved, every port device key is locked
// again, and no other value of the machine has changed.
//
// The plan of each session is made in advance from a model of what the
// program must do; the checks run inside the session, after each step.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/sim/reg_file.h"
#include "sim_machine.h"

namespace velnara::testing {
namespace {

using namespace platform;

constexpr const char* kPortKeyList = "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The COM number the database keeps for a name; 0 for a name without one.
std::uint32_t Number(const std::string& name) {
  if (name.size() < 4 || Upper(name.substr(0, 3)) != "COM") return 0;
  return static_cast<std::uint32_t>(std::strtoul(name.c_str() + 3, nullptr, 10));
}

struct ModelPort {
  std::string deviceKey;    // its port device key, below HKLM
  std::string serialValue;  // its value in the serial device map
  std::string settings;     // the data its settings value began with
  std::string startup;      // the name this session started with
  std::string saved;        // the name the registry holds
  std::string pending;      // the item's text
};

// Every value of the machine but the ones the program may change, as
// "key : value" -> type and bytes.
using Dump = std::map<std::string, std::pair<std::uint32_t, std::vector<std::uint8_t>>>;

class CommitProperty {
 public:
  explicit CommitProperty(unsigned seed) : random_(seed) {
    std::string problem;
    EXPECT_TRUE(sim::ImportRegFile(VELNARA_SOURCE_DIR "/samples/demo-machine.reg",
                                   &machine_.registry, &problem))
        << problem;
    sim::ApplyDeviceKeyAccessRules(machine_.registry);
    // Settings data of its own for every port, so that a mix-up shows.
    for (const std::string& name : machine_.registry.ValueNamesAt(kPortSettings)) {
      machine_.registry.SetStringAt(kPortSettings, name, "settings of " + name);
    }
    ReadPorts();
    for (const std::uint32_t n : machine_.comPorts.ClaimedNumbers()) {
      bool ours = false;
      for (const ModelPort& port : ports_) ours = ours || Number(port.saved) == n;
      if (!ours) otherNumbers_.insert(n);
    }
    // The names connected devices outside the cards use (the motherboard's
    // COM1 and COM2, the modem's COM61): never given to a port.
    for (const std::string& value : machine_.registry.ValueNamesAt(kSerialMap)) {
      const std::string name = machine_.registry.GetStringAt(kSerialMap, value);
      bool ours = false;
      for (const ModelPort& port : ports_) ours = ours || port.serialValue == value;
      if (!ours) connected_.insert(Upper(name));
    }
    changeable_ = Changeable();
    baseline_ = Unchangeable();
    machine_.registry.ResetChanged();
    for (const std::string& name : machine_.registry.ValueNamesAt(kPortSettings)) {
      otherSettings_.insert(Upper(name));
    }
    for (const ModelPort& port : ports_) otherSettings_.erase(Upper(port.saved + ":"));
  }

  // One session: the program runs from start to leaving, on a plan of
  // `steps` random actions.
  void Session(int steps) {
    for (ModelPort& port : ports_) port.startup = port.pending = port.saved;
    unsaved_ = false;
    rebootNeeded_ = false;
    resetEnabled_ = false;
    for (int step = 0; step < steps; ++step) {
      const int roll = Roll(100);
      if (roll < 50) {
        PlanRename();
      } else if (roll < 65) {
        PlanRotation();
      } else if (roll < 80) {
        if (!unsaved_) continue;
        Click(IDC_SAVE);
        SavePending();
        unsaved_ = false;
        rebootNeeded_ = true;
        resetEnabled_ = false;
      } else if (resetEnabled_) {
        Click(IDC_RESET);
        const bool yes = Roll(3) != 0;
        machine_.windows.Answer(yes ? id::kYes : id::kNo);
        if (yes) {
          for (ModelPort& port : ports_) port.saved = port.pending = port.startup;
          unsaved_ = rebootNeeded_ = resetEnabled_ = false;
        }
      }
      Check();
    }
    // Leaving: Exit saves what is pending; the cancel command drops it.
    const bool exit = Roll(2) == 0;
    if (exit) {
      Click(id::kOk);
      if (unsaved_) {
        SavePending();
        rebootNeeded_ = true;
      }
    } else {
      machine_.windows.Then("cancel", [](sim::SimUser& user) { user.PressEscape(); });
    }
    if (rebootNeeded_) {
      const bool restart = Roll(4) == 0;
      machine_.windows.Answer(restart ? id::kYes : id::kNo);
      if (!restart) machine_.windows.Answer(id::kOk);
    }
    EXPECT_EQ(machine_.Run(), 0);
    machine_.ExpectCleanScript();
    Verify(Expected());
    EXPECT_EQ(machine_.security.OutstandingAllocations(), 0);
    EXPECT_TRUE(machine_.security.misuses().empty());
    EXPECT_EQ(machine_.system.OpenTokenCount(), 0);
    EXPECT_EQ(Unchangeable(), baseline_);
  }

  // The machine as check-sample reads it.
  std::string Export() const { return sim::ExportRegText(machine_.registry, "HKEY_LOCAL_MACHINE"); }
  // The checker wants COMn, and every name once (a port that took the gone
  // adapter's COM60 shares it with the adapter's key).
  bool AllSavedNamesCanonical() const {
    for (const ModelPort& port : ports_) {
      if (port.saved != "COM" + std::to_string(Number(port.saved))) return false;
      if (port.saved == "COM60") return false;
    }
    return true;
  }

 private:
  int Roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }

  // A Save: every pending name is the registry's now. A number a port took
  // from hardware that is gone is the port's claim from then on, released
  // when it moves on.
  void SavePending() {
    for (ModelPort& port : ports_) {
      port.saved = port.pending;
      otherNumbers_.erase(Number(port.saved));
    }
  }

  // Whether a name is held for other hardware, and whether a connected
  // device holds it.
  bool Held(const std::string& name, bool* connected) const {
    *connected = connected_.count(Upper(name)) != 0;
    if (*connected) return true;
    if (otherNumbers_.count(Number(name)) == 0) return false;
    for (const ModelPort& other : ports_) {
      if (Number(other.saved) == Number(name)) return false;
    }
    return true;
  }

  void Click(int id) {
    machine_.windows.Then("click " + std::to_string(id),
                          [id](sim::SimUser& user) { user.Click(id); });
  }

  // A rename of a random port to a name that is free, another port's, its
  // own start-up name, its own name in other case, or one held elsewhere;
  // the plan follows what the program must answer.
  std::size_t RandomPort() {
    return static_cast<std::size_t>(Roll(static_cast<int>(ports_.size())));
  }

  // Names moving round a few ports through a free one: a swap, a rotation
  // of three, or a shift into the free name.
  void PlanRotation() {
    std::vector<std::size_t> ring = {RandomPort(), RandomPort()};
    if (Roll(2) == 0) ring.push_back(RandomPort());
    std::vector<std::string> names;
    for (std::size_t p : ring) names.push_back(ports_[p].pending);
    std::string free;
    do {
      free = "COM" + std::to_string(47 + Roll(50));
      for (const ModelPort& port : ports_) {
        if (Upper(port.pending) == Upper(free)) free.clear();
      }
      bool connected = false;
      if (!free.empty() && Held(free, &connected)) free.clear();
    } while (free.empty());
    const bool shift = Roll(3) == 0;
    PlanRename(ring[0], free);
    for (std::size_t i = 1; i < ring.size(); ++i) PlanRename(ring[i], names[i - 1]);
    if (!shift) PlanRename(ring[0], names.back());
  }

  void PlanRename() {
    const std::size_t p = RandomPort();
    ModelPort& port = ports_[p];
    std::string name;
    switch (Roll(6)) {
      case 0:
        name = ports_[static_cast<std::size_t>(Roll(static_cast<int>(ports_.size())))].pending;
        break;
      case 1:
        name = port.startup;
        break;
      case 2:
        name = port.pending;
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
        name[2] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[2])));
        break;
      case 3: {
        // The motherboard's, the gone adapter's, the modem's.
        static const char* const kHeld[] = {"COM1", "COM2", "COM60", "COM61"};
        name = kHeld[Roll(4)];
        break;
      }
      default:
        name = "COM" + std::to_string(3 + Roll(60));
        break;
    }
    PlanRename(p, name);
  }

  void PlanRename(std::size_t p, const std::string& name) {
    ModelPort& port = ports_[p];
    const std::vector<std::string> path = PathTo(p);
    machine_.windows.Then("double-click " + port.pending, [path](sim::SimUser& user) {
      user.SelectTreeItem(IDC_PORT_TREE, path);
      user.DoubleClickTree(IDC_PORT_TREE);
    });
    machine_.windows.Then("choose " + name, [name](sim::SimUser& user) {
      ASSERT_EQ(user.TemplateId(), IDD_RENAME);
      user.TypeText(IDC_NEW_NAME, name);
      user.Click(id::kOk);
    });
    if (name == port.pending) return;  // no change, no message
    bool refused = false;
    for (const ModelPort& other : ports_) {
      refused = refused || (&other != &port && Upper(other.pending) == Upper(name));
    }
    bool connected = false;
    if (refused) {
      machine_.windows.Answer(id::kOk);  // another port shows it
    } else if (Held(name, &connected)) {
      // A connected device's name is refused; one of hardware that is gone
      // is asked about, and the user may take it.
      refused = connected || Roll(2) == 0;
      machine_.windows.Answer(connected ? id::kOk : refused ? id::kNo : id::kYes);
    }
    if (refused) {
      machine_.windows.Then("give up", [](sim::SimUser& user) { user.Click(id::kCancel); });
      return;
    }
    port.pending = name;
    unsaved_ = true;
    resetEnabled_ = true;
  }

  std::vector<std::string> PathTo(std::size_t p) const {
    return {"PCI Bus", boardOf_[p], ports_[p].pending};
  }

  // The ports in tree order, from a session that only looks.
  void ReadPorts() {
    machine_.windows.Then("read the tree", [this](sim::SimUser& user) {
      const std::vector<sim::TreeNode> tree = user.Tree(IDC_PORT_TREE);
      for (const sim::TreeNode& board : tree[0].children) {
        for (const sim::TreeNode& item : board.children) {
          const auto* record = reinterpret_cast<const PortRecord*>(item.data);
          ModelPort port;
          port.deviceKey = std::string("SYSTEM\\CurrentControlSet\\Enum\\TRVX880") +
                           record->enumeratorLetter + "\\*PNP0501\\" + record->parentIdPrefix +
                           "&" + Hex8(record->locationCode);
          port.saved = port.pending = port.startup = item.text;
          ports_.push_back(port);
          boardOf_.push_back(board.text);
        }
      }
    });
    machine_.windows.Then("leave", [](sim::SimUser& user) { user.PressEscape(); });
    EXPECT_EQ(machine_.Run(), 0);
    for (ModelPort& port : ports_) {
      for (const std::string& value : machine_.registry.ValueNamesAt(kSerialMap)) {
        if (machine_.registry.GetStringAt(kSerialMap, value) == port.saved) {
          port.serialValue = value;
        }
      }
      port.settings = machine_.registry.GetStringAt(kPortSettings, port.saved + ":");
    }
    ASSERT_EQ(ports_.size(), 44u);
  }

  struct Expectation {
    std::vector<std::string> saved;
    std::vector<std::string> pending;
    std::set<std::uint32_t> otherNumbers;  // as planned by then
  };
  Expectation Expected() const {
    Expectation expected;
    expected.otherNumbers = otherNumbers_;
    for (const ModelPort& port : ports_) {
      expected.saved.push_back(port.saved);
      expected.pending.push_back(port.pending);
    }
    return expected;
  }

  void Check() {
    machine_.windows.Then("check", [this, expected = Expected()](sim::SimUser& user) {
      std::vector<std::string> shown;
      const std::vector<sim::TreeNode> tree = user.Tree(IDC_PORT_TREE);
      for (const sim::TreeNode& board : tree[0].children) {
        for (const sim::TreeNode& item : board.children) shown.push_back(item.text);
      }
      EXPECT_EQ(shown, expected.pending);
      Verify(expected);
    });
  }

  // The places the program may write: the port settings key and the
  // database's key as a whole, and each port's own values.
  std::set<std::string> Changeable() const {
    std::set<std::string> changeable = {
        Upper("HKEY_LOCAL_MACHINE\\" + std::string(kPortSettings)),
        Upper("HKEY_LOCAL_MACHINE\\" + std::string(kComNameArbiterPath))};
    // The event log's source, with the keys on its way where this machine
    // lacks them.
    for (std::string key =
             "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\"
             "Application\\Velnara";
         key.size() > 48; key = key.substr(0, key.rfind('\\'))) {
      changeable.insert(Upper(key));
    }
    for (const ModelPort& port : ports_) {
      changeable.insert(Upper("HKEY_LOCAL_MACHINE\\" + port.deviceKey + " : FriendlyName"));
      changeable.insert(
          Upper("HKEY_LOCAL_MACHINE\\" + port.deviceKey + "\\Device Parameters : PortName"));
      changeable.insert(
          Upper("HKEY_LOCAL_MACHINE\\" + std::string(kSerialMap) + " : " + port.serialValue));
    }
    return changeable;
  }

  // Every value outside those places.
  Dump Unchangeable() const {
    Dump dump;
    DumpKey("HKEY_LOCAL_MACHINE", changeable_, &dump);
    return dump;
  }

  void DumpKey(const std::string& path, const std::set<std::string>& changeable, Dump* dump) const {
    if (changeable.count(Upper(path)) != 0) return;
    for (const std::string& name : machine_.registry.ValueNamesAt(path)) {
      const std::string entry = path + " : " + name;
      if (changeable.count(Upper(entry)) != 0) continue;
      auto& slot = (*dump)[entry];
      machine_.registry.GetValueAt(path, name, &slot.first, &slot.second);
    }
    for (const std::string& subkey : machine_.registry.SubkeyNamesAt(path)) {
      DumpKey(path + "\\" + subkey, changeable, dump);
    }
  }

  void Verify(const Expectation& expected) const {
    const sim::SimRegistry& registry = machine_.registry;
    std::set<std::uint32_t> claims = expected.otherNumbers;
    std::set<std::string> settingsNames;
    for (const std::string& name : registry.ValueNamesAt(kPortSettings)) {
      settingsNames.insert(Upper(name));
    }
    for (std::size_t i = 0; i < ports_.size(); ++i) {
      const ModelPort& port = ports_[i];
      const std::string& name = expected.saved[i];
      SCOPED_TRACE("port " + std::to_string(i) + " saved as " + name);
      EXPECT_EQ(registry.GetStringAt(port.deviceKey + "\\Device Parameters", "PortName"), name);
      EXPECT_EQ(registry.GetStringAt(port.deviceKey, "FriendlyName"),
                "Tarvex 880 Port (" + name + ")");
      EXPECT_EQ(registry.GetStringAt(kSerialMap, port.serialValue), name);
      EXPECT_EQ(registry.GetStringAt(kPortSettings, name + ":"), port.settings);
      EXPECT_EQ(sim::FormatSddlDacl(registry.GetDaclAt(port.deviceKey)), kPortKeyList);
      settingsNames.erase(Upper(name + ":"));
      claims.insert(Number(name));
    }
    // Nothing but the other devices' settings stays behind.
    EXPECT_EQ(settingsNames, otherSettings_);
    const std::vector<std::uint32_t> claimed = machine_.comPorts.ClaimedNumbers();
    const std::set<std::uint32_t> actual(claimed.begin(), claimed.end());
    std::string differences;
    for (const std::uint32_t n : actual) {
      if (claims.count(n) == 0) differences += " +" + std::to_string(n);
    }
    for (const std::uint32_t n : claims) {
      if (actual.count(n) == 0) differences += " -" + std::to_string(n);
    }
    EXPECT_EQ(differences, "") << "numbers claimed beyond (+) or short of (-) the expected";
    // Only the places of the ports, the database and the event log's
    // source were written.
    for (const std::string& changed : registry.Changed()) {
      EXPECT_TRUE(changeable_.count(changed) != 0 ||
                  changeable_.count(changed.substr(0, changed.find(" : "))) != 0)
          << changed;
    }
    EXPECT_EQ(registry.OpenHandleCount(), 0);
  }

  SimMachine machine_;
  std::mt19937 random_;
  std::vector<ModelPort> ports_;
  std::vector<std::string> boardOf_;
  std::set<std::uint32_t> otherNumbers_;
  std::set<std::string> connected_;      // upper-cased
  std::set<std::string> otherSettings_;  // upper-cased value names of the other devices
  std::set<std::string> changeable_;
  Dump baseline_;
  bool unsaved_ = false;
  bool rebootNeeded_ = false;
  bool resetEnabled_ = false;
};

TEST(CommitProperty, EveryPlaceAgreesWithWhatTheUserLastSaved) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    CommitProperty property(seed);
    for (int session = 0; session < 3; ++session) {
      SCOPED_TRACE("session " + std::to_string(session));
      property.Session(30);
      if (::testing::Test::HasFailure()) return;  // one story is enough to read
    }
  }
}

// The sample checker's rules hold on the machine the program leaves.
TEST(CommitProperty, TheSampleCheckerAcceptsTheMachineAfterSaves) {
  for (unsigned seed = 100;; ++seed) {
    CommitProperty property(seed);
    property.Session(40);
    if (!property.AllSavedNamesCanonical()) continue;  // the checker wants COMn
    const std::string path = ::testing::TempDir() + "velnara-after-saves.reg";
    std::ofstream(path, std::ios::binary) << property.Export();
    const std::string command =
        "python3 " VELNARA_SOURCE_DIR "/scripts/check-sample '" + path + "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << "scripts/check-sample " << path;
    return;
  }
}

}  // namespace
}  // namespace velnara::testing

// A whole journey through the program on a machine of the stand-in, and the
// promises the program keeps whatever the machine holds and whatever a call
// answers: every key, database and token it opened is closed, every access
// it granted it tried to take back, the settings of every port of the tree
// still stand in some port settings value (a value of a name no port of the
// tree has may be replaced), the COM port database kept its size, and
// every message it showed is one of its own. The fault sweep and the fuzz
// target share it; it needs no test framework.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/application.h"
#include "discovery/board_discovery.h"
#include "platform/registry_com_port_database.h"
#include "platform/sim/machine_access.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/sim_platform.h"
#include "ui/resource.h"

namespace velnara::testing {

namespace sim = platform::sim;

constexpr const char* kJourneySerialMap = "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* kJourneyPorts =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr const char* kJourneyArbiter =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
constexpr const char* kJourneyEnum = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum";

// The texts the program shows in its own message boxes (captioned with the
// program's title), written as the program must write them; "%s" and "%d"
// stand for a name and a number.
inline const std::vector<std::string>& ProgramTexts() {
  static const std::vector<std::string> texts = {
      "Velnara will only run on Windows XP or Windows 2000 SP2,SP3 or SP4",
      "Please DoubleClick a Port",
      "Port Name '%s' already used by installed Tarvex 880",
      "Please enter a Port Name",
      "Port Name '%s' is longer than 7 characters",
      "Port Name '%s' holds a character other than the letters A to Z, the digits, '-' and '_'",
      "Port Name '%s' is reserved by Windows for another device",
      "Port Name '%s' is not a COM name as Windows counts it: COM and a number without leading "
      "zeros",
      "Port Name '%s' belongs to another port of Windows (a printer port or the like)",
      "Are you sure you want to lose your changes",
      "Velnara is already running.",
      "The port names were changed outside Velnara after it read them.\n\nNothing was written. "
      "Velnara now shows the names as they are; please make your changes again.",
      "The System must be rebooted.\n\nDo you want to Reboot now ?",
      "Velnara Successfully Completed.\n\nDrivers will be active from next Reboot",
      "OpenProcessToken Failed\nError Code = %d",
      "AdjustTokenPrivileges Failed\nError Code = %d",
      "ExitWindowsEx Failed\nError Code = %d",
      "Please Reboot Manually",
  };
  return texts;
}

// The captions of the error reporter's boxes.
inline const std::vector<std::string>& ReportCaptions() {
  static const std::vector<std::string> captions = {
      "Failed opening PCI Registry Key",
      "Failed opening 'HKLM\\Hardware\\DeviceMap\\SerialComm' Key",
      "Failed writing '\\Hardware\\DeviceMap\\SerialComm' Key",
      "Failed opening 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports' Key",
      "Failed opening 'SYSTEM\\CurrentControlSet\\Enum\\TRVX880?\\*PNP0501\\' Key",
      "Failed writing 'FriendlyName' Key",
      "Failed writing 'PortName' Key",
      "GetNamedSecurityInfo Failed",
      "RegGetKeySecurity Failed",
      "SetEntriesInAcl Failed",
      "SetSecurityInfo Failed",
      "Missing Private Tree Entry",
      "Failed writing Port Names Backup",
      "Failed opening the lock of Velnara",
      "Failed writing Port Names Journal",
      "Failed removing Port Names Journal",
      "Failed flushing the Registry",
  };
  return captions;
}

// The box of a name held for other hardware: this text with the name, then
// a blank line and a line for each holder (and, when none is connected, the
// question whether to take it).
constexpr const char* kHeldNamePattern =
    "COM name database claims Port '%s' is used by (or reserved for) other serial port "
    "hardware\nThe port concerned will not appear in the VELNARA list";

// Whether `text` is `pattern` with its %s or %d filled in.
inline bool Fills(const std::string& pattern, const std::string& text) {
  for (const char* mark : {"%s", "%d"}) {
    const std::size_t at = pattern.find(mark);
    if (at == std::string::npos) continue;
    const std::string head = pattern.substr(0, at);
    const std::string tail = pattern.substr(at + 2);
    if (text.size() < head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0) {
      return false;
    }
    const std::string filled = text.substr(head.size(), text.size() - head.size() - tail.size());
    if (std::string(mark) == "%d") {
      return !filled.empty() && filled.find_first_not_of("-0123456789") == std::string::npos;
    }
    return true;
  }
  return pattern == text;
}

// The sample machine with the access lists of a real machine and settings
// data of its own for every port, so that a mix-up shows.
inline bool LoadSampleMachine(sim::SimPlatform& machine, const std::string& regText,
                              std::string* problem) {
  if (!sim::ImportRegText(regText, &machine.registry, problem)) return false;
  sim::ApplyDeviceKeyAccessRules(machine.registry);
  for (const std::string& name : machine.registry.ValueNamesAt(kJourneyPorts)) {
    machine.registry.SetStringAt(kJourneyPorts, name, "settings of " + name);
  }
  return true;
}

// What the machine holds before the run, and the checks after it.
class JourneyInvariants {
 public:
  explicit JourneyInvariants(sim::SimPlatform& machine) {
    // The ports of the tree, as discovery finds them, outside the call log
    // and without a word to the user.
    std::set<std::string> treeNames;
    {
      const sim::CallLog::Pause pause(&machine.calls);
      const SilentReporter silent(machine.platform);
      PortRecord* boards = DiscoverBoards(machine.registry, nullptr, silent).boards;
      for (const PortRecord* board = boards; board != nullptr; board = board->next) {
        for (const PortRecord* port = board->children; port != nullptr; port = port->next) {
          treeNames.insert(Upper(port->committedName + ":"));
        }
      }
      ListFree(boards);
    }
    for (const std::string& name : machine.registry.ValueNamesAt(kJourneyPorts)) {
      if (treeNames.count(Upper(name)) == 0) continue;
      std::vector<std::uint8_t> data;
      machine.registry.GetValueAt(kJourneyPorts, name, nullptr, &data);
      settings_[Upper(name)] = data;
    }
    databaseKnown_ = machine.registry.GetValueAt(kJourneyArbiter, platform::kComDbValueName,
                                                 &databaseType_, &database_);
    ForEachKey(machine.registry, kJourneyEnum, [&](const std::string& path) {
      listsBefore_[Upper(path)] = OwnEntries(machine.registry.GetDaclAt(path));
    });
  }

  // The broken promises, one line each; empty when all were kept.
  std::vector<std::string> Check(const sim::SimPlatform& machine) const {
    std::vector<std::string> problems;
    const sim::SimRegistry& registry = machine.registry;
    if (registry.OpenHandleCount() != 0) {
      problems.push_back(std::to_string(registry.OpenHandleCount()) + " registry keys left open");
    }
    if (machine.comPorts.OpenCount() != 0) problems.push_back("the COM port database left open");
    if (machine.system.OpenTokenCount() != 0) problems.push_back("a token left open");
    if (machine.system.OpenEventSourceCount() != 0) problems.push_back("an event source left open");
    if (machine.security.OutstandingAllocations() != 0) {
      problems.push_back("security memory not given back");
    }
    for (const std::string& misuse : machine.security.misuses()) problems.push_back(misuse);
    CheckSettings(registry, &problems);
    CheckDatabase(registry, &problems);
    CheckAccessLists(machine, &problems);
    CheckMessages(machine, &problems);
    return problems;
  }

  static std::string Upper(std::string text) {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
  }

 private:
  class SilentReporter : public ErrorReporter {
   public:
    using ErrorReporter::ErrorReporter;
    void Report(const char* /*caption*/, platform::ErrorCode /*code*/) const override {}
  };

  template <typename Visit>
  static void ForEachKey(const sim::SimRegistry& registry, const std::string& path, Visit visit) {
    visit(path);
    for (const std::string& subkey : registry.SubkeyNamesAt(path)) {
      ForEachKey(registry, path + "\\" + subkey, visit);
    }
  }

  // A key's own list, its protection included: what the program stores.
  // (The entries a key inherits follow from the key above.)
  static std::string OwnEntries(sim::Dacl dacl) {
    dacl.aces.erase(std::remove_if(dacl.aces.begin(), dacl.aces.end(),
                                   [](const sim::Ace& ace) {
                                     return (ace.flags & sim::ace_flag::kInherited) != 0;
                                   }),
                    dacl.aces.end());
    return sim::FormatSddlDacl(dacl);
  }

  // The entries of a list that let anyone but SYSTEM and the
  // Administrators change the key.
  static std::set<std::string> OthersWriting(const sim::Dacl& dacl) {
    constexpr platform::AccessMask kWriting =
        0x2 | 0x4 | 0x20 | 0x10000 | 0x40000 | 0x80000 | 0x40000000 | 0x10000000;
    std::set<std::string> entries;
    for (const sim::Ace& ace : dacl.aces) {
      if (ace.allow && (ace.mask & kWriting) != 0 && ace.sid != sim::kSidSystem &&
          ace.sid != sim::kSidAdministrators) {
        entries.insert(ace.sid + " " + std::to_string(ace.mask));
      }
    }
    return entries;
  }

  // A port's settings value that is gone must have taken its data to
  // another one.
  void CheckSettings(const sim::SimRegistry& registry, std::vector<std::string>* problems) const {
    std::vector<std::vector<std::uint8_t>> now;
    std::set<std::string> names;
    for (const std::string& name : registry.ValueNamesAt(kJourneyPorts)) {
      std::vector<std::uint8_t> data;
      registry.GetValueAt(kJourneyPorts, name, nullptr, &data);
      now.push_back(data);
      names.insert(Upper(name));
    }
    for (const auto& [name, data] : settings_) {
      if (names.count(name) != 0) continue;
      if (std::find(now.begin(), now.end(), data) == now.end()) {
        problems->push_back("the settings of " + name + " were deleted and reached no value");
      }
    }
  }

  void CheckDatabase(const sim::SimRegistry& registry, std::vector<std::string>* problems) const {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    const bool known =
        registry.GetValueAt(kJourneyArbiter, platform::kComDbValueName, &type, &data);
    if (!databaseKnown_) return;  // a database made on first use may take any size
    if (!known || type != databaseType_ || data.size() != database_.size()) {
      problems->push_back("the COM port database changed its type or size");
      return;
    }
    for (std::size_t i = 512; i < data.size(); ++i) {
      if (data[i] != database_[i]) problems->push_back("the database was written past its bitmap");
    }
  }

  // Every key's access list ends as it began, unless setting it back was
  // itself made to fail; and no key ends letting anyone but SYSTEM and the
  // Administrators write that could not before.
  void CheckAccessLists(const sim::SimPlatform& machine, std::vector<std::string>* problems) const {
    std::set<std::string> setBackFailed;  // upper-cased, below HKEY_LOCAL_MACHINE
    for (const sim::Call& call : machine.calls.calls()) {
      if (call.function == "SetNamedSecurityInfoA" && call.forced != 0) {
        setBackFailed.insert(Upper(call.target.substr(call.target.find('\\') + 1)));
      }
    }
    ForEachKey(machine.registry, kJourneyEnum, [&](const std::string& path) {
      const std::string now = OwnEntries(machine.registry.GetDaclAt(path));
      const auto before = listsBefore_.find(Upper(path));
      const std::string was = before == listsBefore_.end() ? std::string() : before->second;
      sim::Dacl wasDacl;
      sim::Dacl nowDacl;
      sim::ParseSddlDacl(was, &wasDacl);
      sim::ParseSddlDacl(now, &nowDacl);
      for (const std::string& entry : OthersWriting(nowDacl)) {
        if (OthersWriting(wasDacl).count(entry) == 0) {
          problems->push_back(path + " lets " + entry + " write");
        }
      }
      const std::string below = Upper(path.substr(std::string("HKEY_LOCAL_MACHINE\\").size()));
      if (now != was && setBackFailed.count(below) == 0) {
        problems->push_back("the access list of " + path + " changed: " + now);
      }
    });
  }

  // Every box shows one of the program's texts under its title, or a
  // system text (never the success text) under a report caption.
  static void CheckMessages(const sim::SimPlatform& machine, std::vector<std::string>* problems) {
    for (const sim::Shown& box : machine.windows.MessageBoxes()) {
      if (box.caption == "Velnara") {
        const std::size_t lines = box.text.find("\n\n");
        bool known = lines != std::string::npos && lines + 2 < box.text.size() &&
                     Fills(kHeldNamePattern, box.text.substr(0, lines));
        for (const std::string& pattern : ProgramTexts()) known = known || Fills(pattern, box.text);
        if (!known) problems->push_back("an unknown message: " + box.text);
        continue;
      }
      const auto& captions = ReportCaptions();
      if (std::find(captions.begin(), captions.end(), box.caption) == captions.end()) {
        problems->push_back("an unknown caption: " + box.caption);
      }
      std::string success;
      sim::SimSystem().FormatSystemMessage(0, &success);
      if (box.text == success || box.text.empty()) {
        problems->push_back("a failure reported as success under " + box.caption);
      }
    }
  }

  std::map<std::string, std::vector<std::uint8_t>> settings_;
  bool databaseKnown_ = false;
  std::uint32_t databaseType_ = 0;
  std::vector<std::uint8_t> database_;
  std::map<std::string, std::string> listsBefore_;
};

// The user of a journey whose course is not known in advance: renames,
// Save, Reset, Exit, each done only where it can be done, message boxes
// answered Yes to go on (or OK), and a rename dialog that reopens after a
// refusal cancelled.
class JourneyUser {
 public:
  explicit JourneyUser(sim::SimWindowSystem& windows) : windows_(windows) {
    windows_.SetAutopilot([](const sim::Shown& box) { return (box.type & 0xF) == 4 ? 6 : 1; },
                          [](sim::SimUser& user) {
                            user.TemplateId() == IDD_RENAME ? user.Click(2) : user.PressEscape();
                          });
  }

  void Rename(const std::string& from, const std::string& to) {
    windows_.Then("rename " + from, [from](sim::SimUser& user) {
      if (user.TemplateId() == IDD_RENAME) return user.Click(2);
      if (!HasPort(user, from)) return;
      const std::vector<sim::TreeNode> tree = user.Tree(IDC_PORT_TREE);
      for (const sim::TreeNode& board : tree.at(0).children) {
        for (const sim::TreeNode& port : board.children) {
          if (port.text != from) continue;
          user.SelectTreeItem(IDC_PORT_TREE, {"PCI Bus", board.text, from});
          user.DoubleClickTree(IDC_PORT_TREE);
          return;
        }
      }
    });
    windows_.Then("choose " + to, [to](sim::SimUser& user) {
      if (user.TemplateId() != IDD_RENAME) return;
      user.TypeText(IDC_NEW_NAME, to);
      user.Click(1);
    });
  }
  void Press(int id) {
    windows_.Then("press " + std::to_string(id), [id](sim::SimUser& user) {
      if (user.TemplateId() == IDD_RENAME) return user.Click(2);
      if (user.Enabled(id)) user.Click(id);
    });
  }
  void Escape() {
    windows_.Then("escape", [](sim::SimUser& user) { user.PressEscape(); });
  }

  // The journey of the fault sweep: renames, a swap, Save, Reset, another
  // rename and Exit (which saves it and offers the restart).
  void PlayFullJourney() {
    Rename("COM5", "COM47");
    Rename("COM3", "COM48");
    Rename("COM4", "COM3");
    Rename("COM48", "COM4");
    Press(IDC_SAVE);
    Rename("COM6", "COM49");
    Press(IDC_RESET);
    Rename("COM7", "COM50");
    Press(1);  // Exit
  }

 private:
  static bool HasPort(sim::SimUser& user, const std::string& name) {
    const std::vector<sim::TreeNode> tree = user.Tree(IDC_PORT_TREE);
    if (tree.empty()) return false;
    for (const sim::TreeNode& board : tree[0].children) {
      for (const sim::TreeNode& port : board.children) {
        if (port.text == name) return true;
      }
    }
    return false;
  }

  sim::SimWindowSystem& windows_;
};

}  // namespace velnara::testing

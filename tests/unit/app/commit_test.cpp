// Writing the names, played through the main dialog the way a person uses
// it: rename, Save, Reset, Exit and the cancel command on a machine whose
// ports are registered in every place a real machine keeps their names,
// with the access lists of a real machine. The expected texts, captions,
// masks and formats are written out here as the program must show them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/sim/reg_file.h"
#include "wired_machine.h"

namespace velnara::testing {
namespace {

using namespace platform;

constexpr const char* kQuestion = "The System must be rebooted.\n\nDo you want to Reboot now ?";
constexpr const char* kCompleted =
    "Velnara Successfully Completed.\n\nDrivers will be active from next Reboot";

const std::vector<std::string> kWrites = {"RegSetValueExA", "RegDeleteValueA",
                                          "SetNamedSecurityInfoA", "ComDBReleasePort",
                                          "ComDBClaimPort"};
const std::string kEnum = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*PNP0501";
const std::string kPort5Key = kEnum + "\\4&2d3a2b1c&0&02090002";

TEST(CommitTest, SaveWritesEveryPlaceOnceInTheGivenOrderAndExitOffersTheRestart) {
  WiredMachine machine;
  machine.Rename("COM5", "COM7");
  std::size_t before = 0;
  machine.Look([&](sim::SimUser& user) {
    EXPECT_TRUE(user.Enabled(IDC_SAVE));
    EXPECT_TRUE(user.Enabled(IDC_RESET));
    before = machine.calls.calls().size();
  });
  machine.Click(IDC_SAVE);
  machine.Look([&](sim::SimUser& user) {
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
    EXPECT_FALSE(user.Enabled(IDC_RESET));
  });
  machine.Click(id::kOk);
  machine.windows.Answer(id::kNo);
  machine.windows.Answer(id::kOk);
  machine.RunToEnd();

  machine.ExpectPort(2, "COM7", "COM5");
  machine.ExpectPort(0, "COM3", "COM3");
  machine.ExpectPort(1, "COM4", "COM4");
  EXPECT_EQ(machine.SettingsNames(),
            (std::vector<std::string>{"COM1:", "COM3:", "COM4:", "COM7:"}));
  EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 3, 4, 7}));

  // The writes, in order: the journal on the disk first; the settings made
  // under the new name before the old value goes; the grant and the revoke
  // are the two stores of the port device key's list; the registry flushed
  // before the journal goes.
  std::vector<std::string> walk = kWrites;
  walk.insert(walk.end(), {"MoveFileExA", "RegFlushKey", "DeleteFileA"});
  const std::string kept = "C:\\Documents and Settings\\All Users\\Application Data\\Velnara\\";
  EXPECT_EQ(machine.CallsSince(before, walk),
            (std::vector<std::string>{
                "MoveFileExA " + kept + "names-20261209-051200.txt.new -> " + kept +
                    "names-20261209-051200.txt",
                "MoveFileExA " + kept + "journal.txt.new -> " + kept + "journal.txt",
                "RegSetValueExA HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM : "
                "\\Device\\TrvxSerial2",
                "RegSetValueExA HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
                "NT\\CurrentVersion\\Ports : COM7:",
                "RegDeleteValueA HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
                "NT\\CurrentVersion\\Ports : COM5:",
                "SetNamedSecurityInfoA MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*"
                "PNP0501\\4&2d3a2b1c&0&02090002",
                "RegSetValueExA " + kPort5Key + " : FriendlyName",
                "RegSetValueExA " + kPort5Key + "\\Device Parameters : PortName",
                "SetNamedSecurityInfoA MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*"
                "PNP0501\\4&2d3a2b1c&0&02090002",
                "ComDBReleasePort 5", "ComDBClaimPort 7 force=0",
                "RegFlushKey HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
                "NT\\CurrentVersion\\Ports",
                "RegFlushKey HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum",
                "DeleteFileA " + kept + "journal.txt"}));
  // Each place opened with its own access mask.
  std::vector<std::string> opens;
  for (std::size_t i = before; i < machine.calls.calls().size(); ++i) {
    const sim::Call& call = machine.calls.calls()[i];
    if (call.function != "RegOpenKeyExA") continue;
    char mask[16];
    std::snprintf(mask, sizeof mask, " 0x%X", call.value);
    opens.push_back(call.target + mask);
  }
  // First every port's PortName is read again: nothing is written from a
  // view of the ports that is out of date; FriendlyName is read for the
  // journal; then the hive of the device keys is flushed, and last the
  // event log's source looked at.
  EXPECT_EQ(opens, (std::vector<std::string>{
                       kEnum + " 0x1", kEnum + "\\4&2d3a2b1c&0&02090000\\Device Parameters 0x1",
                       kEnum + "\\4&2d3a2b1c&0&02090001\\Device Parameters 0x1",
                       kPort5Key + "\\Device Parameters 0x1",
                       "HKEY_LOCAL_MACHINE\\HARDWARE\\DeviceMap\\SerialComm 0xF003F",
                       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
                       "NT\\CurrentVersion\\Ports 0xF003F",
                       kPort5Key + " 0x1",
                       "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*PNP0501 "
                       "0x20019",
                       kPort5Key + " 0x2", kPort5Key + "\\Device Parameters 0x20006",
                       "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum 0x1",
                       "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\"
                       "Application\\Velnara 0x1"}));
  EXPECT_EQ(machine.registry.OpenHandleCount(), 0);
  EXPECT_EQ(machine.comPorts.OpenCount(), 0);
  EXPECT_EQ(machine.security.OutstandingAllocations(), 0);
  // The port device key is locked again.
  EXPECT_EQ(sim::FormatSddlDacl(machine.registry.GetDaclAt(kPort5Key)),
            "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)");

  EXPECT_EQ(machine.BoxTexts(), (std::vector<std::string>{kQuestion, kCompleted}));
  const std::vector<sim::Shown> boxes = machine.windows.MessageBoxes();
  EXPECT_EQ(boxes[0].type, 0x34u);  // MB_YESNO | MB_ICONEXCLAMATION
  EXPECT_EQ(boxes[1].type, 0x30u);  // MB_OK | MB_ICONEXCLAMATION
  EXPECT_EQ(boxes[0].caption, "Velnara");
  EXPECT_TRUE(boxes[0].ownedByMainWindow);
}

// Each failure of the commit: its caption with the failed call's own code,
// and what the commit still does after it.
TEST(CommitTest, EachFailureIsReportedWithItsOwnCodeAndTheCommitGoesOnOrEndsAsItsStepSays) {
  struct Row {
    const char* function;
    const char* target;  // a part of the failing call's target
    ErrorCode code;
    const char* caption;  // null: no message
    bool serial, settings, friendly, portName, database;
    // Calls of that function and target to let pass first: the Save reads
    // every port's PortName again, and the port's FriendlyName, before it
    // writes.
    int skip = 0;
  };
  const char* kEnumCaption =
      "Failed opening 'SYSTEM\\CurrentControlSet\\Enum\\TRVX880?\\*PNP0501\\' Key";
  const Row rows[] = {
      {"RegOpenKeyExA", "SerialComm", 5,
       "Failed opening 'HKLM\\Hardware\\DeviceMap\\SerialComm' Key", false, false, false, false,
       false},
      {"RegSetValueExA", "SerialComm", 8, "Failed writing '\\Hardware\\DeviceMap\\SerialComm' Key",
       false, true, true, true, true},
      {"RegOpenKeyExA", "CurrentVersion\\Ports", 5,
       "Failed opening 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports' Key", true,
       false, true, true, true},
      {"RegOpenKeyExA", "TRVX880A\\*PNP0501", 2, kEnumCaption, true, true, false, false, false, 5},
      {"RegOpenKeyExA", "&02090002", 5, kEnumCaption, true, true, false, true, true, 2},
      {"RegSetValueExA", "FriendlyName", 87, "Failed writing 'FriendlyName' Key", true, true, false,
       true, true},
      {"RegOpenKeyExA", "Device Parameters", 5, kEnumCaption, true, true, true, false, false, 3},
      {"RegSetValueExA", "PortName", 8, "Failed writing 'PortName' Key", true, true, true, false,
       false},
      {"ComDBOpen", "", 5, nullptr, true, true, true, true, false},
      // Creating the new settings value fails after the old one went: the
      // old one is put back, so the settings are not lost.
      {"RegSetValueExA", "Ports : COM7:", 8, nullptr, true, false, true, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.function) + " on " + row.target);
    WiredMachine machine;
    machine.Rename("COM5", "COM7");
    machine.Do([&] { machine.calls.FailNext(row.function, row.code, row.skip, 1, row.target); });
    machine.Click(IDC_SAVE);
    if (row.caption != nullptr) machine.windows.Answer(id::kOk);
    machine.LeaveDecliningTheRestart();
    machine.RunToEnd();

    std::string text;
    machine.system.FormatSystemMessage(row.code, &text);
    std::vector<std::string> texts = {kQuestion, kCompleted};
    if (row.caption != nullptr) {
      texts.insert(texts.begin(), text);
      EXPECT_EQ(machine.BoxCaptions()[0], row.caption);
      EXPECT_EQ(machine.windows.MessageBoxes()[0].type, 0u) << "MB_OK alone, no icon";
    }
    EXPECT_EQ(machine.BoxTexts(), texts);
    const std::string z(1, '\0');
    EXPECT_EQ(machine.Serial(2), (row.serial ? "COM7" : "COM5") + z);
    EXPECT_EQ(machine.Value(kPortSettings, row.settings ? "COM7:" : "COM5:"),
              SettingsOf("COM5") + z);
    EXPECT_EQ(machine.Value(kPortSettings, row.settings ? "COM5:" : "COM7:"), "<none>");
    EXPECT_EQ(machine.FriendlyName(2),
              std::string("Tarvex 880 Port (") + (row.friendly ? "COM7" : "COM5") + ")" + z);
    EXPECT_EQ(machine.PortName(2), (row.portName ? "COM7" : "COM5") + z);
    EXPECT_EQ(machine.comPorts.ClaimedNumbers(),
              (std::vector<std::uint32_t>{1, 3, 4, row.database ? 7u : 5u}));
    // Whatever failed, the key is locked again and nothing stays open.
    EXPECT_EQ(sim::FormatSddlDacl(machine.registry.GetDaclAt(kPort5Key)),
              "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)");
    EXPECT_EQ(machine.registry.OpenHandleCount(), 0);
    EXPECT_EQ(machine.comPorts.OpenCount(), 0);
  }
}

// The serial device map value taken is the first whose data is exactly the
// old name (with or without a terminator); the search ends at a value whose
// name or data does not fit the buffers, without a message.
TEST(CommitTest, TheSerialDeviceMapValueIsTheFirstHoldingExactlyTheOldName) {
  using namespace std::string_literals;
  enum class Taken { kFirst, kPorts, kNone };
  struct Row {
    const char* description;
    std::string name;
    std::string data;
    Taken taken;
    std::uint32_t type = value_type::kSz;
    bool failWrite = false;  // the first value's write fails: the search ends there
  };
  const Row rows[] = {
      {"the old name as REG_EXPAND_SZ, which it stays", "\\Device\\Other", "COM3\0"s, Taken::kFirst,
       value_type::kExpandSz},
      {"the old name, whose write fails", "\\Device\\Other", "COM3\0"s, Taken::kNone,
       value_type::kSz, true},
      {"a longer name that begins with the old one", "\\Device\\Other", "COM33\0"s, Taken::kPorts},
      {"the old name without a terminator", "\\Device\\Other", "COM3", Taken::kFirst},
      {"the old name with bytes after its terminator", "\\Device\\Other", "COM3\0xy"s,
       Taken::kFirst},
      {"a value name of 63 characters", std::string(63, 'N'), "COM9\0"s, Taken::kPorts},
      {"a value name of 64 characters", std::string(64, 'N'), "COM9\0"s, Taken::kNone},
      {"32 bytes of data", "\\Device\\Other", std::string(32, 'x'), Taken::kPorts},
      {"33 bytes of data", "\\Device\\Other", std::string(33, 'x'), Taken::kNone},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    WiredMachine machine;
    // Values enumerate in the order they were made: this one comes first.
    machine.registry.DeleteTreeAt(kSerialMap);
    machine.registry.SetValueAt(kSerialMap, row.name, row.type,
                                std::vector<std::uint8_t>(row.data.begin(), row.data.end()));
    machine.registry.SetStringAt(kSerialMap, "\\Device\\TrvxSerial0", "COM3");
    machine.Rename("COM3", "COM7");
    if (row.failWrite) {
      machine.Do([&] { machine.calls.FailNext("RegSetValueExA", 5, 0, 1, "SERIALCOMM"); });
    }
    machine.Click(IDC_SAVE);
    if (row.failWrite) machine.windows.Answer(id::kOk);
    machine.LeaveDecliningTheRestart();
    machine.RunToEnd();

    std::uint32_t type = 0;
    machine.registry.GetValueAt(kSerialMap, row.name, &type, nullptr);
    EXPECT_EQ(type, row.type);
    EXPECT_EQ(machine.Value(kSerialMap, row.name),
              row.taken == Taken::kFirst ? "COM7\0"s : row.data);
    EXPECT_EQ(machine.Serial(0), row.taken == Taken::kPorts ? "COM7\0"s : "COM3\0"s);
    // No message but the failed write's, and the other places are written.
    std::vector<std::string> texts = {kQuestion, kCompleted};
    if (row.failWrite) texts.insert(texts.begin(), "Access is denied.\r\n");
    EXPECT_EQ(machine.BoxTexts(), texts);
    EXPECT_EQ(machine.PortName(0), "COM7\0"s);
  }
}

// A port settings value that cannot be read whole is neither deleted nor
// carried over; one that fits the 32 bytes moves with its type and data. A
// value under the new name that no port of the tree owns (Windows keeps
// COM3: and COM4: out of the box) is replaced, and written nowhere else.
TEST(CommitTest, PortSettingsMoveOnlyWhenReadWhole) {
  using namespace std::string_literals;
  struct Row {
    const char* description;
    bool present;
    std::uint32_t type;
    std::string data;
    bool moved;
    std::string leftover = "";  // already under COM7: when not empty
  };
  const Row rows[] = {
      {"absent", false, value_type::kSz, "", false},
      {"32 bytes", true, value_type::kSz, std::string(31, 's') + '\0', true},
      {"33 bytes", true, value_type::kSz, std::string(32, 's') + '\0', false},
      {"binary data keeps its type", true, value_type::kBinary, "\x01\x02\x00\x03"s, true},
      {"onto a leftover value", true, value_type::kSz, "mine\0"s, true, "9600,n,8,1\0"s},
      {"onto a leftover of 40 bytes", true, value_type::kSz, "mine\0"s, true, std::string(40, 'l')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    WiredMachine machine;
    machine.registry.DeleteValueAt(kPortSettings, "COM3:");
    if (row.present) {
      machine.registry.SetValueAt(kPortSettings, "COM3:", row.type,
                                  std::vector<std::uint8_t>(row.data.begin(), row.data.end()));
    }
    if (!row.leftover.empty()) machine.registry.SetStringAt(kPortSettings, "COM7:", row.leftover);
    machine.Rename("COM3", "COM7");
    machine.Click(IDC_SAVE);
    machine.LeaveDecliningTheRestart();
    machine.RunToEnd();

    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    const bool atNew = machine.registry.GetValueAt(kPortSettings, "COM7:", &type, &data);
    EXPECT_EQ(atNew, row.moved);
    if (row.moved) {
      EXPECT_EQ(type, row.type);
      EXPECT_EQ(std::string(data.begin(), data.end()), row.data);
    }
    EXPECT_EQ(machine.Value(kPortSettings, "COM3:"),
              row.present && !row.moved ? row.data : "<none>");
    EXPECT_EQ(machine.SettingsNames().size(), row.present ? 4u : 3u) << "nothing written back";
    EXPECT_EQ(machine.PortName(0), "COM7\0"s);  // the other places are written all the same
  }
}

// Names moved among the ports in one Save: every port's serial device map
// value, settings and claim end with that port. A Reset after the Save puts
// the start-up names back the same way, also where two ports started with
// one name and one of them then took a name whose settings value no port
// had (COM9:, of removed hardware): both want COM3: back, and the first
// one's settings must not be overwritten by the other's.
TEST(CommitTest, SwapsShiftsAndRotationsInOneSaveLoseNothing) {
  struct Rename {
    const char* from;
    const char* to;
  };
  struct Row {
    const char* description;
    std::vector<Rename> renames;
    std::vector<std::string> names;  // of ports 0, 1, 2 after the Save (or the Reset)
    std::vector<std::uint32_t> claimed;
    std::vector<std::string> startup = {"COM3", "COM4", "COM5"};
    bool reset = false;  // then a rename and Reset answered Yes
  };
  const Row rows[] = {
      {"swap",
       {{"COM3", "COM9"}, {"COM4", "COM3"}, {"COM9", "COM4"}},
       {"COM4", "COM3", "COM5"},
       {1, 3, 4, 5}},
      {"rotation",
       {{"COM3", "COM9"}, {"COM5", "COM3"}, {"COM4", "COM5"}, {"COM9", "COM4"}},
       {"COM4", "COM5", "COM3"},
       {1, 3, 4, 5}},
      {"shift up into a free name",
       {{"COM5", "COM6"}, {"COM4", "COM5"}, {"COM3", "COM4"}},
       {"COM4", "COM5", "COM6"},
       {1, 4, 5, 6}},
      {"shift down",
       {{"COM3", "COM2"}, {"COM4", "COM3"}, {"COM5", "COM4"}},
       {"COM2", "COM3", "COM4"},
       {1, 2, 3, 4}},
      {"swap of two names that are not COM names",
       {{"TTY1", "TTY9"}, {"TTY2", "TTY1"}, {"TTY9", "TTY2"}},
       {"TTY2", "TTY1", "COM5"},
       {1, 5},
       {"TTY1", "TTY2", "COM5"}},
      {"Reset to one start-up name of two ports",
       {{"COM3", "COM7"}, {"COM3", "COM9"}},
       {"COM3", "COM3", "COM5"},
       {1, 3, 5},
       {"COM3", "COM3", "COM5"},
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    WiredMachine machine(row.startup);
    machine.registry.SetStringAt(kPortSettings, "COM9:", SettingsOf("COM9"));
    for (const Rename& rename : row.renames) machine.Rename(rename.from, rename.to);
    machine.Click(IDC_SAVE);
    if (row.reset) {
      machine.Rename("COM5", "COM6");
      machine.Click(IDC_RESET);
      machine.windows.Answer(id::kYes);
      machine.Escape();  // Reset cleared the restart
    } else {
      machine.LeaveDecliningTheRestart();
    }
    machine.RunToEnd();
    for (std::uint32_t i = 0; i < 3; ++i) machine.ExpectPort(i, row.names[i], row.startup[i]);
    EXPECT_EQ(machine.Value(kPortSettings, "COM9:"), SettingsOf("COM9") + '\0')
        << "a value no port had keeps its data";
    EXPECT_EQ(machine.SettingsNames().size(), row.reset ? 4u : 5u)
        << "COM1:, COM9: and one value per port name";
    EXPECT_EQ(machine.comPorts.ClaimedNumbers(), row.claimed);
    const std::vector<std::string> boxes =
        row.reset ? std::vector<std::string>{"Are you sure you want to lose your changes"}
                  : std::vector<std::string>{kQuestion, kCompleted};
    EXPECT_EQ(machine.BoxTexts(), boxes);
  }
}

// A swap whose first port's new settings value cannot be made: the second
// port's commit then takes the value the first one's settings were in, and
// they live in the plan and its journal alone. They are not lost: the walk
// writes them back under the first port's new name (the value there held a
// copy of the second port's, which lives on under its own). When that too
// fails, the journal stays and the next start puts every port back.
TEST(CommitTest, SettingsDisplacedInASwapSurviveTheirOwnWriteFailing) {
  const std::string journal = std::string(sim::SimFiles::kCommonAppData) + "\\Velnara\\journal.txt";
  for (const int failures : {1, 2}) {
    SCOPED_TRACE(failures);
    WiredMachine machine;
    machine.Rename("COM3", "COM9");
    machine.Rename("COM4", "COM3");
    machine.Rename("COM9", "COM4");
    machine.Do([&] { machine.calls.FailNext("RegSetValueExA", 8, 0, failures, "Ports : COM4:"); });
    machine.Click(IDC_SAVE);
    machine.LeaveDecliningTheRestart();
    machine.RunToEnd();
    if (failures == 1) {
      machine.ExpectPort(0, "COM4", "COM3");
      machine.ExpectPort(1, "COM3", "COM4");
      EXPECT_FALSE(machine.files.FileExists(journal));
      continue;
    }
    EXPECT_TRUE(machine.files.FileExists(journal)) << "the journal alone holds COM3's settings";
    machine.windows.Answer(id::kOk);  // what the start found
    machine.Escape();
    machine.windows.Answer(id::kNo);  // the putting back wants the restart
    machine.windows.Answer(id::kOk);
    machine.RunToEnd();
    for (std::uint32_t i = 0; i < 3; ++i)
      machine.ExpectPort(i, "COM" + std::to_string(3 + i), "COM" + std::to_string(3 + i));
    EXPECT_FALSE(machine.files.FileExists(journal));
  }
}

// A record keeps the name the registry holds for its port: a second Save,
// a rename back after a Save and a Reset after a Save all start from it.
TEST(CommitTest, LaterSavesAndResetStartFromTheNameTheRegistryHolds) {
  WiredMachine machine;
  const auto save = [&] { machine.Click(IDC_SAVE); };
  const auto expectAll = [&](const std::string& name, std::vector<std::uint32_t> claimed) {
    machine.Do([&machine, name, claimed] {
      machine.ExpectPort(0, name, "COM3");
      EXPECT_EQ(machine.comPorts.ClaimedNumbers(), claimed);
    });
  };
  machine.Rename("COM3", "COM7");
  save();
  expectAll("COM7", {1, 4, 5, 7});
  machine.Rename("COM7", "COM8");
  save();
  expectAll("COM8", {1, 4, 5, 8});
  machine.Rename("COM8", "COM3");  // back to its start-up name
  save();
  expectAll("COM3", {1, 3, 4, 5});
  machine.Rename("COM3", "COM9");
  save();
  expectAll("COM9", {1, 4, 5, 9});
  // Reset is enabled by a rename; answered Yes it puts COM3 back everywhere
  // and moves the claim back, and no restart is offered any more.
  machine.Rename("COM4", "COM6");
  machine.Click(IDC_RESET);
  machine.windows.Answer(id::kYes);
  machine.Look([&](sim::SimUser& user) {
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
    EXPECT_FALSE(user.Enabled(IDC_RESET));
    const std::vector<sim::TreeNode> tree = user.Tree(IDC_PORT_TREE);
    EXPECT_EQ(tree[0].children[0].children[0].text, "COM3");
    EXPECT_EQ(tree[0].children[0].children[1].text, "COM4");
  });
  expectAll("COM3", {1, 3, 4, 5});
  machine.Do([&] { machine.ExpectPort(1, "COM4", "COM4"); });
  machine.Click(id::kOk);
  machine.RunToEnd();
  ASSERT_EQ(machine.BoxTexts(),
            std::vector<std::string>{"Are you sure you want to lose your changes"});
  EXPECT_EQ(machine.windows.MessageBoxes()[0].type, 0x34u);  // MB_YESNO, exclamation icon
}

// Reset commits every port with its start-up name and leaves the database
// alone for a port the registry still knows by that name.
TEST(CommitTest, ResetWithoutAnEarlierSaveRewritesEveryPortButNotTheDatabase) {
  WiredMachine machine;
  machine.registry.SetStringAt(PortDeviceKey(machine.card, 'A', 1), "FriendlyName", "edited");
  machine.Rename("COM5", "COM8");
  machine.Click(IDC_RESET);
  machine.windows.Answer(id::kNo);  // nothing happens
  machine.Look([](sim::SimUser& user) { EXPECT_TRUE(user.Enabled(IDC_RESET)); });
  std::size_t before = 0;
  machine.Do([&] { before = machine.calls.calls().size(); });
  machine.Click(IDC_RESET);
  machine.windows.Answer(id::kYes);
  machine.Escape();  // no reboot question: Reset cleared the flag
  machine.RunToEnd();
  const std::vector<std::string> writes = machine.CallsSince(before, kWrites);
  EXPECT_EQ(std::count_if(writes.begin(), writes.end(),
                          [](const std::string& w) { return w.find(": PortName") != w.npos; }),
            3);
  for (const std::string& write : writes) EXPECT_EQ(write.find("ComDB"), std::string::npos);
  machine.ExpectPort(1, "COM4", "COM4");  // FriendlyName rewritten from the name
  machine.ExpectPort(2, "COM5", "COM5");
  EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 3, 4, 5}));
}

// A name that is not a COM name is written everywhere like any other, but
// stands for no number in the database: TTY9 claims nothing, and leaving it
// releases nothing.
TEST(CommitTest, ANameThatIsNotACOMNameMovesNoClaim) {
  WiredMachine machine;
  machine.comPorts.SetClaimedNumbers({1, 3, 4, 5, 9});  // 9: hardware outside the tree
  machine.Rename("COM3", "TTY9");
  machine.Click(IDC_SAVE);
  machine.Do([&] {
    machine.ExpectPort(0, "TTY9", "COM3");
    EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 4, 5, 9}));
  });
  machine.Rename("TTY9", "COM6");
  machine.Click(IDC_SAVE);
  machine.Do([&] {
    machine.ExpectPort(0, "COM6", "COM3");
    EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 4, 5, 6, 9}));
  });
  // The settings that stay under TTY9: (their move failed) are the port's
  // own: it may take TTY9 back.
  machine.Rename("COM6", "TTY8");
  machine.Click(IDC_SAVE);
  machine.Rename("TTY8", "COM7");
  machine.Do([&] { machine.calls.FailNext("RegSetValueExA", 5, 0, 1, "COM7:"); });
  machine.Click(IDC_SAVE);
  machine.Rename("COM7", "TTY8");
  machine.Click(IDC_SAVE);
  machine.LeaveDecliningTheRestart();
  machine.RunToEnd();
  machine.ExpectPort(0, "TTY8", "COM3");
  EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 4, 5, 9}));
}

// Another program renames a port while the dialog is open. Save, Exit's
// Save and Reset then write nothing from the view the dialog read: they say
// so, read the ports again, and the next Save starts from what the
// registry holds (and keeps those names first).
TEST(CommitTest, NothingIsWrittenFromAViewThatAnotherProgramChanged) {
  const std::string changed =
      "The port names were changed outside Velnara after it read them.\n\nNothing was written. "
      "Velnara now shows the names as they are; please make your changes again.";
  const std::string kept =
      std::string(sim::SimFiles::kCommonAppData) + "\\Velnara\\names-20261209-051200.txt";
  for (const int button : {IDC_SAVE, id::kOk, IDC_RESET}) {
    SCOPED_TRACE(button);
    WiredMachine machine;
    machine.Rename("COM3", "COM50");
    std::string outside;
    machine.Do([&] {  // what Device Manager does to the first port
      machine.registry.SetStringAt(PortParameters(machine.card, 'A', 0), "PortName", "COM47");
      machine.registry.SetStringAt(PortDeviceKey(machine.card, 'A', 0), "FriendlyName",
                                   "x (COM47)");
      machine.registry.SetStringAt(kSerialMap, "\\Device\\TrvxSerial0", "COM47");
      machine.registry.DeleteValueAt(kPortSettings, "COM3:");
      machine.registry.SetStringAt(kPortSettings, "COM47:", SettingsOf("COM3"));
      machine.comPorts.SetClaimedNumbers({1, 4, 5, 47});
      outside = sim::ExportRegText(machine.registry, "HKEY_LOCAL_MACHINE");
    });
    machine.Click(button);
    if (button == IDC_RESET) machine.windows.Answer(id::kYes);
    machine.windows.Answer(id::kOk);
    machine.Look([&](sim::SimUser& user) {
      EXPECT_EQ(sim::ExportRegText(machine.registry, "HKEY_LOCAL_MACHINE"), outside);
      EXPECT_FALSE(machine.files.FileExists(kept)) << "no Save, no backup";
      EXPECT_EQ(Outline(user.Tree(IDC_PORT_TREE)),
                "PCI Bus\n  Tarvex 880-4 RJ45\n    COM47\n    COM4\n    COM5\n");
      EXPECT_FALSE(user.Enabled(IDC_SAVE));
      EXPECT_FALSE(user.Enabled(IDC_RESET));
    });
    machine.Rename("COM47", "COM50");
    machine.Click(IDC_SAVE);
    machine.LeaveDecliningTheRestart();
    machine.RunToEnd();
    ASSERT_GT(machine.BoxTexts().size(), button == IDC_RESET ? 1u : 0u);
    EXPECT_EQ(machine.BoxTexts()[button == IDC_RESET ? 1 : 0], changed);
    machine.ExpectPort(0, "COM50", "COM3");
    EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 4, 5, 50}));
    EXPECT_NE(machine.files.FileText(kept).find("PCI 2.9.0 port 1 = COM47\r\n"), std::string::npos)
        << "the backup holds the name the registry held";
  }
}

// The commands and the flags behind them, from start to leaving.
TEST(CommitTest, LeavingSavesWithExitDropsWithCancelAndOffersTheRestartAfterASave) {
  struct Row {
    const char* description;
    std::function<void(WiredMachine&)> play;
    std::vector<std::string> boxes;
    std::string port0;  // PortName of the first port afterwards
    int portNameWrites;
  };
  const auto save = [](WiredMachine& m) { m.Click(IDC_SAVE); };
  const Row rows[] = {
      {"Exit at once", [](WiredMachine& m) { m.Click(id::kOk); }, {}, "COM3", 0},
      {"renames, then cancel",
       [](WiredMachine& m) {
         m.Rename("COM3", "COM7");
         m.Escape();
       },
       {},
       "COM3",
       0},
      {"renames, then Exit (which saves)",
       [](WiredMachine& m) {
         m.Rename("COM3", "COM7");
         m.Click(id::kOk);
         m.windows.Answer(id::kNo);
         m.windows.Answer(id::kOk);
       },
       {kQuestion, kCompleted},
       "COM7",
       1},
      {"Save, more renames, then cancel",
       [&](WiredMachine& m) {
         m.Rename("COM3", "COM7");
         save(m);
         m.Rename("COM4", "COM8");
         m.Escape();
         m.windows.Answer(id::kNo);
         m.windows.Answer(id::kOk);
       },
       {kQuestion, kCompleted},
       "COM7",
       1},
      {"Save, a rename outside, a Save refused, then Exit: the first Save's restart",
       [&](WiredMachine& m) {
         m.Rename("COM3", "COM7");
         save(m);
         m.Do(
             [&m] { m.registry.SetStringAt(PortParameters(m.card, 'A', 2), "PortName", "COM47"); });
         m.Rename("COM4", "COM8");
         save(m);
         m.windows.Answer(id::kOk);  // the names changed outside
         m.Click(id::kOk);
         m.windows.Answer(id::kNo);
         m.windows.Answer(id::kOk);
       },
       {"The port names were changed outside Velnara after it read them.\n\nNothing was "
        "written. Velnara now shows the names as they are; please make your changes again.",
        kQuestion, kCompleted},
       "COM7",
       1},
      {"Save, then Exit: no second walk",
       [&](WiredMachine& m) {
         m.Rename("COM3", "COM7");
         save(m);
         // Save with nothing unsaved does nothing (the button is disabled by
         // now; the command is sent as the dialog manager would).
         m.Look([&m](sim::SimUser& user) {
           m.windows.SendMessage(user.dialog(), wm::kCommand, IDC_SAVE, 0);
         });
         m.Click(id::kOk);
         m.windows.Answer(id::kNo);
         m.windows.Answer(id::kOk);
       },
       {kQuestion, kCompleted},
       "COM7",
       1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    WiredMachine machine;
    row.play(machine);
    machine.RunToEnd();
    EXPECT_EQ(machine.BoxTexts(), row.boxes);
    EXPECT_EQ(machine.PortName(0), row.port0 + '\0');
    EXPECT_EQ(machine.PortName(1), std::string("COM4") + '\0');
    int writes = 0;
    for (const std::string& w : machine.CallsSince(0, {"RegSetValueExA"})) {
      writes += w.find(": PortName") != std::string::npos;
    }
    EXPECT_EQ(writes, row.portNameWrites);
  }
}

// The restart offer: No, Yes, and each step of the privilege chain failing.
TEST(CommitTest, TheRebootPromptRestartsOrSaysWhyNot) {
  struct Row {
    const char* description;
    int answer;
    std::function<void(WiredMachine&)> arrange;
    std::vector<std::string> boxes;
    std::vector<std::string> calls;
    bool restarted;
  };
  const std::vector<std::string> chain = {"OpenProcessToken", "LookupPrivilegeValueA",
                                          "AdjustTokenPrivileges", "ExitWindowsEx", "CloseHandle"};
  const Row rows[] = {
      {"No", id::kNo, nullptr, {kQuestion, kCompleted}, {}, false},
      {"Yes", id::kYes, nullptr, {kQuestion}, chain, true},
      {"Yes without the shutdown privilege",
       id::kYes,
       [](WiredMachine& m) { m.system.SetHoldsShutdownPrivilege(false); },
       {kQuestion, "ExitWindowsEx Failed\nError Code = 1314", "Please Reboot Manually"},
       chain,
       false},
      {"the token cannot be opened",
       id::kYes,
       [](WiredMachine& m) { m.calls.FailNext("OpenProcessToken", 5); },
       {kQuestion, "OpenProcessToken Failed\nError Code = 5", "Please Reboot Manually"},
       {"OpenProcessToken"},
       false},
      {"the privilege cannot be enabled",
       id::kYes,
       [](WiredMachine& m) { m.calls.FailNext("AdjustTokenPrivileges", 1300); },
       {kQuestion, "AdjustTokenPrivileges Failed\nError Code = 1300", "Please Reboot Manually"},
       {"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges", "CloseHandle"},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    WiredMachine machine;
    if (row.arrange) row.arrange(machine);
    machine.Rename("COM3", "COM7");
    machine.Click(IDC_SAVE);
    std::size_t saved = 0;  // the Save's own calls (its file's CloseHandle) come before
    machine.Do([&] { saved = machine.calls.calls().size(); });
    machine.Escape();
    for (std::size_t i = 0; i < row.boxes.size(); ++i) {
      machine.windows.Answer(i == 0 ? row.answer : id::kOk);
    }
    machine.RunToEnd();
    EXPECT_EQ(machine.BoxTexts(), row.boxes);
    std::vector<std::string> made;
    for (const std::string& call : machine.CallsSince(saved, chain)) {
      if (call == "CloseHandle Global\\Velnara.Writer") continue;  // the dialog's lock, at its end
      made.push_back(call.substr(0, call.find(' ')));
    }
    EXPECT_EQ(made, row.calls);
    EXPECT_EQ(machine.system.RestartRequests(),
              row.restarted ? std::vector<std::uint32_t>{6} : std::vector<std::uint32_t>{});
    EXPECT_EQ(machine.system.OpenTokenCount(), 0) << "the token is closed";
    for (const sim::Call& call : machine.calls.CallsOf("OpenProcessToken")) {
      EXPECT_EQ(call.value, 0x28u);  // TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY
    }
    for (const sim::Call& call : machine.calls.CallsOf("AdjustTokenPrivileges")) {
      EXPECT_EQ(call.target, "luid=19:0 count=1");
      EXPECT_EQ(call.value, 2u);  // SE_PRIVILEGE_ENABLED
    }
  }
}

// A port item whose record is gone, or whose text reads empty, is reported
// and passed over (no port is given an empty name); the walk goes on with
// the next port.
TEST(CommitTest, APortItemWithoutItsRecordIsReportedAndPassedOver) {
  for (const bool emptyText : {false, true}) {
    for (const bool reset : {false, true}) {
      SCOPED_TRACE(std::string(reset ? "Reset" : "Save") + (emptyText ? ", empty text" : ""));
      WiredMachine machine;
      // Port 1's name reads empty from the start, so Reset reads it back empty.
      if (emptyText)
        machine.registry.SetStringAt(PortParameters(machine.card, 'A', 1), "PortName", "");
      machine.Rename("COM3", "COM7");
      machine.Rename("COM5", "COM8");
      machine.Look([&machine, emptyText](sim::SimUser& user) {
        if (emptyText) return;
        const WindowHandle tree = machine.windows.GetDlgItem(user.dialog(), IDC_PORT_TREE);
        const TreeItem board = machine.windows.TreeGetNextItem(
            tree, machine.windows.TreeGetNextItem(tree, nullptr, tvgn::kRoot), tvgn::kChild);
        const TreeItem first = machine.windows.TreeGetNextItem(tree, board, tvgn::kChild);
        machine.windows.TreeSetItemData(tree, first, 0);
      });
      machine.Click(reset ? IDC_RESET : IDC_SAVE);
      if (reset) machine.windows.Answer(id::kYes);
      machine.windows.Answer(id::kOk);
      machine.Escape();
      if (!reset) {
        machine.windows.Answer(id::kNo);
        machine.windows.Answer(id::kOk);
      }
      machine.RunToEnd();
      ASSERT_GE(machine.windows.MessageBoxes().size(), 1u + reset);
      const sim::Shown report = machine.windows.MessageBoxes()[reset ? 1 : 0];
      EXPECT_EQ(report.caption, "Missing Private Tree Entry");
      EXPECT_EQ(report.text, "The data is invalid.\r\n") << "never the success text";
      EXPECT_EQ(machine.PortName(0), std::string(emptyText && !reset ? "COM7" : "COM3") + '\0');
      EXPECT_EQ(machine.PortName(2), std::string(reset ? "COM5" : "COM8") + '\0');
      if (emptyText) {
        EXPECT_EQ(machine.PortName(1), std::string(1, '\0'));
        EXPECT_EQ(machine.FriendlyName(1), std::string("Tarvex 880 Port (COM4)") + '\0');
        EXPECT_EQ(machine.Serial(1), std::string("COM4") + '\0');
      }
    }
  }
}

// The port tree answers the colour requests of its message-box and edit
// children with its brush and leaves the other kinds to the default
// colours; the brush is deleted once, when its window goes.
TEST(CommitTest, ThePortTreeColoursItsEditAndMessageBoxChildrenWithItsOwnBrush) {
  for (const bool brushMade : {true, false}) {
    SCOPED_TRACE(brushMade ? "with a brush" : "without a brush");
    WiredMachine machine;
    machine.windows.FailBrushCreation(!brushMade);
    machine.Look([&machine, brushMade](sim::SimUser& user) {
      const WindowHandle tree = machine.windows.GetDlgItem(user.dialog(), IDC_PORT_TREE);
      std::vector<bool> brushed;
      for (std::uint32_t kind = 0; kind <= 6; ++kind) {
        brushed.push_back(machine.windows.SendMessage(tree, 0x0132 + kind, 0x5000, 0) != 0);
      }
      // CTLCOLOR_MSGBOX and CTLCOLOR_EDIT alone.
      EXPECT_EQ(brushed,
                (std::vector<bool>{brushMade, brushMade, false, false, false, false, false}));
      EXPECT_EQ(machine.windows.SendMessage(user.dialog(), 0x0133, 0x5000, 0), 0)
          << "a colour request to the main dialog itself is not the tree's";
      EXPECT_EQ(machine.windows.LiveBrushes(), brushMade ? 1 : 0);
    });
    machine.Click(id::kOk);
    machine.RunToEnd();
    EXPECT_EQ(machine.windows.LiveBrushes(), 0);
  }
}

}  // namespace
}  // namespace velnara::testing

// The command line for administrators: /list, /check and /apply on a machine
// wired like a real one, the port map as people and files get it wrong,
// and the file each Save keeps of the names it replaces. Nothing here may
// show a window, except /list and /? with nowhere else to write.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/reg_file.h"
#include "portmap/port_map.h"
#include "unattended/command_line.h"
#include "wired_machine.h"

namespace velnara::testing {
namespace {

using namespace platform;
using namespace std::string_literals;

constexpr std::uint32_t kOut = file::kStdOutput;
constexpr std::uint32_t kErr = file::kStdError;
const std::string kKept = std::string(sim::SimFiles::kCommonAppData) + "\\Velnara";

struct Machine : WiredMachine {
  Machine() {
    files.SetStandardKind(kOut, file::kTypePipe);
    files.SetStandardKind(kErr, file::kTypePipe);
  }
  // The machine's registry, each key's values in the order of their names
  // (a commit that deletes and makes values changes their order only).
  std::string Registry() const {
    std::istringstream lines(sim::ExportRegText(registry, "HKEY_LOCAL_MACHINE"));
    std::vector<std::vector<std::string>> keys;
    for (std::string line; std::getline(lines, line);) {
      if (keys.empty() || line.rfind("[", 0) == 0) keys.emplace_back();
      keys.back().push_back(line);
    }
    std::string text;
    for (std::vector<std::string>& key : keys) {
      std::sort(key.begin() + 1, key.end());
      for (const std::string& line : key) text += line + "\n";
    }
    return text;
  }
  std::string Out() const { return files.StandardText(kOut); }
  std::string Err() const { return files.StandardText(kErr); }
  // A map file in the current folder.
  std::string Map(const std::string& text) {
    files.PutFile("names.txt", text);
    return "names.txt";
  }
};

const std::string kListed =
    "; Tarvex 880-4 RJ45\r\n"
    "PCI 2.9.0 port 1 = COM3\r\n"
    "PCI 2.9.0 port 2 = COM4\r\n"
    "PCI 2.9.0 port 3 = COM5\r\n";
// What /list adds: the motherboard's COM1.
const std::string kHeld =
    "\r\n; Names held for other hardware\r\n; COM1   \\Device\\Serial0, connected\r\n";

// List, edit (a swap, a rename by the name it has), check, apply, apply
// again: the whole round an administrator makes, with the log.
TEST(UnattendedTest, ListCheckApplyAndApplyAgain) {
  Machine machine;
  EXPECT_EQ(machine.Run({"/list"}), 0);
  EXPECT_EQ(machine.Out(), kListed + kHeld);
  const std::string before = machine.Registry();
  EXPECT_EQ(machine.Run({"/apply", machine.Map(machine.Out())}), 0)
      << "the list applied changes nothing";
  EXPECT_EQ(machine.Registry(), before);

  const std::string map = machine.Map(
      "; the bench layout\n\npci 2.9.0 PORT 1=COM4\r\n  PCI2.9.0port2 = com3\n# by name:\ncom5 = "
      "COM47");
  EXPECT_EQ(machine.Run({"-CHECK", map}), 0);
  EXPECT_EQ(machine.Registry(), before) << "/check writes nothing";
  EXPECT_NE(machine.Out().find("PCI 2.9.0 port 3: COM5 -> COM47\r\n3 ports would change"),
            std::string::npos)
      << machine.Out();

  EXPECT_EQ(machine.Run({"/apply", map, "/LOG", "C:\\velnara.log"}), 3010);
  machine.ExpectPort(0, "COM4", "COM3");
  machine.ExpectPort(1, "com3", "COM4");
  machine.ExpectPort(2, "COM47", "COM5");
  EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 3, 4, 47}));
  EXPECT_EQ(sim::FormatSddlDacl(machine.registry.GetDaclAt(
                PortDeviceKey(machine.card, 'A', 2).insert(0, "HKLM\\"))),
            "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)");
  const std::string log = machine.files.FileText("C:\\velnara.log");
  for (const char* line :
       {"2026-12-09 05:12:00 Velnara 2.03 on BENCH-07: /apply names.txt /LOG C:\\velnara.log",
        "PCI 2.9.0 port 1: COM3 -> COM4", "The names before this Save are kept in ",
        "3 ports renamed", "Exit status 3010."}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " not in\n" << log;
  }
  EXPECT_EQ(machine.Run({"/apply", map, "/log", "C:\\velnara.log"}), 0) << "nothing left to do";
  EXPECT_EQ(machine.files.FileText("C:\\velnara.log"),
            log +
                "2026-12-09 05:12:00 Velnara 2.03 on BENCH-07: /apply names.txt /log "
                "C:\\velnara.log\r\nNothing to change: every port has its name already.\r\n"
                "Exit status 0.\r\n")
      << "the second run's part follows the first's";
  EXPECT_TRUE(machine.windows.MessageBoxes().empty());
}

// Maps that must write nothing: a line that cannot be read, a port that is
// not there or named twice (13), a name the rename dialog would refuse (183).
TEST(UnattendedTest, ARefusedMapWritesNothingAndSaysWhichLineAndWhy) {
  struct Row {
    std::vector<std::string> args;  // after /apply; "MAP" is a file holding `map`
    std::string map;
    int status;
    std::string said;  // on standard error
  };
  const Row rows[] = {
      {{"MAP"},
       "COM3 = COM9\nPCI 2.9.0 port 9 = COM10\n",
       13,
       "names.txt, line 2: no port is at PCI 2.9.0 port 9"},
      {{"MAP"}, "COM99 = COM9", 13, "line 1: no port of this PC is named \"COM99\""},
      {{"MAP"},
       "COM3 = COM9\nPCI 2.9.0 port 1 = COM10",
       13,
       "line 2: PCI 2.9.0 port 1 is named again (first on line 1)"},
      {{"MAP"},
       "COM3 COM9\nPCI 2.9.40 port 1 = COM9",
       13,
       "line 2: \"PCI 2.9.40 port 1\" is not a port's address"},
      {{"MAP"},
       "COM3 = COM1",
       183,
       "line 1: the COM port database holds \"COM1\" for other serial port hardware: "
       "\\Device\\Serial0, connected\r\n"},
      {{"MAP"},
       "COM3 = COM12\r\nCOM4 = lpt1",
       183,
       "line 2: \"lpt1\" is reserved by Windows for another device"},
      {{"MAP"}, "COM3 = COM047", 183, "line 1: \"COM047\" is not a COM name as Windows counts it"},
      {{"MAP"}, "COM3 = C:", 183, "line 1: \"C:\" holds a character other than the letters A to Z"},
      {{"MAP"}, "COM3 = FILE", 183, "line 1: \"FILE\" belongs to another port of Windows"},
      {{"MAP"},
       "COM3 = COM9",
       183,
       "line 1: the COM port database holds \"COM9\" for other serial port hardware: claimed for "
       "no device Windows lists (/reclaim takes it)"},
      {{"MAP"}, "COM3 = COM5", 183, "line 1: \"COM5\" would also be the name of PCI 2.9.0 port 3"},
      {{"MAP"},
       "COM3 = com4\nCOM4 = COM6",
       183,
       ""},                                  // a shift: COM4 is free once the map is applied
      {{"MAP"}, "COM3 = TTY1234", 183, ""},  // 7 characters are not too long
      {{"MAP"},
       "COM3 = \nCOM4 = COM12345",
       183,
       "line 2: \"COM12345\" is longer than 7 characters"},
      {{"COM3=COM9", "COM8=COM10"}, "", 13, "argument 2: no port of this PC is named \"COM8\""},
      {{"missing.txt"},
       "",
       2,
       "Cannot read the map missing.txt: 2 The system cannot find the file"},
      // A copy that lost its lines on the way is no map that changes nothing.
      {{"MAP"}, "", 13, "names.txt names no port.\r\nNothing was written."},
      {{"MAP"}, "; only\r\n# comments\r\n\r\n", 13, "names.txt names no port."},
      // A map made where the cards sit elsewhere: where they are here.
      {{"MAP"},
       "PCI 3.9.0 port 1 = COM3\nPCI 3.9.0 port 2 = COM4",
       13,
       "line 2: no port is at PCI 3.9.0 port 2\r\nThis PC has PCI 2.9.0 (Tarvex 880-4 RJ45, 3 "
       "ports).\r\nNothing was written."},
      {{"MAP"},
       "PCI 2.9.0 port 1x = COM9",
       13,
       "line 1: \"PCI 2.9.0 port 1x\" is not a port's address"},
      {{"MAP"}, "COM3 = COM9;x", 183, "line 1: \"COM9;x\" holds a character other than"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.map + row.args[0]);
    Machine machine;
    machine.registry.SetStringAt(kPortSettings, "FILE:", "");
    machine.comPorts.SetClaimedNumbers({1, 3, 4, 5, 9});
    const std::string before = machine.Registry();
    std::vector<std::string> args = {"/apply"};
    for (const std::string& arg : row.args)
      args.push_back(arg == "MAP" ? machine.Map(row.map) : arg);
    const int status = machine.Run(args);
    if (row.said.empty()) {  // the control row: this map is fine
      EXPECT_EQ(status, 3010);
      continue;
    }
    EXPECT_EQ(status, row.status);
    EXPECT_NE(machine.Err().find(row.said), std::string::npos) << machine.Err();
    if (status != 2) {
      EXPECT_NE(machine.Err().find("Nothing was written.\r\n"), std::string::npos);
    }
    EXPECT_EQ(machine.Registry(), before);
    EXPECT_TRUE(machine.files.FilesIn(kKept).empty()) << "no Save, no backup";
    EXPECT_TRUE(machine.windows.MessageBoxes().empty());
  }
  // A port settings key that cannot be read hides no printer port's name.
  Machine unread;
  unread.calls.FailNext("RegOpenKeyExA", 5, 0, 1, "CurrentVersion\\Ports");
  EXPECT_EQ(unread.Run({"/apply", "COM3=TTY1"}), 183);
  EXPECT_NE(unread.Err().find("argument 1: \"TTY1\" belongs to another port of Windows"),
            std::string::npos)
      << unread.Err();
}

// A name that is no COM name is the port's own once the port has it: a
// later map may swap it with another port's, or give it back.
TEST(UnattendedTest, NamesThatAreNoComNamesMoveOnInLaterMaps) {
  Machine machine;
  EXPECT_EQ(machine.Run({"/apply", machine.Map("COM3 = TTY1\nCOM4 = TTY2")}), 3010);
  EXPECT_EQ(machine.Run({"/apply", machine.Map("TTY1 = TTY2\nTTY2 = TTY1")}), 3010)
      << machine.Err();
  machine.ExpectPort(0, "TTY2", "COM3");
  machine.ExpectPort(1, "TTY1", "COM4");
  EXPECT_EQ(machine.Run({"/apply", machine.Map("TTY2 = TTY1\nTTY1 = COM4\nCOM5 = TTY2")}), 3010)
      << machine.Err();
  machine.ExpectPort(0, "TTY1", "COM3");
  machine.ExpectPort(1, "COM4", "COM4");
  machine.ExpectPort(2, "TTY2", "COM5");
  EXPECT_EQ(machine.Value(kPortSettings, "COM3:"), "<none>");
}

// A number the database keeps for a USB adapter that is gone: refused and
// named, taken with /reclaim (the adapter's keys untouched); a connected
// device's name never.
TEST(UnattendedTest, ReclaimTakesANumberBackFromHardwareThatIsGoneOnly) {
  Machine machine;
  const std::string adapter =
      "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";
  machine.registry.SetStringAt(adapter, "FriendlyName", "USB Serial Port (COM9)");
  machine.registry.SetStringAt(adapter + "\\Device Parameters", "PortName", "COM9");
  machine.comPorts.SetClaimedNumbers({1, 3, 4, 5, 9});
  const std::string gone =
      "USB Serial Port (COM9), FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000, not connected";
  const std::string map = machine.Map("COM5 = COM9");
  EXPECT_EQ(machine.Run({"/apply", map}), 183);
  EXPECT_NE(machine.Err().find("holds \"COM9\" for other serial port hardware: " + gone +
                               " (/reclaim takes it)"),
            std::string::npos)
      << machine.Err();
  EXPECT_EQ(machine.Run({"/check", map, "/reclaim"}), 0);
  EXPECT_NE(machine.Out().find("PCI 2.9.0 port 3: COM5 -> COM9, taken back from " + gone),
            std::string::npos)
      << machine.Out();
  const std::string before = machine.Registry();
  EXPECT_EQ(machine.Run({"/apply", map, "/reclaim"}), 3010);
  machine.ExpectPort(2, "COM9", "COM5");
  EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 3, 4, 9}));
  EXPECT_EQ(machine.Value(adapter + "\\Device Parameters", "PortName"), "COM9"s + '\0');
  EXPECT_EQ(machine.Run({"/apply", "COM9=COM1", "/reclaim"}), 183) << "COM1 is connected";
  EXPECT_NE(before, machine.Registry());
}

// One writer at a time: a second dialog ends at once, before it reads
// anything; /check and /apply wait for the copy that holds the machine and
// give up with 1618, or check against the names it wrote.
TEST(UnattendedTest, OneCopyWritesAtATime) {
  const std::string lock = "Global\\Velnara.Writer";
  Machine machine;
  machine.system.HoldMutex(lock, 2);  // a dialog open in another session
  machine.windows.Answer(id::kOk);
  EXPECT_EQ(machine.Run(), 0);
  EXPECT_EQ(machine.BoxTexts(), std::vector<std::string>{"Velnara is already running."});
  EXPECT_TRUE(machine.calls.CallsOf("RegOpenKeyExA").empty()) << "nothing was read";
  const std::string before = machine.Registry();
  for (const char* command : {"/check", "/apply"}) {
    EXPECT_EQ(machine.Run({command, machine.Map("COM5=COM47"), "/log", "v.log"}), 1618);
    EXPECT_EQ(machine.calls.CallsOf("WaitForSingleObject").back().value, 30000u);
  }
  EXPECT_EQ(machine.Registry(), before);
  EXPECT_NE(machine.files.FileText("v.log").find(
                "Another Velnara is running; waiting up to 30 seconds for it to end.\r\n"
                "Another Velnara still runs: nothing was written. Try again later.\r\n"
                "Exit status 1618."),
            std::string::npos)
      << machine.files.FileText("v.log");

  // The other copy is an /apply that names the first port COM47 and ends;
  // both append to one log, each line where it was written.
  machine.files.PutFile("v.log", "");
  machine.system.WhileWaiting([&] {
    machine.system.RunAs(2, [&] {
      EXPECT_EQ(machine.Run({"/apply", "COM3=COM47", "/log", "v.log"}), 3010);
    });
    machine.system.ReleaseMutexOf(lock, 2);
  });
  EXPECT_EQ(machine.Run({"/apply", "COM4=COM47", "/log", "v.log"}), 183);
  const std::string log = machine.files.FileText("v.log");
  EXPECT_EQ(machine.system.ErrorMode(), 0x8003u) << "no system box waits for a click";
  const std::size_t waited = log.find(": /apply COM4=COM47 /log v.log");
  const std::size_t other = log.find("Exit status 3010.");
  const std::size_t refused = log.find("\"COM47\" would also be the name");
  EXPECT_TRUE(waited < other && other < refused && refused != std::string::npos) << log;
  EXPECT_NE(machine.Err().find("\"COM47\" would also be the name of PCI 2.9.0 port 1"),
            std::string::npos);
  machine.ExpectPort(0, "COM47", "COM3");
  machine.ExpectPort(1, "COM4", "COM4");
  EXPECT_EQ(machine.system.OpenMutexCount(), 0);
  EXPECT_EQ(machine.system.MutexSddl(lock), "");  // another copy made it first
  Machine fresh;
  EXPECT_EQ(fresh.Run({"/check", "COM5=COM47"}), 0);
  EXPECT_EQ(fresh.system.MutexSddl(lock), "D:P(A;;GA;;;SY)(A;;GA;;;BA)") << "no user may hold it";
  EXPECT_FALSE(machine.system.HoldsMutex(lock, 1));
  EXPECT_FALSE(machine.system.HoldsMutex(lock, 2));

  // A lock that cannot be made or waited for is no lock: nothing written.
  for (const auto& [call, code] : {std::pair{"CreateMutexA", 5u}, {"WaitForSingleObject", 6u}}) {
    Machine failing;
    const std::string start = failing.Registry();
    failing.calls.FailNext(call, code);
    EXPECT_EQ(failing.Run({"/apply", "COM5=COM47"}), 1618) << call;
    EXPECT_NE(failing.Err().find("Cannot make sure no other Velnara runs (" + std::to_string(code)),
              std::string::npos)
        << failing.Err();
    EXPECT_EQ(failing.Registry(), start);
  }
}

TEST(UnattendedTest, ACommandLineThatAsksForNothingItDoesIs87) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"/lst"},
                                             {"names.txt"},
                                             {"/apply"},
                                             {"/check", "a.txt", "b.txt"},
                                             {"/check"},
                                             {"/check", "COM3=COM4", "map.txt"},
                                             {"/apply", "COM3=COM4", "map.txt"},
                                             {"/list", "/restart"},
                                             {"/apply", "m.txt", "/log"},
                                             {"/apply", "m.txt", "/log", ""},
                                             {"/apply", "m.txt", "/log", "a", "/log", "b"},
                                             {"/apply", ""},
                                             {"/apply", "m.txt", "/log", "/restart"},
                                             {"/list", "/out", "/log", "v.log"},
                                             {"/check", "COM3=COM4", ""},
                                             {"/?", "/list"},
                                             {"/list", "extra"}}) {
    Machine machine;
    EXPECT_EQ(machine.Run(args), 87) << args[0];
    EXPECT_NE(machine.Err().find("Exit status:"), std::string::npos) << "the usage follows";
  }
  Machine machine;
  EXPECT_EQ(machine.Run({"-?"}), 0);
  EXPECT_NE(machine.Out().find("1641  names written and the restart started"), std::string::npos);
  EXPECT_EQ(machine.Run({"/list", "/backups", "/out", "C:\\kept.txt"}), 0) << "in any order";
  EXPECT_TRUE(machine.files.FileExists("C:\\kept.txt")) << "with no Save yet, an empty list";
  machine.calls.FailNext("GetFileAttributesA", 3, 0, 1, "\\Velnara");  // no folder above it
  EXPECT_EQ(machine.Run({"/list", "/backups", "/out", "C:\\kept.txt"}), 0) << machine.Err();
}

// Failures go to the log and standard error with the port and the call's
// own code, never to a box; /restart restarts only after a clean Save.
TEST(UnattendedTest, FailuresAreLoggedWithThePortAndTheRestartFollowsOnlyACleanSave) {
  Machine failing;
  failing.calls.FailNext("RegSetValueExA", 5, 0, 1, "PortName");
  EXPECT_EQ(failing.Run({"/apply", "COM5=COM7", "/restart", "/log", "v.log"}), 1);
  EXPECT_NE(failing.files.FileText("v.log").find(
                "Failed writing 'PortName' Key (PCI 2.9.0 port 3, COM5 -> COM7): 5 Access is "
                "denied.\r\n"),
            std::string::npos)
      << failing.files.FileText("v.log");
  EXPECT_TRUE(failing.system.RestartRequests().empty());
  // The COM port database's answers count here, as the dialog never says
  // them: a refused release or claim is a write that failed.
  for (const char* call : {"ComDBReleasePort", "ComDBClaimPort"}) {
    SCOPED_TRACE(call);
    Machine refused;
    refused.calls.FailNext(call, 32);
    EXPECT_EQ(refused.Run({"/apply", "COM5=COM7"}), 1);
    EXPECT_NE(refused.Err().find(std::string(call) +
                                 " Failed (PCI 2.9.0 port 3, COM5 -> COM7): 32 The process cannot "
                                 "access the file because it is being used by another process."),
              std::string::npos)
        << refused.Err();
    refused.ExpectPort(2, "COM7", "COM5");
  }

  // A log that cannot be written, or ports that cannot be listed: nothing
  // is written, and the status says so.
  Machine unlisted;
  const std::string start = unlisted.Registry();
  EXPECT_EQ(unlisted.Run({"/apply", "COM5=COM7", "/log", "C:\\missing\\v.log"}), 2);
  unlisted.calls.FailNext("RegOpenKeyExA", 5, 0, 1, "Enum\\PCI");
  EXPECT_EQ(unlisted.Run({"/apply", "COM5=COM7"}), 1012);
  EXPECT_NE(unlisted.Err().find("Failed opening PCI Registry Key: 5"), std::string::npos);
  EXPECT_EQ(unlisted.Registry(), start);

  // A port that cannot be read again just before the Save may have been
  // renamed meanwhile: nothing is written, "try again later".
  Machine checking;
  checking.Run({"/check", "COM5=COM7"});
  const std::string port = "02090002\\Device Parameters";
  std::size_t reads = 0;
  for (const sim::Call& call : checking.calls.CallsOf("RegOpenKeyExA")) {
    reads += call.target.find(port) != std::string::npos;
  }
  Machine rechecked;
  const std::string before = rechecked.Registry();
  rechecked.calls.FailNext("RegOpenKeyExA", 2, static_cast<int>(reads), 1, port);
  EXPECT_EQ(rechecked.Run({"/apply", "COM5=COM7"}), 1618);
  EXPECT_EQ(rechecked.Registry(), before);

  // A log that fails once is given up once; the run goes on.
  Machine logging;
  logging.calls.FailNext("WriteFile", 112, 1, -1, "v.log");
  EXPECT_EQ(logging.Run({"/apply", "COM5=COM47", "/log", "v.log"}), 3010);
  const std::string said = logging.Err();
  EXPECT_EQ(said.find("Cannot write the log"), said.rfind("Cannot write the log")) << said;
  EXPECT_NE(said.find("Cannot write the log v.log: 112"), std::string::npos) << said;

  Machine restarting;
  EXPECT_EQ(restarting.Run({"/apply", "COM5=COM7", "/restart"}), 1641);
  EXPECT_EQ(restarting.system.RestartRequests(), std::vector<std::uint32_t>{6});

  Machine unprivileged;
  unprivileged.system.SetHoldsShutdownPrivilege(false);
  EXPECT_EQ(unprivileged.Run({"/apply", "COM5=COM7", "/restart"}), 3010);
  EXPECT_NE(unprivileged.Err().find("ExitWindowsEx Failed\r\nError Code = 1314\r\nPlease Reboot "
                                    "Manually"),
            std::string::npos)
      << unprivileged.Err();
  for (const Machine* machine :
       {&failing, &unlisted, &rechecked, &logging, &restarting, &unprivileged}) {
    EXPECT_TRUE(machine->windows.MessageBoxes().empty());
    EXPECT_EQ(machine->files.OpenFileCount(), 0);
    EXPECT_EQ(machine->registry.OpenHandleCount(), 0);
  }
}

// Every command logs, and none waits for a click: a box shows only for
// /list or /? started with nowhere else to write (a shortcut someone
// double-clicks), never when /out or /log is given or standard output or
// error leads to a file, a pipe or a console. The gate's -1 is logged too.
TEST(UnattendedTest, EveryCommandLogsAndOnlyAShortcutEverShowsABox) {
  constexpr std::uint32_t kNone = file::kTypeUnknown;
  struct Row {
    std::vector<std::string> args;
    std::uint32_t out, err;  // where standard output and error lead
    int status;
    bool box;
    std::string logged;  // the run's last lines in v.log; empty: no log
    bool windows7 = false;
  };
  const Row rows[] = {
      {{"/list", "/log", "v.log"},
       kNone,
       kNone,
       0,
       false,
       "Listed 3 ports, but nothing leads anywhere to write them: use /out.\r\nExit status 0.\r\n"},
      {{"/list", "/backups", "/log", "v.log"},
       kNone,
       kNone,
       0,
       false,
       "Listed 0 files of kept names, but nothing leads anywhere to write them: use /out.\r\n"
       "Exit status 0.\r\n"},
      {{"/list", "/out", "C:\\p.txt", "/log", "v.log"},
       kNone,
       kNone,
       0,
       false,
       "Listed 3 ports to C:\\p.txt.\r\nExit status 0.\r\n"},
      {{"/check", "COM5=COM47", "COM4=COM48", "/log", "v.log"},
       kNone,
       kNone,
       0,
       false,
       "PCI 2.9.0 port 2: COM4 -> COM48\r\nPCI 2.9.0 port 3: COM5 -> COM47\r\n2 ports would "
       "change; nothing was written.\r\nExit status 0.\r\n"},
      {{"/apply", "COM5=COM47", "/log", "v.log"},
       kNone,
       kNone,
       3010,
       false,
       "1 port renamed; the names take effect when Windows starts again.\r\nExit status 3010.\r\n"},
      {{"/list", "/log", "v.log"},
       file::kTypePipe,
       kNone,
       -1,
       false,
       "Velnara will only run on Windows XP or Windows 2000 SP2,SP3 or SP4\r\nExit status -1.\r\n",
       true},
      {{"/list"}, kNone, file::kTypePipe, 0, false, ""},
      {{"/?"}, kNone, file::kTypeDisk, 0, false, ""},
      {{"/list", "/out", "C:\\p.txt"}, kNone, kNone, 0, false, ""},
      {{"/apply", "COM5=COM47"}, kNone, kNone, 3010, false, ""},
      {{"/list"}, kNone, kNone, 0, true, ""},
      {{"-?"}, kNone, kNone, 0, true, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    Machine machine;
    machine.files.SetStandardKind(kOut, row.out);
    machine.files.SetStandardKind(kErr, row.err);
    if (row.windows7) machine.system.SetVersion(2, 6, 1, 1);
    if (row.box) machine.windows.Answer(id::kOk);
    EXPECT_EQ(machine.Run(row.args), row.status);
    EXPECT_EQ(machine.windows.MessageBoxes().size(), row.box ? 1u : 0u);
    const std::string log = machine.files.FileText("v.log");
    EXPECT_EQ(log.substr(log.size() - std::min(log.size(), row.logged.size())), row.logged) << log;
    if (!row.logged.empty()) {
      EXPECT_EQ(log.find("2026-12-09 05:12:00 Velnara 2.03 on BENCH-07: " + row.args[0]), 0u);
      int opened = 0;
      for (const sim::Call& call : machine.calls.CallsOf("CreateFileA")) {
        opened += call.target == "v.log";
      }
      EXPECT_EQ(opened, 1) << "the log is opened once";
    }
  }

  // /out replaces what the file held; one that cannot be written says so.
  Machine machine;
  machine.files.PutFile("C:\\ports.txt", "an older map, longer than this one will be" + kListed);
  EXPECT_EQ(machine.Run({"/list", "/out", "C:\\ports.txt"}), 0);
  EXPECT_EQ(machine.files.FileText("C:\\ports.txt"), kListed + kHeld);
  EXPECT_EQ(machine.Run({"/list", "/out", "C:\\missing\\ports.txt"}), 2);
  EXPECT_NE(machine.Err().find("Cannot write C:\\missing\\ports.txt: 3 The system cannot find the "
                               "path specified.\r\n"),
            std::string::npos);
  // A log that cannot be written: said in the same words at the start and
  // later, and the run does nothing.
  EXPECT_EQ(machine.Run({"/list", "/log", "C:\\missing\\v.log"}), 2);
  EXPECT_NE(machine.Err().find("Cannot write the log C:\\missing\\v.log: 3 "), std::string::npos);
  // A full disk leaves the file there as it was.
  machine.calls.FailNext("WriteFile", 112, 0, 1, "PORTS.TXT");
  EXPECT_EQ(machine.Run({"/list", "/out", "C:\\ports.txt"}), 5);
  EXPECT_EQ(machine.files.FileText("C:\\ports.txt"), kListed + kHeld);
  EXPECT_FALSE(machine.files.FileExists("C:\\ports.txt.new"));
  // A discovery that meets a registry failure says so, with a status of
  // its own: no partial map.
  machine.calls.FailNext("RegOpenKeyExA", 5, 0, 1, "Enum\\PCI");
  EXPECT_EQ(machine.Run({"/list", "/out", "C:\\ports2.txt"}), 1012);
  EXPECT_NE(machine.Err().find("Failed opening PCI Registry Key: 5 Access is denied.\r\nThe ports "
                               "could not be listed"),
            std::string::npos);
  EXPECT_FALSE(machine.files.FileExists("C:\\ports2.txt"));
}

// The port map as Notepad, a deployment share or an attacker leaves it.
TEST(UnattendedTest, TheMapReaderRefusesWhatItCannotReadAndNeverBreaks) {
  struct Row {
    const char* description;
    std::string text;
    std::size_t entries;
    std::vector<int> badLines;
  };
  const std::string many = [] {
    std::string text;
    for (int i = 0; i < 10000; ++i)
      text += "PCI 2.9.0 port " + std::to_string(i % 300) + " = COM" + std::to_string(i) + "\n";
    return text;
  }();
  const Row rows[] = {
      {"no end on the last line", "COM3=COM4\r\nCOM4=COM3", 2, {}},
      {"comments, blanks, tabs", "; x\r\n# y\r\n\r\n\t COM3\t=\tCOM4 \r\n", 1, {}},
      {"a UTF-8 mark first",
       "\xEF\xBB\xBF"
       "COM3=COM4",
       1,
       {}},
      {"saved as Unicode",
       "\xFF\xFE"
       "C\0O\0M\0"s,
       0,
       {1}},
      {"NUL bytes",
       "COM3=COM4\nCOM\0"
       "5=COM6\n"s,
       1,
       {2}},
      {"a line of 1001 characters", "COM3=" + std::string(996, 'X') + "\nCOM4=COM5", 1, {1}},
      {"no '=', two '=', nothing before it", "COM3\nCOM3==COM4\n=COM4\nA=B", 1, {1, 2, 3}},
      {"addresses out of range",
       "PCI 256.0.0 port 1=A\nPCI 1.32.0 port 1=A\nPCI 1.0.8 port 1=A\n"
       "PCI 1.0.0 port 0=A\nPCI 1.0.0 port 257=A\nPCI 1.0 port 1=A\nPCI 1.0.0 slot 1=A",
       0,
       {1, 2, 3, 4, 5, 6, 7}},
      {"a control character", "COM3=CO\x07M4", 0, {1}},
      {"comments after a blank, and a ';' that is none",
       "PCI 2.9.0 port 1 = COM47 ; till printer\nCOM4 = COM5\t# x\nCOM3 = COM6;x\n  # all",
       3,
       {}},
      {"an address with more after it",
       "PCI 2.9.0 port 1x = COM9\nPCI 2.9.0 port 1 2 = COM9",
       0,
       {1, 2}},
      {"10,000 lines; ports 0 and 257 to 299 refused", many, 10000 - 33 * 44 - 1, {}},
      // What Windows tools leave: copy /a's Ctrl-Z, a text copied twice.
      {"a Ctrl-Z ends the text",
       "COM3=COM4\r\n\x1A"
       "COM4=LPT1\x1A\r\n",
       1,
       {}},
      {"CR CR LF is one line end", "COM3=COM4\r\r\nCOM4=COM5\r\r\n", 2, {}},
      {"a byte order mark within",
       "COM3=COM4\r\n\xEF\xBB\xBF"
       "COM4=COM5",
       1,
       {2}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    std::vector<MapEntry> entries;
    std::vector<MapProblem> problems;
    ParsePortMap(row.text, &entries, &problems);
    EXPECT_EQ(entries.size(), row.entries);
    for (const MapEntry& entry : entries) {
      EXPECT_EQ(entry.newName.find_first_of(" \t#"), std::string::npos) << entry.newName;
    }
    if (row.text != many) {
      std::vector<int> lines;
      for (const MapProblem& problem : problems) lines.push_back(problem.line);
      EXPECT_EQ(lines, row.badLines);
    }
  }
  // A huge map on a machine: every line answered, in time, and nothing
  // written; a map of half a million bad lines says the first hundred and
  // how many more, and opens the log once.
  Machine machine;
  const std::string before = machine.Registry();
  EXPECT_EQ(machine.Run({"/apply", machine.Map(many)}), 13);
  EXPECT_EQ(machine.Registry(), before);
  std::string bad;
  for (int i = 0; i < 500000; ++i) bad += "x\n";
  EXPECT_EQ(machine.Run({"/apply", machine.Map(bad), "/log", "v.log"}), 13);
  const std::string log = machine.files.FileText("v.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1 + 100 + 2 + 1) << log.substr(0, 300);
  EXPECT_NE(log.find("line 100: \"x\" is not of the form PORT = NAME\r\n... and 499900 more.\r\n"
                     "Nothing was written."),
            std::string::npos);
  EXPECT_EQ(machine.calls.CallsOf("CreateFileA").size(), 5u)
      << "each map once, the log once, the journal looked for in each run";
  machine.files.PutFile("big.txt", std::string(kMaxMapBytes + 1, ';'));
  EXPECT_EQ(machine.Run({"/check", "big.txt"}), 13) << "a file of megabytes is no map";
}

// A name in the registry that no map line can give back (left there by
// another tool) is written as a comment that says why: the rest of the map,
// and of every backup, still applies.
TEST(UnattendedTest, ANameNoMapCanHoldDoesNotSpoilTheMap) {
  struct Row {
    std::string name;
    std::string shown;  // as the comment writes it
    std::string why;
  };
  const std::string character =
      "holds a character other than the letters A to Z, the digits, '-' and '_'";
  const Row rows[] = {
      {"A=B", "\"A=B\"", character},
      {" COM4", "\" COM4\"", character},
      {"CO\x01M4", "\"CO\\x01M4\"", character},
      {"x#;", "\"x#;\"", character},
      {"LPT1", "\"LPT1\"", "is reserved by Windows for another device"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Machine machine;
    machine.registry.SetStringAt(PortParameters(machine.card, 'A', 1), "PortName", row.name);
    EXPECT_EQ(machine.Run({"/list", "/out", "C:\\ports.txt"}), 0);
    const std::string listed = machine.files.FileText("C:\\ports.txt");
    const std::string comment = "; PCI 2.9.0 port 2 is left out: its name " + row.shown + " " +
                                row.why + ", which no map gives a port\r\n";
    EXPECT_NE(listed.find("PCI 2.9.0 port 1 = COM3\r\n" + comment + "PCI 2.9.0 port 3 = COM5\r\n"),
              std::string::npos)
        << listed;
    EXPECT_NE(machine.Err().find("PCI 2.9.0 port 2 is left out of the map"), std::string::npos);
    std::vector<MapEntry> entries;
    std::vector<MapProblem> problems;
    ParsePortMap(listed, &entries, &problems);
    EXPECT_EQ(entries.size(), 2u) << "every port a map can hold";
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(machine.Run({"/apply", "C:\\ports.txt"}), 0) << "applied unchanged: nothing";
    // The way back from a Save of the other ports.
    EXPECT_EQ(machine.Run({"/apply", "COM3=COM10", "COM5=COM11"}), 3010);
    EXPECT_EQ(machine.Run({"/apply", kKept + "\\names-20261209-051200.txt"}), 3010);
    machine.ExpectPort(0, "COM3", "COM3");
    machine.ExpectPort(2, "COM5", "COM5");
  }
}

// Every Save keeps the names it replaces first; /apply of that file puts
// them all back. The dialog reports a file it cannot write and saves all
// the same; /apply then writes nothing, unless /nobackup.
TEST(UnattendedTest, EverySaveKeepsTheNamesItReplacesAndApplyPutsThemBack) {
  Machine machine;
  const std::string before = machine.Registry();
  machine.Rename("COM3", "COM9");
  machine.Rename("COM4", "COM3");
  machine.Rename("COM5", "COM48");
  std::size_t from = 0;
  machine.Do([&] { from = machine.calls.calls().size(); });
  machine.Click(IDC_SAVE);
  machine.LeaveDecliningTheRestart();
  machine.RunToEnd();
  const std::vector<std::string> made = machine.CallsSince(from, {"CreateFileA", "RegSetValueExA"});
  ASSERT_GE(made.size(), 2u);
  EXPECT_EQ(made[0], "CreateFileA " + kKept + "\\names-20261209-051200.txt.new")
      << "before any write";
  const std::string kept = kKept + "\\names-20261209-051200.txt";
  EXPECT_EQ(machine.files.FileText(kept),
            "; Velnara: the names of the ports before a Save\r\n; Computer: BENCH-07\r\n"
            "; Saved: 2026-12-09 05:12:00\r\n; Program: Velnara 2.03\r\n"
            "; To put these names back: \"C:\\Program Files\\Velnara\\Velnara.exe\" /apply \"" +
                kept + "\"\r\n\r\n" + kListed);
  EXPECT_EQ(machine.Run({"/list", "/backups"}), 0);
  EXPECT_EQ(machine.Out(), kept + "\r\n");
  EXPECT_EQ(machine.Run({"/apply", kept}), 3010);
  EXPECT_EQ(machine.Registry(), before);
  EXPECT_EQ(machine.files.FilesIn(kKept).size(), 2u) << "the undo kept its own";

  // The folder cannot be made: no journal, so nothing is written at all.
  // The file cannot be written: the dialog saves all the same.
  for (const bool dialog : {true, false}) {
    Machine failing;
    const std::string start = failing.Registry();
    failing.calls.FailNext("CreateDirectoryA", 5);
    if (dialog) {
      failing.Rename("COM5", "COM7");
      failing.Click(IDC_SAVE);
      failing.windows.Answer(id::kOk);
      failing.Do([&] {
        failing.calls.FailNext("WriteFile", 112, 0, 1, "NAMES-");
        EXPECT_EQ(failing.Registry(), start);
      });
      failing.Click(IDC_SAVE);
      failing.windows.Answer(id::kOk);
      failing.LeaveDecliningTheRestart();
      failing.RunToEnd();
      ASSERT_EQ(failing.BoxTexts().size(), 4u);
      EXPECT_EQ(failing.BoxCaptions()[0], "Failed writing Port Names Backup");
      EXPECT_EQ(failing.BoxTexts()[0], "Access is denied.\r\n");
      EXPECT_EQ(failing.BoxCaptions()[1], "Failed writing Port Names Backup");
      EXPECT_EQ(failing.BoxTexts()[1], "There is not enough space on the disk.\r\n");
      failing.ExpectPort(2, "COM7", "COM5");
    } else {
      EXPECT_EQ(failing.Run({"/apply", "COM5=COM7"}), 5);
      EXPECT_EQ(failing.Registry(), start);
      failing.calls.FailNext("WriteFile", 112, 0, 1, "NAMES-");
      EXPECT_EQ(failing.Run({"/apply", "COM5=COM7", "/log", "v.log"}), 5);
      // Which file, and why: on standard error and in the log.
      const std::string said = "Failed writing Port Names Backup (" + kKept +
                               "\\names-20261209-051200.txt): 112 There is not enough space on "
                               "the disk.\r\nNothing was written";
      EXPECT_NE(failing.Err().find(said), std::string::npos) << failing.Err();
      EXPECT_NE(failing.files.FileText("v.log").find(said), std::string::npos);
      EXPECT_TRUE(failing.files.FilesIn(kKept).empty()) << "no half file";
      EXPECT_EQ(failing.Run({"/apply", "COM5=COM7", "/nobackup"}), 3010);
      EXPECT_TRUE(failing.files.FilesIn(kKept).empty());
    }
  }
}

// The newest 50 files stay, by the time in their names; a second Save in
// the same second gets a number; other files are never touched. Without
// the common folder the Windows folder takes its place.
// The folder of the kept names is the administrators' own: made with their
// access list, and given it again each time. One a user made beforehand, a
// file in its place or a link to elsewhere is not written to: the dialog
// says why and saves all the same, /apply writes nothing, /list /backups
// lists nothing.
TEST(UnattendedTest, TheKeptNamesGoOnlyIntoAFolderOfTheAdministrators) {
  struct Row {
    const char* description;
    std::function<void(Machine&)> arrange;
    std::string said;  // empty: the folder is used
  };
  const std::string user = "S-1-5-21-7-7-7-1003";
  const Row rows[] = {
      {"missing", [](Machine&) {}, ""},
      {"the administrators'", [](Machine& m) { m.files.AddFolder(kKept); }, ""},
      {"this administrator's",
       [](Machine& m) {
         m.files.AddFolder(kKept);
         m.files.SetOwner(kKept, sim::SimSystem::kUserSid);
       },
       ""},
      {"a user's",
       [&](Machine& m) {
         m.files.AddFolder(kKept);
         m.files.SetOwner(kKept, user);
       },
       kKept + " belongs to " + user + ", not to the administrators"},
      {"a file", [](Machine& m) { m.files.PutFile(kKept, ""); },
       kKept + " is a file, not a folder"},
      {"a junction",
       [](Machine& m) {
         m.files.AddFolder(kKept);
         m.files.SetReparsePoint(kKept);
       },
       kKept + " leads elsewhere (a junction or a link)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    Machine machine;
    row.arrange(machine);
    const std::string before = machine.Registry();
    const int status = machine.Run({"/apply", "COM5=COM7"});
    if (row.said.empty()) {
      EXPECT_EQ(status, 3010);
      EXPECT_EQ(machine.files.SecurityOf(kKept),
                "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)");
      continue;
    }
    EXPECT_EQ(status, 5);
    EXPECT_EQ(machine.Registry(), before);
    EXPECT_NE(machine.Err().find("Failed writing Port Names Backup: " + row.said),
              std::string::npos)
        << machine.Err();
    EXPECT_EQ(machine.Run({"/list", "/backups"}), 5);
    EXPECT_EQ(machine.Out().find("names-"), std::string::npos);
    // The dialog says so too, and writes nothing: without the folder there
    // is no journal, and without its journal no Save.
    machine.Rename("COM3", "COM9");
    machine.Click(IDC_SAVE);
    machine.windows.Answer(id::kOk);
    machine.Escape();
    machine.RunToEnd();
    ASSERT_FALSE(machine.BoxTexts().empty());
    EXPECT_EQ(machine.BoxCaptions()[0], "Failed writing Port Names Backup");
    EXPECT_EQ(machine.BoxTexts()[0].find(row.said), 0u) << machine.BoxTexts()[0];
    EXPECT_EQ(machine.Registry(), before);
  }
}

TEST(UnattendedTest, TheNewestFiftyAreKeptAndNothingElseIsDeleted) {
  Machine machine;
  // Sixty Saves of November, two a day, each older than today's.
  for (int i = 0; i < 60; ++i) {
    const int day = 1 + i / 2;
    machine.files.PutFile(kKept + "\\names-202611" + (day < 10 ? "0" : "") + std::to_string(day) +
                              "-1" + std::to_string(i % 2) + "0000.txt",
                          "");
  }
  machine.files.PutFile(kKept + "\\names-mine.txt", "");
  machine.files.PutFile(kKept + "\\readme.txt", "");
  // A file of the name form that a user left while the folder was open to
  // him, and one that leads elsewhere: neither is the program's.
  machine.files.PutFile(kKept + "\\names-20261208-000000.txt", "; planted");
  machine.files.SetOwner(kKept + "\\names-20261208-000000.txt", "S-1-5-21-7-7-7-1003");
  machine.files.PutFile(kKept + "\\names-20261208-000001.txt", "");
  machine.files.SetReparsePoint(kKept + "\\names-20261208-000001.txt");
  EXPECT_EQ(machine.Run({"/apply", "COM5=COM7"}), 3010);
  EXPECT_EQ(machine.Run({"/apply", "COM7=COM8"}), 3010);
  const std::size_t seen = machine.Out().size();
  ASSERT_EQ(machine.Run({"/list", "/backups"}), 0);
  const std::string listed = machine.Out().substr(seen);
  EXPECT_EQ(listed.substr(0, listed.find('\r')), kKept + "\\names-20261209-051200-2.txt");
  EXPECT_NE(listed.find("names-20261107-100000.txt"), std::string::npos) << "the 50th newest";
  EXPECT_EQ(listed.find("names-20261106-110000.txt"), std::string::npos) << "the 51st";
  EXPECT_EQ(listed.find("names-20261208"), std::string::npos) << "not the program's";
  EXPECT_EQ(machine.files.FilesIn(kKept).size(), 54u);
  EXPECT_TRUE(machine.files.FileExists(kKept + "\\names-mine.txt"));
  EXPECT_TRUE(machine.files.FileExists(kKept + "\\readme.txt"));

  // Fifty files dated in the future count for nothing and stay; the file
  // just written is never pruned.
  Machine future;
  for (int i = 0; i < 50; ++i) {
    future.files.PutFile(
        kKept + "\\names-20991231-0000" + (i < 10 ? "0" : "") + std::to_string(i) + ".txt", "");
  }
  EXPECT_EQ(future.Run({"/apply", "COM5=COM7"}), 3010);
  EXPECT_TRUE(future.files.FileExists(kKept + "\\names-20261209-051200.txt"));
  EXPECT_EQ(future.files.FilesIn(kKept).size(), 51u);

  Machine old;
  old.files.RemoveFolderPathFunction();
  EXPECT_EQ(old.Run({"/apply", "COM5=COM7"}), 3010);
  EXPECT_EQ(old.files.FilesIn("C:\\WINDOWS\\Velnara").size(), 1u);
}

}  // namespace
}  // namespace velnara::testing

// Who renamed what, and when: one event in the Application log for every
// walk that wrote, with the account, how it ran, a line per port, the file
// that puts the names back and whether the restart is needed; none for a
// walk that wrote nothing. A log that cannot take it changes nothing else.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "wired_machine.h"

namespace velnara::testing {
namespace {

using namespace platform;

const std::string kSource = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velnara";
const std::string kKept =
    std::string(sim::SimFiles::kCommonAppData) + "\\Velnara\\names-20261209-051200.txt";
constexpr const char* kRestart = "Windows must start again for the drivers to use these names.";

TEST(EventLog, EveryWalkThatWroteLeavesOneEventAndNothingElseDoes) {
  struct Row {
    const char* description;
    std::function<int(WiredMachine&)> play;  // the exit status
    std::vector<sim::SimSystem::Event> events;
  };
  const auto save = [](WiredMachine& m) {
    m.Rename("COM5", "COM7");
    m.Click(IDC_SAVE);
    m.LeaveDecliningTheRestart();
    return m.Run();
  };
  const std::string user = sim::SimSystem::kUserSid;
  const Row rows[] = {
      {"a dialog Save",
       save,
       {{"Velnara",
         4,
         0x40000001,
         user,
         {"BENCH-07\\Administrator", "the dialog's Save", "PCI 2.9.0 port 3: COM5 -> COM7", kKept,
          kRestart, ""}}}},
      {"a Reset",
       [](WiredMachine& m) {
         m.Rename("COM3", "COM8");
         m.Click(IDC_RESET);
         m.windows.Answer(id::kYes);
         m.Escape();
         return m.Run();
       },
       {{"Velnara",
         4,
         0x40000001,
         user,
         {"BENCH-07\\Administrator", "the dialog's Reset",
          "PCI 2.9.0 port 1: COM3 -> COM3\r\nPCI 2.9.0 port 2: COM4 -> COM4\r\nPCI 2.9.0 port 3: "
          "COM5 -> COM5",
          "no file (none was kept)", "No restart is needed.", ""}}}},
      {"an /apply with a write that failed",
       [](WiredMachine& m) {
         m.calls.FailNext("RegSetValueExA", 5, 0, 1, "PortName");
         return m.Run({"/apply", "COM4=COM9", "COM5=COM7"});
       },
       {{"Velnara",
         2,
         0x80000002,
         user,
         {"BENCH-07\\Administrator", "Velnara.exe /apply",
          "PCI 2.9.0 port 2: COM4 -> COM9\r\nPCI 2.9.0 port 3: COM5 -> COM7", kKept, kRestart,
          "PCI 2.9.0 port 2"}}}},
      {"an /apply ended before FriendlyName, and the next start",
       [](WiredMachine& m) {
         WiredMachine ended;
         ended.calls.KillAtWrite(10);  // FriendlyName, the journal there
         try {
           ended.Run({"/apply", "COM5=COM7"});
         } catch (const sim::ProcessKilled&) {
         }
         m.StartAfter(ended);
         m.files.SetStandardKind(file::kStdError, file::kTypePipe);
         return m.Run({"/apply", "COM5=COM8"});
       },
       {{"Velnara",
         2,
         0x80000003,
         user,
         {"BENCH-07\\Administrator", "Velnara.exe /apply", "a run of /apply",
          "Velnara put every port back as it was before it", "PCI 2.9.0 port 3: COM5", kRestart}},
        {"Velnara",
         4,
         0x40000001,
         user,
         {"BENCH-07\\Administrator", "Velnara.exe /apply", "PCI 2.9.0 port 3: COM5 -> COM8",
          kKept.substr(0, kKept.size() - 4) + "-2.txt", kRestart, ""}}}},
      {"/check, /list, a refused name, a Save of nothing",
       [](WiredMachine& m) {
         m.Run({"/check", "COM5=COM7"});
         m.Run({"/list"});
         m.Run({"/apply", "COM5=LPT1"});
         m.Rename("COM5", "COM7");
         m.Do([&m] { m.calls.FailNext("RegOpenKeyExA", 5, 0, 1, "SerialComm"); });
         m.Click(IDC_SAVE);
         m.windows.Answer(id::kOk);
         m.LeaveDecliningTheRestart();
         return m.Run();
       },
       {}},
      {"a log that is full",
       [&](WiredMachine& m) {
         m.calls.FailNext("ReportEventA", 1502);
         return save(m);
       },
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    WiredMachine machine;
    machine.files.SetStandardKind(file::kStdError, file::kTypePipe);
    const int status = row.play(machine);
    EXPECT_TRUE(status == 0 || status == 1 || status == 3010)
        << status << machine.files.StandardText(file::kStdError);
    const std::vector<sim::SimSystem::Event>& events = machine.system.Events();
    ASSERT_EQ(events.size(), row.events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
      EXPECT_EQ(events[i].source, row.events[i].source);
      EXPECT_EQ(events[i].type, row.events[i].type);
      EXPECT_EQ(events[i].id, row.events[i].id);
      EXPECT_EQ(events[i].userSid, row.events[i].userSid);
      EXPECT_EQ(events[i].strings, row.events[i].strings);
    }
    EXPECT_EQ(machine.system.OpenEventSourceCount(), 0);
  }
}

// The source names the running program file: made when it is missing, and
// mended when it names another (a copy that moved); with a log file, a
// failure to register is said there, and the Save is made all the same.
TEST(EventLog, TheSourceIsRegisteredForTheProgramThatRuns) {
  for (const char* before : {"", "D:\\Old\\Velnara.exe"}) {
    SCOPED_TRACE(before);
    WiredMachine machine;
    machine.registry.DeleteTreeAt(kSource);
    if (*before != '\0') machine.registry.SetStringAt(kSource, "EventMessageFile", before);
    EXPECT_EQ(machine.Run({"/apply", "COM5=COM7"}), 3010);
    EXPECT_EQ(machine.registry.GetStringAt(kSource, "EventMessageFile"),
              "C:\\Program Files\\Velnara\\Velnara.exe");
    EXPECT_EQ(machine.Value(kSource, "TypesSupported"), std::string("\x07\0\0\0", 4));
    EXPECT_EQ(machine.system.Events().size(), 1u);
  }
  WiredMachine refused;
  refused.registry.DeleteTreeAt(kSource);
  refused.calls.FailNext("RegCreateKeyExA", 5);
  EXPECT_EQ(refused.Run({"/apply", "COM5=COM7", "/log", "C:\\v.log"}), 3010);
  refused.ExpectPort(2, "COM7", "COM5");
  EXPECT_NE(refused.files.FileText("C:\\v.log")
                .find("The Windows event log could not be registered: 5 Access is denied."),
            std::string::npos);
  EXPECT_TRUE(refused.system.Events().empty());
}

}  // namespace
}  // namespace velnara::testing

// The application shell: the platform gate, the main dialog's start and its
// system menu, painting and exits, and the error reporter.
#include <gtest/gtest.h>

#include "messages/message_boxes.h"
#include "sim_machine.h"
#include "ui/main_dialog.h"
#include "ui/platform_gate.h"

namespace velnara::testing {
namespace {

using namespace platform;

struct GateRow {
  std::uint32_t platformId, major, minor;
  std::uint16_t servicePack;
  bool passes;
  const char* system;
};

TEST(PlatformGate, DecidesByPlatformVersionAndServicePack) {
  const GateRow rows[] = {
      {1, 4, 90, 0, false, "Windows Me"},
      {0, 3, 10, 0, false, "Win32s"},
      {2, 4, 0, 6, false, "NT 4.0 SP6"},
      {2, 6, 1, 1, false, "Windows 7"},
      {2, 10, 0, 0, false, "Windows 10"},
      {2, 5, 2, 0, true, "Server 2003 without service pack"},
      {2, 5, 2, 2, true, "XP x64 SP2"},
      {2, 5, 1, 0, true, "XP"},
      {2, 5, 1, 3, true, "XP SP3"},
      {2, 5, 0, 0, false, "Windows 2000"},
      {2, 5, 0, 1, false, "Windows 2000 SP1"},
      {2, 5, 0, 2, true, "Windows 2000 SP2"},
      {2, 5, 0, 4, true, "Windows 2000 SP4"},
      {2, 5, 0, 0xFFFF, true, "service pack compared unsigned"},
      {2, 5, 3, 0, false, "a 5.3 that never shipped"},
  };
  for (const GateRow& row : rows) {
    SCOPED_TRACE(row.system);
    sim::SimSystem system;
    system.SetVersion(row.platformId, row.major, row.minor, row.servicePack);
    EXPECT_EQ(IsSupportedSystem(system), row.passes);
  }
}

TEST(PlatformGate, FallsBackToTheBasicRecordWhoseServicePackReadsZero) {
  sim::SimSystem system;
  system.FailExtendedQuery(true);
  system.SetVersion(2, 5, 0, 4);  // Windows 2000 SP4, but only the basic query answers
  EXPECT_FALSE(IsSupportedSystem(system));
  EXPECT_EQ(system.VersionQueryCount(), 2);

  system.SetVersion(2, 5, 1, 2);
  EXPECT_TRUE(IsSupportedSystem(system));
}

TEST(PlatformGate, FailsWhenNeitherQueryAnswers) {
  sim::SimSystem system;
  system.FailExtendedQuery(true);
  system.FailBasicQuery(true);
  EXPECT_FALSE(IsSupportedSystem(system));
}

TEST(PlatformGate, RefusedSystemShowsTheMessageAndExitsWithoutTouchingTheRegistry) {
  SimMachine machine;
  machine.system.SetVersion(2, 6, 1, 1);
  AddCard(machine.registry, CardSpec{});
  const long callsBefore = machine.registry.CallCount();
  machine.windows.Answer(id::kOk);

  EXPECT_EQ(machine.Run(), -1);

  machine.ExpectCleanScript();
  EXPECT_EQ(machine.registry.CallCount(), callsBefore);
  const std::vector<sim::Shown> boxes = machine.windows.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kUnsupportedSystemText);
  EXPECT_EQ(boxes[0].caption, "Velnara");
  EXPECT_EQ(boxes[0].type, mb::kOk | mb::kIconExclamation);
  for (const sim::Shown& shown : machine.windows.transcript()) {
    EXPECT_NE(shown.kind, sim::Shown::Kind::Dialog) << "the dialog must never show";
  }
}

TEST(ApplicationTitle, IsTheProgramFileNameWithoutFolderAndExtension) {
  EXPECT_EQ(ApplicationTitle("C:\\Program Files\\Velnara\\Velnara.exe"), "Velnara");
  EXPECT_EQ(ApplicationTitle("Velnara.exe"), "Velnara");
  EXPECT_EQ(ApplicationTitle("C:\\tools.d\\Renamer"), "Renamer");
}

// Runs the main dialog on an empty machine with `steps` played by the user.
class MainDialogTest : public ::testing::Test {
 protected:
  SimMachine machine;
};

TEST_F(MainDialogTest, OpensWithTheTemplateState) {
  machine.windows.Then("look", [](sim::SimUser& user) {
    EXPECT_EQ(user.Caption(), "Ostrand : Tarvex 880 - Velnara V2.03");
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
    EXPECT_FALSE(user.Enabled(IDC_RESET));
    EXPECT_FALSE(user.Visible(id::kCancel));
    EXPECT_FALSE(user.Enabled(id::kCancel));
    EXPECT_TRUE(user.Enabled(id::kOk));
    EXPECT_EQ(user.FocusedId(), id::kOk);
    EXPECT_EQ(Outline(user.Tree(IDC_PORT_TREE)), "PCI Bus\n");
  });
  machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
  EXPECT_EQ(machine.Run(), 0);
  machine.ExpectCleanScript();
}

TEST_F(MainDialogTest, InitialisationRunsInItsOrderUpToDiscovery) {
  // The template has no WS_SYSMENU; where the system still gives the dialog a
  // system menu (its taskbar button's), the About entry goes there.
  machine.windows.SetSystemMenus(sim::SimWindowSystem::SystemMenus::kAlways);
  machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
  EXPECT_EQ(machine.Run(), 0);
  std::vector<std::string> events;
  for (const sim::Call& call : machine.calls.calls()) {
    events.push_back(call.function + " " + call.target + " " + std::to_string(call.value));
    if (call.function == "RegOpenKeyExA") break;
  }
  // The About entry after a separator, the big icon then the small one, the
  // version query (the extended record first), the lock that keeps a second
  // copy out, the look for the journal of an interrupted walk, then
  // discovery.
  EXPECT_EQ(events, (std::vector<std::string>{
                        "DialogBoxParamA 102 102", "AppendMenuA 0  2048",
                        "AppendMenuA 16 &About Velnara... 0", "SendMessageA WM_SETICON 1",
                        "SendMessageA WM_SETICON 0", "GetVersionExA  156",
                        "CreateMutexA Global\\Velnara.Writer 0",
                        "WaitForSingleObject Global\\Velnara.Writer 0", "SHGetFolderPathA 35 0",
                        "CreateFileA C:\\Documents and Settings\\All Users\\Application "
                        "Data\\Velnara\\journal.txt 3",
                        "RegOpenKeyExA HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI "
                        "131097"}));
}

TEST_F(MainDialogTest, NoSystemMenuOrAnEmptyAboutTextAddsNothing) {
  machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
  machine.Run();

  machine.windows.SetSystemMenus(sim::SimWindowSystem::SystemMenus::kAlways);
  machine.windows.SetString(IDS_ABOUTBOX, "");
  machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
  machine.Run();
  machine.ExpectCleanScript();
  EXPECT_TRUE(machine.calls.CallsOf("AppendMenuA").empty());
}

TEST_F(MainDialogTest, SystemCommands16To31OpenTheAboutBox) {
  for (std::uintptr_t command = 16; command <= 31; ++command) {
    machine.windows.Then("about", [command](sim::SimUser& user) { user.SystemCommand(command); });
    machine.windows.Then("in the About box", [](sim::SimUser& user) {
      EXPECT_EQ(user.TemplateId(), IDD_ABOUTBOX);
      user.Click(id::kOk);
    });
  }
  machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
  machine.Run();
  machine.ExpectCleanScript();
  int abouts = 0;
  for (const sim::Shown& shown : machine.windows.transcript()) {
    if (shown.kind == sim::Shown::Kind::Dialog && shown.templateId == IDD_ABOUTBOX) {
      ++abouts;
      EXPECT_EQ(shown.caption, "About Velnara");
      EXPECT_TRUE(shown.ownedByMainWindow);
    }
  }
  EXPECT_EQ(abouts, 16);
}

TEST_F(MainDialogTest, OtherSystemCommandsGoToTheDefaultHandling) {
  machine.windows.Then("command 32", [](sim::SimUser& user) { user.SystemCommand(32); });
  // SC_MINIMIZE minimises the dialog, which then paints its icon.
  machine.windows.Then("minimise", [this](sim::SimUser& user) {
    user.SystemCommand(0xF020);
    EXPECT_TRUE(machine.windows.IsIconic(user.dialog()));
  });
  // SC_CLOSE becomes WM_CLOSE, which only beeps while IDCANCEL is disabled.
  machine.windows.Then("close", [](sim::SimUser& user) { user.SystemCommand(0xF060); });
  machine.windows.Then("still open", [](sim::SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_VELNARA_DIALOG);
    user.PressEscape();
  });
  EXPECT_EQ(machine.Run(), 0);
  machine.ExpectCleanScript();
  for (const sim::Shown& shown : machine.windows.transcript()) {
    EXPECT_NE(shown.templateId, IDD_ABOUTBOX);
  }
}

TEST(MainDialogIcon, IsCentredInTheMinimisedDialogWithTruncation) {
  EXPECT_EQ(MainDialog::IconOffset(475, 32), 222);
  EXPECT_EQ(MainDialog::IconOffset(470, 32), 219);
  EXPECT_EQ(MainDialog::IconOffset(20, 32), -5);  // -11 / 2 truncates toward zero
}

TEST_F(MainDialogTest, DragIconIsTheApplicationIcon) {
  machine.windows.Then("drag", [this](sim::SimUser& user) {
    const std::intptr_t cursor =
        machine.windows.SendMessage(user.dialog(), wm::kQueryDragIcon, 0, 0);
    EXPECT_EQ(reinterpret_cast<IconHandle>(cursor), machine.windows.LoadIcon(IDR_MAINFRAME));
  });
  machine.windows.Then("exit", [](sim::SimUser& user) { user.PressEscape(); });
  EXPECT_EQ(machine.Run(), 0);
  machine.ExpectCleanScript();
}

TEST(ErrorReporter, ShowsTheSystemTextOnceUnderTheCallersCaption) {
  SimMachine machine;
  const ErrorReporter reporter(machine.platform);
  machine.system.RemoveMessageText(4242);
  machine.windows.Answer(id::kOk);
  machine.windows.Answer(id::kOk);
  machine.windows.Answer(id::kOk);

  reporter.Report("SetSecurityInfo Failed", 5);
  reporter.Report("Some Step Failed", 0);
  reporter.Report("Failed opening PCI Registry Key", 4242);

  machine.ExpectCleanScript();
  const std::vector<sim::Shown> boxes = machine.windows.MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, "SetSecurityInfo Failed");
  EXPECT_EQ(boxes[0].text, "Access is denied.\r\n");
  EXPECT_EQ(boxes[0].type, mb::kOk) << "one OK button and no icon";
  EXPECT_EQ(boxes[1].caption, "Some Step Failed");
  EXPECT_EQ(boxes[1].text, "The operation completed successfully.\r\n");
  EXPECT_EQ(boxes[2].caption, "Failed opening PCI Registry Key");
  EXPECT_EQ(boxes[2].text, "Windows error 4242");
}

TEST(ErrorReporter, IsModalToTheMainDialogWhileItRuns) {
  SimMachine machine;
  machine.registry.FailOpenOf("SYSTEM\\CurrentControlSet\\Enum\\PCI", error::kAccessDenied);
  machine.windows.Answer(id::kOk);
  machine.windows.Then("exit", [](sim::SimUser& user) { user.Click(id::kOk); });
  machine.Run();
  machine.ExpectCleanScript();
  const std::vector<sim::Shown> boxes = machine.windows.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].ownedByMainWindow);
  EXPECT_EQ(boxes[0].caption, "Failed opening PCI Registry Key");
  EXPECT_EQ(boxes[0].text, "Access is denied.\r\n") << "the open's own code, not the last error";
}

}  // namespace
}  // namespace velnara::testing

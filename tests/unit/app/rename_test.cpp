// The rename dialog and the double-click rename command, played through the
// main dialog the way a person uses them.
#include <gtest/gtest.h>

#include "rename/rename_command.h"
#include "sim_machine.h"
#include "ui/rename_dialog.h"

namespace velnara::testing {
namespace {

using namespace platform;

constexpr const char* kBoard = "Tarvex 880-4 RJ45";
constexpr const char* kEmptyBoard = "Tarvex Universal 880-4";

class RenameTest : public ::testing::Test {
 protected:
  // A card with the given port names, and a second card without ports.
  void Seed(const std::vector<std::string>& names) {
    CardSpec card;
    AddCard(machine.registry, card);
    AddPorts(machine.registry, card, 'A', names);
    CardSpec empty;
    empty.identifier = "VEN_1F5A&DEV_8020";
    empty.prefix = "9&9&9";
    AddCard(machine.registry, empty);
  }

  void DoubleClick(const std::vector<std::string>& path) {
    machine.windows.Then("double-click " + path.back(), [path](sim::SimUser& user) {
      user.SelectTreeItem(IDC_PORT_TREE, path);
      user.DoubleClickTree(IDC_PORT_TREE);
    });
  }
  void DoubleClickPort(const std::string& name) { DoubleClick({"PCI Bus", kBoard, name}); }

  // In the rename dialog: type a name and press OK.
  void Choose(const std::string& name) {
    machine.windows.Then("choose " + name, [name](sim::SimUser& user) {
      ASSERT_EQ(user.TemplateId(), IDD_RENAME);
      user.TypeText(IDC_NEW_NAME, name);
      user.Click(id::kOk);
    });
  }
  void Cancel() {
    machine.windows.Then("cancel", [](sim::SimUser& user) {
      ASSERT_EQ(user.TemplateId(), IDD_RENAME);
      user.Click(id::kCancel);
    });
  }
  void Inspect(std::function<void(sim::SimUser&)> look) {
    machine.windows.Then("look", std::move(look));
  }
  // Leaves by the cancel command, which commits nothing: what Save and Exit
  // write has tests of its own.
  void RunAndExit() {
    machine.windows.Then("leave", [](sim::SimUser& user) { user.PressEscape(); });
    EXPECT_EQ(machine.Run(), 0);
    machine.ExpectCleanScript();
  }
  std::vector<std::string> PortTexts(sim::SimUser& user) {
    std::vector<std::string> texts;
    const std::vector<sim::TreeNode> tree = user.Tree(IDC_PORT_TREE);
    for (const sim::TreeNode& port : tree[0].children[0].children) {
      texts.push_back(port.text);
    }
    return texts;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const sim::Shown& box : machine.windows.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  int RenameDialogsShown() const {
    int shown = 0;
    for (const sim::Shown& s : machine.windows.transcript()) {
      shown += s.kind == sim::Shown::Kind::Dialog && s.templateId == IDD_RENAME;
    }
    return shown;
  }

  SimMachine machine;
};

TEST_F(RenameTest, DialogPreselectsTheEntryTheOldNameNames) {
  struct Row {
    const char* oldName;
    int selection;
  };
  const Row rows[] = {{"COM1", 0},    {"COM256", 255}, {"COM0", -1}, {"COM257", -1},
                      {"COM-3", -1},  {"COM", -1},     {"COM7x", 6}, {"COM 12", 11},
                      {"COM012", 11}, {"com3", -1},    {"COM+5", 4}};
  std::vector<std::string> names;
  for (const Row& row : rows) names.push_back(row.oldName);
  Seed(names);
  for (const Row& row : rows) {
    DoubleClickPort(row.oldName);
    Inspect([row](sim::SimUser& user) {
      SCOPED_TRACE(row.oldName);
      EXPECT_EQ(user.Caption(), "Select a new Port Name");
      EXPECT_EQ(user.Text(IDC_OLD_NAME), row.oldName);
      EXPECT_FALSE(user.Enabled(IDC_OLD_NAME));
      const std::vector<std::string> entries = user.ComboEntries(IDC_NEW_NAME);
      ASSERT_EQ(entries.size(), 256u);
      EXPECT_EQ(entries.front(), "COM1");
      EXPECT_EQ(entries[99], "COM100");
      EXPECT_EQ(entries.back(), "COM256");
      EXPECT_EQ(user.ComboSelection(IDC_NEW_NAME), row.selection);
      EXPECT_EQ(user.Text(IDC_NEW_NAME), row.selection < 0 ? "" : entries[row.selection]);
      EXPECT_EQ(user.FocusedId(), id::kOk);
    });
    Cancel();
  }
  RunAndExit();
  EXPECT_TRUE(machine.windows.MessageBoxes().empty());
}

TEST_F(RenameTest, RootAndBoardItemsAreNotPorts) {
  Seed({"COM3"});
  DoubleClick({"PCI Bus"});
  machine.windows.Answer(id::kOk);
  DoubleClick({"PCI Bus", kBoard});
  machine.windows.Answer(id::kOk);
  DoubleClick({"PCI Bus", kEmptyBoard});
  machine.windows.Answer(id::kOk);
  RunAndExit();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>(3, kNotAPortText));
  for (const sim::Shown& box : machine.windows.MessageBoxes()) {
    EXPECT_EQ(box.type, mb::kOk | mb::kIconExclamation);
    EXPECT_EQ(box.caption, "Velnara");
    EXPECT_TRUE(box.ownedByMainWindow);
  }
  EXPECT_EQ(RenameDialogsShown(), 0);
}

TEST_F(RenameTest, AcceptedNameBecomesThePendingNameAndEnablesResetAndSave) {
  Seed({"COM3", "COM4", "COM5"});
  DoubleClickPort("COM3");
  Choose("COM7");
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM7", "COM4", "COM5"}));
    EXPECT_TRUE(user.Enabled(IDC_SAVE));
    EXPECT_TRUE(user.Enabled(IDC_RESET));
    const auto ports = user.Tree(IDC_PORT_TREE)[0].children[0].children;
    const auto* record = reinterpret_cast<const PortRecord*>(ports[0].data);
    ASSERT_NE(record, nullptr) << "the item keeps its record";
    EXPECT_STREQ(record->portName, "COM3") << "the record keeps the start-up name";
  });
  RunAndExit();
  EXPECT_TRUE(machine.windows.MessageBoxes().empty());
}

TEST_F(RenameTest, NameShownByAnotherPortIsRefusedAndTheDialogReopensOnTheOldText) {
  Seed({"COM3", "COM4"});
  DoubleClickPort("COM3");
  Choose("COM4");
  machine.windows.Answer(id::kOk);
  Inspect([](sim::SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_RENAME);
    EXPECT_EQ(user.Text(IDC_OLD_NAME), "COM3");
    EXPECT_EQ(user.ComboSelection(IDC_NEW_NAME), 2);
    EXPECT_EQ(user.ComboEntries(IDC_NEW_NAME).size(), 256u) << "a second showing, not 512";
  });
  Cancel();
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM3", "COM4"}));
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
    EXPECT_FALSE(user.Enabled(IDC_RESET));
  });
  RunAndExit();
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{"Port Name 'COM4' already used by installed Tarvex 880"});
  EXPECT_EQ(RenameDialogsShown(), 2);
}

TEST_F(RenameTest, OnlyTheTreesCurrentTextsCount) {
  Seed({"COM3", "COM4", "COM5"});
  DoubleClickPort("COM3");
  Choose("COM9");
  DoubleClickPort("COM4");
  Choose("COM3");  // held now only by the first port's record
  DoubleClickPort("COM9");
  Choose("COM4");
  DoubleClickPort("COM5");
  Choose("com4");  // the same device name as COM4: case does not matter
  machine.windows.Answer(id::kOk);
  Choose("com5");  // its own name in other case is a rename
  DoubleClickPort("COM4");
  Choose("COM1");  // a name the tree does not show, whoever else may use it
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM1", "COM3", "com5"}));
  });
  DoubleClickPort("COM1");
  Choose("cOm3");  // shown by the second port now
  machine.windows.Answer(id::kOk);
  Cancel();
  RunAndExit();
  EXPECT_EQ(BoxTexts(),
            (std::vector<std::string>{"Port Name 'com4' already used by installed Tarvex 880",
                                      "Port Name 'cOm3' already used by installed Tarvex 880"}));
}

// A name held outside the tree: the box names every holder; a connected
// one refuses the name, hardware that is gone only asks.
TEST_F(RenameTest, ANameHeldForOtherHardwareSaysWhoHoldsItAndMayBeTakenFromWhatIsGone) {
  // COM1 and COM2 are the motherboard's; the card's ports hold 3 and 4.
  Seed({"COM3", "COM4"});
  machine.comPorts.SetClaimedNumbers({1, 2, 3, 4, 9});
  machine.registry.SetStringAt(kSerialMap, "\\Device\\Serial0", "COM1");
  const std::string acpi = "SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\1";
  machine.registry.SetStringAt(acpi, "FriendlyName", "Communications Port (COM1)");
  machine.registry.SetStringAt(acpi + "\\Device Parameters", "PortName", "COM1");
  const std::string claims =
      "COM name database claims Port '%s' is used by (or reserved for) other serial port "
      "hardware\nThe port concerned will not appear in the VELNARA list\n\n";
  const auto claimed = [&](const std::string& name, const std::string& lines) {
    std::string text = claims;
    return text.replace(text.find("%s"), 2, name) + lines;
  };
  DoubleClickPort("COM3");
  Choose("com1");
  machine.windows.Answer(id::kOk);
  Inspect([](sim::SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_RENAME) << "the dialog opens again";
    EXPECT_EQ(user.Text(IDC_OLD_NAME), "COM3");
  });
  Choose("COM2");  // claimed for nothing Windows lists: asked, and No
  machine.windows.Answer(id::kNo);
  Choose("COM2");  // and Yes
  machine.windows.Answer(id::kYes);
  DoubleClickPort("COM4");
  Choose("COM3");  // claimed, but by a port of the tree: a swap in the making
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM2", "COM3"}));
    EXPECT_TRUE(user.Enabled(IDC_SAVE));
  });
  RunAndExit();
  EXPECT_EQ(BoxTexts(),
            (std::vector<std::string>{
                claimed("com1", "Communications Port (COM1), ACPI\\PNP0501\\1, connected"),
                claimed("COM2",
                        "Claimed for no device that Windows lists.\n\nNo connected "
                        "device uses COM2. Give COM2 to this port anyway?"),
                claimed("COM2",
                        "Claimed for no device that Windows lists.\n\nNo connected "
                        "device uses COM2. Give COM2 to this port anyway?")}));
  ASSERT_EQ(machine.windows.MessageBoxes().size(), 3u);
  EXPECT_EQ(machine.windows.MessageBoxes()[0].type, mb::kOk | mb::kIconExclamation);
  EXPECT_EQ(machine.windows.MessageBoxes()[1].type, mb::kYesNo | mb::kIconExclamation);
  EXPECT_EQ(RenameDialogsShown(), 4);
}

// Names no device can carry, names of other devices of Windows, and
// another spelling of a number a port shows: each refused with why, and the
// dialog opens again, until a name passes.
TEST_F(RenameTest, ANameThatWouldHarmAnotherDeviceIsRefusedWithWhy) {
  const std::string character =
      "holds a character other than the letters A to Z, the digits, '-' and '_'";
  const std::string reserved = "is reserved by Windows for another device";
  const std::string number =
      "is not a COM name as Windows counts it: COM and a number without leading zeros";
  std::vector<std::pair<std::string, std::string>> refused = {
      {"COM047", number},
      {"com05", number},
      {"COM-5", number},
      {"COM5A", number},
      {"COM+5", character},
      {"C:", character},
      {"A\\B", character},
      {"..", character},
      {"%s%n", character},
      {"A B", character},
      {"\xE9", character},
      {"FILE", "belongs to another port of Windows (a printer port or the like)"},
  };
  // Every device name Windows keeps, in a case of its own.
  for (const char* device : {"cOn", "pRN", "Aux", "nul", "Lpt1", "lPt2", "lpT3", "LPT4", "lpt5",
                             "LpT6", "lPT7", "LPt8", "lpt9", "CoM0"}) {
    refused.push_back({device, reserved});
  }
  Seed({"COM3", "COM47"});
  machine.registry.SetStringAt(kPortSettings, "FILE:", "");
  machine.registry.SetStringAt(kPortSettings, "COM9:", "");  // a COM port's: no reason
  DoubleClickPort("COM3");
  std::vector<std::string> expected;
  for (const auto& [name, why] : refused) {
    Choose(name);
    machine.windows.Answer(id::kOk);
    expected.push_back("Port Name '" + name + "' " + why);
  }
  Choose("Port_7a");
  for (const auto& [from, to] :
       {std::pair{"Port_7a", "COM"}, {"COM", "COM1234"}, {"COM1234", "COM9"}}) {
    DoubleClickPort(from);
    Choose(to);
  }
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM9", "COM47"}));
  });
  RunAndExit();
  EXPECT_EQ(BoxTexts(), expected);
}

TEST_F(RenameTest, ANumberAPortOfTheTreeHasSavedIsNotOtherHardwares) {
  // The first port is saved as COM9 (the database claims 9 for it), then
  // shown as COM10: COM9 is free for the second port, a name the tree no
  // longer shows and that only a port of the tree holds in the database.
  Seed({"COM3", "COM4"});
  machine.registry.CreateKeyAt(kSerialMap);
  machine.registry.CreateKeyAt(kPortSettings);
  machine.comPorts.SetClaimedNumbers({1, 3, 4});
  DoubleClickPort("COM3");
  Choose("COM9");
  machine.windows.Then("save", [](sim::SimUser& user) { user.Click(IDC_SAVE); });
  DoubleClickPort("COM9");
  Choose("COM10");
  DoubleClickPort("COM4");
  Choose("COM9");
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM10", "COM9"}));
    EXPECT_EQ(machine.comPorts.ClaimedNumbers(), (std::vector<std::uint32_t>{1, 4, 9}));
  });
  machine.windows.Then("leave", [](sim::SimUser& user) { user.PressEscape(); });
  machine.windows.Answer(id::kNo);
  machine.windows.Answer(id::kOk);
  EXPECT_EQ(machine.Run(), 0);
  machine.ExpectCleanScript();
  EXPECT_EQ(BoxTexts().size(), 2u) << "only the restart question and the completion message";
  EXPECT_EQ(RenameDialogsShown(), 3);
}

// A database that cannot be asked refuses no name by itself; the name of a
// device Windows lists is then taken only after asking.
TEST_F(RenameTest, ADatabaseThatCannotBeAskedRefusesNothingItCannotSee) {
  Seed({"COM3"});
  machine.comPorts.SetClaimedNumbers({1, 2, 3, 7});
  const std::string adapter = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\A1\\0000";
  machine.registry.SetStringAt(adapter, "FriendlyName", "USB Serial Port (COM7)");
  machine.registry.SetStringAt(adapter + "\\Device Parameters", "PortName", "COM7");
  machine.calls.FailNext("ComDBOpen", 5);
  DoubleClickPort("COM3");
  Choose("COM1");
  machine.calls.FailNext("ComDBGetCurrentPortUsage", 5);
  DoubleClickPort("COM1");
  Choose("COM2");
  machine.calls.FailNext("ComDBOpen", 5);
  DoubleClickPort("COM2");
  Choose("COM7");
  machine.windows.Answer(id::kYes);
  Inspect(
      [this](sim::SimUser& user) { EXPECT_EQ(PortTexts(user), std::vector<std::string>{"COM7"}); });
  RunAndExit();
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_NE(BoxTexts()[0].find("USB Serial Port (COM7), FTDIBUS\\A1\\0000, not connected"),
            std::string::npos)
      << BoxTexts()[0];
  EXPECT_EQ(machine.windows.MessageBoxes()[0].type, mb::kYesNo | mb::kIconExclamation);
  int forced = 0;
  for (const sim::Call& call : machine.calls.calls()) forced += call.forced != 0;
  EXPECT_EQ(forced, 3) << "every failure was met";
}

TEST_F(RenameTest, ChoosingTheCurrentTextChangesNothing) {
  Seed({"COM3", "COM4"});
  DoubleClickPort("COM3");
  machine.windows.Then("enter", [](sim::SimUser& user) { user.PressEnter(); });
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM3", "COM4"}));
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
    EXPECT_FALSE(user.Enabled(IDC_RESET));
  });
  RunAndExit();
  EXPECT_TRUE(machine.windows.MessageBoxes().empty());
}

TEST_F(RenameTest, RenamingBackToTheStartUpNameIsARename) {
  Seed({"COM3"});
  DoubleClickPort("COM3");
  Choose("COM8");
  DoubleClickPort("COM8");
  Choose("COM3");
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), std::vector<std::string>{"COM3"});
    EXPECT_TRUE(user.Enabled(IDC_SAVE));
  });
  RunAndExit();
}

TEST_F(RenameTest, TypedTextIsKeptAsTypedUpToSevenCharacters) {
  Seed({"COM3", "COM5"});
  DoubleClickPort("COM3");
  Choose("tty_a");
  DoubleClickPort("tty_a");
  machine.windows.Then("type a long name", [](sim::SimUser& user) {
    user.TypeText(IDC_NEW_NAME, "COM12345678");
    EXPECT_EQ(user.Text(IDC_NEW_NAME), "COM1234");
    EXPECT_EQ(user.ComboTextLimit(IDC_NEW_NAME), RenameDialog::kMaxNameLength);
    user.Click(id::kOk);
  });
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM1234", "COM5"}));
  });
  RunAndExit();
}

TEST_F(RenameTest, EmptyNameIsRefusedAndTheDialogReopens) {
  Seed({"COM300", "COM4"});  // outside the list: nothing is preselected
  DoubleClickPort("COM300");
  machine.windows.Then("OK at once", [](sim::SimUser& user) {
    EXPECT_EQ(user.Text(IDC_NEW_NAME), "");
    user.Click(id::kOk);
  });
  machine.windows.Answer(id::kOk);
  Choose("COM6");
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), (std::vector<std::string>{"COM6", "COM4"}));
  });
  RunAndExit();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kEmptyNameText});
  EXPECT_EQ(RenameDialogsShown(), 2);
}

TEST_F(RenameTest, ClosingTheDialogInAnyWayKeepsTheOldName) {
  Seed({"COM3"});
  DoubleClickPort("COM3");
  machine.windows.Then("escape", [](sim::SimUser& user) {
    user.TypeText(IDC_NEW_NAME, "COM9");
    user.PressEscape();
  });
  DoubleClickPort("COM3");
  machine.windows.Then("close box", [](sim::SimUser& user) {
    user.TypeText(IDC_NEW_NAME, "COM9");
    user.CloseBox();
  });
  Inspect([this](sim::SimUser& user) {
    EXPECT_EQ(PortTexts(user), std::vector<std::string>{"COM3"});
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
  });
  RunAndExit();
}

TEST_F(RenameTest, NamesShownOnOtherBoardsCountAndABoardWithoutPortsIsPassedOver) {
  // In tree order: a board without ports first, then two boards with ports.
  CardSpec empty;
  empty.identifier = "VEN_1F5A&DEV_8010";
  empty.prefix = "1&1&1";
  AddCard(machine.registry, empty);
  CardSpec first;
  AddCard(machine.registry, first);
  AddPorts(machine.registry, first, 'A', {"COM3", "COM4"});
  CardSpec second;
  second.identifier = "VEN_1F5A&DEV_8022";
  second.bus = 5;
  second.prefix = "5&5&5";
  AddCard(machine.registry, second);
  AddPorts(machine.registry, second, 'U', {"COM7"});
  DoubleClick({"PCI Bus", "Tarvex Universal 880-16", "COM7"});
  Choose("COM4");  // shown on the other card
  machine.windows.Answer(id::kOk);
  Cancel();
  DoubleClickPort("COM3");
  Choose("com7");  // the same
  machine.windows.Answer(id::kOk);
  Cancel();
  RunAndExit();
  EXPECT_EQ(BoxTexts(),
            (std::vector<std::string>{"Port Name 'COM4' already used by installed Tarvex 880",
                                      "Port Name 'com7' already used by installed Tarvex 880"}));
}

TEST_F(RenameTest, ARenameDialogThatCannotOpenChangesNothing) {
  Seed({"COM3"});
  machine.windows.Then("the system cannot make dialogs",
                       [this](sim::SimUser&) { machine.windows.FailDialogCreation(true); });
  DoubleClickPort("COM3");
  machine.windows.Then("it can again", [this](sim::SimUser& user) {
    machine.windows.FailDialogCreation(false);
    EXPECT_EQ(PortTexts(user), std::vector<std::string>{"COM3"});
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
  });
  RunAndExit();
  EXPECT_TRUE(BoxTexts().empty());
  int asked = 0;
  for (const sim::Call& call : machine.calls.CallsOf("DialogBoxParamA")) {
    asked += call.value == IDD_RENAME ? 1 : 0;
  }
  EXPECT_EQ(asked, 1) << "asked once, not again";
}

TEST(RenameDialog, FailingToOpenCountsAsCancel) {
  SimMachine machine;
  RenameDialog dialog(machine.windows);
  dialog.SetOldName("COM3");
  machine.windows.FailDialogCreation(true);
  EXPECT_EQ(dialog.Show(), -1);
  EXPECT_EQ(dialog.GetNewName(), "");
}

}  // namespace
}  // namespace velnara::testing

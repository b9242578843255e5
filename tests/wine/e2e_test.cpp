// End to end: the real Velnara.exe on the sample machine of
// samples/demo-machine.reg (imported into this prefix by seed-prefix.sh),
// driven from another process the way a person drives it. Every test starts
// the program afresh. Only the Committing tests write; each of them first
// puts the sample machine back and locks its port device keys, and they run
// in a prefix of their own.
//
//   velnara_e2e_tests PATH\TO\Velnara.exe [SAMPLE.reg] [GoogleTest options]

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/sim_registry.h"
#include "tests/wine/e2e_names.h"
#include "tests/wine/ui_automation.h"
#include "tests/wine/wine_machine.h"
#include "tests/wine/write_killer.h"

namespace velnara::wine_test {
namespace {

namespace sim = platform::sim;

std::string gProgramPath;  // Velnara.exe, from the command line
std::string gSamplePath;   // the sample machine, for the tests that change it

constexpr DWORD kStartMs = 30000;  // a cold Wine start takes a while
constexpr DWORD kUiMs = 10000;

// --- The sample machine --------------------------------------------------

struct SampleBoard {
  const char* model;
  int firstPort;  // COM number of port index 0; the others follow in order
  int ports;
};

// The boards in the order the PCI key lists its subkeys (sorted by name,
// whatever order the cards were installed in): DEV_8014, DEV_8016, DEV_8017,
// DEV_8022, DEV_8023. So the Universal 880-16 (COM31-COM46) comes before the
// 880-8 RJ11 SLS (COM23-COM30). Not shown: the removed 880-4 Quadcable
// (DEV_8015, no Control key), the second Universal 880-16 whose ports never
// started (no ParentIdPrefix), the configuration function DEV_801C (no model),
// the 890 (DEV_8030) and the non-Tarvex devices.
const SampleBoard kSampleBoards[] = {
    {"Tarvex 880-4 RJ45", 3, 4},
    {"Tarvex 880-16 (First 4 ports)", 7, 4},
    {"Tarvex 880-16 (Other ports)", 11, 12},
    {"Tarvex Universal 880-16", 31, 16},
    {"Tarvex Universal 880-8 RJ11 SLS", 23, 8},
};

// One line per item, indented by depth; "(open)" marks an expanded item.
void AppendOutline(const std::vector<TreeNode>& nodes, int depth, std::ostringstream* out) {
  for (const TreeNode& node : nodes) {
    *out << std::string(2 * depth, ' ') << node.text << (node.expanded ? " (open)" : "") << "\n";
    AppendOutline(node.children, depth + 1, out);
  }
}

std::string Outline(const std::vector<TreeNode>& roots) {
  std::ostringstream out;
  AppendOutline(roots, 0, &out);
  return out.str();
}

// The tree the sample machine gives, with the pending names in `renamed`
// (old text -> new text) in place of the names read at start.
std::string ExpectedOutline(const std::map<std::string, std::string>& renamed = {}) {
  std::ostringstream out;
  out << "PCI Bus (open)\n";
  for (const SampleBoard& board : kSampleBoards) {
    out << "  " << board.model << " (open)\n";
    for (int n = board.firstPort; n < board.firstPort + board.ports; ++n) {
      const std::string name = "COM" + std::to_string(n);
      const auto change = renamed.find(name);
      out << "    " << (change == renamed.end() ? name : change->second) << "\n";
    }
  }
  return out.str();
}

// --- Reading the other process's windows ---------------------------------

LRESULT SendOrFail(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer)) {
    ADD_FAILURE() << "message " << message << " got no answer";
    return -1;
  }
  return static_cast<LRESULT>(answer);
}

template <typename Condition>
bool Eventually(Condition condition, DWORD timeoutMs = kUiMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

// A modal dialog's window is destroyed only once its modal loop has
// returned to the code that opened it.
bool Destroyed(HWND window) {
  return Eventually([window] { return IsWindow(window) == FALSE; });
}

// "visible, enabled", "hidden, disabled" or "missing".
std::string ButtonState(HWND dialog, int id) {
  const HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) return "missing";
  return std::string(IsWindowVisible(button) ? "visible" : "hidden") + ", " +
         (IsWindowEnabled(button) ? "enabled" : "disabled");
}

BOOL CALLBACK CollectChildText(HWND child, LPARAM texts) {
  reinterpret_cast<std::vector<std::string>*>(texts)->push_back(ReadWindowText(child));
  return TRUE;
}

std::vector<std::string> ChildTexts(HWND dialog) {
  std::vector<std::string> texts;
  EnumChildWindows(dialog, CollectChildText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// --- The running program -------------------------------------------------

class SampleMachine : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(gProgramPath.empty()) << "usage: velnara_e2e_tests PATH\\TO\\Velnara.exe";
    DWORD error = 0;
    ASSERT_TRUE(program_.Start(gProgramPath, std::string(), &error))
        << "cannot start " << gProgramPath << ": error " << error;
    dialog_ = program_.WaitForWindow(kMainCaption, kStartMs);
    ASSERT_NE(dialog_, nullptr) << "no main dialog; the program "
                                << (program_.IsRunning() ? "still runs" : "has ended");
    tree_ = GetDlgItem(dialog_, kTreeId);
    ASSERT_NE(tree_, nullptr);
  }

  std::vector<TreeNode> ReadPortTree() const {
    std::vector<TreeNode> roots;
    EXPECT_TRUE(ReadTree(tree_, &roots)) << "the tree could not be read";
    return roots;
  }

  // The rename command changes the item's text just after its dialog has
  // gone, so the tree is read until it shows `expected` or time runs out.
  void ExpectTreeBecomes(const std::string& expected) const {
    std::string shown;
    Eventually([&] {
      shown = Outline(ReadPortTree());
      return shown == expected;
    });
    EXPECT_EQ(shown, expected) << OpenBoxNote();
  }

  // Selects the item showing `text` and double-clicks it, as a person does.
  void DoubleClickItem(const std::string& text) const {
    const std::vector<TreeNode> roots = ReadPortTree();
    const TreeNode* node = FindTreeNode(roots, text);
    ASSERT_NE(node, nullptr) << "no item " << text << " in\n" << Outline(roots);
    ASSERT_TRUE(SelectTreeItem(tree_, node->item));
    ASSERT_TRUE(DoubleClickTreeItem(tree_, node->item));
  }

  // The rename dialog opened by a double-click on port `port`.
  HWND OpenRenameDialog(const std::string& port) const {
    DoubleClickItem(port);
    if (testing::Test::HasFatalFailure()) return nullptr;
    const HWND rename = program_.WaitForWindow(kRenameCaption, kUiMs);
    EXPECT_NE(rename, nullptr) << "no rename dialog after a double-click on " << port;
    return rename;
  }

  void ExpectRenameDialogOffers(HWND rename, const std::string& oldName, int listIndex) const {
    EXPECT_EQ(GetWindow(rename, GW_OWNER), dialog_) << "the rename dialog is not modal";
    EXPECT_EQ(ReadWindowText(GetDlgItem(rename, kOldNameId)), oldName);
    const HWND combo = GetDlgItem(rename, kNewNameId);
    EXPECT_EQ(ReadWindowText(combo), oldName) << "the combo box's edit field";
    EXPECT_EQ(SendOrFail(combo, CB_GETCURSEL), listIndex);
    EXPECT_EQ(SendOrFail(combo, CB_GETCOUNT), 256);
  }

  // Types `name` into the rename dialog and presses OK; returns once the
  // dialog is gone.
  void ChooseName(HWND rename, const std::string& name) const {
    ASSERT_TRUE(TypeIntoCombo(GetDlgItem(rename, kNewNameId), name));
    ASSERT_TRUE(ClickButton(rename, IDOK));
    ASSERT_TRUE(Destroyed(rename)) << "the rename dialog stayed open after OK";
  }

  // The program's message box, its text read and `button` pressed.
  std::string AnswerMessageBox(int button = IDOK) const {
    const HWND box = program_.WaitForMessageBox(kBoxCaption, dialog_, kUiMs);
    if (box == nullptr) {
      ADD_FAILURE() << "no message box \"" << kBoxCaption << "\" owned by the main dialog";
      return std::string();
    }
    const std::string text = MessageBoxText(box);
    EXPECT_TRUE(ClickButton(box, button));
    EXPECT_TRUE(Destroyed(box)) << "the message box stayed open after OK";
    return text;
  }

  bool MessageBoxShown() const {
    return !FindTopLevelWindows(program_.processId(), "#32770", kBoxCaption).empty();
  }

  // For failure messages: what a message box left open says.
  std::string OpenBoxNote() const {
    std::string note;
    for (HWND box : FindTopLevelWindows(program_.processId(), "#32770", kBoxCaption)) {
      note += "\nopen message box: \"" + MessageBoxText(box) + "\"";
    }
    return note;
  }

  // Leaves the program the way the dialog manager's cancel command does.
  DWORD EndWithCancelCommand() {
    EXPECT_TRUE(PostCommand(dialog_, IDCANCEL));
    DWORD status = 0xDEAD;
    EXPECT_TRUE(program_.WaitForExit(kUiMs, &status)) << "the program did not end";
    return status;
  }

  RunningProgram program_;
  HWND dialog_ = nullptr;
  HWND tree_ = nullptr;
};

// The sample machine put back, its port device keys locked as Windows locks
// them, and what it held then: where each port keeps its name.
class SampleState {
 public:
  void Reset() {
    ASSERT_FALSE(gSamplePath.empty()) << "usage: velnara_e2e_tests Velnara.exe SAMPLE.reg";
    std::string problem;
    ASSERT_TRUE(ResetSampleMachine(gSamplePath, &problem)) << problem;
    keys_ = PortDeviceKeysByName();
    for (const std::string& value : ValueNames(kSerialMap)) {
      std::string name = ReadValue(kSerialMap, value);
      serialValues_[name.substr(0, name.find('\0'))] = value;
    }
  }

  // Every place of the port that started as `startup` holds `name`, its
  // settings are the ones it started with, and its key is locked again.
  void ExpectPort(const std::string& startup, const std::string& name) const {
    SCOPED_TRACE(startup + " now " + name);
    const std::string z(1, '\0');
    const std::string& key = keys_.at(startup);
    EXPECT_EQ(ReadValue(key + "\\Device Parameters", "PortName"), name + z);
    EXPECT_EQ(ReadValue(key, "FriendlyName"), "Tarvex 880 Port (" + name + ")" + z);
    EXPECT_EQ(ReadValue(kSerialMap, serialValues_.at(startup)), name + z);
    EXPECT_EQ(ReadValue(kPortSettings, name + ":"), "settings of " + startup + z);
    const std::string sddl = DaclSddl(key);
    EXPECT_EQ(sddl.find(";WD)"), std::string::npos) << "an entry for Everyone stayed: " << sddl;
    EXPECT_EQ(sddl.substr(sddl.find('(')), std::string(kLockedPortKey).substr(3)) << sddl;
  }

  // The numbers the database claims: the sample's ports and the
  // motherboard's (COM1 to COM46) and the gone adapter's COM60, but those
  // `without`, and those `with`.
  static std::vector<int> Numbers(int first, int last, std::vector<int> without = {},
                                  std::vector<int> with = {}) {
    std::vector<int> numbers;
    for (int n = first; n <= last; ++n) {
      if (std::find(without.begin(), without.end(), n) == without.end()) numbers.push_back(n);
    }
    if (std::find(with.begin(), with.end(), 60) == with.end()) with.push_back(60);
    numbers.insert(numbers.end(), with.begin(), with.end());
    std::sort(numbers.begin(), numbers.end());
    return numbers;
  }

  // The port device key of the port that started as `startup`.
  const std::string& KeyOf(const std::string& startup) const { return keys_.at(startup); }

  static constexpr char kSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
  static constexpr char kPortSettings[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

 private:
  std::map<std::string, std::string> keys_;          // start-up name -> port device key
  std::map<std::string, std::string> serialValues_;  // start-up name -> serial device map value
};

// Velnara.exe run from a script: its exit status, and what it wrote to
// standard output and error.
DWORD RunVelnara(const std::string& arguments, std::string* output = nullptr) {
  DWORD status = 0xDEAD;
  std::string problem;
  EXPECT_TRUE(RunCaptured("\"" + ToWindowsPath(gProgramPath) + "\" " + arguments, &status, output,
                          &problem))
      << problem;
  return status;
}

// What /list says of the names held for other hardware on the sample.
constexpr char kHeldBlock[] =
    "\r\n; Names held for other hardware\r\n"
    "; COM1   Communications Port (COM1), ACPI\\PNP0501\\1, connected\r\n"
    "; COM2   Communications Port (COM2), ACPI\\PNP0501\\2, connected\r\n"
    "; COM60  USB Serial Port (COM60), FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000, not "
    "connected\r\n"
    "; COM61  USB Data Fax Modem (COM61), USB\\VID_0572&PID_1329\\5&2a3b4c5d&0&2, connected\r\n";

// Every value of the gone adapter's keys, one line each.
std::string AdapterKeys() {
  const std::string key =
      "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000";
  std::string values;
  for (const std::string& path : {key, key + "\\Device Parameters"}) {
    for (const std::string& name : ValueNames(path)) {
      values += path + " " + name + "=" + ReadValue(path, name) + "\n";
    }
  }
  return values;
}

// The newest file a Save left, as /list /backups gives it.
std::string NewestBackup() {
  std::string listed;
  EXPECT_EQ(RunVelnara("/list /backups", &listed), 0u);
  return listed.substr(0, listed.find('\r'));
}

constexpr char kRebootQuestion[] = "The System must be rebooted.\n\nDo you want to Reboot now ?";
constexpr char kCompleted[] =
    "Velnara Successfully Completed.\n\nDrivers will be active from next Reboot";

// The tests that write: each starts from the sample machine put back.
class Committing : public SampleMachine {
 protected:
  void SetUp() override {
    state_.Reset();
    if (HasFatalFailure()) return;
    SampleMachine::SetUp();
  }

  void Rename(const std::string& from, const std::string& to) {
    const HWND rename = OpenRenameDialog(from);
    ASSERT_NE(rename, nullptr);
    ChooseName(rename, to);
    ASSERT_TRUE(Eventually([&] { return FindTreeNode(ReadPortTree(), to) != nullptr; }))
        << "the tree never showed " << to;
  }

  // Presses Save and waits for its walk to end: Save disables itself last.
  void Save() {
    ASSERT_TRUE(ClickButton(dialog_, kSaveId));
    ASSERT_TRUE(Eventually([this] { return ButtonState(dialog_, kSaveId) == "visible, disabled"; }))
        << OpenBoxNote();
  }

  DWORD WaitForEnd() {
    DWORD status = 0xDEAD;
    EXPECT_TRUE(program_.WaitForExit(kUiMs, &status)) << "the program did not end" << OpenBoxNote();
    return status;
  }

  // After a Save, leaving asks for the restart: No, then the completion
  // message, and the program ends with 0.
  void DeclineTheRestartAndEnd() {
    EXPECT_EQ(AnswerMessageBox(IDNO), kRebootQuestion);
    EXPECT_EQ(AnswerMessageBox(IDOK), kCompleted);
    EXPECT_EQ(WaitForEnd(), 0u);
  }

  void ExpectPort(const std::string& startup, const std::string& name) const {
    state_.ExpectPort(startup, name);
  }
  static std::vector<int> Numbers(int first, int last, std::vector<int> without = {},
                                  std::vector<int> with = {}) {
    return SampleState::Numbers(first, last, std::move(without), std::move(with));
  }

  static constexpr const char* kPortSettings = SampleState::kPortSettings;
  SampleState state_;
};

// The command line, on the same machine: nobody clicks.
class Unattended : public testing::Test {
 protected:
  void SetUp() override { state_.Reset(); }
  static std::string WriteMap(const std::string& text) {
    const std::string path = "C:\\velnara-e2e\\names.txt";
    CreateDirectoryA("C:\\velnara-e2e", nullptr);
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    EXPECT_TRUE(file != INVALID_HANDLE_VALUE &&
                WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    CloseHandle(file);
    return path;
  }
  SampleState state_;
};

using ApplicationShell = SampleMachine;
using Discovery = SampleMachine;
using Renaming = SampleMachine;

// --- Application shell ---------------------------------------------------

TEST_F(ApplicationShell, MainDialogOffersOnlyExitUntilAPortIsRenamed) {
  EXPECT_EQ(ReadClassName(dialog_), "#32770");
  EXPECT_TRUE(IsWindowEnabled(dialog_));

  struct Button {
    int id;
    const char* text;
    const char* state;
  };
  const Button buttons[] = {
      {IDOK, "Exit", "visible, enabled"},
      {kSaveId, "Save", "visible, disabled"},
      {kResetId, "Reset", "visible, disabled"},
      // Exists only so that the cancel command has a control id.
      {IDCANCEL, "Exit - Don't Save", "hidden, disabled"},
  };
  for (const Button& button : buttons) {
    SCOPED_TRACE(button.text);
    EXPECT_EQ(ReadWindowText(GetDlgItem(dialog_, button.id)), button.text);
    EXPECT_EQ(ButtonState(dialog_, button.id), button.state);
  }
  EXPECT_EQ(EndWithCancelCommand(), 0u);
}

TEST_F(ApplicationShell, AboutCommandOpensTheAboutBoxModallyWhateverItsLowBits) {
  // The system keeps the low four bits of a command for itself.
  for (const WPARAM command : {kAboutCommand, kAboutCommand | 0xF}) {
    SCOPED_TRACE("WM_SYSCOMMAND " + std::to_string(command));
    ASSERT_TRUE(PostMessageA(dialog_, WM_SYSCOMMAND, command, 0));
    const HWND about = program_.WaitForWindow(kAboutCaption, kUiMs);
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_EQ(GetWindow(about, GW_OWNER), dialog_);
    EXPECT_FALSE(IsWindowEnabled(dialog_)) << "the main dialog takes input under its About box";
    const std::vector<std::string> texts = ChildTexts(about);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Velnara Version 2.03"), texts.end())
        << "About box texts: " << testing::PrintToString(texts);

    ASSERT_TRUE(ClickButton(about, IDOK));
    ASSERT_TRUE(Destroyed(about)) << "the About box stayed open after OK";
    EXPECT_TRUE(Eventually([this] { return IsWindowEnabled(dialog_) != FALSE; }));
  }
  EXPECT_FALSE(MessageBoxShown()) << OpenBoxNote();
  EXPECT_EQ(EndWithCancelCommand(), 0u);
}

// --- Discovery -----------------------------------------------------------

TEST_F(Discovery, SampleMachineShowsEachCardWithItsPortsInIndexOrder) {
  EXPECT_EQ(Outline(ReadPortTree()), ExpectedOutline());
  EXPECT_FALSE(MessageBoxShown()) << OpenBoxNote();
  EXPECT_EQ(EndWithCancelCommand(), 0u);
}

// --- Renaming ------------------------------------------------------------

TEST_F(Renaming, AcceptedNameBecomesThePortsTextAndEnablesSaveAndReset) {
  const HWND rename = OpenRenameDialog("COM5");
  ASSERT_NE(rename, nullptr);
  ExpectRenameDialogOffers(rename, "COM5", 4);
  ChooseName(rename, "COM47");
  ASSERT_FALSE(HasFatalFailure());

  ExpectTreeBecomes(ExpectedOutline({{"COM5", "COM47"}}));
  EXPECT_EQ(ButtonState(dialog_, kSaveId), "visible, enabled");
  EXPECT_EQ(ButtonState(dialog_, kResetId), "visible, enabled");

  // COM5 now lives only in the first port's record: it is free for another.
  const HWND second = OpenRenameDialog("COM6");
  ASSERT_NE(second, nullptr);
  ChooseName(second, "COM5");
  ASSERT_FALSE(HasFatalFailure());
  ExpectTreeBecomes(ExpectedOutline({{"COM5", "COM47"}, {"COM6", "COM5"}}));

  EXPECT_FALSE(MessageBoxShown()) << OpenBoxNote();
  EXPECT_EQ(EndWithCancelCommand(), 0u);
}

TEST_F(Renaming, NameAnotherPortShowsIsRefusedAndTheDialogReopensOnTheOldName) {
  const HWND rename = OpenRenameDialog("COM12");
  ASSERT_NE(rename, nullptr);
  ExpectRenameDialogOffers(rename, "COM12", 11);
  ChooseName(rename, "COM3");
  ASSERT_FALSE(HasFatalFailure());

  EXPECT_EQ(AnswerMessageBox(), "Port Name 'COM3' already used by installed Tarvex 880");

  const HWND again = program_.WaitForWindow(kRenameCaption, kUiMs);
  ASSERT_NE(again, nullptr) << "the rename dialog did not reopen after the refusal";
  ExpectRenameDialogOffers(again, "COM12", 11);
  ASSERT_TRUE(ClickButton(again, IDCANCEL));
  ASSERT_TRUE(Destroyed(again)) << "the rename dialog stayed open after Cancel";

  EXPECT_EQ(Outline(ReadPortTree()), ExpectedOutline());
  EXPECT_EQ(ButtonState(dialog_, kSaveId), "visible, disabled");
  EXPECT_EQ(ButtonState(dialog_, kResetId), "visible, disabled");
  EXPECT_FALSE(MessageBoxShown()) << OpenBoxNote();
  EXPECT_EQ(EndWithCancelCommand(), 0u);
}

TEST_F(Renaming, DoubleClickOnTheRootOrABoardAsksForAPort) {
  // The tree's own handling of a double-click folds the item afterwards, so
  // the board goes first: folding the root would hide it.
  for (const char* item : {"Tarvex 880-16 (Other ports)", "PCI Bus"}) {
    SCOPED_TRACE(item);
    DoubleClickItem(item);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(AnswerMessageBox(), "Please DoubleClick a Port");
    EXPECT_TRUE(FindTopLevelWindows(program_.processId(), nullptr, kRenameCaption).empty())
        << "a rename dialog opened for a non-port item";
  }
  EXPECT_EQ(ButtonState(dialog_, kSaveId), "visible, disabled");
  EXPECT_EQ(EndWithCancelCommand(), 0u);
}

// --- Committing ----------------------------------------------------------

TEST_F(Committing, ASwapAndASecondSaveReachEveryPlaceAndExitEndsWithTheCompletionMessage) {
  Rename("COM3", "COM47");
  Rename("COM4", "COM3");
  Rename("COM47", "COM4");
  Save();
  Rename("COM5", "COM48");
  Save();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(ClickButton(dialog_, IDOK));
  DeclineTheRestartAndEnd();

  ExpectPort("COM3", "COM4");
  ExpectPort("COM4", "COM3");
  ExpectPort("COM5", "COM48");
  ExpectPort("COM6", "COM6");
  EXPECT_EQ(ReadValue(kPortSettings, "COM5:"), "<none>");
  EXPECT_EQ(ClaimedNumbers(), Numbers(1, 46, {5}, {48}));
}

TEST_F(Committing, ResetAfterSavePutsTheStartUpNamesBackAndOffersNoRestart) {
  Rename("COM6", "COM47");
  Save();
  Rename("COM7", "COM48");  // Reset is usable again after a rename
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(ClickButton(dialog_, kResetId));
  EXPECT_EQ(AnswerMessageBox(IDYES), "Are you sure you want to lose your changes");
  ASSERT_TRUE(Eventually([this] { return ButtonState(dialog_, kResetId) == "visible, disabled"; }));
  ExpectTreeBecomes(ExpectedOutline());
  ASSERT_TRUE(ClickButton(dialog_, IDOK));
  EXPECT_EQ(WaitForEnd(), 0u);
  EXPECT_FALSE(MessageBoxShown());

  ExpectPort("COM6", "COM6");
  ExpectPort("COM7", "COM7");
  EXPECT_EQ(ReadValue(kPortSettings, "COM47:"), "<none>");
  EXPECT_EQ(ClaimedNumbers(), Numbers(1, 46));
}

// A connected device's name is refused with a box that names it; a number
// the database claims for no device Windows lists is asked about, and Yes
// then Save writes it everywhere.
TEST_F(Committing, ANameHeldElsewhereNamesItsHolderAndOneOfNoDeviceMayBeTaken) {
  const std::string claims =
      "COM name database claims Port '%s' is used by (or reserved for) other serial port "
      "hardware\nThe port concerned will not appear in the VELNARA list\n\n";
  const auto claimed = [&](const std::string& name, const std::string& lines) {
    std::string text = claims;
    return text.replace(text.find("%s"), 2, name) + lines;
  };
  HWND rename = OpenRenameDialog("COM3");
  ASSERT_NE(rename, nullptr);
  ChooseName(rename, "COM61");
  EXPECT_EQ(AnswerMessageBox(IDOK),
            claimed("COM61",
                    "USB Data Fax Modem (COM61), USB\\VID_0572&PID_1329\\5&2a3b4c5d&0&2, "
                    "connected"));
  rename = program_.WaitForWindow(kRenameCaption, kUiMs);
  ASSERT_NE(rename, nullptr) << "the rename dialog did not reopen";
  // A program reserved COM62 meanwhile: the check reads the database anew.
  std::string bitmap = ReadValue("SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter", "ComDB");
  bitmap[61 / 8] = static_cast<char>(bitmap[61 / 8] | 1 << (61 % 8));
  HKEY arbiter = nullptr;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter", 0,
                    KEY_SET_VALUE, &arbiter),
      ERROR_SUCCESS);
  RegSetValueExA(arbiter, "ComDB", 0, REG_BINARY, reinterpret_cast<const BYTE*>(bitmap.data()),
                 static_cast<DWORD>(bitmap.size()));
  RegCloseKey(arbiter);
  ChooseName(rename, "COM62");
  EXPECT_EQ(AnswerMessageBox(IDYES),
            claimed("COM62",
                    "Claimed for no device that Windows lists.\n\nNo connected device "
                    "uses COM62. Give COM62 to this port anyway?"));
  ASSERT_TRUE(Eventually([&] { return FindTreeNode(ReadPortTree(), "COM62") != nullptr; }));
  Save();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(PostCommand(dialog_, IDCANCEL));
  DeclineTheRestartAndEnd();
  ExpectPort("COM3", "COM62");
  EXPECT_EQ(ClaimedNumbers(), Numbers(1, 46, {3}, {62}));
}

// While the dialog holds the machine, /apply waits for it and gives up
// with 1618, writing nothing.
TEST_F(Committing, ApplyWhileTheDialogIsOpenWaitsAndWritesNothing) {
  const std::string before = MachineSnapshot();
  std::string said;
  const DWORD started = GetTickCount();
  EXPECT_EQ(RunVelnara("/apply COM5=COM47", &said), 1618u);
  EXPECT_GE(GetTickCount() - started, 29000u) << "it waited";
  EXPECT_NE(said.find("Another Velnara still runs: nothing was written. Try again later."),
            std::string::npos)
      << said;
  EXPECT_EQ(MachineSnapshot(), before);
  EXPECT_EQ(EndWithCancelCommand(), 0u);
}

// Another process watches a port device key's list while Saves write its
// FriendlyName: the Administrators may set values for the moment, nobody
// else ever gains anything, and afterwards the list is the one before.
TEST_F(Committing, APortKeyIsOpenedToNoOneButTheAdministrators) {
  struct Watch {
    std::string key;
    volatile LONG stop = 0;
    std::set<std::string> seen;
  } watch;
  watch.key = state_.KeyOf("COM5");
  const std::string before = DaclSddl(watch.key);
  const HANDLE watcher = CreateThread(
      nullptr, 0,
      [](LPVOID context) -> DWORD {
        auto* w = static_cast<Watch*>(context);
        // A read that meets the list being stored fails now and then
        // under Wine; the next one reads it.
        while (InterlockedCompareExchange(&w->stop, 0, 0) == 0) {
          const std::string sddl = DaclSddl(w->key);
          if (sddl != "<unreadable>") w->seen.insert(sddl);
        }
        return 0;
      },
      &watch, 0, nullptr);
  ASSERT_NE(watcher, nullptr);
  std::string from = "COM5";
  for (const char* to : {"COM47", "COM48", "COM49", "COM50", "COM51"}) {
    Rename(from, to);
    Save();
    from = to;
  }
  InterlockedExchange(&watch.stop, 1);
  WaitForSingleObject(watcher, 10000);
  CloseHandle(watcher);
  ASSERT_FALSE(HasFatalFailure());
  sim::Dacl original;
  ASSERT_TRUE(sim::ParseSddlDacl(before, &original)) << before;
  const auto hadBefore = [&](const sim::Ace& ace) {
    return std::any_of(original.aces.begin(), original.aces.end(), [&](const sim::Ace& had) {
      return had.sid == ace.sid && had.mask == ace.mask && had.allow == ace.allow;
    });
  };
  bool administratorsMaySet = false;
  for (const std::string& sddl : watch.seen) {
    sim::Dacl dacl;
    ASSERT_TRUE(sim::ParseSddlDacl(sddl, &dacl)) << sddl;
    for (const sim::Ace& ace : dacl.aces) {
      if (ace.sid != sim::kSidAdministrators) {
        EXPECT_TRUE(hadBefore(ace)) << "nobody else gains anything: " << sddl;
        continue;
      }
      // Read as before, and at most the right to set values beside it.
      EXPECT_TRUE(ace.mask == 0x20019u || ace.mask == 0x2u || ace.mask == 0x2001Bu) << sddl;
      if ((ace.mask & 0x2) != 0) administratorsMaySet = true;
    }
  }
  EXPECT_TRUE(administratorsMaySet) << "the window was never seen among " << watch.seen.size();
  EXPECT_EQ(DaclSddl(watch.key).substr(DaclSddl(watch.key).find('(')),
            before.substr(before.find('(')));
  ASSERT_TRUE(PostCommand(dialog_, IDCANCEL));
  DeclineTheRestartAndEnd();
}

// Save a swap and a rename, leave, then put the file the Save left back.
TEST_F(Committing, TheFileASaveLeavesPutsEveryNameBack) {
  const std::string before = MachineSnapshot();
  Rename("COM3", "COM47");
  Rename("COM4", "COM3");
  Rename("COM47", "COM4");
  Rename("COM5", "COM48");
  Save();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(PostCommand(dialog_, IDCANCEL));
  DeclineTheRestartAndEnd();
  ExpectPort("COM3", "COM4");
  ASSERT_NE(MachineSnapshot(), before);

  const std::string kept = NewestBackup();
  EXPECT_NE(ReadFileText(kept).find("\r\nPCI 2.9.0 port 1 = COM3\r\n"), std::string::npos) << kept;
  EXPECT_EQ(RunVelnara("/apply \"" + kept + "\""), 3010u);
  EXPECT_EQ(MachineSnapshot(), before);
}

// --- Unattended ------------------------------------------------------------

// List, edit (a swap, and a rename by the name the port has), check, apply,
// apply again, and put the names back from the file the apply left.
TEST_F(Unattended, ListEditCheckApplyApplyAgainAndPutBack) {
  std::string listed;
  ASSERT_EQ(RunVelnara("/list", &listed), 0u);
  // Five cards, their ports, and the names held for other hardware.
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 5 + 44 + 4 + 6) << listed;
  EXPECT_NE(listed.find(kHeldBlock), std::string::npos) << listed;
  const std::string first =
      "; Tarvex 880-4 RJ45\r\nPCI 2.9.0 port 1 = COM3\r\n"
      "PCI 2.9.0 port 2 = COM4\r\nPCI 2.9.0 port 3 = COM5\r\n";
  ASSERT_EQ(listed.find(first), 0u) << listed;
  const std::string before = MachineSnapshot();
  EXPECT_EQ(RunVelnara("/apply " + WriteMap(listed)), 0u) << "the list applied changes nothing";

  const std::string map = WriteMap(
      "PCI 2.9.0 port 1 = COM4\r\nPCI 2.9.0 port 2 = COM3\r\n"
      "COM5 = COM47\r\n" +
      listed.substr(first.size()));
  std::string said;
  EXPECT_EQ(RunVelnara("/check " + map, &said), 0u);
  EXPECT_NE(said.find("3 ports would change; nothing was written."), std::string::npos) << said;
  EXPECT_EQ(MachineSnapshot(), before);

  EXPECT_EQ(RunVelnara("/apply " + map + " /log C:\\velnara-e2e\\velnara.log"), 3010u);
  state_.ExpectPort("COM3", "COM4");
  state_.ExpectPort("COM4", "COM3");
  state_.ExpectPort("COM5", "COM47");
  state_.ExpectPort("COM6", "COM6");
  EXPECT_EQ(ClaimedNumbers(), SampleState::Numbers(1, 46, {5}, {47}));
  EXPECT_NE(ReadFileText("C:\\velnara-e2e\\velnara.log").find("Exit status 3010."),
            std::string::npos);
  EXPECT_EQ(RunVelnara("/apply " + map), 0u);

  EXPECT_EQ(RunVelnara("/apply \"" + NewestBackup() + "\""), 3010u);
  EXPECT_EQ(MachineSnapshot(), before);
}

// The map of a PC from another whose cards sit elsewhere, a name of another
// device of Windows, a connected device's name, the gone adapter's without
// and with /reclaim: refused ones leave the machine as it was.
TEST_F(Unattended, NamesOfOtherDevicesAreRefusedAndAGoneAdaptersIsTakenOnlyWhenAsked) {
  const std::string before = MachineSnapshot();
  const std::string adapter = AdapterKeys();
  std::string said;
  EXPECT_EQ(RunVelnara("/apply COM5=LPT1", &said), 183u);
  EXPECT_NE(said.find("\"LPT1\" is reserved by Windows for another device"), std::string::npos)
      << said;
  EXPECT_EQ(RunVelnara("/apply COM5=FILE", &said), 183u);
  EXPECT_EQ(RunVelnara("/apply COM5=COM61", &said), 183u);
  EXPECT_NE(said.find("\"COM61\" is used by other serial port hardware: USB Data Fax Modem "
                      "(COM61), USB\\VID_0572&PID_1329\\5&2a3b4c5d&0&2, connected"),
            std::string::npos)
      << said;
  EXPECT_EQ(RunVelnara("/apply COM5=COM61 /reclaim", &said), 183u) << "connected: never";
  EXPECT_EQ(RunVelnara("/apply COM5=COM60", &said), 183u);
  EXPECT_NE(said.find("the COM port database holds \"COM60\" for other serial port hardware: "
                      "USB Serial Port (COM60), FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000, not "
                      "connected (/reclaim takes it)"),
            std::string::npos)
      << said;
  EXPECT_EQ(MachineSnapshot(), before);

  EXPECT_EQ(RunVelnara("/apply COM5=COM60 /reclaim", &said), 3010u) << said;
  state_.ExpectPort("COM5", "COM60");
  state_.ExpectPort("COM6", "COM6");
  EXPECT_EQ(ClaimedNumbers(), SampleState::Numbers(1, 46, {5}, {60}));
  EXPECT_EQ(AdapterKeys(), adapter) << "the adapter's keys are not written";
}

// Two /apply runs started together, each naming another port the same
// name: one writes, the other waits for it and is checked against what it
// wrote (or, were the first slow, gives up with 1618). Never two ports of
// one name.
TEST_F(Unattended, TwoApplyRunsStartedTogetherNeverGiveOneNameToTwoPorts) {
  const std::string program = "\"" + ToWindowsPath(gProgramPath) + "\" /apply ";
  for (int round = 0; round < 10; ++round) {
    const std::string name = "COM" + std::to_string(47 + round);
    SCOPED_TRACE(name);
    CapturedRun runs[2];
    std::string problem;
    for (int i = 0; i < 2; ++i) {
      const std::string port = "COM" + std::to_string(3 + 2 * round + i);
      ASSERT_TRUE(runs[i].Start(program + port + "=" + name, &problem)) << problem;
    }
    DWORD statuses[2] = {0xDEAD, 0xDEAD};
    std::string said[2];
    for (int i = 0; i < 2; ++i) {
      EXPECT_TRUE(runs[i].Wait(60000, &statuses[i], &said[i], &problem)) << problem;
    }
    std::vector<DWORD> sorted(std::begin(statuses), std::end(statuses));
    std::sort(sorted.begin(), sorted.end());
    EXPECT_TRUE(sorted == (std::vector<DWORD>{183, 3010}) ||
                sorted == (std::vector<DWORD>{1618, 3010}))
        << statuses[0] << " " << said[0] << "\n"
        << statuses[1] << " " << said[1];
    // Each port device key is a line of the snapshot.
    const std::string snapshot = MachineSnapshot();
    const std::string portName = " PortName=" + name + std::string(1, '\0') + " ";
    std::size_t named = 0;
    for (std::size_t at = snapshot.find(portName); at != std::string::npos;
         at = snapshot.find(portName, at + 1)) {
      ++named;
    }
    EXPECT_EQ(named, 1u);
    int serial = 0;
    for (const std::string& value : ValueNames(SampleState::kSerialMap)) {
      serial += ReadValue(SampleState::kSerialMap, value) == name + std::string(1, '\0');
    }
    EXPECT_EQ(serial, 1) << "the serial device map holds " << name << " once";
  }
}

// From a batch file as the README writes it: the program called directly,
// its files written, %ERRORLEVEL% its status, and no window anywhere (a box
// would hold the batch file until the timeout ended it).
TEST_F(Unattended, ABatchFileGetsTheFilesAndTheStatusAndNoWindow) {
  const std::string folder = "C:\\velnara-e2e\\batch";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const char* name : {"\\ports.txt", "\\redirected.txt", "\\velnara.log"}) {
    DeleteFileA((folder + name).c_str());
  }
  const std::string program = "\"" + ToWindowsPath(gProgramPath) + "\"";
  const std::string batch = WriteMap(
      "@echo off\r\n" + program + " /list /out " + folder +
      "\\ports.txt\r\n"
      "echo list-out %ERRORLEVEL%\r\n" +
      program + " /list > " + folder +
      "\\redirected.txt\r\n"
      "echo list-redirected %ERRORLEVEL%\r\n" +
      program + " /apply COM5=COM47 /log " + folder +
      "\\velnara.log\r\nif %ERRORLEVEL%==3010 echo Names written; they take effect after the "
      "restart.\r\n");
  const std::string script = folder + "\\names.bat";
  ASSERT_TRUE(MoveFileExA(batch.c_str(), script.c_str(), MOVEFILE_REPLACE_EXISTING));
  DWORD status = 0xDEAD;
  std::string said;
  std::string problem;
  ASSERT_TRUE(RunCaptured("cmd.exe /c " + script, &status, &said, &problem, 120000)) << problem;
  EXPECT_NE(said.find("list-out 0\r\nlist-redirected 0\r\n"), std::string::npos) << said;
  EXPECT_NE(said.find("1 port renamed; the names take effect when Windows starts again.\r\n"
                      "Names written; they take effect after the restart."),
            std::string::npos)
      << said;
  const std::string listed = ReadFileText(folder + "\\ports.txt");
  EXPECT_EQ(listed.rfind("; Tarvex 880-4 RJ45\r\nPCI 2.9.0 port 1 = COM3\r\n", 0), 0u) << listed;
  EXPECT_EQ(ReadFileText(folder + "\\redirected.txt"), listed);
  EXPECT_NE(ReadFileText(folder + "\\velnara.log").find("Exit status 3010.\r\n"),
            std::string::npos);
  state_.ExpectPort("COM5", "COM47");
}

TEST_F(Unattended, ARefusedMapLeavesTheMachineAsItWas) {
  const std::string before = MachineSnapshot();
  std::string said;
  EXPECT_EQ(RunVelnara("/apply " + WriteMap("COM3 = COM47\r\nPCI 2.9.0 port 9 = COM48\r\n"), &said),
            13u);
  EXPECT_NE(said.find("line 2: no port is at PCI 2.9.0 port 9"), std::string::npos) << said;
  EXPECT_EQ(RunVelnara("/apply COM3=COM1", &said), 183u);
  EXPECT_NE(said.find("\"COM1\" for other serial port hardware"), std::string::npos) << said;
  EXPECT_EQ(MachineSnapshot(), before);
}

// --- Ended at a write -------------------------------------------------------

// Where Wine keeps the journal of a walk: the common application data folder.
constexpr char kJournal[] = "C:\\ProgramData\\Velnara\\journal.txt";

bool JournalThere() {
  return GetFileAttributesA(kJournal) != INVALID_FILE_ATTRIBUTES;
}

// `count` points from 0 to `writes` - 1, the first and the last among them.
std::vector<std::size_t> Spread(std::size_t writes, std::size_t count) {
  std::vector<std::size_t> points;
  for (std::size_t i = 0; i < count; ++i) points.push_back(i * (writes - 1) / (count - 1));
  points.erase(std::unique(points.begin(), points.end()), points.end());
  return points;
}

// A rotation of three ports, a swap of two and a move to a free name, by
// /apply ended before its K-th write; the next /apply (the ports named by
// their addresses, so that a map applied again changes nothing) puts every
// port right and says what it found.
TEST_F(Unattended, AnApplyEndedAtAnyWriteIsPutRightByTheNextStart) {
  const std::string apply = "\"" + ToWindowsPath(gProgramPath) +
                            "\" /apply PCI2.9.0port1=COM4 PCI2.9.0port2=COM5 PCI2.9.0port3=COM3 "
                            "PCI2.9.0port4=COM7 PCI2.11.0port1=COM6 PCI2.11.0port2=COM50";
  bool killed = false;
  std::size_t writes = 0;
  std::string problem;
  ASSERT_TRUE(RunKilledAt(apply, static_cast<std::size_t>(-1), &killed, &writes, &problem))
      << problem;
  ASSERT_FALSE(killed);
  ASSERT_GT(writes, 40u);
  for (const std::size_t kill : Spread(writes, 12)) {
    SCOPED_TRACE("killed before write " + std::to_string(kill) + " of " + std::to_string(writes));
    state_.Reset();
    std::size_t begun = 0;
    ASSERT_TRUE(RunKilledAt(apply, kill, &killed, &begun, &problem)) << problem;
    ASSERT_TRUE(killed);
    const bool journaled = JournalThere();
    // Ended after its journal went: nothing is left to do.
    const bool finished = !journaled && ReadValue(state_.KeyOf("COM3") + "\\Device Parameters",
                                                  "PortName") == std::string("COM4") + '\0';
    std::string said;
    EXPECT_EQ(RunVelnara(apply.substr(apply.find("/apply")), &said), finished ? 0u : 3010u) << said;
    std::printf("/apply ended before write %zu of %zu: %s\n", kill, writes,
                journaled ? said.substr(0, said.find('\r')).c_str() : "no journal yet");
    EXPECT_EQ(said.find(" was interrupted ") != std::string::npos, journaled) << said;
    for (const auto& [from, to] : std::map<std::string, std::string>{{"COM3", "COM4"},
                                                                     {"COM4", "COM5"},
                                                                     {"COM5", "COM3"},
                                                                     {"COM6", "COM7"},
                                                                     {"COM7", "COM6"},
                                                                     {"COM8", "COM50"},
                                                                     {"COM9", "COM9"}}) {
      state_.ExpectPort(from, to);
    }
    EXPECT_EQ(ClaimedNumbers(), SampleState::Numbers(1, 46, {8}, {50}));
    EXPECT_FALSE(JournalThere());
  }
}

// A dialog Save of a swap ended at its first write, in its middle and at
// its last: the next start of the dialog says what it found and shows the
// ports whole, as they were before the Save or as it left them.
class EndedSave : public Committing {
 protected:
  void SetUp() override { state_.Reset(); }

  // The dialog started under the debugger, the swap chosen, and Save
  // pressed with the kill `kill` writes on; the writes the Save began.
  std::size_t SaveEndedAt(std::size_t kill, bool* killed) {
    WriteKiller killer;
    std::string problem;
    EXPECT_TRUE(killer.Start("\"" + ToWindowsPath(gProgramPath) + "\"", &problem)) << problem;
    EXPECT_TRUE(program_.Attach(killer.processId()));
    dialog_ = program_.WaitForWindow(kMainCaption, kStartMs);
    tree_ = dialog_ != nullptr ? GetDlgItem(dialog_, kTreeId) : nullptr;
    std::size_t before = 0;
    if (tree_ != nullptr) {
      Rename("COM3", "COM47");
      Rename("COM4", "COM3");
      Rename("COM47", "COM4");
      before = killer.Writes();
      killer.KillAfter(kill);
      EXPECT_TRUE(ClickButton(dialog_, kSaveId));
      if (kill == static_cast<std::size_t>(-1)) {
        Eventually([this] { return ButtonState(dialog_, kSaveId) == "visible, disabled"; });
        PostCommand(dialog_, IDCANCEL);
        AnswerMessageBox(IDNO);
        AnswerMessageBox(IDOK);
      }
    }
    DWORD status = 0;
    EXPECT_TRUE(killer.Wait(60000, killed, &status, &problem)) << problem;
    program_.Release();
    return killer.Writes() - before;
  }
};

TEST_F(EndedSave, TheNextStartOfTheDialogPutsEveryPortRight) {
  bool killed = false;
  const std::size_t writes = SaveEndedAt(static_cast<std::size_t>(-1), &killed);
  ASSERT_FALSE(killed);
  ASSERT_GT(writes, 15u);
  for (const std::size_t kill : Spread(writes, 3)) {
    SCOPED_TRACE("killed before write " + std::to_string(kill) + " of " + std::to_string(writes));
    state_.Reset();
    SaveEndedAt(kill, &killed);
    ASSERT_TRUE(killed);
    const bool journaled = JournalThere();
    std::printf("Save ended before write %zu of %zu, journal %s\n", kill, writes,
                journaled ? "there" : "not yet there");
    ASSERT_TRUE(program_.Start(gProgramPath));
    dialog_ = nullptr;
    if (journaled) {
      const HWND box = program_.WaitForMessageBox(kBoxCaption, nullptr, kStartMs);
      ASSERT_NE(box, nullptr) << "no box of what the start found";
      EXPECT_NE(MessageBoxText(box).find(" was interrupted "), std::string::npos)
          << MessageBoxText(box);
      ASSERT_TRUE(ClickButton(box, IDOK));
    }
    dialog_ = program_.WaitForWindow(kMainCaption, kStartMs);
    ASSERT_NE(dialog_, nullptr);
    tree_ = GetDlgItem(dialog_, kTreeId);
    // Whole, before the Save (put back) or after it (it had finished).
    const bool saved = ReadValue(state_.KeyOf("COM3") + "\\Device Parameters", "PortName") ==
                       std::string("COM4") + '\0';
    ExpectTreeBecomes(ExpectedOutline(
        saved ? std::map<std::string, std::string>{{"COM3", "COM4"}, {"COM4", "COM3"}}
              : std::map<std::string, std::string>{}));
    ExpectPort("COM3", saved ? "COM4" : "COM3");
    ExpectPort("COM4", saved ? "COM3" : "COM4");
    EXPECT_FALSE(JournalThere());
    ASSERT_TRUE(PostCommand(dialog_, IDCANCEL));
    if (journaled) {
      EXPECT_EQ(AnswerMessageBox(IDNO), kRebootQuestion);
      EXPECT_EQ(AnswerMessageBox(IDOK), kCompleted);
    }
    EXPECT_EQ(WaitForEnd(), 0u);
    program_.Release();
  }
}

}  // namespace
}  // namespace velnara::wine_test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc > 1) velnara::wine_test::gProgramPath = argv[1];
  if (argc > 2) velnara::wine_test::gSamplePath = argv[2];
  return RUN_ALL_TESTS();
}

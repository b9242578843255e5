// The headless window system running dialog classes of the framework on the
// program's own templates while a script plays the user.
#include "platform/sim/sim_window_system.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog.h"
#include "ui/resource.h"

namespace velnara::platform::sim {
namespace {

constexpr std::uint32_t kNmClick = 0xFFFFFFFEu;  // NM_CLICK (-2)
constexpr std::uint32_t kBnDoubleClicked = 5;
constexpr std::uintptr_t kScMinimize = 0xF020, kScClose = 0xF060, kScRestore = 0xF120;

std::uintptr_t CommandParam(int id, std::uint32_t code) {
  return static_cast<std::uintptr_t>(code) << 16 | static_cast<std::uint16_t>(id);
}

// A tree view object that receives its own window's messages.
class ColourTree : public TreeView {
 public:
  explicit ColourTree(std::vector<std::string>* log) : log_(log) {}

 protected:
  bool ReceivesOwnMessages() const override { return true; }
  bool OnMessage(const Message& message, std::intptr_t* result) override {
    if (message.message == wm::kCtlColorEdit) {
      *result = 0x1234;
      return true;
    }
    if (message.message == wm::kDestroy) log_->push_back("tree destroyed");
    return false;
  }

 private:
  std::vector<std::string>* log_;
};

// A dialog on any of the program's templates: one handler of each kind in
// its message table, hooks for what a test needs done, and a log of what
// reached it. Controls missing from a template stay unbound.
class ProbeDialog : public Dialog {
 public:
  ProbeDialog(WindowSystem& windows, int templateId) : Dialog(windows, templateId) {}

  WindowHandle Item(int id) const { return GetItem(id); }

  std::vector<std::string> log;
  Button save;
  ComboBox names;
  ColourTree tree{&log};
  bool focusOnInit = true;
  std::function<void(ProbeDialog&)> onInit;
  std::function<void(ProbeDialog&)> onSave;

 protected:
  void DoDataExchange(DataExchange& dx) override {
    dx.Bind(IDC_SAVE, save);
    dx.Bind(IDC_NEW_NAME, names);
    dx.Bind(IDC_PORT_TREE, tree);
  }
  bool OnInitDialog() override {
    Dialog::OnInitDialog();
    if (onInit) onInit(*this);
    return focusOnInit;
  }
  void OnOK() override {
    log.push_back("ok");
    Dialog::OnOK();
  }
  void OnCancel() override {
    log.push_back("cancel");
    Dialog::OnCancel();
  }
  bool ProcessMessageTable(const Message& message, std::intptr_t* result) override;

 private:
  void OnSave() {
    log.push_back("save");
    if (onSave) onSave(*this);
  }
  void OnTreeDoubleClick(const NotifyHeader& header, std::intptr_t* result) {
    log.push_back("double-click " + std::to_string(header.idFrom));
    *result = 0;
  }
  bool OnSysCommand(const Message& message, std::intptr_t* result) {
    if ((message.wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
    log.push_back("about");
    *result = 0;
    return true;
  }
  bool OnDestroy(const Message& /*message*/, std::intptr_t* /*result*/) {
    log.push_back("dialog destroyed");
    return false;
  }

  static const MessageEntry<ProbeDialog> kTable[];
};

const MessageEntry<ProbeDialog> ProbeDialog::kTable[] = {
    CommandHandler(notify::kButtonClicked, IDC_SAVE, &ProbeDialog::OnSave),
    NotifyHandler(notify::kDoubleClick, IDC_PORT_TREE, &ProbeDialog::OnTreeDoubleClick),
    MessageHandler(wm::kSysCommand, &ProbeDialog::OnSysCommand),
    MessageHandler(wm::kDestroy, &ProbeDialog::OnDestroy),
};

bool ProbeDialog::ProcessMessageTable(const Message& message, std::intptr_t* result) {
  return DispatchMessageTable(*this, kTable, message, result);
}

using Log = std::vector<std::string>;

class SimWindowSystemTest : public ::testing::Test {
 protected:
  ~SimWindowSystemTest() override { windows.SetMainWindow(nullptr); }

  void ExpectCleanRun() {
    for (const std::string& problem : windows.errors()) ADD_FAILURE() << problem;
    EXPECT_TRUE(windows.ScriptDone());
  }
  // The errors met, each expected to contain one of `parts`, in order.
  void ExpectErrors(const std::vector<std::string>& parts) {
    ASSERT_EQ(windows.errors().size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_NE(windows.errors()[i].find(parts[i]), std::string::npos) << windows.errors()[i];
    }
  }

  SimWindowSystem windows;
};

TEST_F(SimWindowSystemTest, MessageTableReachesOnlyTheHandlersItBinds) {
  ProbeDialog dialog(windows, IDD_VELNARA_DIALOG);
  windows.Then("send", [&](SimUser& user) {
    const WindowHandle self = user.dialog();
    const WindowHandle save = dialog.Item(IDC_SAVE);
    const WindowHandle tree = dialog.Item(IDC_PORT_TREE);
    const auto from = [](WindowHandle control) { return reinterpret_cast<std::intptr_t>(control); };
    windows.SendMessage(self, wm::kCommand, CommandParam(IDC_SAVE, notify::kButtonClicked),
                        from(save));
    windows.SendMessage(self, wm::kCommand, CommandParam(IDC_SAVE, kBnDoubleClicked), from(save));
    windows.SendMessage(self, wm::kCommand, CommandParam(IDC_RESET, notify::kButtonClicked), 0);
    NotifyHeader doubleClick{tree, IDC_PORT_TREE, notify::kDoubleClick};
    NotifyHeader click{tree, IDC_PORT_TREE, kNmClick};
    NotifyHeader fromSave{save, IDC_SAVE, notify::kDoubleClick};
    for (NotifyHeader* header : {&doubleClick, &click, &fromSave}) {
      windows.SendMessage(self, wm::kNotify, header->idFrom,
                          reinterpret_cast<std::intptr_t>(header));
    }
    user.SystemCommand(IDM_ABOUTBOX | 0x3);  // the low four bits belong to the system
    // A system command the table does not take reaches the default handling.
    user.SystemCommand(kScMinimize);
    EXPECT_TRUE(windows.IsIconic(self));
  });
  windows.Then("enter", [](SimUser& user) { user.PressEnter(); });

  EXPECT_EQ(dialog.DoModal(), id::kOk);
  ExpectCleanRun();
  EXPECT_EQ(dialog.log, (Log{"save", "double-click 1002", "about", "ok", "dialog destroyed",
                             "tree destroyed"}));
}

TEST_F(SimWindowSystemTest, DataExchangeBindsControlsToTheirWindowsById) {
  ProbeDialog dialog(windows, IDD_VELNARA_DIALOG);
  windows.Then("use Save", [&](SimUser& user) {
    EXPECT_EQ(dialog.save.handle(), dialog.Item(IDC_SAVE));
    EXPECT_EQ(dialog.save.GetText(), "Save");
    EXPECT_FALSE(user.Enabled(IDC_SAVE));
    dialog.save.Enable(true);
    EXPECT_TRUE(user.Enabled(IDC_SAVE));
    EXPECT_FALSE(user.Enabled(IDC_RESET));
    user.Click(IDC_SAVE);
    EXPECT_EQ(user.FocusedId(), IDC_SAVE);
    dialog.save.Enable(false);
    EXPECT_EQ(user.FocusedId(), 0) << "a disabled control loses the focus";
    user.Click(IDC_SAVE);
    user.Click(id::kCancel);
  });
  // Without a focused button Enter goes to the first default push button.
  windows.Then("enter", [](SimUser& user) { user.PressEnter(); });

  EXPECT_EQ(dialog.DoModal(), id::kOk);
  ExpectErrors({"control 3 in 'Ostrand : Tarvex 880 - Velnara V2.03' is disabled",
                "control 2 in 'Ostrand : Tarvex 880 - Velnara V2.03' is hidden"});
  EXPECT_EQ(dialog.log, (Log{"save", "ok", "dialog destroyed", "tree destroyed"}));
}

TEST_F(SimWindowSystemTest, FocusGoesToTheFirstUsableTabStopOnlyWhenInitAsks) {
  ProbeDialog okDisabled(windows, IDD_RENAME);
  okDisabled.onInit = [this](ProbeDialog& d) { windows.EnableWindow(d.Item(id::kOk), false); };
  windows.Then("enter on Cancel", [](SimUser& user) {
    EXPECT_EQ(user.FocusedId(), id::kCancel);
    user.PressEnter();
  });
  EXPECT_EQ(okDisabled.DoModal(), id::kCancel);

  ProbeDialog keepsFocus(windows, IDD_RENAME);
  keepsFocus.focusOnInit = false;
  windows.Then("look", [](SimUser& user) {
    EXPECT_EQ(user.FocusedId(), 0);
    user.PressEnter();
  });
  EXPECT_EQ(keepsFocus.DoModal(), id::kOk);
  ExpectCleanRun();
}

TEST_F(SimWindowSystemTest, MessageBoxAnswersReachTheCaller) {
  ProbeDialog dialog(windows, IDD_VELNARA_DIALOG);
  windows.SetMainWindow(dialog.handleAddress());
  std::vector<int> answers;
  dialog.onInit = [](ProbeDialog& d) { d.save.Enable(true); };
  dialog.onSave = [&](ProbeDialog& d) {
    answers.push_back(windows.MessageBox(d.handle(), "Sure?", "Velnara", mb::kYesNo));
  };
  const auto clickSave = [](SimUser& user) { user.Click(IDC_SAVE); };
  windows.Then("save", clickSave);
  windows.Answer(id::kNo);
  windows.Then("save", clickSave);
  windows.Answer(id::kYes);
  windows.Then("save", clickSave);
  windows.Answer(id::kOk);  // not a button of a Yes/No box
  windows.Then("save", clickSave);
  windows.Then("misplaced", [](SimUser&) { ADD_FAILURE() << "a step ran as an answer"; });
  windows.Then("exit", [](SimUser& user) { user.Click(id::kOk); });

  EXPECT_EQ(dialog.DoModal(), id::kOk);
  // A box dismissed without a proper answer says No: only Yes leads on.
  EXPECT_EQ(answers, (std::vector<int>{id::kNo, id::kYes, id::kNo, id::kNo}));
  ExpectErrors({"the answer 1 is not a button for the message box 'Sure?'",
                "the step 'misplaced' met the message box 'Sure?'"});
  const std::vector<Shown>& shown = windows.transcript();
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0].kind, Shown::Kind::Dialog);
  EXPECT_FALSE(shown[0].ownedByMainWindow);
  for (std::size_t i = 1; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i].kind, Shown::Kind::MessageBox);
    EXPECT_EQ(shown[i].text, "Sure?");
    EXPECT_EQ(shown[i].caption, "Velnara");
    EXPECT_EQ(shown[i].type, mb::kYesNo);
    EXPECT_TRUE(shown[i].ownedByMainWindow);
    EXPECT_EQ(shown[i].answer, answers[i - 1]);
  }
}

TEST_F(SimWindowSystemTest, NestedDialogsTakeTheStepsWhileTheyAreOnTop) {
  ProbeDialog outer(windows, IDD_VELNARA_DIALOG);
  windows.SetMainWindow(outer.handleAddress());
  ProbeDialog inner(windows, IDD_RENAME);
  std::intptr_t innerResult = 0;
  outer.onInit = [](ProbeDialog& d) { d.save.Enable(true); };
  outer.onSave = [&](ProbeDialog&) { innerResult = inner.DoModal(); };
  windows.Then("open the rename dialog", [](SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_VELNARA_DIALOG);
    user.Click(IDC_SAVE);
  });
  windows.Then("type and leave with Escape", [](SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_RENAME);
    EXPECT_EQ(user.Caption(), "Select a new Port Name");
    user.TypeText(IDC_NEW_NAME, "COM9");
    EXPECT_EQ(user.Text(IDC_NEW_NAME), "COM9");
    user.PressEscape();
  });
  windows.Then("exit", [](SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_VELNARA_DIALOG);
    user.Click(id::kOk);
  });

  EXPECT_EQ(outer.DoModal(), id::kOk);
  ExpectCleanRun();
  EXPECT_EQ(innerResult, id::kCancel);
  EXPECT_EQ(inner.log, (Log{"cancel", "dialog destroyed"}));
  EXPECT_EQ(outer.log, (Log{"save", "ok", "dialog destroyed", "tree destroyed"}));
  const std::vector<Shown>& shown = windows.transcript();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].templateId, IDD_RENAME);
  EXPECT_TRUE(shown[1].ownedByMainWindow);
}

TEST_F(SimWindowSystemTest, AScriptThatRunsOutAbandonsTheWaitingWindows) {
  ProbeDialog outer(windows, IDD_VELNARA_DIALOG);
  ProbeDialog inner(windows, IDD_RENAME);
  std::intptr_t innerResult = 0;
  outer.onInit = [](ProbeDialog& d) { d.save.Enable(true); };
  outer.onSave = [&](ProbeDialog&) { innerResult = inner.DoModal(); };
  windows.Then("open the rename dialog", [](SimUser& user) { user.Click(IDC_SAVE); });

  EXPECT_EQ(outer.DoModal(), id::kCancel);
  EXPECT_EQ(innerResult, id::kCancel);
  ExpectErrors({"the script ran out while 'Select a new Port Name' was open",
                "the script ran out while 'Ostrand : Tarvex 880 - Velnara V2.03' was open"});
  // Abandoned: no handler ran, but the windows were destroyed as usual.
  EXPECT_EQ(inner.log, (Log{"dialog destroyed"}));
  EXPECT_EQ(outer.log, (Log{"save", "dialog destroyed", "tree destroyed"}));

  windows.Answer(id::kOk);
  ProbeDialog answered(windows, IDD_RENAME);
  EXPECT_EQ(answered.DoModal(), id::kCancel);
  EXPECT_EQ(windows.MessageBox(nullptr, "Go on?", nullptr, mb::kOkCancel), id::kCancel);
  ASSERT_EQ(windows.errors().size(), 4u);
  EXPECT_NE(windows.errors()[2].find("answer to a message box while 'Select a new Port Name'"),
            std::string::npos);
  EXPECT_NE(windows.errors()[3].find("ran out for the message box 'Go on?'"), std::string::npos);
  const Shown& box = windows.transcript().back();
  EXPECT_EQ(box.caption, "Error") << "MessageBoxA's caption when given none";
  EXPECT_EQ(box.answer, id::kCancel);
}

TEST_F(SimWindowSystemTest, SubclassedControlGetsItsOwnWindowsMessagesOnly) {
  ProbeDialog dialog(windows, IDD_VELNARA_DIALOG);
  windows.Then("colour requests", [&](SimUser& user) {
    const WindowHandle tree = dialog.tree.handle();
    ASSERT_EQ(tree, dialog.Item(IDC_PORT_TREE));
    EXPECT_EQ(windows.SendMessage(tree, wm::kCtlColorEdit, 0, 0), 0x1234);
    EXPECT_EQ(windows.SendMessage(tree, wm::kCtlColorBtn, 0, 0), 0) << "the class's own answer";
    EXPECT_EQ(windows.SendMessage(user.dialog(), wm::kCtlColorEdit, 0, 0), 0);
    user.Click(id::kOk);
  });
  EXPECT_EQ(dialog.DoModal(), id::kOk);
  ExpectCleanRun();
  // Windows destroys the dialog first, then its controls.
  EXPECT_EQ(dialog.log, (Log{"ok", "dialog destroyed", "tree destroyed"}));
}

TEST_F(SimWindowSystemTest, ComboBoxListEditFieldAndTextLimit) {
  ProbeDialog dialog(windows, IDD_RENAME);
  dialog.onInit = [](ProbeDialog& d) {
    for (const char* name : {"COM2", "COM1", "COM3"}) d.names.AddString(name);
  };
  windows.Then("use the combo box", [&](SimUser& user) {
    const ComboBox& names = dialog.names;
    EXPECT_EQ(user.ComboEntries(IDC_NEW_NAME), (std::vector<std::string>{"COM2", "COM1", "COM3"}))
        << "no sorting";
    EXPECT_EQ(names.SetCurSel(1), 1);
    EXPECT_EQ(names.GetText(), "COM1");
    EXPECT_EQ(names.SetCurSel(3), kComboError);
    EXPECT_EQ(names.GetCurSel(), kComboError);
    EXPECT_EQ(names.GetText(), "") << "an index out of range empties the edit field";
    names.SetCurSel(0);
    EXPECT_EQ(names.SetCurSel(-1), kComboError);
    EXPECT_EQ(user.Text(IDC_NEW_NAME), "");

    names.SetCurSel(2);
    EXPECT_EQ(user.Text(IDC_NEW_NAME), "COM3");
    EXPECT_EQ(user.ComboSelection(IDC_NEW_NAME), 2);
    names.LimitText(4);
    EXPECT_EQ(user.Text(IDC_NEW_NAME), "COM3");
    user.TypeText(IDC_NEW_NAME, "COM12345");
    EXPECT_EQ(names.GetText(), "COM1");
    EXPECT_EQ(user.ComboSelection(IDC_NEW_NAME), kComboError) << "typing clears the selection";
    EXPECT_EQ(user.ComboTextLimit(IDC_NEW_NAME), 4);
    names.LimitText(0);
    user.TypeText(IDC_NEW_NAME, "COM12345");
    EXPECT_EQ(names.GetText(), "COM12345");

    user.TypeText(IDC_OLD_NAME, "COM4");
    EXPECT_EQ(user.Text(IDC_OLD_NAME), "");
    user.Click(id::kOk);
  });
  EXPECT_EQ(dialog.DoModal(), id::kOk);
  ExpectErrors({"control 1003 in 'Select a new Port Name' is disabled"});
}

std::string Outline(const std::vector<TreeNode>& nodes, const std::string& indent = "") {
  std::string text;
  for (const TreeNode& node : nodes) {
    text += indent + node.text + (node.expanded ? " +" : "") + "\n";
    text += Outline(node.children, indent + "  ");
  }
  return text;
}

TEST_F(SimWindowSystemTest, TreeItemsOrderNavigationSelectionAndText) {
  ProbeDialog dialog(windows, IDD_VELNARA_DIALOG);
  windows.Then("fill and walk the tree", [&](SimUser& user) {
    const TreeView& tree = dialog.tree;
    const TreeItem root = tree.InsertItem(nullptr, nullptr, "PCI Bus");
    const TreeItem first = tree.InsertItem(root, nullptr, "B1");
    const TreeItem third = tree.InsertItem(root, nullptr, "B3");
    const TreeItem second = tree.InsertItem(root, first, "B2");
    const TreeItem port = tree.InsertItem(second, nullptr, "COM12345");
    EXPECT_EQ(Outline(user.Tree(IDC_PORT_TREE)), "PCI Bus\n  B1\n  B2\n    COM12345\n  B3\n");

    EXPECT_EQ(tree.GetRootItem(), root);
    EXPECT_EQ(tree.GetChildItem(root), first);
    EXPECT_EQ(tree.GetNextSibling(first), second);
    EXPECT_EQ(tree.GetNextSibling(second), third);
    EXPECT_EQ(tree.GetNextSibling(third), nullptr);
    EXPECT_EQ(tree.GetNextItem(second, tvgn::kPrevious), first);
    EXPECT_EQ(tree.GetNextItem(first, tvgn::kPrevious), nullptr);
    EXPECT_EQ(tree.GetNextItem(port, tvgn::kParent), second);
    EXPECT_EQ(tree.GetNextItem(root, tvgn::kParent), nullptr);
    EXPECT_TRUE(tree.HasChildren(second));
    EXPECT_FALSE(tree.HasChildren(first));
    EXPECT_EQ(tree.GetSelection(), nullptr);

    EXPECT_TRUE(tree.SetItemData(port, 42));
    EXPECT_EQ(tree.GetItemData(port), 42);
    EXPECT_EQ(tree.GetItemData(second), 0);
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_TRUE(windows.TreeGetItemText(tree.handle(), port, buffer, 4));
    EXPECT_EQ(std::string(buffer), "COM");
    EXPECT_EQ(buffer[4], 'x') << "nothing written past the capacity";

    EXPECT_FALSE(tree.Expand(first)) << "an item without children does not expand";
    EXPECT_TRUE(tree.Expand(root));
    EXPECT_TRUE(tree.SelectItem(port));
    EXPECT_EQ(tree.GetSelection(), port);
    EXPECT_EQ(Outline(user.Tree(IDC_PORT_TREE)), "PCI Bus +\n  B1\n  B2 +\n    COM12345\n  B3\n")
        << "selecting opens the branch";

    // Items of another parent, or no item at all, are refused.
    const TreeItem bogus = reinterpret_cast<TreeItem>(buffer);
    EXPECT_EQ(tree.InsertItem(bogus, nullptr, "x"), nullptr);
    EXPECT_EQ(tree.InsertItem(root, port, "x"), nullptr);
    EXPECT_FALSE(tree.SetItemText(bogus, "x"));
    EXPECT_EQ(tree.GetItemText(bogus), "");

    user.SelectTreeItem(IDC_PORT_TREE, {"PCI Bus", "B3"});
    EXPECT_EQ(tree.GetSelection(), third);
    EXPECT_EQ(user.FocusedId(), IDC_PORT_TREE);
    user.SelectTreeItem(IDC_PORT_TREE, {"PCI Bus", "B4"});
    EXPECT_EQ(tree.GetSelection(), third);
    user.DoubleClickTree(IDC_PORT_TREE);
    user.Click(id::kOk);
  });
  EXPECT_EQ(dialog.DoModal(), id::kOk);
  ExpectErrors({"select tree item: no item /PCI Bus/B4"});
  EXPECT_EQ(dialog.log.front(), "double-click 1002");
}

TEST_F(SimWindowSystemTest, CloseBoxAndCloseCommandFollowTheDialogManager) {
  ProbeDialog rename(windows, IDD_RENAME);
  windows.Then("close box", [](SimUser& user) { user.CloseBox(); });
  EXPECT_EQ(rename.DoModal(), id::kCancel);
  EXPECT_EQ(rename.log.front(), "cancel");
  ExpectCleanRun();

  // The main dialog has no close box; a close command reaching it only
  // beeps, as its IDCANCEL button is disabled. Escape still cancels.
  ProbeDialog main(windows, IDD_VELNARA_DIALOG);
  windows.Then("close", [](SimUser& user) {
    user.CloseBox();
    user.SystemCommand(kScClose);
  });
  windows.Then("still open", [](SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_VELNARA_DIALOG);
    user.PressEscape();
  });
  EXPECT_EQ(main.DoModal(), id::kCancel);
  EXPECT_TRUE(windows.ScriptDone()) << "the close command ended the dialog";
  EXPECT_EQ(main.log, (Log{"cancel", "dialog destroyed", "tree destroyed"}));
  ExpectErrors({"close box: 'Ostrand : Tarvex 880 - Velnara V2.03' has none"});
}

TEST_F(SimWindowSystemTest, IconsStringsSystemMenusAndMinimising) {
  const IconHandle icon = windows.LoadIcon(IDR_MAINFRAME);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(windows.LoadIcon(IDR_MAINFRAME), icon);
  EXPECT_EQ(windows.LoadIcon(IDR_MAINFRAME + 1), nullptr);
  EXPECT_EQ(windows.LoadString(IDS_ABOUTBOX), "&About Velnara...");
  windows.SetString(IDS_ABOUTBOX, "");
  EXPECT_EQ(windows.LoadString(IDS_ABOUTBOX), "");
  windows.SetString(999, "new");
  EXPECT_EQ(windows.LoadString(999), "new");

  ProbeDialog dialog(windows, IDD_VELNARA_DIALOG);
  windows.Then("work the window", [&](SimUser& user) {
    const WindowHandle self = user.dialog();
    EXPECT_EQ(windows.GetSystemMenu(self), nullptr) << "the main dialog has no WS_SYSMENU";
    windows.SetSystemMenus(SimWindowSystem::SystemMenus::kAlways);
    const MenuHandle menu = windows.GetSystemMenu(self);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(windows.AppendMenu(menu, mf::kString, IDM_ABOUTBOX, "About"));
    user.SystemCommand(kScMinimize);
    EXPECT_TRUE(windows.IsIconic(self));
    user.SystemCommand(kScRestore);
    EXPECT_FALSE(windows.IsIconic(self));
    user.Click(id::kOk);
  });
  EXPECT_EQ(dialog.DoModal(), id::kOk);
  ExpectCleanRun();
}

// The stand-in's process exit unwinds through the running dialog.
TEST_F(SimWindowSystemTest, AnExitInsideADialogLeavesNoWindowBehind) {
  struct Exit {};
  WindowHandle gone = nullptr;
  ProbeDialog exiting(windows, IDD_RENAME);
  windows.Then("exit the process", [&](SimUser& user) {
    gone = user.dialog();
    throw Exit{};
  });
  EXPECT_THROW(exiting.DoModal(), Exit);
  EXPECT_EQ(windows.GetDlgItem(gone, id::kOk), nullptr);

  ProbeDialog next(windows, IDD_ABOUTBOX);
  windows.Then("ok", [](SimUser& user) {
    EXPECT_EQ(user.TemplateId(), IDD_ABOUTBOX);
    user.Click(id::kOk);
  });
  EXPECT_EQ(next.DoModal(), id::kOk);
  ExpectCleanRun();
}

TEST_F(SimWindowSystemTest, DialogsThatNeverShowStayOutOfTheTranscript) {
  ProbeDialog endsAtOnce(windows, IDD_VELNARA_DIALOG);
  endsAtOnce.onInit = [this](ProbeDialog& d) {
    windows.MessageBox(d.handle(), "Not here", "Velnara", mb::kOk);
    windows.EndDialog(d.handle(), 5);
  };
  windows.Answer(id::kOk);
  EXPECT_EQ(endsAtOnce.DoModal(), 5);
  ASSERT_EQ(windows.transcript().size(), 1u);
  EXPECT_EQ(windows.transcript()[0].kind, Shown::Kind::MessageBox);

  ProbeDialog unknown(windows, 999);
  EXPECT_EQ(unknown.DoModal(), -1);
  windows.FailDialogCreation(true);
  ProbeDialog refused(windows, IDD_RENAME);
  EXPECT_EQ(refused.DoModal(), -1);
  EXPECT_TRUE(refused.log.empty());
  EXPECT_EQ(windows.transcript().size(), 1u);
  ExpectCleanRun();
}

}  // namespace
}  // namespace velnara::platform::sim

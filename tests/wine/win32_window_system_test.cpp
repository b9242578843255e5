// The Windows backend's window system on real dialogs (template 200 of
// backend_test.rc): how messages and their results travel between the
// dialog manager and a MessageTarget, subclassing, and the tree view and
// combo box messages with the exact item masks the program relies on.

#include "platform/win32/win32_window_system.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "tests/wine/ui_automation.h"

namespace velnara::platform::win32 {
namespace {

constexpr int kTemplate = 200;
constexpr int kTreeId = 10;
constexpr int kComboId = 11;
constexpr int kButtonId = 12;
constexpr UINT kHandledNotify = 123;
constexpr UINT kUnhandledNotify = 124;

Win32WindowSystem& Windows() {
  static Win32WindowSystem windows;
  return windows;
}

// A dialog that runs `script` on WM_INITDIALOG, then ends with 42. It
// answers one WM_NOTIFY code and WM_CTLCOLORDLG, and records every message.
class ScriptedDialog : public MessageTarget {
 public:
  explicit ScriptedDialog(std::function<void(HWND)> script) : script_(std::move(script)) {}

  bool HandleMessage(const Message& message, std::intptr_t* result) override {
    seen.push_back(message.message);
    const HWND window = static_cast<HWND>(message.window);
    switch (message.message) {
      case WM_INITDIALOG:
        script_(window);
        Windows().EndDialog(window, 42);
        *result = TRUE;
        return true;
      case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(message.lParam)->code != kHandledNotify) return false;
        *result = 77;
        return true;
      case WM_CTLCOLORDLG:
        *result = reinterpret_cast<std::intptr_t>(GetStockObject(BLACK_BRUSH));
        return true;
      default:
        return false;
    }
  }

  std::vector<UINT> seen;

 private:
  std::function<void(HWND)> script_;
};

bool Saw(const std::vector<UINT>& seen, UINT message) {
  for (UINT m : seen) {
    if (m == message) return true;
  }
  return false;
}

std::intptr_t RunDialog(ScriptedDialog& dialog) {
  return Windows().RunModalDialog(kTemplate, nullptr, dialog);
}

TEST(Win32WindowSystem, DialogGetsItsMessagesFromInitDialogOnAndAnswersThroughTheRightChannel) {
  LRESULT notifyHandled = 0;
  LRESULT notifyUnhandled = -1;
  LRESULT colour = 0;
  ScriptedDialog dialog([&](HWND window) {
    NMHDR header = {GetDlgItem(window, kTreeId), kTreeId, kHandledNotify};
    notifyHandled = SendMessageA(window, WM_NOTIFY, kTreeId, reinterpret_cast<LPARAM>(&header));
    header.code = kUnhandledNotify;
    notifyUnhandled = SendMessageA(window, WM_NOTIFY, kTreeId, reinterpret_cast<LPARAM>(&header));
    colour = SendMessageA(window, WM_CTLCOLORDLG, 0, reinterpret_cast<LPARAM>(window));
  });

  EXPECT_EQ(RunDialog(dialog), 42);
  ASSERT_FALSE(dialog.seen.empty());
  EXPECT_EQ(dialog.seen.front(), static_cast<UINT>(WM_INITDIALOG))
      << "messages before WM_INITDIALOG have no target yet";
  // A WM_NOTIFY result reaches the sender only through DWLP_MSGRESULT; an
  // unhandled one gets the default answer, not a stale result.
  EXPECT_EQ(notifyHandled, 77);
  EXPECT_EQ(notifyUnhandled, 0);
  EXPECT_EQ(colour, reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH)));
  EXPECT_TRUE(Saw(dialog.seen, WM_DESTROY));
  EXPECT_TRUE(Saw(dialog.seen, WM_NCDESTROY));
}

TEST(Win32WindowSystem, MissingTemplateRunsNothing) {
  ScriptedDialog dialog([](HWND) {});
  EXPECT_EQ(Windows().RunModalDialog(999, nullptr, dialog), -1);
  EXPECT_TRUE(dialog.seen.empty());
}

TEST(Win32WindowSystem, TreeItemsKeepOrderTextAndDataApart) {
  ScriptedDialog dialog([](HWND window) {
    WindowSystem& w = Windows();
    const HWND tree = GetDlgItem(window, kTreeId);
    const TreeItem root = w.TreeInsertItem(tree, nullptr, nullptr, "PCI Bus");
    ASSERT_NE(root, nullptr);
    const TreeItem b = w.TreeInsertItem(tree, root, nullptr, "B");
    const TreeItem a = w.TreeInsertItem(tree, root, nullptr, "A");
    const TreeItem c = w.TreeInsertItem(tree, root, b, "C");
    ASSERT_TRUE(b && a && c);

    // Appended in the order given (not sorted), C right after B.
    EXPECT_EQ(w.TreeGetNextItem(tree, nullptr, tvgn::kRoot), root);
    EXPECT_EQ(w.TreeGetNextItem(tree, root, tvgn::kNext), nullptr);
    EXPECT_EQ(w.TreeGetNextItem(tree, root, tvgn::kChild), b);
    EXPECT_EQ(w.TreeGetNextItem(tree, b, tvgn::kNext), c);
    EXPECT_EQ(w.TreeGetNextItem(tree, c, tvgn::kNext), a);
    EXPECT_EQ(w.TreeGetNextItem(tree, a, tvgn::kNext), nullptr);
    EXPECT_EQ(w.TreeGetNextItem(tree, a, tvgn::kParent), root);

    // Text and item data are set separately: neither write touches the other.
    EXPECT_TRUE(w.TreeSetItemData(tree, c, 0x12345678));
    EXPECT_TRUE(w.TreeSetItemText(tree, c, "COM7"));
    std::intptr_t data = 0;
    EXPECT_TRUE(w.TreeGetItemData(tree, c, &data));
    EXPECT_EQ(data, 0x12345678);
    EXPECT_TRUE(w.TreeSetItemData(tree, c, 99));
    char text[16] = "sentinel";
    EXPECT_TRUE(w.TreeGetItemText(tree, c, text, sizeof(text)));
    EXPECT_STREQ(text, "COM7");

    // A short buffer gets a terminated prefix.
    char shortText[4] = {'x', 'x', 'x', 'x'};
    EXPECT_TRUE(w.TreeGetItemText(tree, root, shortText, sizeof(shortText)));
    EXPECT_STREQ(shortText, "PCI");

    int children = -1;
    EXPECT_TRUE(w.TreeGetItemChildren(tree, root, &children));
    EXPECT_EQ(children, 1);
    EXPECT_TRUE(w.TreeGetItemChildren(tree, a, &children));
    EXPECT_EQ(children, 0);

    EXPECT_TRUE(w.TreeExpand(tree, root, tve::kExpand));
    EXPECT_TRUE(
        SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(root), TVIS_EXPANDED) &
        TVIS_EXPANDED);
    EXPECT_TRUE(w.TreeSelectItem(tree, a));
    EXPECT_EQ(w.TreeGetNextItem(tree, nullptr, tvgn::kCaret), a);
  });
  EXPECT_EQ(RunDialog(dialog), 42);
}

TEST(Win32WindowSystem, ComboSelectionAndTextFollowTheList) {
  ScriptedDialog dialog([](HWND window) {
    WindowSystem& w = Windows();
    const HWND combo = GetDlgItem(window, kComboId);
    EXPECT_EQ(w.ComboAddString(combo, "COM1"), 0);
    EXPECT_EQ(w.ComboAddString(combo, "COM2"), 1);
    EXPECT_EQ(w.ComboAddString(combo, "COM3"), 2);
    EXPECT_EQ(w.ComboGetCount(combo), 3);
    EXPECT_EQ(w.ComboSetCurSel(combo, 1), 1);
    EXPECT_EQ(w.ComboGetCurSel(combo), 1);
    EXPECT_EQ(w.GetWindowText(combo), "COM2");
    // Out of range clears both the selection and the edit field.
    EXPECT_EQ(w.ComboSetCurSel(combo, 5), kComboError);
    EXPECT_EQ(w.ComboGetCurSel(combo), kComboError);
    EXPECT_EQ(w.GetWindowText(combo), "");
    // The limit reaches the edit field: typing stops at six characters.
    EXPECT_TRUE(w.ComboLimitText(combo, 6));
    EXPECT_TRUE(wine_test::TypeIntoCombo(combo, "COM1234"));
    EXPECT_EQ(w.GetWindowText(combo), "COM123");
    EXPECT_FALSE(w.ComboLimitText(nullptr, 6));
  });
  EXPECT_EQ(RunDialog(dialog), 42);
}

TEST(Win32WindowSystem, WindowTextStateAndStrings) {
  ScriptedDialog dialog([](HWND window) {
    WindowSystem& w = Windows();
    const HWND button = GetDlgItem(window, kButtonId);
    EXPECT_EQ(w.GetDlgItem(window, kButtonId), button);
    EXPECT_EQ(w.GetWindowText(button), "Press");
    const std::string longText(700, 'x');  // longer than any fixed buffer
    EXPECT_TRUE(w.SetWindowText(button, longText.c_str()));
    EXPECT_EQ(w.GetWindowText(button), longText);

    EXPECT_TRUE(w.IsWindowEnabled(button));
    EXPECT_TRUE(w.EnableWindow(button, false));
    EXPECT_FALSE(w.IsWindowEnabled(button));
    EXPECT_TRUE(w.EnableWindow(button, true));
    EXPECT_TRUE(w.IsWindowEnabled(button));
    EXPECT_FALSE(w.EnableWindow(nullptr, true));
  });
  EXPECT_EQ(RunDialog(dialog), 42);
  EXPECT_EQ(Windows().LoadString(300), "&Test string");
  EXPECT_EQ(Windows().LoadString(301), "");
}

// A target in front of the tree view's own window procedure.
class TreeHook : public MessageTarget {
 public:
  explicit TreeHook(LRESULT answer) : answer_(answer) {}
  bool HandleMessage(const Message& message, std::intptr_t* result) override {
    seen.push_back(message.message);
    if (message.message == WM_APP) {
      *result = answer_;
      return true;
    }
    if (message.message == TVM_GETCOUNT) {
      *result = 1000 + Windows().CallDefault(message);
      return true;
    }
    return false;
  }
  std::vector<UINT> seen;

 private:
  LRESULT answer_;
};

TEST(Win32WindowSystem, SubclassedControlAsksItsTargetFirstAndKeepsItsOwnProcedure) {
  TreeHook first(5);
  TreeHook second(6);
  ScriptedDialog dialog([&](HWND window) {
    WindowSystem& w = Windows();
    const HWND tree = GetDlgItem(window, kTreeId);
    ASSERT_TRUE(w.Subclass(tree, first));
    EXPECT_EQ(SendMessageA(tree, WM_APP, 0, 0), 5);
    // Unhandled messages still reach the tree view itself...
    EXPECT_NE(w.TreeInsertItem(tree, nullptr, nullptr, "item"), nullptr);
    // ...and the target can ask it for its own answer.
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 1001);

    // Subclassing again changes the target, not the chain.
    ASSERT_TRUE(w.Subclass(tree, second));
    EXPECT_EQ(SendMessageA(tree, WM_APP, 0, 0), 6);
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 1001);
    EXPECT_FALSE(w.Subclass(nullptr, second));
  });
  EXPECT_EQ(RunDialog(dialog), 42);
  EXPECT_TRUE(Saw(second.seen, WM_DESTROY));
  EXPECT_TRUE(Saw(second.seen, WM_NCDESTROY));
  EXPECT_FALSE(Saw(first.seen, WM_DESTROY));
}

}  // namespace
}  // namespace velnara::platform::win32

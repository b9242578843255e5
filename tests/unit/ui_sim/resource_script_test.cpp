// The program's own resource script read back against the dialogs as they
// must look, and the reader's handling of the script language.
#include "platform/sim/resource_script.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/resource.h"

namespace velnara::platform::sim {
namespace {

// Style bits, spelled out here so that the expectations do not lean on the
// reader's own table.
constexpr std::uint32_t kPopup = 0x80000000, kChild = 0x40000000, kVisible = 0x10000000,
                        kDisabled = 0x08000000, kCaption = 0x00C00000, kBorder = 0x00800000,
                        kVScroll = 0x00200000, kSysMenu = 0x00080000, kGroup = 0x00020000,
                        kTabStop = 0x00010000;
constexpr std::uint32_t kSetFont = 0x40, kModalFrame = 0x80, kAppWindow = 0x00040000;
constexpr std::uint32_t kDefPush = 0x1, kBlackFrame = 0x7, kIcon = 0x3, kNoPrefix = 0x80;
constexpr std::uint32_t kAutoHScroll = 0x80, kDropDown = 0x2;
constexpr std::uint32_t kHasButtons = 0x1, kHasLines = 0x2, kLinesAtRoot = 0x4;

constexpr const char* kIntroText =
    "This program lets you change the names of the ports on the Tarvex 880's installed in "
    "your system.\n\nAfter making any changes you must reboot Windows";

struct ControlRow {
  int id;
  ControlKind kind;
  const char* text;  // null: not checked
  int x, y, width, height;
  std::uint32_t style;
};

void ExpectControls(const DialogTemplate& dialog, const std::vector<ControlRow>& rows) {
  ASSERT_EQ(dialog.controls.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ControlRow& row = rows[i];
    const ControlTemplate& control = dialog.controls[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1) + " of dialog " + std::to_string(dialog.id));
    EXPECT_EQ(control.id, row.id);
    EXPECT_EQ(control.kind, row.kind);
    if (row.text != nullptr) {
      EXPECT_EQ(control.text, row.text);
    }
    EXPECT_EQ(control.x, row.x);
    EXPECT_EQ(control.y, row.y);
    EXPECT_EQ(control.width, row.width);
    EXPECT_EQ(control.height, row.height);
    EXPECT_EQ(control.style, row.style) << std::hex << control.style << " vs " << row.style;
    EXPECT_EQ(control.exStyle, 0u);
  }
}

const DialogTemplate& Dialog(int id) {
  const ResourceScript& script = ProgramResources();
  const auto found = script.dialogs.find(id);
  if (found == script.dialogs.end()) {
    ADD_FAILURE() << "no dialog " << id;
    static const DialogTemplate none;
    return none;
  }
  return found->second;
}

void ExpectFrame(const DialogTemplate& dialog, const char* caption, int width, int height,
                 std::uint32_t style, std::uint32_t exStyle) {
  EXPECT_EQ(dialog.caption, caption);
  EXPECT_EQ(dialog.x, 0);
  EXPECT_EQ(dialog.y, 0);
  EXPECT_EQ(dialog.width, width);
  EXPECT_EQ(dialog.height, height);
  EXPECT_EQ(dialog.style, style) << std::hex << dialog.style;
  EXPECT_EQ(dialog.exStyle, exStyle);
  EXPECT_EQ(dialog.fontName, "MS Sans Serif");
  EXPECT_EQ(dialog.fontSize, 8);
}

TEST(ProgramResources, MainDialogTemplate) {
  const DialogTemplate& dialog = Dialog(IDD_VELNARA_DIALOG);
  // No system menu: the main dialog is left with Exit or the cancel command.
  ExpectFrame(dialog, "Ostrand : Tarvex 880 - Velnara V2.03", 317, 289,
              kPopup | kVisible | kCaption | kModalFrame | kSetFont, kAppWindow);
  const std::uint32_t shown = kChild | kVisible;
  ExpectControls(
      dialog, {
                  {1, ControlKind::Button, "Exit", 220, 265, 65, 14, shown | kTabStop | kDefPush},
                  {2, ControlKind::Button, "Exit - Don't Save", 220, 245, 65, 14,
                   kChild | kDisabled | kTabStop},
                  {3, ControlKind::Button, "Save", 125, 265, 65, 14,
                   shown | kDisabled | kTabStop | kDefPush},
                  {1002, ControlKind::TreeView, "Tree1", 27, 81, 258, 162,
                   shown | kBorder | kTabStop | kHasButtons | kHasLines | kLinesAtRoot},
                  {4, ControlKind::Button, "Reset", 30, 265, 65, 14,
                   shown | kDisabled | kTabStop | kDefPush},
                  {-1, ControlKind::Static, "", 23, 16, 265, 51, shown | kBlackFrame},
                  {-1, ControlKind::Static, "Double Click a Port name to change it", 30, 251, 179,
                   13, shown | kGroup},
                  {-1, ControlKind::Static, "#128", 24, 16, 20, 20, shown | kIcon},
                  {-1, ControlKind::Static, kIntroText, 55, 26, 211, 36, shown | kGroup},
              });
  ASSERT_EQ(dialog.controls.size(), 9u);
  EXPECT_EQ(dialog.controls[3].className, "SysTreeView32");
}

TEST(ProgramResources, AboutBoxTemplate) {
  const DialogTemplate& dialog = Dialog(IDD_ABOUTBOX);
  ExpectFrame(dialog, "About Velnara", 217, 55,
              kPopup | kCaption | kSysMenu | kModalFrame | kSetFont, 0);
  const std::uint32_t shown = kChild | kVisible;
  ExpectControls(dialog, {
                             {-1, ControlKind::Static, "#128", 11, 17, 20, 20, shown | kIcon},
                             {-1, ControlKind::Static, "Velnara Version 2.03", 40, 10, 119, 8,
                              shown | kGroup | kNoPrefix},
                             {-1, ControlKind::Static, nullptr, 40, 25, 150, 11, shown | kGroup},
                             {1, ControlKind::Button, "OK", 178, 7, 32, 14,
                              shown | kGroup | kTabStop | kDefPush},
                         });
  ASSERT_EQ(dialog.controls.size(), 4u);
  EXPECT_FALSE(dialog.controls[2].text.empty());
}

TEST(ProgramResources, RenameDialogTemplate) {
  const DialogTemplate& dialog = Dialog(IDD_RENAME);
  ExpectFrame(dialog, "Select a new Port Name", 125, 62,
              kPopup | kCaption | kSysMenu | kModalFrame | kSetFont, 0);
  const std::uint32_t shown = kChild | kVisible;
  ExpectControls(dialog,
                 {
                     {1, ControlKind::Button, "OK", 65, 38, 50, 14, shown | kTabStop | kDefPush},
                     {2, ControlKind::Button, "Cancel", 7, 39, 50, 14, shown | kTabStop},
                     {-1, ControlKind::Static, "Old Name", 7, 10, 39, 9, shown | kGroup},
                     {1003, ControlKind::Edit, "", 51, 7, 64, 12,
                      shown | kDisabled | kBorder | kTabStop | kAutoHScroll},
                     {-1, ControlKind::Static, "New Name", 7, 24, 44, 9, shown | kGroup},
                     // Unsorted (no CBS_SORT) and without CBS_AUTOHSCROLL.
                     {1004, ControlKind::ComboBox, "", 51, 21, 64, 45,
                      shown | kDropDown | kVScroll | kTabStop},
                 });
}

TEST(ProgramResources, StringAndIcon) {
  const ResourceScript& script = ProgramResources();
  EXPECT_EQ(script.strings, (std::map<int, std::string>{{101, "&About Velnara..."}}));
  EXPECT_EQ(script.icons, (std::map<int, std::string>{{128, "velnara.ico"}}));
  EXPECT_EQ(script.dialogs.size(), 3u);
}

std::uint32_t Le(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

// Icon 128 must hold a 32 x 32 and a 16 x 16 image of 16 colours each,
// stored as 4-bit bitmaps with their AND masks.
TEST(ProgramResources, IconFileHoldsTwoSixteenColourImages) {
  std::ifstream file(std::string(VELNARA_SOURCE_DIR) + "/ui/velnara.ico", std::ios::binary);
  ASSERT_TRUE(file) << "ui/velnara.ico";
  const std::vector<unsigned char> ico{std::istreambuf_iterator<char>(file), {}};
  ASSERT_GE(ico.size(), 6u + 2 * 16);
  EXPECT_EQ(Le(ico, 0, 2), 0u);
  EXPECT_EQ(Le(ico, 2, 2), 1u);  // an icon, not a cursor
  ASSERT_EQ(Le(ico, 4, 2), 2u);
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(std::to_string(sizes[i]) + " x " + std::to_string(sizes[i]));
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
    EXPECT_EQ(ico.at(entry), sizes[i]);
    EXPECT_EQ(ico.at(entry + 1), sizes[i]);
    EXPECT_EQ(ico.at(entry + 2), 16);      // colours
    EXPECT_EQ(Le(ico, entry + 6, 2), 4u);  // bits per pixel
    const std::size_t bytes = Le(ico, entry + 8, 4);
    const std::size_t offset = Le(ico, entry + 12, 4);
    ASSERT_LE(offset + bytes, ico.size());
    // BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
    EXPECT_EQ(Le(ico, offset, 4), 40u);
    EXPECT_EQ(Le(ico, offset + 4, 4), static_cast<std::uint32_t>(sizes[i]));
    EXPECT_EQ(Le(ico, offset + 8, 4), static_cast<std::uint32_t>(2 * sizes[i]));
    EXPECT_EQ(Le(ico, offset + 14, 2), 4u);
    const std::size_t rowXor = (sizes[i] * 4 + 31) / 32 * 4, rowAnd = (sizes[i] + 31) / 32 * 4;
    EXPECT_EQ(bytes, 40 + 16 * 4 + sizes[i] * (rowXor + rowAnd));
  }
}

// --- The reader --------------------------------------------------------------

ResourceScript Read(const std::string& rc, const std::string& header = "") {
  ResourceScript script;
  std::string error;
  EXPECT_TRUE(ParseResourceScript(rc, header, &script, &error)) << error;
  return script;
}

std::string ErrorOf(const std::string& rc, const std::string& header = "") {
  ResourceScript script;
  std::string error;
  EXPECT_FALSE(ParseResourceScript(rc, header, &script, &error)) << rc;
  return error;
}

std::uint32_t StyleOf(const std::string& statement) {
  const ResourceScript script = Read("1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  " + statement + "\nEND\n");
  const auto found = script.dialogs.find(1);
  if (found == script.dialogs.end() || found->second.controls.size() != 1) {
    ADD_FAILURE() << "no control read from " << statement;
    return 0;
  }
  return found->second.controls[0].style;
}

// The expected values are what windres puts into the compiled template.
TEST(ResourceReader, ControlStylesFollowTheResourceCompiler) {
  const std::uint32_t shown = kChild | kVisible;
  const struct {
    const char* statement;
    std::uint32_t style;
  } rows[] = {
      {"LTEXT \"a\", 1, 0, 0, 9, 9", shown | kGroup},
      // Once a style is given the statement's optional defaults go.
      {"LTEXT \"a\", 1, 0, 0, 9, 9, WS_DISABLED", shown | kDisabled},
      {"CTEXT \"a\", 1, 0, 0, 9, 9", shown | kGroup | 0x1},
      {"RTEXT \"a\", 1, 0, 0, 9, 9, NOT WS_VISIBLE", kChild | 0x2},
      {"PUSHBUTTON \"a\", 1, 0, 0, 9, 9", shown | kTabStop},
      {"PUSHBUTTON \"a\", 1, 0, 0, 9, 9, NOT WS_TABSTOP", shown},
      {"DEFPUSHBUTTON \"a\", 1, 0, 0, 9, 9, WS_DISABLED", shown | kDisabled | kTabStop | kDefPush},
      {"GROUPBOX \"a\", 1, 0, 0, 9, 9", shown | 0x7},
      {"EDITTEXT 1, 0, 0, 9, 9", shown | kBorder | kTabStop},
      {"EDITTEXT 1, 0, 0, 9, 9, NOT WS_BORDER | ES_MULTILINE", shown | kTabStop | 0x4},
      {"COMBOBOX 1, 0, 0, 9, 9", shown | kTabStop | 0x1},
      {"COMBOBOX 1, 0, 0, 9, 9, CBS_DROPDOWN", shown | kDropDown},
      {"ICON 5, 1, 0, 0", shown | kIcon},
      {"CONTROL \"\", 1, \"Button\", 0, 0, 0, 9, 9", shown},
      // NOT applies from left to right.
      {"CONTROL \"\", 1, \"Button\", WS_TABSTOP | NOT WS_TABSTOP, 0, 0, 9, 9", shown},
      {"CONTROL \"\", 1, \"Button\", NOT WS_TABSTOP | WS_TABSTOP, 0, 0, 9, 9", shown | kTabStop},
      {"CONTROL \"\", 1, \"Button\", 0x10 | (0x1 + 2) & ~1, 0, 0, 9, 9", shown | 0x12},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.statement);
    EXPECT_EQ(StyleOf(row.statement), row.style) << std::hex << StyleOf(row.statement);
  }
}

TEST(ResourceReader, DialogStyleFromStyleCaptionAndFont) {
  const ResourceScript script = Read(
      "1 DIALOGEX 0, 0, 9, 9\nBEGIN\nEND\n"
      "2 DIALOGEX 0, 0, 9, 9\nCAPTION \"c\"\nFONT 9, \"F\", 400, 0, 1\nBEGIN\nEND\n"
      "3 DIALOG 0, 0, 9, 9\nCAPTION \"c\"\nSTYLE WS_POPUP | NOT WS_CAPTION\n{\n}\n");
  ASSERT_EQ(script.dialogs.size(), 3u);
  EXPECT_EQ(script.dialogs.at(1).style, kPopup | kBorder | kSysMenu);  // no STYLE at all
  EXPECT_EQ(script.dialogs.at(2).style, kPopup | kBorder | kSysMenu | kCaption | kSetFont);
  EXPECT_EQ(script.dialogs.at(2).fontName, "F");
  EXPECT_EQ(script.dialogs.at(2).fontSize, 9);
  EXPECT_EQ(script.dialogs.at(3).style, kPopup) << "STYLE replaces what CAPTION added";
}

TEST(ResourceReader, TextsIdsAndResourcesThroughHeaderAndPreprocessor) {
  const std::string header =
      "#pragma once\n"
      "#define IDD_ONE 0x20  // hex, with a comment\n"
      "#define IDC_NEG (-1)\n"
      "#define IDC_SUM (IDC_BASE + 2)\n"
      "#define IDC_BASE 1000L\n"
      "#define MACRO(x) x\n"
      "#ifndef IDC_NEG\n#define IDC_NEG 5\n#endif\n";
  const ResourceScript script = Read(
      "#include <windows.h>\n#include \"resource.h\"\n"
      "/* a BEGIN in a comment, \" and all */\n"
      "#if 0\nthis is not a resource\n#else\n#define IDS_X 7\n#endif\n"
      "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
      "1 VERSIONINFO\n FILEVERSION 2,0,0,3\nBEGIN\n BLOCK \"x\"\n BEGIN\n  VALUE \"a\", \"b\"\n"
      " END\nEND\n"
      "2 MENU\nBEGIN\n POPUP \"&File\"\n BEGIN\n  MENUITEM \"E&xit\", 1\n END\nEND\n"
      "3 RCDATA \"data.bin\"\n"
      "IDD_ONE DIALOGEX DISCARDABLE 0, 0, 9, 9\nBEGIN\n"
      "  LTEXT \"say \"\"hi\"\"\\n\\tto \\\"me\\\" \\\\ // not a comment\", IDC_NEG, 1, 2, 3, 4\n"
      "  CONTROL 128, IDC_SUM, \"SysTreeView32\", 0, -5, 0, 9, 9, WS_EX_CLIENTEDGE\n"
      "END\n"
      "STRINGTABLE DISCARDABLE\nBEGIN\n  IDS_X \"seven\"\n  8, \"eight\"\nEND\n"
      "128 ICON \"app.ico\"\n",
      header);
  ASSERT_EQ(script.dialogs.count(0x20), 1u);
  const DialogTemplate& dialog = script.dialogs.at(0x20);
  ASSERT_EQ(dialog.controls.size(), 2u);
  EXPECT_EQ(dialog.controls[0].text, "say \"hi\"\n\tto \"me\" \\ // not a comment");
  EXPECT_EQ(dialog.controls[0].id, -1);
  EXPECT_EQ(dialog.controls[1].id, 1002);
  EXPECT_EQ(dialog.controls[1].text, "#128");
  EXPECT_EQ(dialog.controls[1].x, -5);
  EXPECT_EQ(dialog.controls[1].kind, ControlKind::TreeView);
  EXPECT_EQ(dialog.controls[1].exStyle, 0x200u);
  EXPECT_EQ(script.strings, (std::map<int, std::string>{{7, "seven"}, {8, "eight"}}));
  EXPECT_EQ(script.icons.at(128), "app.ico");
}

TEST(ResourceReader, ReportsTheFirstProblemWithItsLine) {
  const struct {
    const char* rc;
    const char* expected;  // a part of the message
  } rows[] = {
      {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n LTEXT \"a\", IDC_NOWHERE, 0, 0, 9, 9\nEND\n",
       "line 3: unknown name IDC_NOWHERE"},
      {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n LTEXT \"a\\q\", 1, 0, 0, 9, 9\nEND\n",
       "line 3: unknown escape \\q"},
      {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n LTEXT \"a, 1, 0, 0, 9, 9\nEND\n",
       "line 3: string is not closed"},
      {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n LTEXT \"a\", 1, 0, 0, 9, 9\n", "dialog without END"},
      {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n SLIDER 1, 0, 0, 9, 9\nEND\n",
       "line 3: unknown control statement 'SLIDER'"},
      {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\nEND\n1 DIALOGEX 0, 0, 9, 9\nBEGIN\nEND\n",
       "dialog 1 is defined twice"},
      {"STRINGTABLE\nBEGIN\n 5 \"a\"\n 5 \"b\"\nEND\n", "line 4: string 5 is defined twice"},
      {"#ifdef X\n", "#if without #endif"},
      {"1 VERSIONINFO\nBEGIN\n BLOCK \"x\"\n BEGIN\nEND\n", "without END"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rc);
    const std::string error = ErrorOf(row.rc);
    EXPECT_NE(error.find(row.expected), std::string::npos) << error;
  }
  const std::string cycle = ErrorOf("1 DIALOGEX 0, 0, 9, 9\nBEGIN\n LTEXT \"\", A, 0,0,1,1\nEND",
                                    "#define A (B)\n#define B A\n");
  EXPECT_NE(cycle.find("defined in terms of itself"), std::string::npos) << cycle;
}

TEST(ResourceReader, LoadNamesTheFileItCannotRead) {
  ResourceScript script;
  std::string error;
  EXPECT_FALSE(LoadResourceScript("/nonexistent/velnara.rc",
                                  std::string(VELNARA_SOURCE_DIR) + "/ui/resource.h", &script,
                                  &error));
  EXPECT_NE(error.find("/nonexistent/velnara.rc"), std::string::npos) << error;
}

}  // namespace
}  // namespace velnara::platform::sim

// The program's compiled resources read back against the dialogs as they
// must look, and the reader's handling of files it cannot take whole.
#include "platform/sim/res_file.h"

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
// stand-in's own constants.
constexpr std::uint32_t kPopup = 0x80000000, kChild = 0x40000000, kVisible = 0x10000000,
                        kDisabled = 0x08000000, kCaption = 0x00C00000, kBorder = 0x00800000,
                        kVScroll = 0x00200000, kSysMenu = 0x00080000, kGroup = 0x00020000,
                        kTabStop = 0x00010000;
constexpr std::uint32_t kSetFont = 0x40, kModalFrame = 0x80;
constexpr std::uint32_t kDefPush = 0x1, kBlackFrame = 0x7, kIcon = 0x3, kNoPrefix = 0x80;
constexpr std::uint32_t kAutoHScroll = 0x80, kDropDown = 0x2;
constexpr std::uint32_t kHasButtons = 0x1, kHasLines = 0x2, kLinesAtRoot = 0x4;
constexpr std::uint32_t kShown = kChild | kVisible;

constexpr const char* kIntroText =
    "This program lets you change the names of the ports on the Tarvex 880's installed in "
    "your system.\n\nAfter making any changes you must reboot Windows";

struct ControlRow {
  int id;
  ControlKind kind;
  const char* text;
  std::uint32_t style;
};

struct DialogRow {
  int id;
  const char* caption;
  std::uint32_t style;
  std::vector<ControlRow> controls;
};

const DialogRow kDialogs[] = {
    // No system menu: the main dialog is left with Exit or the cancel command.
    {IDD_VELNARA_DIALOG,
     "Ostrand : Tarvex 880 - Velnara V2.03",
     kPopup | kVisible | kCaption | kModalFrame | kSetFont,
     {
         {1, ControlKind::Button, "Exit", kShown | kTabStop | kDefPush},
         {2, ControlKind::Button, "Exit - Don't Save", kChild | kDisabled | kTabStop},
         {3, ControlKind::Button, "Save", kShown | kDisabled | kTabStop | kDefPush},
         {1002, ControlKind::TreeView, "Tree1",
          kShown | kBorder | kTabStop | kHasButtons | kHasLines | kLinesAtRoot},
         {4, ControlKind::Button, "Reset", kShown | kDisabled | kTabStop | kDefPush},
         {-1, ControlKind::Static, "", kShown | kBlackFrame},
         {-1, ControlKind::Static, "Double Click a Port name to change it", kShown | kGroup},
         {-1, ControlKind::Static, "#128", kShown | kIcon},
         {-1, ControlKind::Static, kIntroText, kShown | kGroup},
     }},
    {IDD_ABOUTBOX,
     "About Velnara",
     kPopup | kCaption | kSysMenu | kModalFrame | kSetFont,
     {
         {-1, ControlKind::Static, "#128", kShown | kIcon},
         {-1, ControlKind::Static, "Velnara Version 2.03", kShown | kGroup | kNoPrefix},
         {-1, ControlKind::Static, "Port names for Tarvex 880 cards", kShown | kGroup},
         {1, ControlKind::Button, "OK", kShown | kGroup | kTabStop | kDefPush},
     }},
    {IDD_RENAME,
     "Select a new Port Name",
     kPopup | kCaption | kSysMenu | kModalFrame | kSetFont,
     {
         {1, ControlKind::Button, "OK", kShown | kTabStop | kDefPush},
         {2, ControlKind::Button, "Cancel", kShown | kTabStop},
         {-1, ControlKind::Static, "Old Name", kShown | kGroup},
         {1003, ControlKind::Edit, "", kShown | kDisabled | kBorder | kTabStop | kAutoHScroll},
         {-1, ControlKind::Static, "New Name", kShown | kGroup},
         // Unsorted (no CBS_SORT) and without CBS_AUTOHSCROLL.
         {1004, ControlKind::ComboBox, "", kShown | kDropDown | kVScroll | kTabStop},
     }},
};

void ExpectDialog(const Resources& resources, const DialogRow& row) {
  SCOPED_TRACE("dialog " + std::to_string(row.id));
  ASSERT_EQ(resources.dialogs.count(row.id), 1u);
  const DialogTemplate& dialog = resources.dialogs.at(row.id);
  EXPECT_EQ(dialog.caption, row.caption);
  EXPECT_EQ(dialog.style, row.style) << std::hex << dialog.style;
  ASSERT_EQ(dialog.controls.size(), row.controls.size());
  for (std::size_t i = 0; i < row.controls.size(); ++i) {
    SCOPED_TRACE("control #" + std::to_string(i + 1));
    const ControlTemplate& control = dialog.controls[i];
    EXPECT_EQ(control.id, row.controls[i].id);
    EXPECT_EQ(control.kind, row.controls[i].kind);
    EXPECT_EQ(control.text, row.controls[i].text);
    EXPECT_EQ(control.style, row.controls[i].style) << std::hex << control.style;
  }
}

TEST(ProgramResources, DialogsStringAndIcon) {
  const Resources& resources = ProgramResources();
  for (const DialogRow& row : kDialogs) ExpectDialog(resources, row);
  EXPECT_EQ(resources.dialogs.size(), 3u);
  EXPECT_EQ(resources.strings, (std::map<int, std::string>{{101, "&About Velnara..."}}));
  EXPECT_EQ(resources.icons, std::set<int>{128});
}

std::vector<unsigned char> FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file) << path;
  return {std::istreambuf_iterator<char>(file), {}};
}

std::uint32_t Le(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

// Icon 128 must hold a 32 x 32 and a 16 x 16 image of 16 colours each,
// stored as 4-bit bitmaps with their AND masks.
TEST(ProgramResources, IconFileHoldsTwoSixteenColourImages) {
  const std::vector<unsigned char> ico = FileBytes(VELNARA_SOURCE_DIR "/ui/velnara.ico");
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

std::string ProgramBytes() {
  const std::vector<unsigned char> bytes = FileBytes(VELNARA_RES_PATH);
  return {bytes.begin(), bytes.end()};
}

// The offset of the header of the program's dialog `id`.
std::size_t DialogHeader(const std::string& bytes, int id) {
  const std::string typeAndName{'\xFF', '\xFF', 5, 0, '\xFF', '\xFF', static_cast<char>(id), 0};
  const std::size_t found = bytes.find(typeAndName);
  EXPECT_NE(found, std::string::npos) << "no dialog " << id;
  return found == std::string::npos ? 0 : found - 8;
}

void SetDword(std::string* bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

TEST(ResReader, RefusesFilesItCannotTakeWhole) {
  const std::string whole = ProgramBytes();
  const std::size_t main = DialogHeader(whole, IDD_VELNARA_DIALOG);
  const std::size_t mainData = main + Le({whole.begin(), whole.end()}, main + 4, 4);
  const struct {
    const char* what;
    std::string bytes;
    const char* expected;  // a part of the message
  } rows[] = {
      {"an empty file", "", "a resource header is cut short at byte 0"},
      {"a resource script", "// Resource script\n#include <windows.h>\n", "at byte 0"},
      {"a first resource that is not the empty one", whole.substr(32), "not a .res file"},
      {"a header cut short", whole.substr(0, main + 10), "header is cut short"},
      {"a template cut short", whole.substr(0, mainData + 40), "a resource is cut short"},
      {"a header shorter than its fields",
       [&] {
         std::string bytes = whole;
         SetDword(&bytes, main + 4, 16);
         return bytes;
       }(),
       "header is cut short"},
      // The template's own counts go past its size.
      {"a template larger than its resource",
       [&] {
         std::string bytes = whole;
         SetDword(&bytes, main, 200);
         return bytes;
       }(),
       "resource 102 is cut short"},
      {"a template of the older form, which DIALOG compiles to",
       [&] {
         std::string bytes = whole;
         SetDword(&bytes, mainData, 0x80C80080);  // a style where DIALOGEX has 1 and 0xFFFF
         return bytes;
       }(),
       "resource 102 is no DIALOGEX template"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Resources resources;
    resources.icons.insert(7);
    std::string error;
    EXPECT_FALSE(ReadResFile(row.bytes, &resources, &error));
    EXPECT_NE(error.find(row.expected), std::string::npos) << error;
    EXPECT_EQ(resources.icons, std::set<int>{7}) << "left as it was";
  }
}

// Cut anywhere, the file reads as fewer whole resources or not at all:
// never a template read beyond its end.
TEST(ResReader, EveryCutOfTheProgramsFileReadsWholeResourcesOrNone) {
  const std::string whole = ProgramBytes();
  const Resources& all = ProgramResources();
  for (std::size_t length = 0; length < whole.size(); ++length) {
    Resources resources;
    std::string error;
    if (!ReadResFile(whole.substr(0, length), &resources, &error)) continue;
    for (const auto& [id, dialog] : resources.dialogs) {
      EXPECT_EQ(dialog.controls.size(), all.dialogs.at(id).controls.size()) << length;
    }
  }
}

TEST(ResReader, LoadNamesTheFileItCannotRead) {
  Resources resources;
  std::string error;
  EXPECT_FALSE(LoadResFile("/nonexistent/velnara.res", &resources, &error));
  EXPECT_EQ(error, "cannot read /nonexistent/velnara.res");
  EXPECT_FALSE(LoadResFile(VELNARA_SOURCE_DIR "/ui/velnara.rc", &resources, &error));
  EXPECT_NE(error.find("/ui/velnara.rc: "), std::string::npos) << error;
}

}  // namespace
}  // namespace velnara::platform::sim

// The resources of the built programs as Windows reads them: the dialog
// templates and strings the stand-in reads as well, the version record and
// the icon group. Run with the programs to check:
//
//   velnara_resource_tests PATH\TO\Velnara.exe... [GoogleTest options]
//
// A 64-bit test program reads a 32-bit program's resources as well: the
// file is loaded as data, never run.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/res_file.h"
#include "platform/win32/windows_api.h"
#include "tests/wine/ui_automation.h"

namespace velnara::wine_test {
namespace {

std::vector<std::string> gPrograms;

std::string StringValue(const std::vector<char>& info, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::string query = "\\StringFileInfo\\040904b0\\" + name;
  if (!VerQueryValueA(info.data(), query.c_str(), &value, &length) || value == nullptr) {
    return "<missing>";
  }
  return static_cast<const char*>(value);
}

void ExpectVersionRecord(const std::string& program) {
  SCOPED_TRACE(program);
  const std::string path = ToWindowsPath(program);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_NE(size, 0u) << "no version record";
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // 2.0.0.3, shown to the user as 2.03.
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000003u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000003u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(StringValue(info, "InternalName"), "Velnara");
  EXPECT_EQ(StringValue(info, "ProductName"), "Velnara Application");
  EXPECT_EQ(StringValue(info, "Comments"), "This application can only be used on UK/US Windows");
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14);

void ExpectIconGroup(const std::string& program) {
  SCOPED_TRACE(program);
  const HMODULE module =
      LoadLibraryExA(ToWindowsPath(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << "cannot read it: error " << GetLastError();
  const HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14));
  ASSERT_NE(group, nullptr) << "no icon group 128";
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  ASSERT_NE(data, nullptr);
  WORD header[3];
  std::memcpy(header, data, sizeof header);
  EXPECT_EQ(header[1], 1) << "an icon group";
  ASSERT_EQ(header[2], 2) << "two images";
  std::vector<std::string> images;
  for (WORD i = 0; i < header[2]; ++i) {
    GroupIconEntry entry;
    std::memcpy(&entry, data + 6 + i * sizeof entry, sizeof entry);
    images.push_back(std::to_string(entry.width) + "x" + std::to_string(entry.height) + ", " +
                     std::to_string(entry.colorCount) + " colours, " +
                     std::to_string(entry.bitCount) + " bits");
    // The image itself: a bitmap of that width, twice the height (image
    // and mask), 4 bits a pixel.
    const HRSRC icon = FindResourceA(module, MAKEINTRESOURCEA(entry.id), MAKEINTRESOURCEA(3));
    ASSERT_NE(icon, nullptr) << "no icon image " << entry.id;
    BITMAPINFOHEADER bitmap;
    std::memcpy(&bitmap, LockResource(LoadResource(module, icon)), sizeof bitmap);
    EXPECT_EQ(bitmap.biWidth, entry.width);
    EXPECT_EQ(bitmap.biHeight, 2 * entry.height);
    EXPECT_EQ(bitmap.biBitCount, 4);
  }
  EXPECT_EQ(images,
            (std::vector<std::string>{"32x32, 16 colours, 4 bits", "16x16, 16 colours, 4 bits"}));
  FreeLibrary(module);
}

// Reads a DLGTEMPLATEEX as the resource compiler wrote it.
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : at_(data) {}
  WORD Word() { return Take<WORD>(); }
  DWORD Dword() { return Take<DWORD>(); }
  // A string, or "#n" for an ordinal (0xFFFF followed by n).
  std::string StringOrOrdinal() {
    WORD first = Word();
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    std::string text;
    for (; first != 0; first = Word()) text += static_cast<char>(first < 0x100 ? first : '?');
    return text;
  }
  void AlignToDword(const BYTE* base) {
    while ((at_ - base) % 4 != 0) ++at_;
  }
  const BYTE* at() const { return at_; }

  template <typename T>
  T Take() {
    T value;
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }

 private:
  const BYTE* at_;
};

// A control's class, upper-cased: window classes are named without regard
// to case, and the compiler writes the predefined ones as ordinals for the
// short statements but as names for CONTROL ("STATIC").
std::string ControlClassName(std::string name) {
  if (name == "#128") return "BUTTON";
  if (name == "#129") return "EDIT";
  if (name == "#130") return "STATIC";
  if (name == "#133") return "COMBOBOX";
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// One line per dialog and per control: what both readings must agree on.
std::vector<std::string> CompiledTemplate(HMODULE module, int id) {
  std::vector<std::string> lines;
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
  if (found == nullptr) return lines;
  const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  TemplateReader in(base);
  in.Word();  // version
  if (in.Word() != 0xFFFF) return {"not a DIALOGEX template"};
  in.Dword();  // help id
  in.Dword();  // extended style
  const DWORD style = in.Dword();
  const WORD count = in.Word();
  in.Take<std::uint64_t>();  // position and size
  in.StringOrOrdinal();      // menu
  in.StringOrOrdinal();      // class
  const std::string caption = in.StringOrOrdinal();
  in.Dword();            // point size, weight
  in.Word();             // italic, charset
  in.StringOrOrdinal();  // typeface
  char line[256];
  std::snprintf(line, sizeof line, "dialog %d \"%s\" %08lx", id, caption.c_str(),
                static_cast<unsigned long>(style));
  lines.push_back(line);
  for (WORD i = 0; i < count; ++i) {
    in.AlignToDword(base);
    in.Dword();  // help id
    in.Dword();  // extended style
    const DWORD itemStyle = in.Dword();
    in.Take<std::uint64_t>();  // position and size
    const auto itemId = static_cast<int>(in.Dword());
    const std::string className = ControlClassName(in.StringOrOrdinal());
    const std::string text = in.StringOrOrdinal();
    const WORD extra = in.Word();
    for (WORD b = 0; b < extra; ++b) in.Take<BYTE>();
    std::snprintf(line, sizeof line, "%d %s \"%s\" %08lx", itemId, className.c_str(), text.c_str(),
                  static_cast<unsigned long>(itemStyle));
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> StandInTemplate(const platform::sim::DialogTemplate& dialog) {
  char line[256];
  std::snprintf(line, sizeof line, "dialog %d \"%s\" %08lx", dialog.id, dialog.caption.c_str(),
                static_cast<unsigned long>(dialog.style));
  std::vector<std::string> lines = {line};
  for (const platform::sim::ControlTemplate& control : dialog.controls) {
    std::snprintf(line, sizeof line, "%d %s \"%s\" %08lx", control.id,
                  ControlClassName(control.className).c_str(), control.text.c_str(),
                  static_cast<unsigned long>(control.style));
    lines.push_back(line);
  }
  return lines;
}

// The stand-in builds its dialogs from the compiled resources in the build
// tree; what it reads there must be what Windows finds in the program.
TEST(BuiltPrograms, TheStandInReadsTheTemplatesTheCompilerWrote) {
  ASSERT_FALSE(gPrograms.empty()) << "usage: velnara_resource_tests Velnara.exe...";
  const platform::sim::Resources& resources = platform::sim::ProgramResources();
  for (const std::string& program : gPrograms) {
    SCOPED_TRACE(program);
    const HMODULE module =
        LoadLibraryExA(ToWindowsPath(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    for (const int id : {100, 102, 131}) {
      SCOPED_TRACE("template " + std::to_string(id));
      ASSERT_EQ(resources.dialogs.count(id), 1u);
      EXPECT_EQ(StandInTemplate(resources.dialogs.at(id)), CompiledTemplate(module, id));
    }
    for (const auto& [id, text] : resources.strings) {
      char loaded[256] = {};
      LoadStringA(module, static_cast<UINT>(id), loaded, sizeof loaded);
      EXPECT_EQ(text, loaded) << "string " << id;
    }
    FreeLibrary(module);
  }
}

TEST(BuiltPrograms, VersionRecordSays2003AndNamesTheProgram) {
  ASSERT_FALSE(gPrograms.empty()) << "usage: velnara_resource_tests Velnara.exe...";
  for (const std::string& program : gPrograms) ExpectVersionRecord(program);
}

TEST(BuiltPrograms, IconGroup128Holds32And16PixelImagesOf16Colours) {
  ASSERT_FALSE(gPrograms.empty()) << "usage: velnara_resource_tests Velnara.exe...";
  for (const std::string& program : gPrograms) ExpectIconGroup(program);
}

// The event log's message table, as Event Viewer reads it: each event's
// sentence with the strings an event carries filled in.
TEST(BuiltPrograms, TheMessageTableGivesEachEventItsSentence) {
  ASSERT_FALSE(gPrograms.empty()) << "usage: velnara_resource_tests Velnara.exe...";
  const struct {
    DWORD id;
    const char* sentence;
  } events[] = {
      {0x40000001,
       "VM\\root gave COM ports of Tarvex 880 cards new names with Velnara.exe /apply:\r\n"
       "PCI 2.9.0 port 3: COM5 -> COM47\r\nThe names before are kept in C:\\kept.txt.\r\n"
       "No restart is needed.\r\n"},
      {0x80000002,
       "VM\\root gave COM ports of Tarvex 880 cards new names with Velnara.exe /apply, but some of "
       "the writes failed for PCI 2.9.0 port 1:\r\nPCI 2.9.0 port 3: COM5 -> COM47\r\nThe "
       "names before are kept in C:\\kept.txt.\r\nNo restart is needed.\r\n"},
      {0x80000003,
       "VM\\root started Velnara.exe /apply, which found that PCI 2.9.0 port 3: COM5 -> COM47 of "
       "Velnara had been interrupted. C:\\kept.txt:\r\nNo restart is needed.\r\nPCI 2.9.0 port "
       "1\r\n"},
  };
  const char* const strings[] = {
      "VM\\root",     "Velnara.exe /apply",    "PCI 2.9.0 port 3: COM5 -> COM47",
      "C:\\kept.txt", "No restart is needed.", "PCI 2.9.0 port 1"};
  // FORMAT_MESSAGE_ARGUMENT_ARRAY: the inserts as pointer-sized values.
  DWORD_PTR inserts[6];
  for (int i = 0; i < 6; ++i) inserts[i] = reinterpret_cast<DWORD_PTR>(strings[i]);
  for (const std::string& program : gPrograms) {
    SCOPED_TRACE(program);
    const HMODULE module =
        LoadLibraryExA(ToWindowsPath(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    for (const auto& event : events) {
      char text[1024] = {};
      const DWORD length =
          FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module,
                         event.id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text,
                         reinterpret_cast<va_list*>(inserts));
      EXPECT_EQ(std::string(text, length), event.sentence) << std::hex << event.id;
    }
    FreeLibrary(module);
  }
}

}  // namespace
}  // namespace velnara::wine_test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) velnara::wine_test::gPrograms.emplace_back(argv[i]);
  return RUN_ALL_TESTS();
}

// The resources of the built programs as Windows reads them: the version
// record and the icon group. Run with the programs to check:
//
//   velnara_resource_tests PATH\TO\Velnara.exe... [GoogleTest options]
//
// A 64-bit test program reads a 32-bit program's resources as well: the
// file is loaded as data, never run.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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
  EXPECT_EQ(images, (std::vector<std::string>{"32x32, 16 colours, 4 bits",
                                              "16x16, 16 colours, 4 bits"}));
  FreeLibrary(module);
}

TEST(BuiltPrograms, VersionRecordSays2003AndNamesTheProgram) {
  ASSERT_FALSE(gPrograms.empty()) << "usage: velnara_resource_tests Velnara.exe...";
  for (const std::string& program : gPrograms) ExpectVersionRecord(program);
}

TEST(BuiltPrograms, IconGroup128Holds32And16PixelImagesOf16Colours) {
  ASSERT_FALSE(gPrograms.empty()) << "usage: velnara_resource_tests Velnara.exe...";
  for (const std::string& program : gPrograms) ExpectIconGroup(program);
}

}  // namespace
}  // namespace velnara::wine_test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) velnara::wine_test::gPrograms.emplace_back(argv[i]);
  return RUN_ALL_TESTS();
}

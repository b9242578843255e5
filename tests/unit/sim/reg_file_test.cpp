// The .reg reader: every value form regedit writes, deletes, continuation
// lines, encodings, and errors that name their line and change nothing.
#include "platform/sim/reg_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace velnara::platform::sim {
namespace {

constexpr char kVersion5[] = "Windows Registry Editor Version 5.00\n\n";
constexpr char kKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test";

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

class RegFileTest : public ::testing::Test {
 protected:
  void Import(const std::string& text) {
    std::string error;
    ASSERT_TRUE(ImportRegText(text, &registry_, &error)) << error;
  }

  Bytes Value(const std::string& name, std::uint32_t expectedType) {
    std::uint32_t type = 0xFFFF;
    Bytes data;
    EXPECT_TRUE(registry_.GetValueAt(kKey, name, &type, &data)) << name;
    EXPECT_EQ(expectedType, type) << name;
    return data;
  }

  SimRegistry registry_;
};

TEST_F(RegFileTest, ReadsEveryValueForm) {
  Import(std::string(kVersion5) +
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
         "\"str\"=\"a \\\"q\\\" b\\\\c\"\n"
         "@=\"default\"\n"
         "\"dw\"=dword:0000000a\n"
         "\"short dw\"=dword:FF\n"
         "\"bin\"=hex:01,02,ff\n"
         "\"none\"=hex(0):\n"
         "\"dw4\"=hex(4):0a,00,00,00\n"
         "\"odd type\"=hex(1f):05\n");
  EXPECT_EQ(Text(std::string("a \"q\" b\\c", 10)), Value("str", value_type::kSz));
  EXPECT_EQ(Text(std::string("default", 8)), Value("", value_type::kSz));
  EXPECT_EQ((Bytes{10, 0, 0, 0}), Value("dw", value_type::kDword));
  EXPECT_EQ((Bytes{0xFF, 0, 0, 0}), Value("short dw", value_type::kDword));
  EXPECT_EQ((Bytes{1, 2, 0xFF}), Value("bin", value_type::kBinary));
  EXPECT_EQ(Bytes{}, Value("none", value_type::kNone));
  EXPECT_EQ((Bytes{10, 0, 0, 0}), Value("dw4", value_type::kDword));
  EXPECT_EQ(Bytes{5}, Value("odd type", 0x1F));
}

TEST_F(RegFileTest, WideStringBytesAreNarrowedOnlyInUtf16Files) {
  // regedit's own export is UTF-16LE, and so are its hex(1), hex(2) and
  // hex(7) bytes; an ANSI caller reads one byte per character. An 8-bit file
  // holds the bytes as is, whatever its header says (Wine's regedit agrees).
  const std::string body =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
      "\"exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "\"multi\"=hex(7):41,00,00,00,42,00,00,00,00,00\r\n"
      "\"sz\"=hex(1):43,00,4f,00,4d,00,35,00\r\n";
  std::string wide = "\xFF\xFE";
  for (const char c : std::string(kVersion5) + body) {
    wide += c;
    wide += '\0';
  }
  Import(wide);
  EXPECT_EQ(Text(std::string("%A%", 4)), Value("exp", value_type::kExpandSz));
  EXPECT_EQ(Text(std::string("A\0B\0\0", 5)), Value("multi", value_type::kMultiSz));
  EXPECT_EQ(Text("COM5"), Value("sz", value_type::kSz));  // unterminated stays so

  Import(std::string(kVersion5) + body);
  EXPECT_EQ((Bytes{0x25, 0, 0x41, 0, 0x25, 0, 0, 0}), Value("exp", value_type::kExpandSz));

  Import(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n\"exp\"=hex(2):25,41,25,00\n"
      "\"str\"=\"x\"\n");
  EXPECT_EQ(Text(std::string("%A%", 4)), Value("exp", value_type::kExpandSz));
  EXPECT_EQ(Text(std::string("x", 2)), Value("str", value_type::kSz));
}

TEST_F(RegFileTest, ContinuationLinesJoinAByteList) {
  Import(std::string(kVersion5) +
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
         "\"long\"=hex:01,02,\\\n"
         "  03,04,\\\n"
         "  05\n"
         "\"after\"=dword:00000001\n");
  EXPECT_EQ((Bytes{1, 2, 3, 4, 5}), Value("long", value_type::kBinary));
  EXPECT_EQ((Bytes{1, 0, 0, 0}), Value("after", value_type::kDword));
}

TEST_F(RegFileTest, RemovesKeysAndValues) {
  Import(std::string(kVersion5) +
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Sub\\Deeper]\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
         "\"keep\"=\"1\"\n"
         "\"drop\"=\"2\"\n");
  Import(std::string(kVersion5) +
         "; comments and blank lines are ignored\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
         "\"drop\"=-\n"
         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Sub]\n"
         "\"ignored\"=\"values under a removed key are skipped\"\n"
         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\NeverThere]\n");
  EXPECT_EQ(std::vector<std::string>{"keep"}, registry_.ValueNamesAt(kKey));
  EXPECT_FALSE(registry_.KeyExists(std::string(kKey) + "\\Sub"));
  EXPECT_TRUE(registry_.SubkeyNamesAt(kKey).empty());
}

TEST_F(RegFileTest, AcceptsCrlfAByteOrderMarkAndUtf16) {
  Import(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\T]\r\n\"a\"=\"caf\xC3\xA9\"\r\n");
  EXPECT_EQ("caf\xE9", registry_.GetStringAt("HKCU\\Software\\T", "a"));

  const std::string text =
      "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\.DEFAULT\\W]\r\n\"b\"=dword:2\r\n";
  std::string wide = "\xFF\xFE";
  for (char c : text) wide += std::string{c, '\0'};
  Import(wide);
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(registry_.GetValueAt("HKEY_USERS\\.DEFAULT\\W", "b", nullptr, &data));
  EXPECT_EQ((Bytes{2, 0, 0, 0}), data);
}

TEST_F(RegFileTest, ErrorsNameTheirLineAndChangeNothing) {
  struct Row {
    std::string text;
    const char* line;
  };
  const std::string good = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n\"good\"=\"1\"\n";  // lines 3, 4
  const Row rows[] = {
      {"REGEDIT5\n", "line 1:"},
      {"\n\nREGEDIT4 extra\n", "line 3:"},
      {"REGEDIT4\n\"a\"=\"b\"\n", "line 2:"},  // a value before any key
      {std::string(kVersion5) + good + "\"a\"=dword:123456789\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=dword:xyz\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=hex:01,zz\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=hex:01,,02\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=hex(zz):01\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=hex:01,\\\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=hex:01,\\\n 02,\\\n 0g\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=\"unterminated\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=\"x\" tail\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\"=str:x\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a\" \"b\"\n", "line 5:"},
      {std::string(kVersion5) + good + "\"a=\"b\"\n", "line 5:"},
      {std::string(kVersion5) + good + "garbage\n", "line 5:"},
      {std::string(kVersion5) + good + "[HKEY_NOWHERE\\X]\n", "line 5:"},
      {std::string(kVersion5) + good + "[HKEY_LOCAL_MACHINE\\X\n", "line 5:"},
      {std::string(kVersion5) + good + "[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\n",
       "line 5:"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    SimRegistry registry;
    std::string error;
    EXPECT_FALSE(ImportRegText(row.text, &registry, &error));
    EXPECT_EQ(0u, error.rfind(row.line, 0)) << error;
    EXPECT_FALSE(registry.KeyExists(kKey));  // nothing applied
  }
}

TEST_F(RegFileTest, ImportsAFileAndNamesAMissingOne) {
  const std::string path = ::testing::TempDir() + "velnara_reg_file_test.reg";
  {
    std::ofstream file(path, std::ios::binary);
    file << kVersion5 << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n\"f\"=\"from file\"\n";
  }
  std::string error;
  EXPECT_TRUE(ImportRegFile(path, &registry_, &error)) << error;
  EXPECT_EQ("from file", registry_.GetStringAt(kKey, "f"));
  std::remove(path.c_str());

  EXPECT_FALSE(ImportRegFile(path, &registry_, &error));
  EXPECT_NE(std::string::npos, error.find(path));
}

TEST_F(RegFileTest, AnExportReadsBackToTheSameMachine) {
  std::string problem;
  ASSERT_TRUE(ImportRegFile(VELNARA_SOURCE_DIR "/samples/demo-machine.reg", &registry_, &problem))
      << problem;
  registry_.SetValueAt("HKLM\\SOFTWARE\\Odd", "quote\"back\\slash", value_type::kSz,
                       {'a', 0, 'b', 0});
  registry_.SetValueAt("HKLM\\SOFTWARE\\Odd", "", value_type::kMultiSz, {'x', 0, 0});
  registry_.SetValueAt("HKLM\\SOFTWARE\\Odd", "unterminated", value_type::kSz, {'C', 'O'});
  const std::string text = ExportRegText(registry_, "HKEY_LOCAL_MACHINE");
  SimRegistry copy;
  ASSERT_TRUE(ImportRegText(text, &copy, &problem)) << problem;
  EXPECT_EQ(text, ExportRegText(copy, "HKEY_LOCAL_MACHINE"));
  EXPECT_NE(text.find("\"PortName\"=\"COM46\""), std::string::npos);
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(copy.GetValueAt("HKLM\\SOFTWARE\\Odd", "unterminated", nullptr, &data));
  EXPECT_EQ(data, (std::vector<std::uint8_t>{'C', 'O'}));
}

}  // namespace
}  // namespace velnara::platform::sim

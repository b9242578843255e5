// The registry behaviour the program relies on, checked against every
// backend of the test program: the stand-in, and under Wine the real calls.
// When a backend disagrees with a test that states no difference, the
// stand-in is the one to fix.
//
// Each test works in its own scratch key HKCU\Software\VelnaraContract\<Test>
// and removes it at the end. Buffers are pre-filled with 0xCC so that a byte
// written past what a call may touch shows, and a failed open starts from a
// handle that is not 0 so that the reset to 0 shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {

void PrintTo(const BackendFactory& factory, std::ostream* out) {
  *out << factory.name;
}

namespace {

using platform::ErrorCode;
using platform::kCurrentUser;
using platform::kNoKey;
using platform::RawKey;
namespace error = platform::error;
namespace access = platform::access;
namespace value_type = platform::value_type;

constexpr char kContractRoot[] = "Software\\VelnaraContract";
constexpr std::uint8_t kSentinel = 0xCC;
constexpr RawKey kStaleHandle = 0xDEAD;

// Readable by everyone and by no one writable. DELETE is granted as well so
// that the test can remove the key again: without it Windows refuses
// RegDeleteKey, and DELETE is not part of KEY_WRITE.
constexpr char kReadOnlySddl[] = "D:(A;;KR;;;WD)(A;;SD;;;WD)";

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

class RegistryContract : public ::testing::TestWithParam<BackendFactory> {
 protected:
  void SetUp() override {
    backend_ = GetParam().make();
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    scratchPath_ = std::string(kContractRoot) + "\\" + test.substr(0, test.find('/'));
    DeleteTree(kCurrentUser, scratchPath_);  // left over from an interrupted run
    ASSERT_EQ(error::kSuccess, reg().CreateKey(kCurrentUser, scratchPath_.c_str(),
                                               access::kKeyAllAccess, nullptr, &scratch_));
  }

  void TearDown() override {
    if (scratch_ != kNoKey) {
      EXPECT_EQ(error::kSuccess, reg().CloseKey(scratch_));
    }
    EXPECT_EQ(error::kSuccess, DeleteTree(kCurrentUser, scratchPath_));
    // Fails while another test's key is still there, which is fine.
    reg().DeleteKey(kCurrentUser, kContractRoot);
  }

  platform::Registry& reg() { return backend_->registry(); }
  bool IsWine() const { return backend_->IsWine(); }

  ErrorCode DeleteTree(RawKey parent, const std::string& path) {
    return DeleteKeyTree(reg(), parent, path);
  }

  void CreateSubkey(const char* name, const char* sddl = nullptr) {
    RawKey key = kNoKey;
    ASSERT_EQ(error::kSuccess, reg().CreateKey(scratch_, name, access::kKeyRead, sddl, &key));
    EXPECT_EQ(error::kSuccess, reg().CloseKey(key));
  }

  void SetValue(const char* name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    ASSERT_EQ(error::kSuccess, reg().SetValue(scratch_, name, type, data.data(),
                                              static_cast<std::uint32_t>(data.size())));
  }

  std::unique_ptr<RegistryBackend> backend_;
  std::string scratchPath_;
  RawKey scratch_ = kNoKey;
};

TEST_P(RegistryContract, SubkeysEnumerateSortedWithoutRegardToCaseThenEnd) {
  // Created out of order and in mixed case. Windows and Wine sort alike for
  // letters (they differ only for [ \ ] ^ _ `, which no name here uses).
  for (const char* name : {"beta", "Alpha", "GAMMA", "delta"}) CreateSubkey(name);
  const std::vector<std::string> expected = {"Alpha", "beta", "delta", "GAMMA"};

  for (std::uint32_t index = 0; index < expected.size(); ++index) {
    SCOPED_TRACE("index " + std::to_string(index));
    char name[32];
    std::memset(name, kSentinel, sizeof name);
    std::uint32_t chars = sizeof name;
    ASSERT_EQ(error::kSuccess, reg().EnumKey(scratch_, index, name, &chars));
    EXPECT_EQ(expected[index], name);  // in the case it was created
    EXPECT_EQ(expected[index].size(), chars);
  }
  for (std::uint32_t index : {4u, 100u}) {
    char name[32];
    std::uint32_t chars = sizeof name;
    EXPECT_EQ(error::kNoMoreItems, reg().EnumKey(scratch_, index, name, &chars)) << index;
  }
}

TEST_P(RegistryContract, SubkeyNameCapacityCountsTheTerminator) {
  CreateSubkey("LongerName");  // 10 characters
  struct Row {
    std::uint32_t capacity;
    ErrorCode code;
  };
  for (const Row& row :
       {Row{8, error::kMoreData}, Row{10, error::kMoreData}, Row{11, error::kSuccess}}) {
    SCOPED_TRACE("capacity " + std::to_string(row.capacity));
    char name[32];
    std::memset(name, kSentinel, sizeof name);
    std::uint32_t chars = row.capacity;
    ASSERT_EQ(row.code, reg().EnumKey(scratch_, 0, name, &chars));
    if (row.code == error::kMoreData) {
      EXPECT_EQ(row.capacity, chars);                            // left as it was
      EXPECT_EQ(kSentinel, static_cast<std::uint8_t>(name[0]));  // nothing copied
    } else {
      EXPECT_STREQ("LongerName", name);
      EXPECT_EQ(10u, chars);
      EXPECT_EQ(kSentinel, static_cast<std::uint8_t>(name[11]));
    }
  }
}

TEST_P(RegistryContract, ValuesEnumerateInCreationOrderOnWindowsSortedOnWine) {
  // Windows keeps values in creation order: an overwritten value keeps its
  // slot and a deleted one closes the gap. Wine lists them sorted by name.
  SetValue("zeta", value_type::kSz, Bytes(std::string("z", 2)));
  SetValue("alpha", value_type::kSz, Bytes(std::string("a", 2)));
  SetValue("Mid", value_type::kSz, Bytes(std::string("m", 2)));
  SetValue("beta", value_type::kSz, Bytes(std::string("b", 2)));
  SetValue("zeta", value_type::kSz, Bytes(std::string("zz", 3)));
  ASSERT_EQ(error::kSuccess, reg().DeleteValue(scratch_, "alpha"));
  const std::vector<std::string> expected = IsWine()
                                                ? std::vector<std::string>{"beta", "Mid", "zeta"}
                                                : std::vector<std::string>{"zeta", "Mid", "beta"};

  for (std::uint32_t index = 0; index < expected.size(); ++index) {
    SCOPED_TRACE("index " + std::to_string(index));
    char name[32];
    std::uint8_t data[8];
    std::uint32_t chars = sizeof name;
    std::uint32_t bytes = sizeof data;
    std::uint32_t type = 0;
    ASSERT_EQ(error::kSuccess, reg().EnumValue(scratch_, index, name, &chars, &type, data, &bytes));
    EXPECT_EQ(expected[index], name);
    EXPECT_EQ(expected[index].size(), chars);
    if (expected[index] == "zeta") {
      EXPECT_EQ(3u, bytes);  // the overwriting data
      EXPECT_STREQ("zz", reinterpret_cast<const char*>(data));
    }
  }
  char name[32];
  std::uint32_t chars = sizeof name;
  EXPECT_EQ(error::kNoMoreItems,
            reg().EnumValue(scratch_, 3, name, &chars, nullptr, nullptr, nullptr));
}

TEST_P(RegistryContract, EnumValueReportsWhatDoesNotFit) {
  const std::vector<std::uint8_t> stored = {1, 0, 2, 0, 3, 4};
  SetValue("Name5", value_type::kBinary, stored);
  struct Row {
    const char* what;
    std::uint32_t nameCapacity;  // "Name5" needs 6
    std::uint32_t dataCapacity;  // the data needs 6
    ErrorCode code;
  };
  const Row rows[] = {
      {"name too small", 5, 16, error::kMoreData},
      {"data too small", 6, 5, error::kMoreData},
      {"both fit exactly", 6, 6, error::kSuccess},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    char name[16];
    std::uint8_t data[16];
    std::memset(data, kSentinel, sizeof data);
    std::uint32_t chars = row.nameCapacity;
    std::uint32_t bytes = row.dataCapacity;
    std::uint32_t type = 0;
    ASSERT_EQ(row.code, reg().EnumValue(scratch_, 0, name, &chars, &type, data, &bytes));
    EXPECT_EQ(6u, bytes);  // the stored size, also when it did not fit
    EXPECT_EQ(value_type::kBinary, type);
    if (row.code == error::kSuccess) {
      EXPECT_STREQ("Name5", name);
      EXPECT_EQ(5u, chars);
      EXPECT_EQ(stored, std::vector<std::uint8_t>(data, data + 6));
      EXPECT_EQ(kSentinel, data[6]);
    }
    // After ERROR_MORE_DATA the buffers' contents differ between versions:
    // they are not inspected.
  }

  // No data buffer: the size is reported and the call succeeds.
  char name[16];
  std::uint32_t chars = sizeof name;
  std::uint32_t bytes = 0;
  std::uint32_t type = 0;
  EXPECT_EQ(error::kSuccess, reg().EnumValue(scratch_, 0, name, &chars, &type, nullptr, &bytes));
  EXPECT_EQ(6u, bytes);
  EXPECT_EQ(value_type::kBinary, type);
}

TEST_P(RegistryContract, QueryValueReportsTheStoredSize) {
  const std::vector<std::uint8_t> stored = {9, 8, 7, 0, 5, 4};
  SetValue("Data", value_type::kBinary, stored);

  std::uint32_t type = 0;
  std::uint32_t bytes = 0;
  EXPECT_EQ(error::kSuccess, reg().QueryValue(scratch_, "Data", &type, nullptr, &bytes));
  EXPECT_EQ(6u, bytes);
  EXPECT_EQ(value_type::kBinary, type);

  std::uint8_t data[16];
  bytes = 5;
  EXPECT_EQ(error::kMoreData, reg().QueryValue(scratch_, "Data", &type, data, &bytes));
  EXPECT_EQ(6u, bytes);

  std::memset(data, kSentinel, sizeof data);
  bytes = sizeof data;
  ASSERT_EQ(error::kSuccess, reg().QueryValue(scratch_, "Data", &type, data, &bytes));
  EXPECT_EQ(6u, bytes);
  EXPECT_EQ(stored, std::vector<std::uint8_t>(data, data + 6));
  EXPECT_EQ(kSentinel, data[6]);  // binary data gets no terminator
}

TEST_P(RegistryContract, StringWithAndWithoutTerminatorAtCapacitiesEightAndNine) {
  // Eight characters, stored once with the terminator counted (9 bytes) and
  // once without (8 bytes). Unterminated data that exactly fills the buffer
  // comes back as it is; with a byte to spare a terminator is appended and
  // not counted.
  //
  // RegSetValueExA, on Windows and Wine alike, counts a terminator that sits
  // right after the counted bytes of a string (the caller is taken to have
  // forgotten it), so the unterminated value is written from a buffer whose
  // next byte is not NUL. An 8-byte string literal would be stored as 9
  // bytes, and then reads at capacity 8 answer ERROR_MORE_DATA with size 9.
  SetValue("With", value_type::kSz, Bytes(std::string("ABCDEFGH", 9)));
  const char unterminated[] = "ABCDEFGHX";
  ASSERT_EQ(error::kSuccess,
            reg().SetValue(scratch_, "Without", value_type::kSz,
                           reinterpret_cast<const std::uint8_t*>(unterminated), 8));
  struct Row {
    const char* name;
    std::uint32_t capacity;
    ErrorCode code;
    std::uint32_t size;
  };
  const Row rows[] = {
      {"With", 8, error::kMoreData, 9},
      {"With", 9, error::kSuccess, 9},
      {"Without", 8, error::kSuccess, 8},
      {"Without", 9, error::kSuccess, 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " at capacity " + std::to_string(row.capacity));
    std::uint8_t data[16];
    std::memset(data, kSentinel, sizeof data);
    std::uint32_t bytes = row.capacity;
    std::uint32_t type = 0;
    ASSERT_EQ(row.code, reg().QueryValue(scratch_, row.name, &type, data, &bytes));
    EXPECT_EQ(row.size, bytes);
    EXPECT_EQ(value_type::kSz, type);
    if (row.code != error::kSuccess) continue;
    EXPECT_EQ(0, std::memcmp(data, "ABCDEFGH", 8));
    // A terminator where a byte was to spare; nothing beyond the capacity.
    EXPECT_EQ(row.capacity == 9 ? 0 : kSentinel, data[8]);
    EXPECT_EQ(kSentinel, data[9]);
  }
}

TEST_P(RegistryContract, ValuesKeepTypeAndBytesAndTheDefaultValueHasNoName) {
  SetValue("Dword", value_type::kDword, {0x0a, 0, 0, 0});
  SetValue("", value_type::kSz, Bytes(std::string("default", 8)));
  const char* names[] = {"", nullptr};
  for (const char* name : names) {
    SCOPED_TRACE(name == nullptr ? "null name" : "empty name");
    char text[16];
    std::uint32_t bytes = sizeof text;
    std::uint32_t type = 0;
    ASSERT_EQ(error::kSuccess, reg().QueryValue(scratch_, name, &type,
                                                reinterpret_cast<std::uint8_t*>(text), &bytes));
    EXPECT_EQ(value_type::kSz, type);
    EXPECT_EQ(8u, bytes);
    EXPECT_STREQ("default", text);
  }
  std::uint8_t data[4];
  std::uint32_t bytes = sizeof data;
  std::uint32_t type = 0;
  ASSERT_EQ(error::kSuccess, reg().QueryValue(scratch_, "DWORD", &type, data, &bytes));
  EXPECT_EQ(value_type::kDword, type);
  EXPECT_EQ((std::vector<std::uint8_t>{0x0a, 0, 0, 0}), std::vector<std::uint8_t>(data, data + 4));
}

TEST_P(RegistryContract, MissingKeysAndValuesAnswerFileNotFound) {
  for (const char* path : {"NoSuchKey", "NoSuchKey\\Deeper"}) {
    SCOPED_TRACE(path);
    RawKey key = kStaleHandle;
    EXPECT_EQ(error::kFileNotFound, reg().OpenKey(scratch_, path, access::kKeyRead, &key));
    EXPECT_EQ(kNoKey, key);
  }
  std::uint8_t data[8];
  std::uint32_t bytes = sizeof data;
  EXPECT_EQ(error::kFileNotFound, reg().QueryValue(scratch_, "NoSuchValue", nullptr, data, &bytes));
  EXPECT_EQ(error::kFileNotFound, reg().DeleteValue(scratch_, "NoSuchValue"));
}

TEST_P(RegistryContract, KeyReadableByAllOpensForReadingButNotForWriting) {
  // Under Wine the current user is an administrator, so the list grants
  // nothing but reading (and DELETE, see kReadOnlySddl) to anyone.
  CreateSubkey("ReadOnly", kReadOnlySddl);
  for (platform::AccessMask desired : {access::kKeyWrite, access::kKeySetValue}) {
    SCOPED_TRACE("access " + std::to_string(desired));
    RawKey key = kStaleHandle;
    EXPECT_EQ(error::kAccessDenied, reg().OpenKey(scratch_, "ReadOnly", desired, &key));
    EXPECT_EQ(kNoKey, key);  // a failed open hands back no handle
  }
  RawKey key = kNoKey;
  ASSERT_EQ(error::kSuccess, reg().OpenKey(scratch_, "ReadOnly", access::kKeyRead, &key));
  std::uint32_t bytes = 0;
  EXPECT_EQ(error::kFileNotFound, reg().QueryValue(key, "Nothing", nullptr, nullptr, &bytes));
  EXPECT_EQ(error::kSuccess, reg().CloseKey(key));
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract, ::testing::ValuesIn(RegistryBackends()),
                         [](const ::testing::TestParamInfo<BackendFactory>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace velnara::contract

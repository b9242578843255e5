// The COM port database as the program uses it, on every backend that keeps
// it in the registry: the stand-in, and the real registry under Wine (whose
// msports.dll cannot be called). The bitmap is read back from the value
// ComDB after each step. Each test sets the value it needs and puts back
// what was there before.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/com_port_database.h"
#include "platform/registry.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

using platform::ComDb;
using platform::ErrorCode;
using platform::kLocalMachine;
using platform::RawKey;
namespace error = platform::error;
namespace access = platform::access;
namespace comdb = platform::comdb;
namespace value_type = platform::value_type;

constexpr char kArbiter[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
constexpr char kValue[] = "ComDB";

class ComPortDatabaseContract : public ::testing::TestWithParam<BackendFactory> {
 protected:
  void SetUp() override {
    backend_ = GetParam().make();
    ASSERT_EQ(error::kSuccess,
              reg().CreateKey(kLocalMachine, kArbiter, access::kKeyAllAccess, nullptr, &key_));
    std::uint32_t size = 0;
    hadValue_ = reg().QueryValue(key_, kValue, &savedType_, nullptr, &size) == error::kSuccess;
    if (hadValue_) {
      saved_.assign(size, 0);
      ASSERT_EQ(error::kSuccess, reg().QueryValue(key_, kValue, &savedType_, saved_.data(), &size));
    }
  }
  void TearDown() override {
    if (hadValue_) {
      EXPECT_EQ(error::kSuccess, reg().SetValue(key_, kValue, savedType_, saved_.data(),
                                                static_cast<std::uint32_t>(saved_.size())));
    } else {
      reg().DeleteValue(key_, kValue);
    }
    reg().CloseKey(key_);
  }

  platform::Registry& reg() { return backend_->registry(); }
  platform::ComPortDatabase& db() { return backend_->comPorts(); }

  void Store(const std::vector<std::uint8_t>& bitmap) {
    ASSERT_EQ(error::kSuccess, reg().SetValue(key_, kValue, value_type::kBinary, bitmap.data(),
                                              static_cast<std::uint32_t>(bitmap.size())));
  }
  std::vector<std::uint8_t> Stored() {
    std::vector<std::uint8_t> data(8192, 0);
    std::uint32_t size = static_cast<std::uint32_t>(data.size());
    std::uint32_t type = 0;
    if (reg().QueryValue(key_, kValue, &type, data.data(), &size) != error::kSuccess) return {};
    EXPECT_EQ(value_type::kBinary, type);
    data.resize(size);
    return data;
  }

  std::unique_ptr<RegistryBackend> backend_;
  RawKey key_ = platform::kNoKey;
  bool hadValue_ = false;
  std::uint32_t savedType_ = 0;
  std::vector<std::uint8_t> saved_;
  platform::ComDbHandle handle_ = platform::InvalidComDb();
};

std::vector<std::uint8_t> Bitmap(std::size_t bytes, std::initializer_list<int> numbers) {
  std::vector<std::uint8_t> bitmap(bytes, 0);
  for (int n : numbers) bitmap[(n - 1) / 8] |= static_cast<std::uint8_t>(1 << ((n - 1) % 8));
  return bitmap;
}

TEST_P(ComPortDatabaseContract, ClaimAndReleaseMoveOneBitEach) {
  Store(Bitmap(32, {1, 3}));
  ComDb database(db());
  ASSERT_EQ(error::kSuccess, database.Open());

  std::vector<std::uint8_t> claimed;
  ASSERT_EQ(error::kSuccess, database.ClaimedNumbers(&claimed));
  ASSERT_EQ(256u, claimed.size());
  EXPECT_TRUE(claimed[0] && !claimed[1] && claimed[2] && !claimed[6]);

  bool forced = true;
  EXPECT_EQ(error::kSuccess, database.ClaimPort(7, false, &forced));
  EXPECT_FALSE(forced);
  EXPECT_EQ(Bitmap(32, {1, 3, 7}), Stored());
  // A claimed number is refused, unless the claim is forced.
  EXPECT_EQ(error::kSharingViolation, database.ClaimPort(7, false, &forced));
  EXPECT_FALSE(forced);
  EXPECT_EQ(error::kSuccess, database.ClaimPort(7, true, &forced));
  EXPECT_TRUE(forced);
  EXPECT_EQ(error::kSuccess, database.ReleasePort(3));
  EXPECT_EQ(error::kSuccess, database.ReleasePort(3));  // releasing a free number is no error
  EXPECT_EQ(Bitmap(32, {1, 7}), Stored());
  EXPECT_EQ(error::kSuccess, database.ClaimPort(256, false, nullptr));
  EXPECT_EQ(Bitmap(32, {1, 7, 256}), Stored());
  EXPECT_EQ(error::kSuccess, database.Close());
}

TEST_P(ComPortDatabaseContract, TheValueSizesTheDatabaseAndNothingBeyondItIsWritten) {
  struct Row {
    std::size_t bytes;
    std::uint32_t ports;
  };
  for (const Row& row : {Row{32, 256}, Row{64, 512}, Row{513, 4096}, Row{5, 40}}) {
    SCOPED_TRACE(std::to_string(row.bytes) + " bytes");
    std::vector<std::uint8_t> bitmap(row.bytes, 0);
    // Bytes past the 512 that can count are kept as they are.
    for (std::size_t i = 512; i < row.bytes; ++i) bitmap[i] = 0xA5;
    Store(bitmap);
    ASSERT_EQ(error::kSuccess, db().Open(&handle_));
    std::uint32_t ports = 0;
    EXPECT_EQ(error::kSuccess,
              db().GetCurrentPortUsage(handle_, nullptr, 0, comdb::kReportBytes, &ports));
    EXPECT_EQ(row.ports, ports);
    EXPECT_EQ(error::kSuccess, db().ClaimPort(handle_, row.ports, false, nullptr));
    for (std::uint32_t outside : {0u, row.ports + 1, 0xFFFFFFFFu}) {
      EXPECT_EQ(error::kInvalidParameter, db().ClaimPort(handle_, outside, false, nullptr))
          << outside;
      EXPECT_EQ(error::kInvalidParameter, db().ReleasePort(handle_, outside)) << outside;
    }
    bitmap[(row.ports - 1) / 8] = 0x80;
    EXPECT_EQ(bitmap, Stored());
    EXPECT_EQ(error::kSuccess, db().Close(handle_));
  }
}

TEST_P(ComPortDatabaseContract, WithoutAValueThereAre256FreeNumbers) {
  reg().DeleteValue(key_, kValue);
  ASSERT_EQ(error::kSuccess, db().Open(&handle_));
  std::uint32_t ports = 0;
  EXPECT_EQ(error::kSuccess,
            db().GetCurrentPortUsage(handle_, nullptr, 0, comdb::kReportBits, &ports));
  EXPECT_EQ(256u, ports);
  EXPECT_EQ(error::kSuccess, db().ClaimPort(handle_, 12, false, nullptr));
  EXPECT_EQ(Bitmap(32, {12}), Stored());
  EXPECT_EQ(error::kSuccess, db().Close(handle_));
}

TEST_P(ComPortDatabaseContract, UsageReportsAsMuchAsTheBufferHolds) {
  Store(Bitmap(32, {2, 9, 17, 200}));
  ASSERT_EQ(error::kSuccess, db().Open(&handle_));
  std::uint8_t bits[3];
  std::memset(bits, 0xCC, sizeof bits);
  std::uint32_t ports = 0;
  ASSERT_EQ(error::kSuccess,
            db().GetCurrentPortUsage(handle_, bits, 2, comdb::kReportBits, &ports));
  EXPECT_EQ(16u, ports);
  EXPECT_EQ(0x02, bits[0]);
  EXPECT_EQ(0x01, bits[1]);
  EXPECT_EQ(0xCC, bits[2]);  // nothing past the buffer
  std::uint8_t bytes[20];
  std::memset(bytes, 0xCC, sizeof bytes);
  ASSERT_EQ(error::kSuccess,
            db().GetCurrentPortUsage(handle_, bytes, 18, comdb::kReportBytes, &ports));
  EXPECT_EQ(18u, ports);
  const std::uint8_t expected[20] = {0, 1, 0, 0, 0, 0, 0, 0, 1,    0,
                                     0, 0, 0, 0, 0, 0, 1, 0, 0xCC, 0xCC};
  EXPECT_EQ(0, std::memcmp(expected, bytes, sizeof bytes));
  EXPECT_EQ(error::kInvalidParameter, db().GetCurrentPortUsage(handle_, bytes, 18, 7, &ports));
  EXPECT_EQ(error::kSuccess, db().Close(handle_));
}

TEST_P(ComPortDatabaseContract, AHandleThatIsNotOpenIsRefused) {
  ASSERT_EQ(error::kSuccess, db().Open(&handle_));
  ASSERT_NE(platform::InvalidComDb(), handle_);
  EXPECT_EQ(error::kSuccess, db().Close(handle_));
  for (platform::ComDbHandle bad : {handle_, platform::InvalidComDb()}) {
    EXPECT_EQ(error::kInvalidParameter, db().ClaimPort(bad, 5, false, nullptr));
    EXPECT_EQ(error::kInvalidParameter, db().ReleasePort(bad, 5));
    EXPECT_EQ(error::kInvalidParameter, db().Close(bad));
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, ComPortDatabaseContract, ::testing::ValuesIn(RegistryBackends()),
                         [](const ::testing::TestParamInfo<BackendFactory>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace velnara::contract

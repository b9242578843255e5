// The stand-in registry's handles, bookkeeping, forced failures, paths and
// seeding helpers: what the contract tests cannot reach.
#include "platform/sim/sim_registry.h"
#include "open_probe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace velnara::platform::sim {
namespace {

constexpr ErrorCode kKeyDeleted = 1018;
constexpr char kPciKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI";

class SimRegistryTest : public ::testing::Test {
 protected:
  RawKey Open(RawKey parent, const char* path, AccessMask desired = access::kKeyRead) {
    RawKey key = kNoKey;
    EXPECT_EQ(error::kSuccess, registry_.OpenKey(parent, path, desired, &key)) << path;
    return key;
  }

  ErrorCode TryOpen(RawKey parent, const char* path) {
    return ProbeOpen(registry_, parent, path, access::kKeyRead);
  }

  SimRegistry registry_;
};

TEST_F(SimRegistryTest, CountsOpenHandlesAndTheMostOpenAtOnce) {
  registry_.CreateKeyAt("SOFTWARE\\A\\B");
  const RawKey a = Open(kLocalMachine, "SOFTWARE\\A");
  const RawKey b = Open(a, "B");
  const RawKey again = Open(b, "");  // an empty subkey opens the same key anew
  EXPECT_NE(b, again);
  EXPECT_EQ(3, registry_.OpenHandleCount());
  registry_.CloseKey(a);
  registry_.CloseKey(again);
  EXPECT_EQ(1, registry_.OpenHandleCount());
  EXPECT_EQ(3, registry_.MaxOpenHandleCount());
  registry_.ResetMaxOpenHandleCount();
  EXPECT_EQ(1, registry_.MaxOpenHandleCount());
  registry_.CloseKey(b);
  EXPECT_EQ(0, registry_.OpenHandleCount());
  // The predefined roots are no handles of the program's: closing one is harmless.
  EXPECT_EQ(error::kSuccess, registry_.CloseKey(kLocalMachine));
  EXPECT_EQ(0, registry_.OpenHandleCount());
}

TEST_F(SimRegistryTest, ClosedAndUnknownHandlesAreInvalid) {
  registry_.SetStringAt("SOFTWARE\\A", "v", "x");
  const RawKey key = Open(kLocalMachine, "SOFTWARE\\A");
  ASSERT_EQ(error::kSuccess, registry_.CloseKey(key));
  EXPECT_EQ(error::kInvalidHandle, registry_.CloseKey(key));
  std::uint32_t bytes = 0;
  EXPECT_EQ(error::kInvalidHandle, registry_.QueryValue(key, "v", nullptr, nullptr, &bytes));
  char name[8];
  std::uint32_t chars = sizeof name;
  EXPECT_EQ(error::kInvalidHandle, registry_.EnumKey(0x1234, 0, name, &chars));
  EXPECT_EQ(error::kInvalidHandle, TryOpen(key, "Sub"));
  // A new handle never takes a closed one's value.
  const RawKey next = Open(kLocalMachine, "SOFTWARE\\A");
  EXPECT_NE(key, next);
  registry_.CloseKey(next);
}

TEST_F(SimRegistryTest, AHandleOnARemovedKeyAnswersKeyDeleted) {
  registry_.SetStringAt("SOFTWARE\\A\\B", "v", "x");
  const RawKey key = Open(kLocalMachine, "SOFTWARE\\A\\B", access::kKeyAllAccess);
  ASSERT_TRUE(registry_.DeleteTreeAt("SOFTWARE\\A"));
  std::uint32_t bytes = 0;
  EXPECT_EQ(kKeyDeleted, registry_.QueryValue(key, "v", nullptr, nullptr, &bytes));
  const std::uint8_t byte = 1;
  EXPECT_EQ(kKeyDeleted, registry_.SetValue(key, "v", value_type::kBinary, &byte, 1));
  EXPECT_FALSE(registry_.KeyExists("SOFTWARE\\A\\B"));
  EXPECT_EQ(error::kSuccess, registry_.CloseKey(key));
}

TEST_F(SimRegistryTest, CountsEveryRegistryCallButNoSeeding) {
  registry_.SetStringAt("SOFTWARE\\A", "v", "x");
  registry_.GetStringAt("SOFTWARE\\A", "v");
  EXPECT_EQ(0, registry_.CallCount());
  EXPECT_EQ(error::kFileNotFound, TryOpen(kLocalMachine, "SOFTWARE\\Missing"));
  const RawKey key = Open(kLocalMachine, "SOFTWARE\\A");
  registry_.CloseKey(key);
  EXPECT_EQ(3, registry_.CallCount());
}

TEST_F(SimRegistryTest, FailOpenOfForcesOnePathUntilCleared) {
  registry_.CreateKeyAt(std::string(kPciKey) + "\\VEN_1");
  registry_.FailOpenOf(kPciKey, error::kAccessDenied);
  registry_.FailOpenOf("HKEY_LOCAL_MACHINE\\SYSTEM\\Missing", error::kInvalidParameter);

  EXPECT_EQ(error::kAccessDenied, TryOpen(kLocalMachine, "system\\currentcontrolset\\enum\\pci"));
  const RawKey enumKey = Open(kLocalMachine, "SYSTEM\\CurrentControlSet\\Enum");
  EXPECT_EQ(error::kAccessDenied, TryOpen(enumKey, "PCI"));    // the same key by another way
  EXPECT_EQ(error::kSuccess, TryOpen(enumKey, "PCI\\VEN_1"));  // only that path
  registry_.CloseKey(enumKey);
  EXPECT_EQ(error::kInvalidParameter, TryOpen(kLocalMachine, "SYSTEM\\Missing"));

  registry_.ClearFailures();
  EXPECT_EQ(error::kSuccess, TryOpen(kLocalMachine, kPciKey));
  EXPECT_EQ(error::kFileNotFound, TryOpen(kLocalMachine, "SYSTEM\\Missing"));
}

TEST_F(SimRegistryTest, PathsAreCaseInsensitiveAndKeepTheirCreationCase) {
  registry_.CreateKeyAt("SOFTWARE\\MixedCase");
  EXPECT_EQ(error::kSuccess, TryOpen(kLocalMachine, "software\\MIXEDCASE"));
  EXPECT_EQ(error::kSuccess, TryOpen(kLocalMachine, "SOFTWARE\\\\MixedCase\\"));
  EXPECT_EQ(error::kBadPathname, TryOpen(kLocalMachine, "\\SOFTWARE\\MixedCase"));
  RawKey key = 0xDEAD;
  EXPECT_EQ(error::kBadPathname,
            registry_.CreateKey(kLocalMachine, "\\SOFTWARE\\X", access::kKeyRead, nullptr, &key));
  EXPECT_EQ(kNoKey, key);
  registry_.CreateKeyAt("software\\mixedcase\\Sub");
  EXPECT_EQ(std::vector<std::string>{"MixedCase"}, registry_.SubkeyNamesAt("SOFTWARE"));
}

TEST_F(SimRegistryTest, KeyNameComponentsHoldAtMost255Characters) {
  const std::string longest(255, 'k');
  RawKey key = kNoKey;
  ASSERT_EQ(error::kSuccess,
            registry_.CreateKey(kCurrentUser, longest.c_str(), access::kKeyRead, nullptr, &key));
  registry_.CloseKey(key);
  const std::string tooLong = "Ok\\" + std::string(256, 'k');
  EXPECT_EQ(error::kInvalidParameter,
            registry_.CreateKey(kCurrentUser, tooLong.c_str(), access::kKeyRead, nullptr, &key));
  EXPECT_FALSE(registry_.KeyExists("HKCU\\Ok"));
}

TEST_F(SimRegistryTest, DeleteKeyRefusesKeysWithSubkeysAndMissingOnes) {
  registry_.CreateKeyAt("SOFTWARE\\A\\B");
  EXPECT_EQ(error::kAccessDenied, registry_.DeleteKey(kLocalMachine, "SOFTWARE\\A"));
  EXPECT_EQ(error::kFileNotFound, registry_.DeleteKey(kLocalMachine, "SOFTWARE\\A\\Missing"));
  EXPECT_EQ(error::kSuccess, registry_.DeleteKey(kLocalMachine, "software\\a\\b"));
  EXPECT_EQ(error::kSuccess, registry_.DeleteKey(kLocalMachine, "SOFTWARE\\A"));
  EXPECT_FALSE(registry_.KeyExists("SOFTWARE\\A"));
  EXPECT_FALSE(registry_.DeleteTreeAt("HKEY_LOCAL_MACHINE"));  // roots stay
}

TEST_F(SimRegistryTest, SetValueStoresExactlyTheCountedBytes) {
  registry_.CreateKeyAt("SOFTWARE");
  const RawKey key = Open(kLocalMachine, "SOFTWARE", access::kKeyAllAccess);
  const char text[] = "COM5";  // the terminator follows, but is not counted
  ASSERT_EQ(error::kSuccess, registry_.SetValue(key, "PortName", value_type::kSz,
                                                reinterpret_cast<const std::uint8_t*>(text), 4));
  ASSERT_EQ(error::kSuccess, registry_.SetValue(key, "Empty", value_type::kSz, nullptr, 0));
  EXPECT_EQ(998u, registry_.SetValue(key, "Bad", value_type::kSz, nullptr, 4));
  registry_.CloseKey(key);

  std::vector<std::uint8_t> data;
  ASSERT_TRUE(registry_.GetValueAt("SOFTWARE", "portname", nullptr, &data));
  EXPECT_EQ(4u, data.size());
  EXPECT_EQ("COM5", registry_.GetStringAt("SOFTWARE", "PortName"));
  ASSERT_TRUE(registry_.GetValueAt("SOFTWARE", "Empty", nullptr, &data));
  EXPECT_TRUE(data.empty());
  EXPECT_EQ((std::vector<std::string>{"PortName", "Empty"}), registry_.ValueNamesAt("SOFTWARE"));
}

TEST_F(SimRegistryTest, AnEmptyStringGetsATerminatorWhenThereIsRoom) {
  registry_.SetValueAt("SOFTWARE", "Empty", value_type::kSz, {});
  const RawKey key = Open(kLocalMachine, "SOFTWARE");
  std::uint8_t data[2] = {0xCC, 0xCC};
  std::uint32_t bytes = 1;
  ASSERT_EQ(error::kSuccess, registry_.QueryValue(key, "Empty", nullptr, data, &bytes));
  EXPECT_EQ(0u, bytes);
  EXPECT_EQ(0, data[0]);
  EXPECT_EQ(0xCC, data[1]);
  registry_.CloseKey(key);
}

TEST_F(SimRegistryTest, SeedingPathsNameTheirRootInAnyOfItsSpellings) {
  registry_.SetStringAt("HKLM\\Software\\X", "a", "1");
  EXPECT_EQ("1", registry_.GetStringAt("HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "a"));
  EXPECT_EQ("1", registry_.GetStringAt("software\\x", "A"));
  registry_.SetDwordAt("HKCU\\Software\\Y", "d", 10);
  EXPECT_TRUE(registry_.KeyExists("hkey_current_user\\Software\\Y"));
  EXPECT_FALSE(registry_.KeyExists("Software\\Y"));  // no root means HKLM
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(registry_.GetValueAt("HKCU\\Software\\Y", "d", &type, &data));
  EXPECT_EQ(value_type::kDword, type);
  EXPECT_EQ((std::vector<std::uint8_t>{10, 0, 0, 0}), data);
  EXPECT_EQ(error::kSuccess, TryOpen(kCurrentUser, "Software\\Y"));
  EXPECT_TRUE(registry_.DeleteValueAt("HKCU\\Software\\Y", "D"));
  EXPECT_FALSE(registry_.DeleteValueAt("HKCU\\Software\\Y", "D"));
  EXPECT_EQ("", registry_.GetStringAt("HKCU\\Software\\Missing", "d"));
}

}  // namespace
}  // namespace velnara::platform::sim

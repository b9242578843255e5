// The device-key access lists a seeded sample machine gets, seen the way the
// program meets them: opening keys with the administrator's token.
#include "platform/sim/machine_access.h"

#include <gtest/gtest.h>

#include "open_probe.h"

#include <string>

namespace velnara::platform::sim {
namespace {

constexpr char kDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*PNP0501\\PFX&02090000";
constexpr char kParameters[] =
    "SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*PNP0501\\PFX&02090000\\Device Parameters";
constexpr char kOtherLetter[] = "SYSTEM\\CurrentControlSet\\Enum\\TRVX880U\\*PNP0501\\PFX&0a040001";
constexpr char kPciCard[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1&DEV_2\\3&0&48";

class MachineAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.SetStringAt(kParameters, "PortName", "COM5");
    registry_.SetStringAt(kDeviceKey, "FriendlyName", "Tarvex 880 Port (COM5)");
    registry_.SetStringAt(std::string(kOtherLetter) + "\\Device Parameters", "PortName", "COM6");
    registry_.SetStringAt(kPciCard, "LocationInformation", "PCI bus 2, device 9, function 0");
    ApplyDeviceKeyAccessRules(registry_);
  }

  ErrorCode Open(const std::string& path, AccessMask desired) {
    return ProbeOpen(registry_, kLocalMachine, path.c_str(), desired);
  }

  SimRegistry registry_;
};

TEST_F(MachineAccessTest, AnAdministratorReadsButCannotWriteAPortDeviceKey) {
  EXPECT_EQ(error::kAccessDenied, Open(kDeviceKey, access::kKeyWrite));
  EXPECT_EQ(error::kAccessDenied, Open(kDeviceKey, access::kKeySetValue));
  EXPECT_EQ(error::kSuccess, Open(kDeviceKey, access::kKeyRead));
  EXPECT_EQ(error::kAccessDenied, Open(kOtherLetter, access::kKeyWrite));
}

TEST_F(MachineAccessTest, DeviceParametersStayWritableForAdministratorsOnly) {
  EXPECT_EQ(error::kSuccess, Open(kParameters, access::kKeyWrite));
  EXPECT_EQ(error::kSuccess,
            Open(std::string(kOtherLetter) + "\\Device Parameters", access::kKeySetValue));
  registry_.SetTokenSids({kSidEveryone, kSidUsers});
  EXPECT_EQ(error::kAccessDenied, Open(kParameters, access::kKeyWrite));
  EXPECT_EQ(error::kSuccess, Open(kParameters, access::kKeyRead));
}

TEST_F(MachineAccessTest, EveryoneGrantedWriteOpensThePortDeviceKeyAndNothingBelowIt) {
  // What the program's key access grant leaves on the key.
  Dacl dacl = registry_.GetDaclAt(kDeviceKey);
  for (const Ace& ace : dacl.aces) EXPECT_EQ(0, ace.flags) << ace.sid;  // explicit, not inherited
  dacl.aces.push_back(Ace{true, 0, access::kGenericWrite, kSidEveryone});
  ASSERT_TRUE(registry_.SetDaclAt(kDeviceKey, dacl));
  EXPECT_EQ(error::kSuccess, Open(kDeviceKey, access::kKeyWrite));
  registry_.SetTokenSids({kSidEveryone});
  EXPECT_EQ(error::kAccessDenied, Open(kParameters, access::kKeyWrite));
}

TEST_F(MachineAccessTest, KeysOutsideThePortDriversKeepTheirLists) {
  EXPECT_EQ(error::kSuccess, Open(kPciCard, access::kKeyWrite));
  SimRegistry empty;
  ApplyDeviceKeyAccessRules(empty);  // no port driver installed: nothing to do
  EXPECT_FALSE(empty.KeyExists("SYSTEM\\CurrentControlSet\\Enum\\TRVX880A"));
}

}  // namespace
}  // namespace velnara::platform::sim

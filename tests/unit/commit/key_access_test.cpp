// The key access grant and revoke on the stand-in: a port device key of a
// real machine (SYSTEM full control, Administrators read) opened to
// EVERYONE and closed again, and every step failing in turn.
#include "commit/key_access.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/machine_access.h"
#include "platform/sim/sim_platform.h"

namespace velnara {
namespace {

using namespace platform;

constexpr const char* kPortKey =
    "SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*PNP0501\\4&2d3a2b1c&0&02090000";

class KeyAccessTest : public ::testing::Test {
 protected:
  KeyAccessTest() {
    machine_.registry.SetStringAt(std::string(kPortKey) + "\\Device Parameters", "PortName",
                                  "COM3");
    sim::ApplyDeviceKeyAccessRules(machine_.registry);
  }

  std::string Sddl(const std::string& path) const {
    return sim::FormatSddlDacl(machine_.registry.GetDaclAt(path));
  }
  ErrorCode OpenForWriting(const std::string& path) {
    RegKey key(machine_.registry);
    return key.Open(kLocalMachine, path.c_str(), access::kKeyWrite);
  }
  // The access-control calls made, in order.
  std::vector<sim::Call> SecurityCalls() const {
    std::vector<sim::Call> calls;
    for (const sim::Call& call : machine_.calls.calls()) {
      if (call.function.find("Security") != std::string::npos ||
          call.function.find("Acl") != std::string::npos) {
        calls.push_back(call);
      }
    }
    return calls;
  }
  void Grant() { GrantKeyAccess(machine_.security, reporter_, kPortKey); }
  void Revoke() { RevokeKeyAccess(machine_.security, reporter_, kPortKey); }
  void ExpectNothingHeld() const {
    EXPECT_EQ(0, machine_.security.OutstandingAllocations());
    for (const std::string& misuse : machine_.security.misuses()) ADD_FAILURE() << misuse;
  }

  sim::SimPlatform machine_;
  ErrorReporter reporter_{machine_.platform};
};

const std::string kLockedKey = "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)";
const std::string kParameters = "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)";

TEST_F(KeyAccessTest, GrantOpensThePortKeyForWritingAndRevokeClosesItAgain) {
  const std::string parameters = std::string(kPortKey) + "\\Device Parameters";
  ASSERT_EQ(kLockedKey, Sddl(kPortKey));
  EXPECT_EQ(error::kAccessDenied, OpenForWriting(kPortKey));

  Grant();
  EXPECT_EQ("D:P(A;;GW;;;WD)(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)", Sddl(kPortKey));
  EXPECT_EQ(error::kSuccess, OpenForWriting(kPortKey));
  EXPECT_EQ(kParameters, Sddl(parameters));  // the entry is for the key alone

  Revoke();
  EXPECT_EQ(kLockedKey, Sddl(kPortKey));
  EXPECT_EQ(error::kAccessDenied, OpenForWriting(kPortKey));
  EXPECT_TRUE(machine_.windows.MessageBoxes().empty());
  ExpectNothingHeld();

  // Both runs made the same four calls, on "MACHINE\" and the key's path,
  // with the trustee and the entry exactly as the program defines them.
  const std::vector<std::string> four = {"GetNamedSecurityInfoA", "GetEffectiveRightsFromAclA",
                                         "SetEntriesInAclA", "SetNamedSecurityInfoA"};
  std::vector<std::string> both = four;
  both.insert(both.end(), four.begin(), four.end());
  const std::vector<sim::Call> calls = SecurityCalls();
  std::vector<std::string> names;
  for (const sim::Call& call : calls) names.push_back(call.function);
  ASSERT_EQ(both, names);
  const std::string object =
      "MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\TRVX880A\\*PNP0501\\4&2d3a2b1c&0&02090000";
  EXPECT_EQ(object, calls[0].target);
  EXPECT_EQ(4u, calls[0].value);  // DACL_SECURITY_INFORMATION
  EXPECT_EQ("name=EVERYONE form=1 type=1 multiple=none operation=0", calls[1].target);
  EXPECT_EQ(
      "name=EVERYONE form=1 type=0 multiple=none operation=0 mode=1 inheritance=0x0 "
      "rights=0x40000000",
      calls[2].target);
  EXPECT_EQ(object, calls[3].target);
  EXPECT_EQ(
      "name=EVERYONE form=1 type=0 multiple=none operation=0 mode=4 inheritance=0x0 "
      "rights=0x40000000",
      calls[6].target);
}

TEST_F(KeyAccessTest, GrantMergesWithEveryonesRightsAndRevokeTakesThemAllAway) {
  // EVERYONE may already read the key: the grant adds writing to that
  // entry, and the revoke removes the entry, the earlier reading included;
  // deny entries and inherited entries stay. The list is not protected, so
  // storing it brings in what the enumerator key passes on.
  machine_.registry.SetSddlAt(std::string("HKLM\\") + kPortKey,
                              "D:(D;;SD;;;WD)(A;;KR;;;WD)(A;;KA;;;SY)");
  const std::string inherited = "(A;CIID;KA;;;BA)(A;CIID;KA;;;SY)(A;CIID;KR;;;BU)";
  Grant();
  EXPECT_EQ("D:(D;;SD;;;WD)(A;;0x40020019;;;WD)(A;;KA;;;SY)" + inherited, Sddl(kPortKey));
  Revoke();
  EXPECT_EQ("D:(D;;SD;;;WD)(A;;KA;;;SY)" + inherited, Sddl(kPortKey));
  ExpectNothingHeld();
}

TEST_F(KeyAccessTest, EachFailingStepIsReportedWithItsOwnCodeAndEndsTheRoutine) {
  struct Row {
    const char* call;
    ErrorCode code;
    const char* caption;
    const char* text;
    std::size_t callsMade;
  };
  const Row rows[] = {
      {"GetNamedSecurityInfoA", 5, "GetNamedSecurityInfo Failed", "Access is denied.\r\n", 1},
      {"GetEffectiveRightsFromAclA", 1336, "RegGetKeySecurity Failed",
       "The access control list (ACL) structure is invalid.\r\n", 2},
      {"SetEntriesInAclA", 8, "SetEntriesInAcl Failed",
       "Not enough storage is available to process this command.\r\n", 3},
      {"SetNamedSecurityInfoA", 87, "SetSecurityInfo Failed", "The parameter is incorrect.\r\n", 4},
  };
  for (const Row& row : rows) {
    for (const bool grant : {true, false}) {
      SCOPED_TRACE(std::string(row.call) + (grant ? " in the grant" : " in the revoke"));
      machine_.registry.SetSddlAt(std::string("HKLM\\") + kPortKey,
                                  grant ? kLockedKey : "D:P(A;;GW;;;WD)(A;;KA;;;SY)");
      const std::string before = Sddl(kPortKey);
      machine_.calls.Clear();
      machine_.calls.ClearFailures();
      machine_.calls.FailNext(row.call, row.code);
      machine_.windows.Answer(id::kOk);
      const std::size_t boxes = machine_.windows.MessageBoxes().size();
      grant ? Grant() : Revoke();

      ASSERT_EQ(row.callsMade, SecurityCalls().size());
      EXPECT_EQ(row.call, SecurityCalls().back().function);
      ASSERT_EQ(boxes + 1, machine_.windows.MessageBoxes().size());
      const sim::Shown box = machine_.windows.MessageBoxes().back();
      EXPECT_EQ(row.caption, box.caption);
      EXPECT_EQ(row.text, box.text);
      EXPECT_EQ(0u, box.type);  // MB_OK, no icon
      EXPECT_EQ(before, Sddl(kPortKey));
      ExpectNothingHeld();
    }
  }
  EXPECT_TRUE(machine_.windows.errors().empty());
}

TEST_F(KeyAccessTest, ALocalisedSystemIsGrantedAndRevokedByTheWorldSid) {
  // A German Windows names the group "Jeder": each call that finds no
  // account named EVERYONE is made again with S-1-1-0, and the SID goes back.
  machine_.security.RenameAccount(sim::kSidEveryone, "Jeder");
  Grant();
  EXPECT_EQ("D:P(A;;GW;;;WD)(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)", Sddl(kPortKey));
  EXPECT_EQ(error::kSuccess, OpenForWriting(kPortKey));
  Revoke();
  EXPECT_EQ(kLockedKey, Sddl(kPortKey));
  EXPECT_TRUE(machine_.windows.MessageBoxes().empty());
  ExpectNothingHeld();
  std::vector<std::string> trustees;
  for (const sim::Call& call : SecurityCalls()) {
    if (call.function != "GetNamedSecurityInfoA" && call.function != "SetNamedSecurityInfoA") {
      trustees.push_back(call.function + " " + call.target.substr(0, call.target.find(' ')));
    }
  }
  const std::vector<std::string> once = {
      "GetEffectiveRightsFromAclA name=EVERYONE", "GetEffectiveRightsFromAclA sid=S-1-1-0",
      "SetEntriesInAclA name=EVERYONE", "SetEntriesInAclA sid=S-1-1-0"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(twice, trustees);

  // Only the failure of a call made with the SID is reported, with its own
  // code; the name's 1332 is not.
  for (const char* call : {"GetEffectiveRightsFromAclA", "SetEntriesInAclA"}) {
    machine_.calls.FailNext(call, 8, 1);
    machine_.windows.Answer(id::kOk);
    Grant();
    const sim::Shown box = machine_.windows.MessageBoxes().back();
    EXPECT_EQ("Not enough storage is available to process this command.\r\n", box.text) << call;
    EXPECT_EQ(kLockedKey, Sddl(kPortKey));
  }
  machine_.calls.FailNext("AllocateAndInitializeSid", 8);
  machine_.windows.Answer(id::kOk);
  Grant();
  EXPECT_EQ("RegGetKeySecurity Failed", machine_.windows.MessageBoxes().back().caption);
  EXPECT_EQ(3u, machine_.windows.MessageBoxes().size());
  ExpectNothingHeld();
}

TEST_F(KeyAccessTest, AMissingOrUnreachableKeyChangesNothing) {
  const std::string missing = std::string(kPortKey) + "5";
  machine_.windows.Answer(id::kOk);
  GrantKeyAccess(machine_.security, reporter_, missing);
  ASSERT_EQ(1u, machine_.windows.MessageBoxes().size());
  EXPECT_EQ("GetNamedSecurityInfo Failed", machine_.windows.MessageBoxes()[0].caption);
  EXPECT_EQ("The system cannot find the file specified.\r\n",
            machine_.windows.MessageBoxes()[0].text);
  EXPECT_FALSE(machine_.registry.KeyExists(std::string("HKLM\\") + missing));

  // A key an administrator does not own and may not re-secure: the list is
  // read, and storing it is refused.
  machine_.registry.SetOwnerAt(std::string("HKLM\\") + kPortKey, sim::kSidSystem);
  machine_.windows.Answer(id::kOk);
  Grant();
  ASSERT_EQ(2u, machine_.windows.MessageBoxes().size());
  EXPECT_EQ("SetSecurityInfo Failed", machine_.windows.MessageBoxes()[1].caption);
  EXPECT_EQ("Access is denied.\r\n", machine_.windows.MessageBoxes()[1].text);
  EXPECT_EQ(kLockedKey, Sddl(kPortKey));

  // A path too long for the 256-character object name is not cut short
  // into the name of another key: nothing is asked at all.
  machine_.calls.Clear();
  machine_.windows.Answer(id::kOk);
  GrantKeyAccess(machine_.security, reporter_, std::string(kPortKey) + std::string(200, 'x'));
  EXPECT_TRUE(SecurityCalls().empty());
  ASSERT_EQ(3u, machine_.windows.MessageBoxes().size());
  EXPECT_EQ("GetNamedSecurityInfo Failed", machine_.windows.MessageBoxes()[2].caption);
  ExpectNothingHeld();
}

}  // namespace
}  // namespace velnara

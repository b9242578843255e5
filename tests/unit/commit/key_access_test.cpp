// The key access grant and revoke on the stand-in: a port device key of a
// real machine (SYSTEM full control, Administrators and Users read) opened
// to the Administrators for setting values and closed again, and every
// step failing in turn. At no moment may anyone but SYSTEM and the
// Administrators write to the key, and afterwards its list is the one it
// had, byte for byte.
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
const std::string kLockedKey = "D:P(A;;KA;;;SY)(A;;KR;;;BA)(A;;KR;;;BU)";
const std::string kParameters = "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KR;;;BU)";

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
  ErrorCode OpenFor(const std::string& path, AccessMask desired) {
    RegKey key(machine_.registry);
    return key.Open(kLocalMachine, path.c_str(), desired);
  }
  // Whether the key's list lets anyone but SYSTEM and the Administrators
  // change anything.
  bool OthersMayWrite() const {
    constexpr AccessMask kWriting =
        access::kKeySetValue | access::kKeyCreateSubKey | access::kKeyCreateLink | access::kDelete |
        access::kWriteDac | access::kWriteOwner | access::kGenericWrite | access::kGenericAll;
    for (const sim::Ace& ace : machine_.registry.GetDaclAt(kPortKey).aces) {
      if (ace.allow && (ace.mask & kWriting) != 0 && ace.sid != sim::kSidSystem &&
          ace.sid != sim::kSidAdministrators) {
        return true;
      }
    }
    return false;
  }
  // The access-control calls made, in order.
  std::vector<sim::Call> SecurityCalls() const {
    std::vector<sim::Call> calls;
    for (const sim::Call& call : machine_.calls.calls()) {
      if (call.function.find("Security") != std::string::npos ||
          call.function.find("Acl") != std::string::npos ||
          call.function.find("Sid") != std::string::npos) {
        calls.push_back(call);
      }
    }
    return calls;
  }
  void ExpectNothingHeld() const {
    EXPECT_EQ(0, machine_.security.OutstandingAllocations());
    for (const std::string& misuse : machine_.security.misuses()) ADD_FAILURE() << misuse;
  }

  sim::SimPlatform machine_;
  ErrorReporter reporter_{machine_.platform};
};

// A window as a walk makes one: the key's list read first, then the window
// on it.
struct Window {
  Window(Security& security, const ErrorReporter& reporter, const std::string& keyPath)
      : list(security), window(security, reporter, keyPath, list) {
    list.ReadForWindow(reporter, keyPath);
  }
  void Open() { window.Open(); }
  void Close() { window.Close(); }
  KeyList list;
  KeyAccessWindow window;
};

TEST_F(KeyAccessTest, TheWindowOpensTheKeyToAdministratorsForSettingValuesOnly) {
  const std::string parameters = std::string(kPortKey) + "\\Device Parameters";
  ASSERT_EQ(kLockedKey, Sddl(kPortKey));
  EXPECT_EQ(error::kAccessDenied, OpenFor(kPortKey, access::kKeySetValue));
  {
    Window window(machine_.security, reporter_, kPortKey);
    window.Open();
    // The Administrators' entry gains KEY_SET_VALUE; nobody else gains anything.
    EXPECT_EQ("D:P(A;;0x2001B;;;BA)(A;;KA;;;SY)(A;;KR;;;BU)", Sddl(kPortKey));
    EXPECT_FALSE(OthersMayWrite());
    EXPECT_EQ(error::kSuccess, OpenFor(kPortKey, access::kKeySetValue));
    EXPECT_EQ(error::kAccessDenied, OpenFor(kPortKey, access::kKeyCreateSubKey));
    EXPECT_EQ(kParameters, Sddl(parameters));  // the entry is for the key alone
    window.Close();
  }
  EXPECT_EQ(kLockedKey, Sddl(kPortKey));
  EXPECT_EQ(error::kAccessDenied, OpenFor(kPortKey, access::kKeySetValue));
  EXPECT_TRUE(machine_.windows.MessageBoxes().empty());
  ExpectNothingHeld();

  // The calls, on "MACHINE\" and the key's path, with the trustee and the
  // entry exactly as the program defines them; the list set back is
  // stored protected, as it was read.
  std::vector<std::string> made;
  for (const sim::Call& call : SecurityCalls()) {
    made.push_back(call.function + " " + call.target + " " + std::to_string(call.value));
  }
  const std::string object = std::string("MACHINE\\") + kPortKey;
  const std::string trustee = "sid=S-1-5-32-544 form=0 type=2 multiple=none operation=0";
  EXPECT_EQ(made, (std::vector<std::string>{
                      "GetNamedSecurityInfoA " + object + " 4",
                      "GetSecurityDescriptorControl  0",
                      "ConvertSecurityDescriptorToStringSecurityDescriptorA  4",
                      "AllocateAndInitializeSid S-1-5-32-544 2",
                      "GetEffectiveRightsFromAclA " + trustee + " 0",
                      "SetEntriesInAclA " + trustee + " mode=1 inheritance=0x0 rights=0x2 2",
                      "SetNamedSecurityInfoA " + object + " 2147483652",
                      "FreeSid S-1-5-32-544 0",
                      "SetNamedSecurityInfoA " + object + " 2147483652",
                  }));
}

// An unprotected list, with a deny entry and a read entry of Everyone and
// entries inherited from the enumerator key: set back as it was, nothing
// of it lost.
TEST_F(KeyAccessTest, TheListSetBackIsTheOneReadWhateverItHeld) {
  const std::string before =
      "D:(D;;SD;;;WD)(A;;KR;;;WD)(A;;KA;;;SY)(A;;KR;;;BA)"
      "(A;CIID;KA;;;BA)(A;CIID;KA;;;SY)(A;CIID;KR;;;BU)";  // what the enumerator key passes on
  machine_.registry.SetSddlAt(std::string("HKLM\\") + kPortKey, before);
  {
    Window window(machine_.security, reporter_, kPortKey);
    window.Open();
    EXPECT_FALSE(OthersMayWrite()) << Sddl(kPortKey);
    EXPECT_EQ(error::kSuccess, OpenFor(kPortKey, access::kKeySetValue));
    window.Close();
  }
  EXPECT_EQ(before, Sddl(kPortKey));
  ExpectNothingHeld();

  // A key without a list is open to everyone already: nothing is stored.
  machine_.registry.SetSddlAt(std::string("HKLM\\") + kPortKey, "D:NO_ACCESS_CONTROL");
  machine_.calls.Clear();
  Window open(machine_.security, reporter_, kPortKey);
  open.Open();
  open.Close();
  EXPECT_TRUE(machine_.calls.CallsOf("SetNamedSecurityInfoA").empty());
  EXPECT_TRUE(machine_.windows.MessageBoxes().empty());
}

// Each call of the window failing: reported with its own code; the key is
// never opened to anyone else, and afterwards holds the list it had, but
// where setting it back was what failed.
TEST_F(KeyAccessTest, EachFailingCallIsReportedAndOpensTheKeyToNoOneElse) {
  struct Row {
    const char* call;
    int skip;  // calls of that function to let pass first
    ErrorCode code;
    const char* caption;
    bool setBack;  // the list afterwards is the one before
  };
  const Row rows[] = {
      {"GetNamedSecurityInfoA", 0, 5, "GetNamedSecurityInfo Failed", true},
      {"GetSecurityDescriptorControl", 0, 87, "GetNamedSecurityInfo Failed", true},
      {"ConvertSecurityDescriptorToStringSecurityDescriptorA", 0, 8, "GetNamedSecurityInfo Failed",
       true},
      {"AllocateAndInitializeSid", 0, 8, "RegGetKeySecurity Failed", true},
      {"GetEffectiveRightsFromAclA", 0, 1336, "RegGetKeySecurity Failed", true},
      {"SetEntriesInAclA", 0, 8, "SetEntriesInAcl Failed", true},
      {"SetNamedSecurityInfoA", 0, 87, "SetSecurityInfo Failed", true},
      {"SetNamedSecurityInfoA", 1, 5, "SetSecurityInfo Failed", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.call) + " after " + std::to_string(row.skip));
    machine_.registry.SetSddlAt(std::string("HKLM\\") + kPortKey, kLockedKey);
    machine_.calls.ClearFailures();
    machine_.calls.FailNext(row.call, row.code, row.skip);
    machine_.windows.Answer(id::kOk);
    const std::size_t boxes = machine_.windows.MessageBoxes().size();
    {
      Window window(machine_.security, reporter_, kPortKey);
      window.Open();
      EXPECT_FALSE(OthersMayWrite());
      window.Close();
    }
    ASSERT_EQ(boxes + 1, machine_.windows.MessageBoxes().size());
    const sim::Shown box = machine_.windows.MessageBoxes().back();
    EXPECT_EQ(row.caption, box.caption);
    std::string text;
    machine_.system.FormatSystemMessage(row.code, &text);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(0u, box.type);  // MB_OK, no icon
    EXPECT_EQ(row.setBack, Sddl(kPortKey) == kLockedKey) << Sddl(kPortKey);
    EXPECT_FALSE(OthersMayWrite());
    ExpectNothingHeld();
  }
  EXPECT_TRUE(machine_.windows.errors().empty());
}

TEST_F(KeyAccessTest, AMissingOrUnreachableKeyChangesNothing) {
  const std::string missing = std::string(kPortKey) + "5";
  machine_.windows.Answer(id::kOk);
  Window(machine_.security, reporter_, missing).Open();
  ASSERT_EQ(1u, machine_.windows.MessageBoxes().size());
  EXPECT_EQ("GetNamedSecurityInfo Failed", machine_.windows.MessageBoxes()[0].caption);
  EXPECT_EQ("The system cannot find the file specified.\r\n",
            machine_.windows.MessageBoxes()[0].text);
  EXPECT_FALSE(machine_.registry.KeyExists(std::string("HKLM\\") + missing));

  // A key an administrator does not own and may not re-secure: the list is
  // read, and storing it is refused.
  machine_.registry.SetOwnerAt(std::string("HKLM\\") + kPortKey, sim::kSidSystem);
  machine_.windows.Answer(id::kOk);
  machine_.windows.Answer(id::kOk);
  {
    Window window(machine_.security, reporter_, kPortKey);
    window.Open();
    window.Close();
  }
  ASSERT_EQ(3u, machine_.windows.MessageBoxes().size());
  EXPECT_EQ("SetSecurityInfo Failed", machine_.windows.MessageBoxes()[1].caption);
  EXPECT_EQ("Access is denied.\r\n", machine_.windows.MessageBoxes()[1].text);
  EXPECT_EQ(kLockedKey, Sddl(kPortKey));

  // A path too long for the 256-character object name is not cut short
  // into the name of another key: nothing is asked at all.
  machine_.calls.Clear();
  machine_.windows.Answer(id::kOk);
  Window(machine_.security, reporter_, std::string(kPortKey) + std::string(200, 'x')).Open();
  EXPECT_TRUE(SecurityCalls().empty());
  ASSERT_EQ(4u, machine_.windows.MessageBoxes().size());
  EXPECT_EQ("GetNamedSecurityInfo Failed", machine_.windows.MessageBoxes()[3].caption);
  ExpectNothingHeld();
}

}  // namespace
}  // namespace velnara

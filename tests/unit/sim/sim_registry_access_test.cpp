// Access lists in the stand-in registry: how a list is read from SDDL, how
// it is evaluated for a token, and where the registry checks it.
#include <gtest/gtest.h>

#include "open_probe.h"

#include <string>
#include <vector>

#include "platform/sim/sim_registry.h"

namespace velnara::platform::sim {
namespace {

const std::vector<std::string> kAdministrator = {kSidEveryone, kSidUsers, kSidAdministrators};
const std::vector<std::string> kPlainUser = {kSidEveryone, kSidUsers};

Dacl Parse(const std::string& sddl) {
  Dacl dacl;
  EXPECT_TRUE(ParseSddlDacl(sddl, &dacl)) << sddl;
  return dacl;
}

TEST(DaclEvaluation, EachRightIsDecidedByTheFirstEntryThatNamesIt) {
  struct Row {
    const char* sddl;
    AccessMask desired;
    bool granted;
  };
  const Row rows[] = {
      // A deny ahead of an allow blocks the rights it names, and only those.
      {"D:(D;;KW;;;WD)(A;;KA;;;WD)", access::kKeySetValue, false},
      {"D:(D;;0x2;;;WD)(A;;KA;;;WD)", access::kKeyQueryValue, true},
      // A deny after the allow comes too late.
      {"D:(A;;KA;;;WD)(D;;KW;;;WD)", access::kKeySetValue, true},
      // Inherit-only entries are meant for subkeys.
      {"D:(A;IO;KA;;;WD)", access::kKeyQueryValue, false},
      {"D:(D;CIIO;KA;;;WD)(A;;KA;;;WD)", access::kKeyAllAccess, true},
      // Generic rights are mapped in entries and in requests.
      {"D:(A;;GR;;;WD)", access::kKeyRead, true},
      {"D:(A;;GR;;;WD)", access::kKeySetValue, false},
      {"D:(A;;GW;;;WD)", access::kKeySetValue | access::kKeyCreateSubKey, true},
      {"D:(A;;GA;;;BA)", access::kKeyAllAccess, true},
      {"D:(A;;KR;;;WD)", access::kGenericRead, true},
      {"D:(A;;KR;;;WD)", access::kGenericWrite, false},
      {"D:(A;;KR;;;WD)", access::kGenericAll, false},
      // Entries for trustees the token does not hold count for nothing.
      {"D:(A;;KA;;;SY)", access::kKeyQueryValue, false},
      {"D:(A;;KA;;;S-1-5-21-7-8-9-1001)", access::kKeyQueryValue, false},
      // Empty list: nothing; no list: everything.
      {"D:", access::kKeyQueryValue, false},
      {"D:NO_ACCESS_CONTROL", access::kKeyAllAccess, true},
      // MAXIMUM_ALLOWED takes whatever there is, but not nothing.
      {"D:(A;;KR;;;WD)", access::kMaximumAllowed, true},
      {"D:", access::kMaximumAllowed, false},
      {"D:(A;;KR;;;WD)", access::kMaximumAllowed | access::kKeySetValue, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.sddl) + " asked " + std::to_string(row.desired));
    EXPECT_EQ(row.granted, DaclGrants(Parse(row.sddl), kAdministrator, row.desired));
  }
}

TEST(DaclEvaluation, AllowedRightsLeaveOutWhatAnEarlierDenyTookAway) {
  EXPECT_EQ(access::kKeyRead, DaclAllowedRights(Parse("D:(A;;GR;;;WD)"), kAdministrator));
  // KEY_WRITE includes READ_CONTROL, so denying it also takes that from KA.
  EXPECT_EQ(access::kKeyAllAccess & ~access::kKeyWrite,
            DaclAllowedRights(Parse("D:(D;;KW;;;WD)(A;;KA;;;WD)"), kAdministrator));
  EXPECT_EQ(access::kKeyRead, DaclAllowedRights(Parse("D:(A;;KA;;;BA)(A;;KR;;;BU)"), kPlainUser));
}

TEST(SddlParsing, ReadsEntryTypesFlagsRightsAndTrustees) {
  const Dacl dacl = Parse("D:PAI(A;CI;KRSD;;;WD)(D;OICINPIO;0x20006;;;S-1-5-21-1-2-3-1001)");
  ASSERT_TRUE(dacl.present);
  ASSERT_EQ(2u, dacl.aces.size());
  EXPECT_TRUE(dacl.aces[0].allow);
  EXPECT_EQ(ace_flag::kContainerInherit, dacl.aces[0].flags);
  EXPECT_EQ(access::kKeyRead | access::kDelete, dacl.aces[0].mask);
  EXPECT_EQ(kSidEveryone, dacl.aces[0].sid);
  EXPECT_FALSE(dacl.aces[1].allow);
  EXPECT_EQ(ace_flag::kObjectInherit | ace_flag::kContainerInherit | ace_flag::kNoPropagate |
                ace_flag::kInheritOnly,
            dacl.aces[1].flags);
  EXPECT_EQ(access::kKeyWrite, dacl.aces[1].mask);
  EXPECT_EQ("S-1-5-21-1-2-3-1001", dacl.aces[1].sid);
  EXPECT_FALSE(Parse("D:NO_ACCESS_CONTROL").present);
  EXPECT_TRUE(Parse("D:").aces.empty());
}

TEST(SddlParsing, RefusesWhatItDoesNotKnowAndLeavesTheListAlone) {
  const char* bad[] = {
      "",
      "O:BAD:(A;;KR;;;WD)",  // only the DACL part is read
      "D:(A;;KR;;;XX)",      // unknown trustee
      "D:(X;;KR;;;WD)",      // unknown entry type
      "D:(A;;KQ;;;WD)",      // unknown right
      "D:(A;;;;;WD)",        // no rights
      "D:(A;;0x;;;WD)",
      "D:(A;ZZ;KR;;;WD)",  // unknown flag
      "D:(A;;KR;;WD)",     // five fields
      "D:(A;;KR;;;WD",     // unclosed
      "D:(A;;KR;x;;WD)",   // object entries do not apply to keys
      "D:(A;;KR;;;S-1-)",
      "D:Q(A;;KR;;;WD)",  // unknown list flag
      "D:(A;;KR;;;WD)x",
  };
  for (const char* sddl : bad) {
    SCOPED_TRACE(sddl);
    Dacl dacl;
    dacl.aces.push_back(Ace{true, 0, 1, "S-1-2-3"});
    EXPECT_FALSE(ParseSddlDacl(sddl, &dacl));
    ASSERT_EQ(1u, dacl.aces.size());
    EXPECT_EQ("S-1-2-3", dacl.aces[0].sid);
  }
}

class SimRegistryAccess : public ::testing::Test {
 protected:
  ErrorCode Open(const char* path, AccessMask desired, RawKey parent = kLocalMachine) {
    return ProbeOpen(registry_, parent, path, desired);
  }

  SimRegistry registry_;
};

TEST_F(SimRegistryAccess, TheDefaultListLetsAdministratorsWriteAndUsersOnlyRead) {
  registry_.CreateKeyAt("SOFTWARE\\Vendor");
  EXPECT_EQ(error::kSuccess, Open("SOFTWARE\\Vendor", access::kKeyWrite));
  registry_.SetTokenSids(kPlainUser);
  EXPECT_EQ(error::kAccessDenied, Open("SOFTWARE\\Vendor", access::kKeyWrite));
  EXPECT_EQ(error::kAccessDenied, Open("SOFTWARE\\Vendor", access::kGenericWrite));
  EXPECT_EQ(error::kSuccess, Open("SOFTWARE\\Vendor", access::kKeyRead));
  EXPECT_EQ(error::kSuccess, Open("SOFTWARE\\Vendor", access::kMaximumAllowed));
}

TEST_F(SimRegistryAccess, OnlyTheTargetKeysListIsChecked) {
  registry_.CreateKeyAt("SOFTWARE\\Locked\\Open");
  ASSERT_TRUE(registry_.SetSddlAt("SOFTWARE\\Locked", "D:"));
  EXPECT_EQ(error::kAccessDenied, Open("SOFTWARE\\Locked", access::kKeyQueryValue));
  EXPECT_EQ(error::kSuccess, Open("SOFTWARE\\Locked\\Open", access::kKeyWrite));
}

TEST_F(SimRegistryAccess, HandlesKeepTheRightsTheyWereGranted) {
  registry_.SetStringAt("SOFTWARE\\Vendor", "Name", "x");
  registry_.CreateKeyAt("SOFTWARE\\Vendor\\Sub");
  const std::uint8_t byte = 1;
  char name[16];
  std::uint32_t chars = sizeof name;
  std::uint32_t bytes = 0;

  RawKey reader = kNoKey;
  ASSERT_EQ(error::kSuccess,
            registry_.OpenKey(kLocalMachine, "SOFTWARE\\Vendor", access::kKeyQueryValue, &reader));
  EXPECT_EQ(error::kAccessDenied,
            registry_.SetValue(reader, "Name", value_type::kBinary, &byte, 1));
  EXPECT_EQ(error::kAccessDenied, registry_.DeleteValue(reader, "Name"));
  EXPECT_EQ(error::kAccessDenied, registry_.EnumKey(reader, 0, name, &chars));
  EXPECT_EQ(error::kSuccess, registry_.QueryValue(reader, "Name", nullptr, nullptr, &bytes));
  EXPECT_EQ(error::kSuccess,
            registry_.EnumValue(reader, 0, name, &chars, nullptr, nullptr, nullptr));

  RawKey writer = kNoKey;
  ASSERT_EQ(error::kSuccess,
            registry_.OpenKey(kLocalMachine, "SOFTWARE\\Vendor", access::kKeySetValue, &writer));
  EXPECT_EQ(error::kAccessDenied, registry_.QueryValue(writer, "Name", nullptr, nullptr, &bytes));
  EXPECT_EQ(error::kAccessDenied,
            registry_.EnumValue(writer, 0, name, &chars, nullptr, nullptr, nullptr));
  EXPECT_EQ(error::kSuccess, registry_.SetValue(writer, "Name", value_type::kBinary, &byte, 1));
  EXPECT_EQ(error::kSuccess, registry_.DeleteValue(writer, "Name"));

  // MAXIMUM_ALLOWED hands out everything the list allows, here KEY_READ.
  RawKey most = kNoKey;
  registry_.SetTokenSids(kPlainUser);
  ASSERT_EQ(error::kSuccess,
            registry_.OpenKey(kLocalMachine, "SOFTWARE\\Vendor", access::kMaximumAllowed, &most));
  chars = sizeof name;
  EXPECT_EQ(error::kSuccess, registry_.EnumKey(most, 0, name, &chars));
  EXPECT_EQ(error::kAccessDenied, registry_.SetValue(most, "Name", value_type::kBinary, &byte, 1));
  for (RawKey key : {reader, writer, most}) registry_.CloseKey(key);
}

TEST_F(SimRegistryAccess, NewKeysReceiveTheirParentsContainerInheritEntries) {
  RawKey parent = kNoKey;
  ASSERT_EQ(error::kSuccess,
            registry_.CreateKey(kLocalMachine, "SOFTWARE\\Parent", access::kKeyAllAccess,
                                "D:(A;CI;KA;;;WD)(A;;KA;;;BU)(A;CINP;KR;;;SY)", &parent));
  RawKey child = kNoKey;
  ASSERT_EQ(error::kSuccess, registry_.CreateKey(parent, "Child\\Grandchild", access::kKeyAllAccess,
                                                 nullptr, &child));
  registry_.CloseKey(child);
  registry_.CloseKey(parent);

  const Dacl middle = registry_.GetDaclAt("SOFTWARE\\Parent\\Child");
  ASSERT_EQ(2u, middle.aces.size());  // the NO_INHERITANCE entry for BU stayed behind
  EXPECT_EQ(kSidEveryone, middle.aces[0].sid);
  EXPECT_EQ(ace_flag::kContainerInherit | ace_flag::kInherited, middle.aces[0].flags);
  EXPECT_EQ(kSidSystem, middle.aces[1].sid);
  EXPECT_EQ(ace_flag::kInherited, middle.aces[1].flags);  // no-propagate: one generation

  const Dacl bottom = registry_.GetDaclAt("SOFTWARE\\Parent\\Child\\Grandchild");
  ASSERT_EQ(1u, bottom.aces.size());
  EXPECT_EQ(kSidEveryone, bottom.aces[0].sid);

  registry_.SetTokenSids({kSidEveryone});
  EXPECT_EQ(error::kSuccess, Open("SOFTWARE\\Parent\\Child\\Grandchild", access::kKeyAllAccess));
}

TEST_F(SimRegistryAccess, AKeyWhoseParentPassesNothingOnGetsTheDefaultList) {
  registry_.CreateKeyAt("SOFTWARE\\Plain");
  ASSERT_TRUE(registry_.SetSddlAt("SOFTWARE\\Plain", "D:(A;;KA;;;WD)"));
  registry_.CreateKeyAt("SOFTWARE\\Plain\\Child");
  const Dacl child = registry_.GetDaclAt("SOFTWARE\\Plain\\Child");
  const Dacl fallback = DefaultKeyDacl();
  ASSERT_EQ(fallback.aces.size(), child.aces.size());
  for (std::size_t i = 0; i < child.aces.size(); ++i) {
    EXPECT_EQ(fallback.aces[i].sid, child.aces[i].sid);
    EXPECT_EQ(fallback.aces[i].mask, child.aces[i].mask);
  }
}

TEST_F(SimRegistryAccess, TheCreatorKeepsWhatItAskedForButLaterOpensAreChecked) {
  RawKey key = kNoKey;
  ASSERT_EQ(error::kSuccess, registry_.CreateKey(kLocalMachine, "SOFTWARE\\ReadOnly",
                                                 access::kKeyAllAccess, "D:(A;;KR;;;WD)", &key));
  const std::uint8_t byte = 7;
  EXPECT_EQ(error::kSuccess, registry_.SetValue(key, "v", value_type::kBinary, &byte, 1));
  registry_.CloseKey(key);

  EXPECT_EQ(error::kAccessDenied, Open("SOFTWARE\\ReadOnly", access::kKeyWrite));
  // Creating an existing key opens it: checked like an open, its list kept.
  key = 0xDEAD;
  EXPECT_EQ(error::kAccessDenied, registry_.CreateKey(kLocalMachine, "SOFTWARE\\ReadOnly",
                                                      access::kKeyWrite, "D:(A;;KA;;;WD)", &key));
  EXPECT_EQ(kNoKey, key);
  ASSERT_EQ(error::kSuccess, registry_.CreateKey(kLocalMachine, "SOFTWARE\\ReadOnly",
                                                 access::kKeyRead, "D:(A;;KA;;;WD)", &key));
  registry_.CloseKey(key);
  EXPECT_EQ(access::kKeyRead, registry_.GetDaclAt("SOFTWARE\\ReadOnly").aces.at(0).mask);
}

TEST_F(SimRegistryAccess, CreatingAndDeletingNeedTheirRights) {
  registry_.CreateKeyAt("SOFTWARE\\Existing");
  RawKey reader = kNoKey;
  ASSERT_EQ(error::kSuccess,
            registry_.OpenKey(kLocalMachine, "SOFTWARE", access::kKeyRead, &reader));
  RawKey key = kNoKey;
  EXPECT_EQ(error::kAccessDenied,
            registry_.CreateKey(reader, "New", access::kKeyRead, nullptr, &key));
  EXPECT_EQ(error::kSuccess,  // no creation, only an open
            registry_.CreateKey(reader, "Existing", access::kKeyRead, nullptr, &key));
  registry_.CloseKey(key);
  registry_.CloseKey(reader);

  // Further down the path the key's own list decides.
  registry_.CreateKeyAt("SOFTWARE\\NoCreate");
  ASSERT_TRUE(registry_.SetSddlAt("SOFTWARE\\NoCreate", "D:(A;;KR;;;WD)"));
  EXPECT_EQ(error::kAccessDenied, registry_.CreateKey(kLocalMachine, "SOFTWARE\\NoCreate\\New",
                                                      access::kKeyRead, nullptr, &key));
  EXPECT_FALSE(registry_.KeyExists("SOFTWARE\\NoCreate\\New"));
  EXPECT_EQ(error::kAccessDenied, registry_.DeleteKey(kLocalMachine, "SOFTWARE\\NoCreate"));
  EXPECT_TRUE(registry_.KeyExists("SOFTWARE\\NoCreate"));
  EXPECT_EQ(0, registry_.OpenHandleCount());
}

TEST_F(SimRegistryAccess, AMalformedListOnCreateIsRefusedAndCreatesNothing) {
  RawKey key = 0xDEAD;
  EXPECT_EQ(error::kInvalidParameter,
            registry_.CreateKey(kLocalMachine, "SOFTWARE\\Bad", access::kKeyRead, "D:(A;;", &key));
  EXPECT_EQ(kNoKey, key);
  EXPECT_FALSE(registry_.KeyExists("SOFTWARE\\Bad"));
}

}  // namespace
}  // namespace velnara::platform::sim

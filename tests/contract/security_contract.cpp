// The access-list calls as the program uses them, checked against every
// backend: a key locked the way Windows locks a port device key (SYSTEM full
// control, Administrators read) is opened to the Administrators for setting
// values and its list set back, and the list is read back after each step. Where Wine differs from
// Windows the test says so, and the stand-in keeps to Windows.
//
// Each test works below HKCU\Software\VelnaraContract\<Test> and removes it
// at the end; the lists it sets give Administrators DELETE for that.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/security.h"
#include "platform/sim/sim_registry.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

using platform::AccessMask;
using platform::AclHandle;
using platform::ErrorCode;
using platform::kCurrentUser;
using platform::kNoKey;
using platform::RawKey;
using platform::SecurityMemory;
namespace error = platform::error;
namespace access = platform::access;
namespace security = platform::security;
namespace sim = platform::sim;

constexpr char kRoot[] = "Software\\VelnaraContract";
// A port device key as Windows keeps it, plus DELETE so that the test can
// clean up: writable by SYSTEM alone.
constexpr char kLockedSddl[] = "D:P(A;;KA;;;SY)(A;;KRSD;;;BA)";

// An entry of a list, its generic rights mapped as a key maps them, so that
// lists written by different backends compare.
std::string Normalized(const sim::Ace& ace) {
  AccessMask mask = ace.mask & ~(access::kGenericRead | access::kGenericWrite |
                                 access::kGenericExecute | access::kGenericAll);
  if (ace.mask & (access::kGenericRead | access::kGenericExecute)) mask |= access::kKeyRead;
  if (ace.mask & access::kGenericWrite) mask |= access::kKeyWrite;
  if (ace.mask & access::kGenericAll) mask |= access::kKeyAllAccess;
  char text[96];
  std::snprintf(text, sizeof text, "%s 0x%05X %s", ace.allow ? "allow" : "deny",
                static_cast<unsigned>(mask), ace.sid.c_str());
  return text;
}

class SecurityContract : public ::testing::TestWithParam<BackendFactory> {
 protected:
  void SetUp() override {
    backend_ = GetParam().make();
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    scratch_ = std::string(kRoot) + "\\Sec" + test.substr(0, test.find('/'));
    DeleteTree(scratch_);
    RawKey key = kNoKey;
    ASSERT_EQ(error::kSuccess, reg().CreateKey(kCurrentUser, scratch_.c_str(),
                                               access::kKeyAllAccess, nullptr, &key));
    reg().CloseKey(key);
  }
  void TearDown() override {
    EXPECT_EQ(error::kSuccess, DeleteTree(scratch_));
    reg().DeleteKey(kCurrentUser, kRoot);  // fails while other tests' keys remain
  }

  platform::Registry& reg() { return backend_->registry(); }
  platform::Security& sec() { return backend_->security(); }
  bool IsWine() const { return backend_->IsWine(); }

  ErrorCode DeleteTree(const std::string& path) { return DeleteKeyTree(reg(), kCurrentUser, path); }

  // Creates the key (and any missing on the way), then locks it with
  // `sddl`: a locked key takes no new subkeys, so lock the deepest first.
  void CreateLocked(const std::string& name, const char* sddl = kLockedSddl) {
    RawKey key = kNoKey;
    ASSERT_EQ(error::kSuccess, reg().CreateKey(kCurrentUser, (scratch_ + "\\" + name).c_str(),
                                               access::kKeyRead, nullptr, &key));
    reg().CloseKey(key);
    ASSERT_TRUE(backend_->WriteDaclSddl(ObjectName(name), sddl)) << name;
  }

  std::string ObjectName(const std::string& name) const {
    return "CURRENT_USER\\" + scratch_ + "\\" + name;
  }

  ErrorCode OpenFor(const std::string& name, AccessMask desired) {
    RawKey key = kNoKey;
    const ErrorCode code =
        reg().OpenKey(kCurrentUser, (scratch_ + "\\" + name).c_str(), desired, &key);
    if (key != kNoKey) reg().CloseKey(key);
    return code;
  }

  // The list's explicit entries, normalized, in their order.
  std::vector<std::string> Entries(const std::string& name) {
    std::string sddl;
    EXPECT_TRUE(backend_->ReadDaclSddl(ObjectName(name), &sddl)) << name;
    sim::Dacl dacl;
    EXPECT_TRUE(sim::ParseSddlDacl(sddl, &dacl)) << sddl;
    std::vector<std::string> entries;
    for (const sim::Ace& ace : dacl.aces) {
      if (!(ace.flags & sim::ace_flag::kInherited)) entries.push_back(Normalized(ace));
    }
    return entries;
  }

  // The calls of the program's grant: the list and its protection read,
  // KEY_SET_VALUE for the Administrators by SID on this key only, stored
  // with the protection read. Answers the first failure; *original keeps
  // the list read, *protection how it was stored.
  ErrorCode Grant(const std::string& name, SecurityMemory* original, AclHandle* dacl,
                  std::uint32_t* protection) {
    const std::string object = ObjectName(name);
    ErrorCode code =
        sec().GetNamedSecurityInfo(object.c_str(), security::kSeRegistryKey,
                                   security::kDaclSecurityInformation, dacl, original->receive());
    if (code != error::kSuccess) return code;
    std::uint16_t control = 0;
    if ((code = sec().GetSecurityDescriptorControl(original->get(), &control)) != error::kSuccess) {
      return code;
    }
    *protection = (control & security::kSeDaclProtected) != 0 ? security::kProtectedDacl
                                                              : security::kUnprotectedDacl;
    platform::Sid administrators(sec());
    if ((code = administrators.AllocateAdministrators()) != error::kSuccess) return code;
    const platform::Trustee trustee{nullptr, security::kNoMultipleTrustee, security::kTrusteeIsSid,
                                    security::kTrusteeIsGroup,
                                    static_cast<const char*>(administrators.get())};
    AccessMask rights = 0;
    if ((code = sec().GetEffectiveRightsFromAcl(*dacl, trustee, &rights)) != error::kSuccess) {
      return code;
    }
    const platform::ExplicitAccess entry{access::kKeySetValue, security::kGrantAccess,
                                         security::kNoInheritance, trustee};
    SecurityMemory merged(sec());
    if ((code = sec().SetEntriesInAcl(1, &entry, *dacl, merged.receive())) != error::kSuccess) {
      return code;
    }
    return sec().SetNamedSecurityInfo(object.c_str(), security::kSeRegistryKey,
                                      security::kDaclSecurityInformation | *protection,
                                      merged.get());
  }
  // The revoke: the list read, set back.
  ErrorCode SetBack(const std::string& name, AclHandle dacl, std::uint32_t protection) {
    return sec().SetNamedSecurityInfo(ObjectName(name).c_str(), security::kSeRegistryKey,
                                      security::kDaclSecurityInformation | protection, dacl);
  }

  void GrantAndRevoke(bool bySid);

  std::unique_ptr<RegistryBackend> backend_;
  std::string scratch_;
};

const std::vector<std::string> kLockedEntries = {"allow 0xF003F S-1-5-18",
                                                 "allow 0x30019 S-1-5-32-544"};

// The grant lets the Administrators set values of the key alone; the list
// set back is the one before, entries and protection.
TEST_P(SecurityContract, GrantOpensTheKeyToAdministratorsAloneAndSettingBackClosesIt) {
  for (const bool everyoneReads : {false, true}) {
    SCOPED_TRACE(everyoneReads ? "Everyone may read it" : "locked");
    DeleteTree(scratch_ + "\\Port");
    CreateLocked("Port\\Device Parameters");
    CreateLocked("Port", everyoneReads ? "D:P(A;;KA;;;SY)(A;;KRSD;;;BA)(A;;KR;;;WD)" : kLockedSddl);
    const std::vector<std::string> before = Entries("Port");
    EXPECT_EQ(error::kAccessDenied, OpenFor("Port", access::kKeySetValue));

    SecurityMemory original(sec());
    AclHandle dacl = nullptr;
    std::uint32_t protection = 0;
    ASSERT_EQ(error::kSuccess, Grant("Port", &original, &dacl, &protection));
    // Windows reads the list back protected; Wine drops the flag when it
    // stores a key's list.
    EXPECT_EQ(protection, IsWine() ? security::kUnprotectedDacl : security::kProtectedDacl);
    // Nobody but the Administrators gained anything.
    for (const std::string& entry : Entries("Port")) {
      if (entry.find("S-1-5-32-544") != std::string::npos) continue;
      EXPECT_NE(std::find(before.begin(), before.end(), entry), before.end()) << entry;
    }
    RawKey key = kNoKey;
    ASSERT_EQ(error::kSuccess, reg().OpenKey(kCurrentUser, (scratch_ + "\\Port").c_str(),
                                             access::kKeySetValue, &key));
    const char text[] = "Tarvex 880 Port (COM7)";
    EXPECT_EQ(error::kSuccess,
              reg().SetValue(key, "FriendlyName", platform::value_type::kSz,
                             reinterpret_cast<const std::uint8_t*>(text), sizeof text));
    reg().CloseKey(key);
    // The entry does not reach the subkey.
    EXPECT_EQ(error::kAccessDenied, OpenFor("Port\\Device Parameters", access::kKeySetValue));
    EXPECT_EQ(kLockedEntries, Entries("Port\\Device Parameters"));

    ASSERT_EQ(error::kSuccess, SetBack("Port", dacl, protection));
    EXPECT_EQ(before, Entries("Port"));
    EXPECT_EQ(error::kAccessDenied, OpenFor("Port", access::kKeySetValue));
    EXPECT_EQ(error::kSuccess, OpenFor("Port", access::kKeyRead));
  }
}

TEST_P(SecurityContract, AMissingKeyIsNotFoundAndNothingIsHandedOut) {
  AclHandle dacl = &dacl;  // not null, so that the reset shows
  platform::SecurityDescriptorHandle descriptor = &descriptor;
  EXPECT_EQ(error::kFileNotFound,
            sec().GetNamedSecurityInfo(ObjectName("Missing").c_str(), security::kSeRegistryKey,
                                       security::kDaclSecurityInformation, &dacl, &descriptor));
  EXPECT_EQ(nullptr, dacl);
  EXPECT_EQ(nullptr, descriptor);
  EXPECT_EQ(error::kFileNotFound,
            sec().SetNamedSecurityInfo(ObjectName("Missing").c_str(), security::kSeRegistryKey,
                                       security::kDaclSecurityInformation, nullptr));
}

TEST_P(SecurityContract, TrusteeNamesResolveAsAccountNames) {
  CreateLocked("Port");
  SecurityMemory descriptor(sec());
  AclHandle dacl = nullptr;
  ASSERT_EQ(error::kSuccess, sec().GetNamedSecurityInfo(
                                 ObjectName("Port").c_str(), security::kSeRegistryKey,
                                 security::kDaclSecurityInformation, &dacl, descriptor.receive()));
  struct Row {
    const char* name;
    ErrorCode rightsCode;  // Windows and the stand-in
    AccessMask rights;
    ErrorCode mergeCode;
  };
  const Row rows[] = {
      // Names match without regard to case.
      {"EVERYONE", error::kSuccess, 0, error::kSuccess},
      {"everyone", error::kSuccess, 0, error::kSuccess},
      {"Administrators", error::kSuccess, access::kKeyRead | access::kDelete, error::kSuccess},
      // A name no account bears: Windows 1332 from both. Wine answers the
      // rights query for any name (0 with 0x1FFFFF, whatever the list) and
      // fails the merge with 87.
      {"No Such Account 4711", error::kNoneMapped, 0, error::kNoneMapped},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    platform::Trustee trustee{nullptr, security::kNoMultipleTrustee, security::kTrusteeIsName,
                              security::kTrusteeIsUser, row.name};
    AccessMask rights = 0xDEAD;
    const ErrorCode code = sec().GetEffectiveRightsFromAcl(dacl, trustee, &rights);
    if (IsWine()) {
      EXPECT_EQ(error::kSuccess, code);
      EXPECT_EQ(0x1FFFFFu, rights);
    } else {
      EXPECT_EQ(row.rightsCode, code);
      if (code == error::kSuccess) {
        EXPECT_EQ(row.rights, rights);
      }
    }
    platform::ExplicitAccess entry{access::kGenericWrite, security::kGrantAccess,
                                   security::kNoInheritance, trustee};
    SecurityMemory merged(sec());
    const ErrorCode mergeCode = sec().SetEntriesInAcl(1, &entry, dacl, merged.receive());
    EXPECT_EQ(
        IsWine() && row.mergeCode == error::kNoneMapped ? error::kInvalidParameter : row.mergeCode,
        mergeCode);
    EXPECT_EQ(mergeCode == error::kSuccess, merged.get() != nullptr);
  }
}

TEST_P(SecurityContract, TokenPrivilegeCallsFindTheShutdownPrivilege) {
  platform::System& system = backend_->system();
  platform::Token token(system);
  ASSERT_EQ(error::kSuccess,
            token.OpenForProcess(platform::token::kAdjustPrivileges | platform::token::kQuery));
  EXPECT_NE(nullptr, token.get());
  platform::Luid luid{0xDEAD, 7};
  ASSERT_EQ(error::kSuccess, system.LookupPrivilegeValue(nullptr, "SeShutdownPrivilege", &luid));
  EXPECT_EQ(19u, luid.lowPart);
  EXPECT_EQ(0, luid.highPart);
  EXPECT_EQ(error::kNoSuchPrivilege,
            system.LookupPrivilegeValue(nullptr, "SeNoSuchPrivilege", &luid));
  const platform::TokenPrivileges enable{1, luid, platform::token::kPrivilegeEnabled};
  EXPECT_EQ(error::kSuccess, system.AdjustTokenPrivileges(token.get(), false, enable));
  // The restart itself is not tried here: under Wine it ends every program
  // of the prefix, this one included.
}

INSTANTIATE_TEST_SUITE_P(Backends, SecurityContract, ::testing::ValuesIn(RegistryBackends()),
                         [](const ::testing::TestParamInfo<BackendFactory>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace velnara::contract

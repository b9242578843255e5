// Access lists of registry keys as the program sees them: the four ANSI
// calls of the access-control API with which it opens a key to a trustee
// and closes it again. Each returns its Windows error code (these calls
// return their error; they do not set the thread's last error).
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_constants.h"

namespace velnara::platform {

// PSECURITY_DESCRIPTOR and PACL: memory of the system's. A DACL that a
// descriptor holds lives as long as the descriptor.
using SecurityDescriptorHandle = void*;
using AclHandle = void*;
// PSID: a security identifier the system allocated.
using SidHandle = void*;

// SID_IDENTIFIER_AUTHORITY: six bytes, the most significant first.
struct SidAuthority {
  std::uint8_t value[6];
};

namespace security {
constexpr std::uint32_t kSeRegistryKey = 4;            // SE_OBJECT_TYPE SE_REGISTRY_KEY
constexpr std::uint32_t kDaclSecurityInformation = 4;  // DACL_SECURITY_INFORMATION
// With kDaclSecurityInformation when a list is stored: whether it takes what
// the parent passes on from now on (unprotected) or not (protected).
constexpr std::uint32_t kProtectedDacl = 0x80000000;    // PROTECTED_DACL_SECURITY_INFORMATION
constexpr std::uint32_t kUnprotectedDacl = 0x20000000;  // UNPROTECTED_DACL_SECURITY_INFORMATION
// SECURITY_DESCRIPTOR_CONTROL bits.
constexpr std::uint16_t kSeDaclPresent = 0x0004;
constexpr std::uint16_t kSeDaclProtected = 0x1000;
// ACCESS_MODE
constexpr std::uint32_t kGrantAccess = 1;
constexpr std::uint32_t kSetAccess = 2;
constexpr std::uint32_t kDenyAccess = 3;
constexpr std::uint32_t kRevokeAccess = 4;
// Inheritance of an explicit-access entry.
constexpr std::uint32_t kNoInheritance = 0;
constexpr std::uint32_t kObjectInheritAce = 0x1;
constexpr std::uint32_t kContainerInheritAce = 0x2;
constexpr std::uint32_t kNoPropagateInheritAce = 0x4;
constexpr std::uint32_t kInheritOnlyAce = 0x8;
// TRUSTEE_FORM, TRUSTEE_TYPE, MULTIPLE_TRUSTEE_OPERATION
constexpr std::uint32_t kTrusteeIsSid = 0;
constexpr std::uint32_t kTrusteeIsName = 1;
constexpr std::uint32_t kTrusteeIsUnknown = 0;
constexpr std::uint32_t kTrusteeIsUser = 1;
constexpr std::uint32_t kTrusteeIsGroup = 2;
constexpr std::uint32_t kNoMultipleTrustee = 0;
// The group of every account, S-1-1-0, in every language.
constexpr SidAuthority kWorldAuthority = {{0, 0, 0, 0, 0, 1}};  // SECURITY_WORLD_SID_AUTHORITY
constexpr std::uint32_t kWorldRid = 0;                          // SECURITY_WORLD_RID
// BUILTIN\Administrators, S-1-5-32-544, in every language.
constexpr SidAuthority kNtAuthority = {{0, 0, 0, 0, 0, 5}};  // SECURITY_NT_AUTHORITY
constexpr std::uint32_t kBuiltinDomainRid = 32;              // SECURITY_BUILTIN_DOMAIN_RID
constexpr std::uint32_t kAliasRidAdmins = 544;               // DOMAIN_ALIAS_RID_ADMINS
constexpr std::uint8_t kMaxSubAuthorities = 8;               // what AllocateAndInitializeSid takes
}  // namespace security

// TRUSTEE_A, laid out as the SDK lays it out (the Win32 backend checks).
struct Trustee {
  Trustee* multipleTrustee;
  std::uint32_t multipleTrusteeOperation;
  std::uint32_t form;
  std::uint32_t type;
  // ptstrName: an account name for TRUSTEE_IS_NAME, the SID (a SidHandle)
  // for TRUSTEE_IS_SID.
  const char* name;
};

// EXPLICIT_ACCESS_A.
struct ExplicitAccess {
  AccessMask accessPermissions;
  std::uint32_t accessMode;
  std::uint32_t inheritance;
  Trustee trustee;
};

class Security {
 public:
  virtual ~Security() = default;

  // GetNamedSecurityInfoA for the DACL alone (no owner, group or SACL).
  // Registry keys are named "MACHINE\path", "CURRENT_USER\path" and so on.
  // On success *descriptor is memory to give back with LocalFree and *dacl
  // points into it (null for a NULL DACL, which grants everything); on
  // failure both are null.
  virtual ErrorCode GetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                         std::uint32_t securityInfo, AclHandle* dacl,
                                         SecurityDescriptorHandle* descriptor) = 0;

  // GetEffectiveRightsFromAclA: the rights `dacl` grants `trustee`.
  virtual ErrorCode GetEffectiveRightsFromAcl(AclHandle dacl, const Trustee& trustee,
                                              AccessMask* rights) = 0;

  // SetEntriesInAclA: a new list, `oldAcl` with the entries merged in. On
  // success *newAcl is memory to give back with LocalFree; else null.
  virtual ErrorCode SetEntriesInAcl(std::uint32_t count, const ExplicitAccess* entries,
                                    AclHandle oldAcl, AclHandle* newAcl) = 0;

  // SetNamedSecurityInfoA for the DACL alone; `securityInfo` may add
  // kProtectedDacl or kUnprotectedDacl (without either the object keeps the
  // protection it has).
  virtual ErrorCode SetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                         std::uint32_t securityInfo, AclHandle dacl) = 0;

  // GetSecurityDescriptorControl of a descriptor GetNamedSecurityInfo
  // handed out (security::kSe* bits).
  virtual ErrorCode GetSecurityDescriptorControl(SecurityDescriptorHandle descriptor,
                                                 std::uint16_t* control) = 0;

  // ConvertSecurityDescriptorToStringSecurityDescriptorA (SDDL_REVISION_1)
  // of the parts `securityInfo` names: the list of a descriptor
  // GetNamedSecurityInfo handed out as text ("D:P(A;;KA;;;SY)..."), its
  // protection included.
  virtual ErrorCode ConvertDescriptorToSddl(SecurityDescriptorHandle descriptor,
                                            std::uint32_t securityInfo, std::string* sddl) = 0;
  // ConvertStringSecurityDescriptorToSecurityDescriptorA (SDDL_REVISION_1):
  // a descriptor of the text, memory to give back with LocalFree; null on
  // failure.
  virtual ErrorCode ConvertSddlToDescriptor(const char* sddl,
                                            SecurityDescriptorHandle* descriptor) = 0;
  // GetSecurityDescriptorDacl: the list a descriptor holds (it points into
  // the descriptor), null for a NULL DACL; *present false when the
  // descriptor has no list at all.
  virtual ErrorCode GetSecurityDescriptorDacl(SecurityDescriptorHandle descriptor, bool* present,
                                              AclHandle* dacl) = 0;

  // LocalFree of memory the calls above handed out; null is ignored.
  virtual void LocalFree(void* memory) = 0;

  // AllocateAndInitializeSid: the SID of `authority` with the first `count`
  // (1 to 8) of `subAuthorities`. On success *sid is memory to give back
  // with FreeSid; on failure it is null.
  virtual ErrorCode AllocateAndInitializeSid(const SidAuthority& authority, std::uint8_t count,
                                             const std::uint32_t* subAuthorities,
                                             SidHandle* sid) = 0;
  // FreeSid; null is ignored.
  virtual void FreeSid(SidHandle sid) = 0;
};

// Memory a security call hands out, given back on every path.
class SecurityMemory {
 public:
  explicit SecurityMemory(Security& security) : security_(security) {}
  SecurityMemory(const SecurityMemory&) = delete;
  SecurityMemory& operator=(const SecurityMemory&) = delete;
  ~SecurityMemory() { security_.LocalFree(memory_); }

  // The out-parameter for the allocating call; holds nothing before it.
  void** receive() { return &memory_; }
  void* get() const { return memory_; }

 private:
  Security& security_;
  void* memory_ = nullptr;
};

// A SID of AllocateAndInitializeSid, given back with FreeSid on every path.
class Sid {
 public:
  explicit Sid(Security& security) : security_(security) {}
  Sid(const Sid&) = delete;
  Sid& operator=(const Sid&) = delete;
  ~Sid() { security_.FreeSid(sid_); }

  // BUILTIN\Administrators, S-1-5-32-544.
  ErrorCode AllocateAdministrators() {
    if (sid_ != nullptr) return error::kSuccess;
    const std::uint32_t rids[] = {security::kBuiltinDomainRid, security::kAliasRidAdmins};
    return security_.AllocateAndInitializeSid(security::kNtAuthority, 2, rids, &sid_);
  }
  SidHandle get() const { return sid_; }

 private:
  Security& security_;
  SidHandle sid_ = nullptr;
};

}  // namespace velnara::platform

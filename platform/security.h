// Access lists of registry keys as the program sees them: the four ANSI
// calls of the access-control API with which it opens a key to a trustee
// and closes it again. Each returns its Windows error code (these calls
// return their error; they do not set the thread's last error).
#pragma once

#include <cstdint>

#include "platform/win_constants.h"

namespace velnara::platform {

// PSECURITY_DESCRIPTOR and PACL: memory of the system's. A DACL that a
// descriptor holds lives as long as the descriptor.
using SecurityDescriptorHandle = void*;
using AclHandle = void*;

namespace security {
constexpr std::uint32_t kSeRegistryKey = 4;            // SE_OBJECT_TYPE SE_REGISTRY_KEY
constexpr std::uint32_t kDaclSecurityInformation = 4;  // DACL_SECURITY_INFORMATION
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
constexpr std::uint32_t kNoMultipleTrustee = 0;
}  // namespace security

// TRUSTEE_A, laid out as the SDK lays it out (the Win32 backend checks).
struct Trustee {
  Trustee* multipleTrustee;
  std::uint32_t multipleTrusteeOperation;
  std::uint32_t form;
  std::uint32_t type;
  const char* name;  // ptstrName: an account name for TRUSTEE_IS_NAME
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

  // SetNamedSecurityInfoA for the DACL alone.
  virtual ErrorCode SetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                         std::uint32_t securityInfo, AclHandle dacl) = 0;

  // LocalFree of memory the calls above handed out; null is ignored.
  virtual void LocalFree(void* memory) = 0;
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

}  // namespace velnara::platform

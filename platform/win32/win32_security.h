// The access-control contract over advapi32's GetNamedSecurityInfoA,
// GetEffectiveRightsFromAclA, SetEntriesInAclA and SetNamedSecurityInfoA,
// looked up when the program runs. Where one is missing, its calls answer
// ERROR_PROC_NOT_FOUND.
#pragma once

#include "platform/security.h"

namespace velnara::platform::win32 {

class Win32Security final : public Security {
 public:
  Win32Security();

  ErrorCode GetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                 std::uint32_t securityInfo, AclHandle* dacl,
                                 SecurityDescriptorHandle* descriptor) override;
  ErrorCode GetEffectiveRightsFromAcl(AclHandle dacl, const Trustee& trustee,
                                      AccessMask* rights) override;
  ErrorCode SetEntriesInAcl(std::uint32_t count, const ExplicitAccess* entries, AclHandle oldAcl,
                            AclHandle* newAcl) override;
  ErrorCode SetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                 std::uint32_t securityInfo, AclHandle dacl) override;
  ErrorCode GetSecurityDescriptorControl(SecurityDescriptorHandle descriptor,
                                         std::uint16_t* control) override;
  ErrorCode ConvertDescriptorToSddl(SecurityDescriptorHandle descriptor, std::uint32_t securityInfo,
                                    std::string* sddl) override;
  ErrorCode ConvertSddlToDescriptor(const char* sddl,
                                    SecurityDescriptorHandle* descriptor) override;
  ErrorCode GetSecurityDescriptorDacl(SecurityDescriptorHandle descriptor, bool* present,
                                      AclHandle* dacl) override;
  void LocalFree(void* memory) override;
  ErrorCode AllocateAndInitializeSid(const SidAuthority& authority, std::uint8_t count,
                                     const std::uint32_t* subAuthorities, SidHandle* sid) override;
  void FreeSid(SidHandle sid) override;

 private:
  struct Functions;
  static const Functions& LookUp();
  const Functions& functions_;
};

}  // namespace velnara::platform::win32

#include "platform/win32/win32_security.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_dynamic.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_api.h"

// The access-list functions return their error code and leave the thread's
// last error alone; each method hands back the call's own result. The SID
// calls are BOOL calls: their failure is the last error.

namespace velnara::platform::win32 {

struct Win32Security::Functions {
  decltype(&GetNamedSecurityInfoA) getNamed = nullptr;
  decltype(&GetEffectiveRightsFromAclA) getRights = nullptr;
  decltype(&SetEntriesInAclA) setEntries = nullptr;
  decltype(&SetNamedSecurityInfoA) setNamed = nullptr;
  decltype(&::AllocateAndInitializeSid) allocateSid = nullptr;
  decltype(&::FreeSid) freeSid = nullptr;
  decltype(&::GetSecurityDescriptorControl) getControl = nullptr;
  decltype(&ConvertSecurityDescriptorToStringSecurityDescriptorA) toSddl = nullptr;
  decltype(&ConvertStringSecurityDescriptorToSecurityDescriptorA) fromSddl = nullptr;
  decltype(&::GetSecurityDescriptorDacl) getDacl = nullptr;
};

Win32Security::Win32Security() : functions_(LookUp()) {}

const Win32Security::Functions& Win32Security::LookUp() {
  static const Functions functions = [] {
    constexpr const char* kDll = "advapi32.dll";
    Functions found;
    found.getNamed = LookUpFunction<decltype(found.getNamed)>(kDll, "GetNamedSecurityInfoA");
    found.getRights = LookUpFunction<decltype(found.getRights)>(kDll, "GetEffectiveRightsFromAclA");
    found.setEntries = LookUpFunction<decltype(found.setEntries)>(kDll, "SetEntriesInAclA");
    found.setNamed = LookUpFunction<decltype(found.setNamed)>(kDll, "SetNamedSecurityInfoA");
    found.allocateSid =
        LookUpFunction<decltype(found.allocateSid)>(kDll, "AllocateAndInitializeSid");
    found.freeSid = LookUpFunction<decltype(found.freeSid)>(kDll, "FreeSid");
    found.getControl =
        LookUpFunction<decltype(found.getControl)>(kDll, "GetSecurityDescriptorControl");
    found.toSddl = LookUpFunction<decltype(found.toSddl)>(
        kDll, "ConvertSecurityDescriptorToStringSecurityDescriptorA");
    found.fromSddl = LookUpFunction<decltype(found.fromSddl)>(
        kDll, "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    found.getDacl = LookUpFunction<decltype(found.getDacl)>(kDll, "GetSecurityDescriptorDacl");
    return found;
  }();
  return functions;
}

ErrorCode Win32Security::GetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                              std::uint32_t securityInfo, AclHandle* dacl,
                                              SecurityDescriptorHandle* descriptor) {
  *dacl = nullptr;
  *descriptor = nullptr;
  if (functions_.getNamed == nullptr) return ERROR_PROC_NOT_FOUND;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR held = nullptr;
  const DWORD code = functions_.getNamed(objectName, static_cast<SE_OBJECT_TYPE>(objectType),
                                         securityInfo, nullptr, nullptr, &list, nullptr, &held);
  if (code != ERROR_SUCCESS) return code;
  *dacl = list;
  *descriptor = held;
  return ERROR_SUCCESS;
}

ErrorCode Win32Security::GetEffectiveRightsFromAcl(AclHandle dacl, const Trustee& trustee,
                                                   AccessMask* rights) {
  if (functions_.getRights == nullptr) return ERROR_PROC_NOT_FOUND;
  // The call does not change the trustee; the SDK's signature just lacks
  // the const.
  TRUSTEE_A sdkTrustee;
  static_assert(sizeof sdkTrustee == sizeof trustee);
  std::memcpy(&sdkTrustee, &trustee, sizeof sdkTrustee);
  ACCESS_MASK mask = 0;
  const DWORD code = functions_.getRights(static_cast<PACL>(dacl), &sdkTrustee, &mask);
  if (code == ERROR_SUCCESS) *rights = mask;
  return code;
}

ErrorCode Win32Security::SetEntriesInAcl(std::uint32_t count, const ExplicitAccess* entries,
                                         AclHandle oldAcl, AclHandle* newAcl) {
  *newAcl = nullptr;
  if (functions_.setEntries == nullptr) return ERROR_PROC_NOT_FOUND;
  std::vector<EXPLICIT_ACCESS_A> sdkEntries(count);
  if (count > 0) std::memcpy(sdkEntries.data(), entries, count * sizeof(EXPLICIT_ACCESS_A));
  PACL merged = nullptr;
  const DWORD code =
      functions_.setEntries(count, sdkEntries.data(), static_cast<PACL>(oldAcl), &merged);
  if (code == ERROR_SUCCESS) *newAcl = merged;
  return code;
}

ErrorCode Win32Security::SetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                              std::uint32_t securityInfo, AclHandle dacl) {
  if (functions_.setNamed == nullptr) return ERROR_PROC_NOT_FOUND;
  std::string name = objectName != nullptr ? objectName : "";  // the call takes a mutable name
  return functions_.setNamed(name.data(), static_cast<SE_OBJECT_TYPE>(objectType), securityInfo,
                             nullptr, nullptr, static_cast<PACL>(dacl), nullptr);
}

ErrorCode Win32Security::GetSecurityDescriptorControl(SecurityDescriptorHandle descriptor,
                                                      std::uint16_t* control) {
  if (functions_.getControl == nullptr) return ERROR_PROC_NOT_FOUND;
  SECURITY_DESCRIPTOR_CONTROL bits = 0;
  DWORD revision = 0;
  if (!functions_.getControl(descriptor, &bits, &revision)) return LastErrorCode();
  *control = bits;
  return ERROR_SUCCESS;
}

ErrorCode Win32Security::ConvertDescriptorToSddl(SecurityDescriptorHandle descriptor,
                                                 std::uint32_t securityInfo, std::string* sddl) {
  if (functions_.toSddl == nullptr) return ERROR_PROC_NOT_FOUND;
  LocalMemory text;
  if (!functions_.toSddl(descriptor, SDDL_REVISION_1, securityInfo, text.receive_as<char*>(),
                         nullptr)) {
    return LastErrorCode();
  }
  *sddl = static_cast<const char*>(text.get());
  return ERROR_SUCCESS;
}

ErrorCode Win32Security::ConvertSddlToDescriptor(const char* sddl,
                                                 SecurityDescriptorHandle* descriptor) {
  *descriptor = nullptr;
  if (functions_.fromSddl == nullptr) return ERROR_PROC_NOT_FOUND;
  PSECURITY_DESCRIPTOR made = nullptr;
  if (!functions_.fromSddl(sddl, SDDL_REVISION_1, &made, nullptr)) return LastErrorCode();
  *descriptor = made;
  return ERROR_SUCCESS;
}

ErrorCode Win32Security::GetSecurityDescriptorDacl(SecurityDescriptorHandle descriptor,
                                                   bool* present, AclHandle* dacl) {
  *present = false;
  *dacl = nullptr;
  if (functions_.getDacl == nullptr) return ERROR_PROC_NOT_FOUND;
  BOOL hasList = FALSE;
  BOOL defaulted = FALSE;
  PACL list = nullptr;
  if (!functions_.getDacl(descriptor, &hasList, &list, &defaulted)) return LastErrorCode();
  *present = hasList != FALSE;
  *dacl = hasList ? list : nullptr;
  return ERROR_SUCCESS;
}

void Win32Security::LocalFree(void* memory) {
  if (memory != nullptr) ::LocalFree(memory);
}

ErrorCode Win32Security::AllocateAndInitializeSid(const SidAuthority& authority, std::uint8_t count,
                                                  const std::uint32_t* subAuthorities,
                                                  SidHandle* sid) {
  *sid = nullptr;
  if (functions_.allocateSid == nullptr) return ERROR_PROC_NOT_FOUND;
  if (count < 1 || count > security::kMaxSubAuthorities || subAuthorities == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  SID_IDENTIFIER_AUTHORITY sdkAuthority;
  static_assert(sizeof sdkAuthority == sizeof authority);
  std::memcpy(&sdkAuthority, &authority, sizeof sdkAuthority);
  DWORD sub[security::kMaxSubAuthorities] = {};
  for (std::uint8_t i = 0; i < count; ++i) sub[i] = subAuthorities[i];
  PSID made = nullptr;
  if (!functions_.allocateSid(&sdkAuthority, count, sub[0], sub[1], sub[2], sub[3], sub[4], sub[5],
                              sub[6], sub[7], &made)) {
    return LastErrorCode();
  }
  *sid = made;
  return ERROR_SUCCESS;
}

void Win32Security::FreeSid(SidHandle sid) {
  if (sid != nullptr && functions_.freeSid != nullptr) functions_.freeSid(sid);
}

}  // namespace velnara::platform::win32

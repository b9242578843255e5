#include "platform/win32/win32_security.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_dynamic.h"
#include "platform/win32/windows_api.h"

// These functions return their error code and leave the thread's last
// error alone; each method hands back the call's own result.

namespace velnara::platform::win32 {

struct Win32Security::Functions {
  decltype(&GetNamedSecurityInfoA) getNamed = nullptr;
  decltype(&GetEffectiveRightsFromAclA) getRights = nullptr;
  decltype(&SetEntriesInAclA) setEntries = nullptr;
  decltype(&SetNamedSecurityInfoA) setNamed = nullptr;
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

void Win32Security::LocalFree(void* memory) {
  if (memory != nullptr) ::LocalFree(memory);
}

}  // namespace velnara::platform::win32

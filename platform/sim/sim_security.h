// The stand-in's access-control calls on the keys of a SimRegistry, with
// Windows's semantics (see the notes in sim_security.cpp): trustees named
// by account name, resolved like LookupAccountName; GRANT_ACCESS merging
// with the trustee's allowed rights; a stored list governing the next open
// of that key.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/security.h"
#include "platform/sim/call_log.h"
#include "platform/sim/sim_registry.h"

namespace velnara::platform::sim {

class SimSecurity : public Security {
 public:
  explicit SimSecurity(SimRegistry& registry);
  ~SimSecurity() override;

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

  // The machine's account names. An English system names the well-known
  // groups "Everyone", "SYSTEM", "Administrators", "Users" (also with their
  // domain, "NT AUTHORITY\SYSTEM", "BUILTIN\Administrators"); names match
  // without regard to case. RenameAccount gives `sid` the one name
  // `localName`, as a localised Windows does ("Jeder" for Everyone).
  void RenameAccount(const std::string& sid, const std::string& localName);

  // Enters every call into `log` (null: none), which may fail it.
  void SetCallLog(CallLog* log) { log_ = log; }

  // The list of the object `objectName` as SDDL (FormatSddlDacl), read
  // outside the call log and without access checks; false when there is
  // no such key.
  bool ReadSddl(const char* objectName, std::string* sddl) const;
  // Replaces its list with the one `sddl` gives, exactly; false when there
  // is no such key or the text does not parse.
  bool WriteSddl(const char* objectName, const std::string& sddl);

  // Memory handed out and not yet given back: descriptors, lists and SIDs.
  int OutstandingAllocations() const {
    return static_cast<int>(allocations_.size() + sids_.size());
  }
  // Misuses met: memory freed that was not handed out (or twice), a list
  // used after its memory was given back. A correct caller leaves it empty.
  const std::vector<std::string>& misuses() const { return misuses_; }

 private:
  struct Allocation;
  // The list behind a handle the calls handed out; null (and a misuse
  // recorded) for anything else.
  const Dacl* FindAcl(AclHandle acl, const char* function);
  // The list of a descriptor the calls handed out; null (and a misuse
  // recorded) for anything else.
  const Dacl* FindDescriptor(SecurityDescriptorHandle descriptor, const char* function);
  // The security identifier an account name stands for; empty when none.
  std::string ResolveName(const char* name) const;
  ErrorCode ResolveTrustee(const Trustee& trustee, std::string* sid) const;
  AclHandle Allocate(const Dacl& dacl, bool descriptor, SecurityDescriptorHandle* handle);

  SimRegistry& registry_;
  CallLog* log_ = nullptr;
  std::map<std::string, std::string> accounts_;  // upper-cased name -> SID
  std::vector<std::unique_ptr<Allocation>> allocations_;
  std::vector<std::unique_ptr<std::string>> sids_;  // each SID handed out, as "S-1-1-0"
  std::vector<std::string> misuses_;
};

}  // namespace velnara::platform::sim

// The stand-in's access-control calls. Where Windows and Wine differ, it
// does what Windows does:
// - A trustee given by SID (TRUSTEE_IS_SID) is that SID, in every language.
// - A trustee name is resolved like LookupAccountName, without regard to
//   case and in the system's language; a name no account bears fails with
//   ERROR_NONE_MAPPED in the rights query and in the merge (Wine answers the
//   query for any name and fails the merge with ERROR_INVALID_PARAMETER).
// - GetEffectiveRightsFromAclA reads the list (Wine answers 0x1FFFFF for
//   any list): the trustee's entries in order, each right decided by the
//   first entry that names it; an inherited deny entry makes it fail with
//   ERROR_INVALID_ACL, as Windows's does.
// - SetEntriesInAclA: GRANT_ACCESS merges the new rights with the
//   trustee's explicit allow entry of the same inheritance into one allow
//   entry, placed after the explicit deny entries. (Wine never merges and
//   puts the old entries after the new one.) The program grants only; the
//   other modes are refused with ERROR_INVALID_PARAMETER.
// - SetNamedSecurityInfoA stores the list's explicit entries, takes the
//   parent key's inheritable entries afresh unless the key's list is
//   protected, and passes the key's inheritable entries on to its subkeys
//   (SimRegistry::WriteKeyDacl). It needs WRITE_DAC, which the key's owner
//   always has; GetNamedSecurityInfoA needs READ_CONTROL.
// Memory comes as Windows hands it out: a descriptor that holds its DACL,
// and a merged list of its own; each is given back with LocalFree.
#include "platform/sim/sim_security.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace velnara::platform::sim {
namespace {

constexpr AccessMask kAllRights = 0x001FFFFF;      // STANDARD_RIGHTS_ALL | SPECIFIC_RIGHTS_ALL
constexpr std::uint32_t kInheritanceFlags = 0x0F;  // OI CI NP IO, as the ACE header has them

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// "MACHINE\SYSTEM\..." as a root key and the path below it.
bool ParseObjectName(const char* objectName, RawKey* root, std::string* path) {
  if (objectName == nullptr) return false;
  const std::string name = objectName;
  const std::size_t slash = name.find('\\');
  const std::string word = Upper(name.substr(0, slash));
  *path = slash == std::string::npos ? std::string() : name.substr(slash + 1);
  struct RootWord {
    const char* word;
    RawKey key;
  };
  static constexpr RootWord kRootWords[] = {{"CLASSES_ROOT", kClassesRoot},
                                            {"CURRENT_USER", kCurrentUser},
                                            {"MACHINE", kLocalMachine},
                                            {"USERS", kUsers}};
  for (const RootWord& root_word : kRootWords) {
    if (word == root_word.word) {
      *root = root_word.key;
      return true;
    }
  }
  return false;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

using HeldSids = std::vector<std::unique_ptr<std::string>>;

// The SID a SID trustee points at, if the stand-in handed it out.
const std::string* FindSid(const HeldSids& sids, const void* sid) {
  for (const std::unique_ptr<std::string>& held : sids) {
    if (static_cast<const void*>(held.get()) == sid) return held.get();
  }
  return nullptr;
}

// The trustee as the call log shows it, field by field; a SID trustee by
// the SID it points at.
std::string Describe(const Trustee& trustee, const HeldSids& sids) {
  std::string shown = std::string("name=") + (trustee.name != nullptr ? trustee.name : "<null>");
  if (trustee.form == security::kTrusteeIsSid) {
    const std::string* sid = FindSid(sids, trustee.name);
    shown = "sid=" + (sid != nullptr ? *sid : std::string("<unknown>"));
  }
  return shown + " form=" + std::to_string(trustee.form) + " type=" + std::to_string(trustee.type) +
         " multiple=" + (trustee.multipleTrustee != nullptr ? "set" : "none") +
         " operation=" + std::to_string(trustee.multipleTrusteeOperation);
}

std::string Describe(const ExplicitAccess& entry, const HeldSids& sids) {
  return Describe(entry.trustee, sids) + " mode=" + std::to_string(entry.accessMode) +
         " inheritance=" + Hex(entry.inheritance) + " rights=" + Hex(entry.accessPermissions);
}

bool IsExplicit(const Ace& ace) {
  return (ace.flags & ace_flag::kInherited) == 0;
}

// Removes the trustee's explicit allow entries of the inheritance `flags`;
// answers the OR of their rights.
AccessMask RemoveExplicitAllows(std::vector<Ace>* aces, const std::string& sid,
                                std::uint8_t flags) {
  AccessMask removed = 0;
  aces->erase(std::remove_if(aces->begin(), aces->end(),
                             [&](const Ace& ace) {
                               const bool hit = IsExplicit(ace) && ace.allow && ace.sid == sid &&
                                                ace.flags == flags;
                               if (hit) removed |= ace.mask;
                               return hit;
                             }),
              aces->end());
  return removed;
}

// Where a new explicit allow entry goes: after the explicit deny entries.
std::vector<Ace>::iterator AfterExplicitDenies(std::vector<Ace>* aces) {
  return std::find_if(aces->begin(), aces->end(),
                      [](const Ace& ace) { return !(IsExplicit(ace) && !ace.allow); });
}

}  // namespace

struct SimSecurity::Allocation {
  Dacl dacl;
  bool descriptor = false;  // a security descriptor holding `dacl`, or the list alone
};

SimSecurity::SimSecurity(SimRegistry& registry) : registry_(registry) {
  const std::pair<const char*, const char*> kEnglishNames[] = {
      {"Everyone", kSidEveryone},
      {"SYSTEM", kSidSystem},
      {"NT AUTHORITY\\SYSTEM", kSidSystem},
      {"Administrators", kSidAdministrators},
      {"BUILTIN\\Administrators", kSidAdministrators},
      {"Users", kSidUsers},
      {"BUILTIN\\Users", kSidUsers},
      {"Authenticated Users", "S-1-5-11"},
      {"NT AUTHORITY\\Authenticated Users", "S-1-5-11"},
      {"CREATOR OWNER", "S-1-3-0"},
  };
  for (const auto& [name, sid] : kEnglishNames) accounts_[Upper(name)] = sid;
}

SimSecurity::~SimSecurity() = default;

void SimSecurity::RenameAccount(const std::string& sid, const std::string& localName) {
  for (auto it = accounts_.begin(); it != accounts_.end();) {
    it = it->second == sid ? accounts_.erase(it) : std::next(it);
  }
  accounts_[Upper(localName)] = sid;
}

std::string SimSecurity::ResolveName(const char* name) const {
  const auto found = accounts_.find(Upper(name));
  return found == accounts_.end() ? std::string() : found->second;
}

ErrorCode SimSecurity::ResolveTrustee(const Trustee& trustee, std::string* sid) const {
  // Multiple trustees are not used by the program, and the stand-in does
  // not take them.
  if (trustee.name == nullptr || trustee.multipleTrustee != nullptr ||
      trustee.multipleTrusteeOperation != security::kNoMultipleTrustee) {
    return error::kInvalidParameter;
  }
  if (trustee.form == security::kTrusteeIsSid) {
    const std::string* held = FindSid(sids_, trustee.name);
    if (held == nullptr) return error::kInvalidParameter;  // not a SID handed out, or freed
    *sid = *held;
    return error::kSuccess;
  }
  if (trustee.form != security::kTrusteeIsName) return error::kInvalidParameter;
  *sid = ResolveName(trustee.name);
  return sid->empty() ? error::kNoneMapped : error::kSuccess;
}

ErrorCode SimSecurity::AllocateAndInitializeSid(const SidAuthority& authority, std::uint8_t count,
                                                const std::uint32_t* subAuthorities,
                                                SidHandle* sid) {
  if (sid != nullptr) *sid = nullptr;
  // "S-1-<authority>-<sub>...": the authority as a number when it fits 32
  // bits, as SID strings write it.
  std::uint64_t number = 0;
  for (const std::uint8_t byte : authority.value) number = number << 8 | byte;
  std::string text = "S-1-" + std::to_string(number);
  for (std::uint8_t i = 0; subAuthorities != nullptr && i < count; ++i) {
    text += "-" + std::to_string(subAuthorities[i]);
  }
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("AllocateAndInitializeSid", text, count)) {
      return forced;
    }
  }
  if (sid == nullptr || subAuthorities == nullptr || count < 1 ||
      count > security::kMaxSubAuthorities) {
    return error::kInvalidParameter;
  }
  sids_.push_back(std::make_unique<std::string>(text));
  *sid = sids_.back().get();
  return error::kSuccess;
}

void SimSecurity::FreeSid(SidHandle sid) {
  if (sid == nullptr) return;
  const auto found =
      std::find_if(sids_.begin(), sids_.end(),
                   [sid](const std::unique_ptr<std::string>& held) { return held.get() == sid; });
  if (found == sids_.end()) {
    misuses_.push_back("FreeSid of a SID that was not handed out, or was freed before");
    return;
  }
  if (log_ != nullptr) log_->Note("FreeSid", **found);
  sids_.erase(found);
}

AclHandle SimSecurity::Allocate(const Dacl& dacl, bool descriptor,
                                SecurityDescriptorHandle* handle) {
  auto allocation = std::make_unique<Allocation>();
  allocation->dacl = dacl;
  allocation->descriptor = descriptor;
  AclHandle acl = &allocation->dacl;
  if (handle != nullptr) *handle = allocation.get();
  allocations_.push_back(std::move(allocation));
  return acl;
}

const Dacl* SimSecurity::FindAcl(AclHandle acl, const char* function) {
  for (const std::unique_ptr<Allocation>& allocation : allocations_) {
    if (&allocation->dacl == acl) return &allocation->dacl;
  }
  misuses_.push_back(std::string(function) + " was given a list that is not (or no longer) held");
  return nullptr;
}

const Dacl* SimSecurity::FindDescriptor(SecurityDescriptorHandle descriptor, const char* function) {
  const auto found = std::find_if(allocations_.begin(), allocations_.end(),
                                  [descriptor](const std::unique_ptr<Allocation>& a) {
                                    return a->descriptor && descriptor == a.get();
                                  });
  if (found != allocations_.end()) return &(*found)->dacl;
  misuses_.push_back(std::string(function) + " was given no descriptor the calls handed out");
  return nullptr;
}

ErrorCode SimSecurity::ConvertDescriptorToSddl(SecurityDescriptorHandle descriptor,
                                               std::uint32_t securityInfo, std::string* sddl) {
  if (log_ != nullptr) {
    if (const ErrorCode forced =
            log_->Enter("ConvertSecurityDescriptorToStringSecurityDescriptorA", "", securityInfo)) {
      return forced;
    }
  }
  const Dacl* dacl =
      FindDescriptor(descriptor, "ConvertSecurityDescriptorToStringSecurityDescriptorA");
  if (dacl == nullptr || sddl == nullptr) return error::kInvalidParameter;
  *sddl = (securityInfo & security::kDaclSecurityInformation) != 0 ? FormatSddlDacl(*dacl) : "";
  return error::kSuccess;
}

ErrorCode SimSecurity::ConvertSddlToDescriptor(const char* sddl,
                                               SecurityDescriptorHandle* descriptor) {
  if (descriptor != nullptr) *descriptor = nullptr;
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("ConvertStringSecurityDescriptorToSecurityDescriptorA",
                                             sddl != nullptr ? sddl : "<null>")) {
      return forced;
    }
  }
  Dacl dacl;
  if (sddl == nullptr || descriptor == nullptr) return error::kInvalidParameter;
  if (!ParseSddlDacl(sddl, &dacl)) return error::kInvalidSecurityDescriptor;
  Allocate(dacl, true, descriptor);
  return error::kSuccess;
}

ErrorCode SimSecurity::GetSecurityDescriptorDacl(SecurityDescriptorHandle descriptor, bool* present,
                                                 AclHandle* dacl) {
  if (present != nullptr) *present = false;
  if (dacl != nullptr) *dacl = nullptr;
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("GetSecurityDescriptorDacl")) return forced;
  }
  const Dacl* list = FindDescriptor(descriptor, "GetSecurityDescriptorDacl");
  if (list == nullptr || present == nullptr || dacl == nullptr) return error::kInvalidParameter;
  *present = list->present;
  // The list lives in the descriptor: the same memory the calls take it by.
  *dacl = list->present ? const_cast<Dacl*>(list) : nullptr;
  return error::kSuccess;
}

ErrorCode SimSecurity::GetSecurityDescriptorControl(SecurityDescriptorHandle descriptor,
                                                    std::uint16_t* control) {
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter("GetSecurityDescriptorControl")) return forced;
  }
  const Dacl* found = FindDescriptor(descriptor, "GetSecurityDescriptorControl");
  if (found == nullptr || control == nullptr) return error::kInvalidParameter;
  const Dacl& dacl = *found;
  *control = static_cast<std::uint16_t>(0x8000 /* SE_SELF_RELATIVE */ |
                                        (dacl.present ? security::kSeDaclPresent : 0) |
                                        (dacl.isProtected ? security::kSeDaclProtected : 0));
  return error::kSuccess;
}

void SimSecurity::LocalFree(void* memory) {
  if (memory == nullptr) return;
  const auto found = std::find_if(allocations_.begin(), allocations_.end(),
                                  [memory](const std::unique_ptr<Allocation>& a) {
                                    return a->descriptor ? memory == static_cast<void*>(a.get())
                                                         : memory == static_cast<void*>(&a->dacl);
                                  });
  if (found == allocations_.end()) {
    misuses_.push_back("LocalFree of memory that was not handed out, or was given back before");
    return;
  }
  allocations_.erase(found);
}

namespace {

// The seeding path of an object name ("HKEY_CURRENT_USER\\Software\\...").
bool SeedingPath(const char* objectName, std::string* full) {
  RawKey root = kNoKey;
  std::string path;
  if (!ParseObjectName(objectName, &root, &path)) return false;
  *full = root == kLocalMachine  ? "HKEY_LOCAL_MACHINE"
          : root == kCurrentUser ? "HKEY_CURRENT_USER"
          : root == kUsers       ? "HKEY_USERS"
                                 : "HKEY_CLASSES_ROOT";
  if (!path.empty()) *full += "\\" + path;
  return true;
}

}  // namespace

bool SimSecurity::ReadSddl(const char* objectName, std::string* sddl) const {
  std::string full;
  if (!SeedingPath(objectName, &full) || !registry_.KeyExists(full)) return false;
  *sddl = FormatSddlDacl(registry_.GetDaclAt(full));
  return true;
}

bool SimSecurity::WriteSddl(const char* objectName, const std::string& sddl) {
  std::string full;
  return SeedingPath(objectName, &full) && registry_.SetSddlAt(full, sddl);
}

ErrorCode SimSecurity::GetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                            std::uint32_t securityInfo, AclHandle* dacl,
                                            SecurityDescriptorHandle* descriptor) {
  if (dacl != nullptr) *dacl = nullptr;
  if (descriptor != nullptr) *descriptor = nullptr;
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter(
            "GetNamedSecurityInfoA", objectName != nullptr ? objectName : "<null>", securityInfo)) {
      return forced;
    }
  }
  // Registry keys and their DACL are all the stand-in keeps.
  if (objectType != security::kSeRegistryKey ||
      securityInfo != security::kDaclSecurityInformation || dacl == nullptr ||
      descriptor == nullptr) {
    return error::kInvalidParameter;
  }
  RawKey root = kNoKey;
  std::string path;
  if (!ParseObjectName(objectName, &root, &path)) return error::kInvalidParameter;
  Dacl stored;
  if (const ErrorCode code = registry_.ReadKeyDacl(root, path, &stored); code != error::kSuccess) {
    return code;
  }
  const AclHandle acl = Allocate(stored, true, descriptor);
  *dacl = stored.present ? acl : nullptr;
  return error::kSuccess;
}

ErrorCode SimSecurity::GetEffectiveRightsFromAcl(AclHandle dacl, const Trustee& trustee,
                                                 AccessMask* rights) {
  if (log_ != nullptr) {
    if (const ErrorCode forced =
            log_->Enter("GetEffectiveRightsFromAclA", Describe(trustee, sids_))) {
      return forced;
    }
  }
  if (rights == nullptr) return error::kInvalidParameter;
  std::string sid;
  if (const ErrorCode code = ResolveTrustee(trustee, &sid); code != error::kSuccess) return code;
  if (dacl == nullptr) {
    *rights = kAllRights;  // a NULL DACL grants everything
    return error::kSuccess;
  }
  const Dacl* list = FindAcl(dacl, "GetEffectiveRightsFromAclA");
  if (list == nullptr) return error::kInvalidParameter;
  AccessMask granted = 0;
  AccessMask denied = 0;
  for (const Ace& ace : list->aces) {
    if (!ace.allow && !IsExplicit(ace)) return error::kInvalidAcl;
    if ((ace.flags & ace_flag::kInheritOnly) || ace.sid != sid) continue;
    if (ace.allow) {
      granted |= ace.mask & ~denied;
    } else {
      denied |= ace.mask & ~granted;
    }
  }
  *rights = granted;
  return error::kSuccess;
}

ErrorCode SimSecurity::SetEntriesInAcl(std::uint32_t count, const ExplicitAccess* entries,
                                       AclHandle oldAcl, AclHandle* newAcl) {
  if (newAcl != nullptr) *newAcl = nullptr;
  if (log_ != nullptr) {
    const bool described = count > 0 && entries != nullptr;
    if (const ErrorCode forced =
            log_->Enter("SetEntriesInAclA", described ? Describe(entries[0], sids_) : std::string(),
                        described ? entries[0].accessPermissions : 0)) {
      return forced;
    }
  }
  if (newAcl == nullptr || (count > 0 && entries == nullptr)) return error::kInvalidParameter;
  Dacl merged;
  if (oldAcl != nullptr) {
    const Dacl* old = FindAcl(oldAcl, "SetEntriesInAclA");
    if (old == nullptr) return error::kInvalidParameter;
    merged = *old;
  }
  merged.present = true;
  for (std::uint32_t i = 0; i < count; ++i) {
    const ExplicitAccess& entry = entries[i];
    std::string sid;
    if (const ErrorCode code = ResolveTrustee(entry.trustee, &sid); code != error::kSuccess) {
      return code;
    }
    if (entry.accessMode != security::kGrantAccess) return error::kInvalidParameter;
    const auto flags = static_cast<std::uint8_t>(entry.inheritance & kInheritanceFlags);
    std::vector<Ace>& aces = merged.aces;
    const AccessMask held = RemoveExplicitAllows(&aces, sid, flags);
    aces.insert(AfterExplicitDenies(&aces), Ace{true, flags, held | entry.accessPermissions, sid});
  }
  *newAcl = Allocate(merged, false, nullptr);
  return error::kSuccess;
}

ErrorCode SimSecurity::SetNamedSecurityInfo(const char* objectName, std::uint32_t objectType,
                                            std::uint32_t securityInfo, AclHandle dacl) {
  if (log_ != nullptr) {
    if (const ErrorCode forced = log_->Enter(
            "SetNamedSecurityInfoA", objectName != nullptr ? objectName : "<null>", securityInfo)) {
      return forced;
    }
  }
  constexpr std::uint32_t kProtection = security::kProtectedDacl | security::kUnprotectedDacl;
  if (objectType != security::kSeRegistryKey ||
      (securityInfo & ~kProtection) != security::kDaclSecurityInformation ||
      (securityInfo & kProtection) == kProtection) {
    return error::kInvalidParameter;
  }
  const SimRegistry::Protection protection =
      (securityInfo & security::kProtectedDacl) != 0     ? SimRegistry::Protection::kProtect
      : (securityInfo & security::kUnprotectedDacl) != 0 ? SimRegistry::Protection::kUnprotect
                                                         : SimRegistry::Protection::kKeep;
  RawKey root = kNoKey;
  std::string path;
  if (!ParseObjectName(objectName, &root, &path)) return error::kInvalidParameter;
  Dacl list;
  list.present = false;  // no list given: a NULL DACL, as Windows stores it
  if (dacl != nullptr) {
    const Dacl* given = FindAcl(dacl, "SetNamedSecurityInfoA");
    if (given == nullptr) return error::kInvalidParameter;
    list = *given;
  }
  return registry_.WriteKeyDacl(root, path, list, protection);
}

}  // namespace velnara::platform::sim

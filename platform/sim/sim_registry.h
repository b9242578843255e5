// The stand-in registry: an in-memory tree with the Windows semantics the
// program relies on (see the notes in sim_registry.cpp): case-insensitive key
// names kept in the case they were created, subkeys enumerated in sorted
// order, values in creation order, typed data, capacities answered with
// ERROR_MORE_DATA, and an access list per key that is enforced at open.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/call_log.h"

namespace velnara::platform::sim {

// Well-known security identifiers; SDDL names them WD, BA, BU and SY.
constexpr const char* kSidEveryone = "S-1-1-0";
constexpr const char* kSidAdministrators = "S-1-5-32-544";
constexpr const char* kSidUsers = "S-1-5-32-545";
constexpr const char* kSidSystem = "S-1-5-18";

// ACE header flags as Windows defines them.
namespace ace_flag {
constexpr std::uint8_t kObjectInherit = 0x01;     // OI
constexpr std::uint8_t kContainerInherit = 0x02;  // CI: subkeys created later receive the entry
constexpr std::uint8_t kNoPropagate = 0x04;       // NP: only the direct subkeys receive it
constexpr std::uint8_t kInheritOnly = 0x08;       // IO: applies to subkeys, not to this key
constexpr std::uint8_t kInherited = 0x10;         // ID: the entry came from the parent
}  // namespace ace_flag

struct Ace {
  bool allow = true;       // access-allowed or access-denied entry
  std::uint8_t flags = 0;  // ace_flag bits
  AccessMask mask = 0;     // generic rights are kept as given
  std::string sid;         // "S-1-1-0"
};

// A DACL; `present` false is the NULL DACL, which grants everything. A
// protected list ("D:P...") takes no entries from its parent key.
struct Dacl {
  bool present = true;
  bool isProtected = false;
  std::vector<Ace> aces;
};

// Parses the DACL part of an SDDL string: "D:(A;;KR;;;WD)(D;CI;KW;;;BU)",
// optionally with the flags P (protected), AI, AR after "D:", or "D:NO_ACCESS_CONTROL"
// for the NULL DACL. Entry types A and D; entry flags OI CI NP IO ID; rights
// hexadecimal ("0x20019") or any run of KA KR KW KX GA GR GW GX RC SD WD WO
// and the letters CC DC LC SW RP WP DT LO CR; trustees WD BA BU SY AU CO IU
// LS NS PU RC or "S-1-...". Returns false on anything else and
// leaves *dacl alone then.
bool ParseSddlDacl(const std::string& sddl, Dacl* dacl);

// The list written back as SDDL that ParseSddlDacl reads: rights by name
// where one names the whole mask ("KR"), else in hexadecimal.
std::string FormatSddlDacl(const Dacl& dacl);

// Every right (generic rights mapped for keys) that `dacl` allows a token
// holding `sids`: entries in order, a right decided by the first entry of
// the token's that names it, inherit-only entries skipped.
AccessMask DaclAllowedRights(const Dacl& dacl, const std::vector<std::string>& sids);

// Whether `dacl` grants a token holding `sids` every right asked in
// `desired` (generic rights mapped for keys first). MAXIMUM_ALLOWED in
// `desired` asks for whatever the list allows and fails only when that is
// nothing.
bool DaclGrants(const Dacl& dacl, const std::vector<std::string>& sids, AccessMask desired);

// The entries a subkey receives from a parent whose list is `parent`: the
// container-inherit ones, marked inherited.
std::vector<Ace> InheritableEntries(const Dacl& parent);

// The list a new key gets when its parent passes nothing on: Administrators
// and SYSTEM full control, Users read, each inherited by later subkeys.
Dacl DefaultKeyDacl();

class SimRegistry : public Registry {
 public:
  SimRegistry();
  ~SimRegistry() override;

  // --- Registry ----------------------------------------------------------
  ErrorCode OpenKey(RawKey parent, const char* subKey, AccessMask access, RawKey* result) override;
  ErrorCode CreateKey(RawKey parent, const char* subKey, AccessMask access, const char* sddl,
                      RawKey* result) override;
  ErrorCode DeleteKey(RawKey parent, const char* subKey) override;
  ErrorCode EnumKey(RawKey key, std::uint32_t index, char* name, std::uint32_t* nameChars) override;
  ErrorCode EnumValue(RawKey key, std::uint32_t index, char* name, std::uint32_t* nameChars,
                      std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataBytes) override;
  ErrorCode QueryValue(RawKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataBytes) override;
  ErrorCode SetValue(RawKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t dataBytes) override;
  ErrorCode DeleteValue(RawKey key, const char* name) override;
  ErrorCode FlushKey(RawKey key) override;
  ErrorCode CloseKey(RawKey key) override;

  // --- Seeding and inspection (tests and sample machines) ----------------
  // Paths are "HKEY_LOCAL_MACHINE\\A\\B" (also HKLM, HKEY_CURRENT_USER, HKCU,
  // HKEY_CLASSES_ROOT, HKCR, HKEY_USERS, HKU) or, without a root, below
  // HKEY_LOCAL_MACHINE; root names are case-insensitive. Missing keys on the
  // way are created as CreateKey creates them (the parent's inheritable
  // entries, else the default list). Seeding ignores access lists and does
  // not count as Registry calls.
  void SetValueAt(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data);
  // A REG_SZ with its terminator counted.
  void SetStringAt(const std::string& path, const std::string& name, const std::string& text);
  void SetDwordAt(const std::string& path, const std::string& name, std::uint32_t value);
  void CreateKeyAt(const std::string& path);
  bool KeyExists(const std::string& path) const;
  // Removes a key and everything below it; false when it does not exist or
  // is a root. Handles still open on a removed key answer ERROR_KEY_DELETED.
  bool DeleteTreeAt(const std::string& path);
  // False when key or value is missing.
  bool DeleteValueAt(const std::string& path, const std::string& name);
  // The stored type and bytes of a value; false when key or value is missing.
  bool GetValueAt(const std::string& path, const std::string& name, std::uint32_t* type,
                  std::vector<std::uint8_t>* data) const;
  // A string value's text up to its first terminator; "" when missing.
  std::string GetStringAt(const std::string& path, const std::string& name) const;
  std::vector<std::string> ValueNamesAt(const std::string& path) const;
  std::vector<std::string> SubkeyNamesAt(const std::string& path) const;

  // Access lists. SetDaclAt and SetSddlAt replace the list of that one key,
  // exactly as given (nothing is pushed to existing subkeys); false when the
  // key is missing or the SDDL does not parse. GetDaclAt of a missing key is
  // an empty list.
  bool SetDaclAt(const std::string& path, const Dacl& dacl);
  bool SetSddlAt(const std::string& path, const std::string& sddl);
  Dacl GetDaclAt(const std::string& path) const;

  // A key's owner, a security identifier; none unless set. The owner may
  // always read and change the key's access list (READ_CONTROL and
  // WRITE_DAC), whatever the list says: this is how an administrator
  // re-secures device keys that grant Administrators only read access.
  bool SetOwnerAt(const std::string& path, const std::string& sid);

  // The access list of the key at `path` below `root` as the security calls
  // read and store it, checked against the token like an open: reading
  // needs READ_CONTROL, storing WRITE_DAC (else ERROR_ACCESS_DENIED); a
  // missing key is ERROR_FILE_NOT_FOUND. Storing keeps the key's explicit
  // entries as given and takes the inheritable ones of its parent afresh
  // unless the list is protected; the key's subkeys then receive its
  // inheritable entries in place of those they had from it.
  ErrorCode ReadKeyDacl(RawKey root, const std::string& path, Dacl* dacl) const;
  // `protection` says whether the key's list is protected from now on; by
  // default it keeps the protection it has.
  enum class Protection { kKeep, kProtect, kUnprotect };
  ErrorCode WriteKeyDacl(RawKey root, const std::string& path, const Dacl& dacl,
                         Protection protection = Protection::kKeep);

  // Enters every Registry call into `log` (null: none), which may fail it.
  void SetCallLog(CallLog* log) { log_ = log; }

  // Makes every key of this registry a copy of `other`'s, values, access
  // lists and owners with them: a machine loaded once serves many runs.
  // No key may be open here.
  void CopyKeysFrom(const SimRegistry& other);

  // The security identifiers of the program's token; by default an
  // administrator: Everyone, Users, Administrators.
  void SetTokenSids(std::vector<std::string> sids);

  // --- Bookkeeping the tests read ----------------------------------------
  int OpenHandleCount() const;     // handles open right now
  int MaxOpenHandleCount() const;  // the most handles open at once since the last reset
  void ResetMaxOpenHandleCount();
  long CallCount() const;  // Registry calls made so far (any kind, failed ones too)
  // What Registry calls have changed since the last reset: "PATH : name" of
  // every value set or deleted, "PATH" of every key made or removed, paths
  // upper-cased. Seeding does not count.
  const std::set<std::string>& Changed() const { return changed_; }
  void ResetChanged() { changed_.clear(); }
  // Makes every OpenKey of `path` (the full path of the key being opened,
  // written as for the seeding helpers, case-insensitive) fail with `code`
  // and *result = 0, whether the key exists or not, until ClearFailures.
  void FailOpenOf(const std::string& path, ErrorCode code);
  void ClearFailures();

 private:
  struct Node;
  struct Handle {
    std::shared_ptr<Node> node;
    AccessMask granted = 0;
  };

  // The node behind `key` when the handle holds every right in `needed`.
  ErrorCode Resolve(RawKey key, AccessMask needed, std::shared_ptr<Node>* node) const;
  // The access a new handle on `node` gets for `desired`, or false when the
  // node's list refuses it.
  bool Authorize(const Node& node, AccessMask desired, AccessMask* granted) const;
  // What the token may do with `node`: its list's rights and an owner's.
  AccessMask AllowedRights(const Node& node) const;
  RawKey AddHandle(std::shared_ptr<Node> node, AccessMask granted);
  std::shared_ptr<Node> FindPath(const std::string& path) const;
  std::shared_ptr<Node> FindBelow(RawKey root, const std::string& path) const;
  // The full path of what a handle refers to, for the call log.
  std::string PathOf(RawKey key) const;
  ErrorCode Intercept(const char* function, RawKey key, const char* name, std::uint32_t value = 0);
  std::shared_ptr<Node> MakePath(const std::string& path);

  std::map<RawKey, std::shared_ptr<Node>> roots_;
  std::map<RawKey, Handle> handles_;
  RawKey nextHandle_ = 0x100;
  std::vector<std::string> tokenSids_;
  std::map<std::string, ErrorCode> failOpen_;  // upper-cased full path -> code
  int maxOpen_ = 0;
  long calls_ = 0;
  CallLog* log_ = nullptr;
  std::set<std::string> changed_;
};

}  // namespace velnara::platform::sim

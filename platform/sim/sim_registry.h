// The stand-in registry: an in-memory tree with the Windows semantics the
// program relies on (see the notes in sim_registry.cpp): case-insensitive key
// names kept in the case they were created, subkeys enumerated in sorted
// order, values in creation order, typed data, capacities answered with
// ERROR_MORE_DATA, and an access list per key that is enforced at open.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace velnara::platform::sim {

// Well-known security identifiers as SDDL writes them.
constexpr const char* kSidEveryone = "S-1-1-0";
constexpr const char* kSidAdministrators = "S-1-5-32-544";
constexpr const char* kSidUsers = "S-1-5-32-545";
constexpr const char* kSidSystem = "S-1-5-18";

struct Ace {
  bool allow = true;            // access-allowed or access-denied entry
  std::uint8_t flags = 0;       // inheritance flags (OBJECT/CONTAINER_INHERIT, INHERIT_ONLY, ...)
  AccessMask mask = 0;          // generic rights are kept as given
  std::string sid;              // "S-1-1-0"
};

// A DACL; `present` false is the NULL DACL, which grants everything.
struct Dacl {
  bool present = true;
  std::vector<Ace> aces;
};

// Parses the DACL part of an SDDL string: "D:(A;;KR;;;WD)(D;CI;KW;;;BU)".
// Rights may be hexadecimal or KA KR KW KX GA GR GW GX; trustees WD BA BU SY
// or "S-1-...". Returns false on anything else.
bool ParseSddlDacl(const std::string& sddl, Dacl* dacl);

// The access that `dacl` grants to a token holding `sids`, for the rights
// asked in `desired` (generic rights mapped for keys first).
bool DaclGrants(const Dacl& dacl, const std::vector<std::string>& sids, AccessMask desired);

class SimRegistry : public Registry {
 public:
  SimRegistry();
  ~SimRegistry() override;

  // --- Registry ----------------------------------------------------------
  ErrorCode OpenKey(RawKey parent, const char* subKey, AccessMask access,
                    RawKey* result) override;
  ErrorCode CreateKey(RawKey parent, const char* subKey, AccessMask access, const char* sddl,
                      RawKey* result) override;
  ErrorCode DeleteKey(RawKey parent, const char* subKey) override;
  ErrorCode EnumKey(RawKey key, std::uint32_t index, char* name,
                    std::uint32_t* nameChars) override;
  ErrorCode EnumValue(RawKey key, std::uint32_t index, char* name, std::uint32_t* nameChars,
                      std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* dataBytes) override;
  ErrorCode QueryValue(RawKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataBytes) override;
  ErrorCode SetValue(RawKey key, const char* name, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t dataBytes) override;
  ErrorCode DeleteValue(RawKey key, const char* name) override;
  ErrorCode CloseKey(RawKey key) override;

  // --- Seeding and inspection (tests and sample machines) ----------------
  // Paths are "HKEY_LOCAL_MACHINE\\A\\B" or, without a root, below
  // HKEY_LOCAL_MACHINE. Missing keys on the way are created with the
  // default access list. Seeding ignores access lists.
  void SetValueAt(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data);
  // A REG_SZ with its terminator counted.
  void SetStringAt(const std::string& path, const std::string& name, const std::string& text);
  void SetDwordAt(const std::string& path, const std::string& name, std::uint32_t value);
  void CreateKeyAt(const std::string& path);
  bool KeyExists(const std::string& path) const;
  // Removes a key and everything below it; false when it does not exist.
  bool DeleteTreeAt(const std::string& path);
  // The stored type and bytes of a value; false when key or value is missing.
  bool GetValueAt(const std::string& path, const std::string& name, std::uint32_t* type,
                  std::vector<std::uint8_t>* data) const;
  // A string value's text up to its first terminator; "" when missing.
  std::string GetStringAt(const std::string& path, const std::string& name) const;
  std::vector<std::string> ValueNamesAt(const std::string& path) const;
  std::vector<std::string> SubkeyNamesAt(const std::string& path) const;

  // Access lists. New keys get the default list: Administrators and SYSTEM
  // full control, Users read, each inherited by subkeys created later.
  bool SetDaclAt(const std::string& path, const Dacl& dacl);
  bool SetSddlAt(const std::string& path, const std::string& sddl);
  Dacl GetDaclAt(const std::string& path) const;

  // The security identifiers of the program's token; by default an
  // administrator: Everyone, Users, Administrators.
  void SetTokenSids(std::vector<std::string> sids);

  // --- Bookkeeping the tests read ----------------------------------------
  int OpenHandleCount() const;     // handles open right now
  int MaxOpenHandleCount() const;  // the most handles open at once since the last reset
  void ResetMaxOpenHandleCount();
  long CallCount() const;          // Registry calls made so far (any kind)
  // Makes the next opens of `path` (the full path of the key being opened)
  // fail with `code`, once each time it is armed... until cleared.
  void FailOpenOf(const std::string& path, ErrorCode code);
  void ClearFailures();

 private:
  struct Node;
  struct Handle;
  Node* Resolve(RawKey key, AccessMask needed, ErrorCode* code) const;
  Node* FindPath(const std::string& path) const;
  Node* MakePath(const std::string& path);

  std::unique_ptr<Node> root_;  // holds the predefined roots as children
  std::vector<std::unique_ptr<Handle>> handles_;
  std::vector<std::string> tokenSids_;
  std::map<std::string, ErrorCode> failOpen_;  // upper-cased full path -> code
  int maxOpen_ = 0;
  mutable long calls_ = 0;
};

}  // namespace velnara::platform::sim

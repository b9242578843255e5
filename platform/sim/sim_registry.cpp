// The stand-in registry. Where Windows and Wine differ, it does what Windows
// does:
// - Subkeys are enumerated sorted by their upper-cased names (the order of a
//   Windows hive); values in creation order, an overwritten value keeping its
//   slot and a deleted one closing the gap (Wine sorts values by name).
// - RegQueryValueExA appends a terminator after string data stored without
//   one when the caller's buffer has a spare byte, and does not count it;
//   data that exactly fills the buffer is returned as stored.
// - RegSetValueExA stores exactly the bytes counted. (Windows and Wine also
//   count a terminator that directly follows the counted bytes of a string;
//   the stand-in never reads past what it was given, so a test that wants an
//   unterminated string on every backend passes a buffer whose next byte is
//   not NUL.)
// - A key created with an access list gets exactly that list (Wine 8 drops
//   the list given to RegCreateKeyExA). The creating handle keeps the rights
//   it asked for, whatever the new list says.
// - Every open checks the target key's list against the token; a handle
//   remembers what it was granted, and each call checks the right it needs.
// Keys live as long as a handle refers to them: a key removed while a handle
// is open makes that handle answer ERROR_KEY_DELETED instead of dangling.
#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

namespace velnara::platform::sim {
namespace {

constexpr ErrorCode kNoAccess = 998;     // ERROR_NOACCESS: no data behind a non-zero size
constexpr ErrorCode kKeyDeleted = 1018;  // ERROR_KEY_DELETED
constexpr std::size_t kMaxKeyNameChars = 255;
// KEY_WOW64_64KEY and KEY_WOW64_32KEY choose a registry view; they are not rights.
constexpr AccessMask kViewFlags = 0x0300;

struct RootName {
  RawKey key;
  const char* name;
  const char* shortName;
};
constexpr RootName kRoots[] = {
    {kClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {kCurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {kLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {kUsers, "HKEY_USERS", "HKU"},
};

char UpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), UpperChar);
  return text;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  }
  return true;
}

// Splits a relative key path at its backslashes; runs of backslashes count
// as one, as Windows's path parser treats them.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// A seeding path split into its root and the parts below it.
struct RootedPath {
  RawKey root = kLocalMachine;
  std::vector<std::string> parts;
};

RootedPath ParseRootedPath(const std::string& path) {
  RootedPath rooted;
  rooted.parts = SplitPath(path);
  if (rooted.parts.empty()) return rooted;
  const std::string first = Upper(rooted.parts.front());
  for (const RootName& root : kRoots) {
    if (first == root.name || first == root.shortName) {
      rooted.root = root.key;
      rooted.parts.erase(rooted.parts.begin());
      break;
    }
  }
  return rooted;
}

const char* RootNameOf(RawKey key) {
  for (const RootName& root : kRoots) {
    if (root.key == key) return root.name;
  }
  return "";
}

bool IsStringType(std::uint32_t type) {
  return type == value_type::kSz || type == value_type::kExpandSz || type == value_type::kMultiSz;
}

AccessMask MapGenericKeyRights(AccessMask mask) {
  AccessMask mapped = mask & ~(access::kGenericRead | access::kGenericWrite |
                               access::kGenericExecute | access::kGenericAll);
  if (mask & access::kGenericRead) mapped |= access::kKeyRead;
  if (mask & access::kGenericWrite) mapped |= access::kKeyWrite;
  if (mask & access::kGenericExecute) mapped |= access::kKeyRead;  // KEY_EXECUTE == KEY_READ
  if (mask & access::kGenericAll) mapped |= access::kKeyAllAccess;
  return mapped;
}

bool TokenHolds(const std::vector<std::string>& sids, const std::string& sid) {
  return std::any_of(sids.begin(), sids.end(),
                     [&](const std::string& held) { return SameName(held, sid); });
}

// --- SDDL ---------------------------------------------------------------

struct SddlCode {
  const char* code;
  std::uint32_t value;
};

constexpr SddlCode kSddlRights[] = {
    {"KA", access::kKeyAllAccess},
    {"KR", access::kKeyRead},
    {"KW", access::kKeyWrite},
    {"KX", access::kKeyRead},
    {"GA", access::kGenericAll},
    {"GR", access::kGenericRead},
    {"GW", access::kGenericWrite},
    {"GX", access::kGenericExecute},
    {"RC", access::kReadControl},
    {"SD", access::kDelete},
    {"WD", access::kWriteDac},
    {"WO", access::kWriteOwner},
    // The object-specific bits by their directory-service letters, which
    // Windows writes when a mask matches no name above.
    {"CC", 0x0001},
    {"DC", 0x0002},
    {"LC", 0x0004},
    {"SW", 0x0008},
    {"RP", 0x0010},
    {"WP", 0x0020},
    {"DT", 0x0040},
    {"LO", 0x0080},
    {"CR", 0x0100},
};

constexpr SddlCode kSddlAceFlags[] = {
    {"OI", ace_flag::kObjectInherit}, {"CI", ace_flag::kContainerInherit},
    {"NP", ace_flag::kNoPropagate},   {"IO", ace_flag::kInheritOnly},
    {"ID", ace_flag::kInherited},
};

struct SddlSid {
  const char* alias;
  const char* sid;
};
constexpr SddlSid kSddlSids[] = {
    {"WD", kSidEveryone}, {"BA", kSidAdministrators}, {"BU", kSidUsers}, {"SY", kSidSystem},
    {"AU", "S-1-5-11"},   {"CO", "S-1-3-0"},          {"IU", "S-1-5-4"}, {"LS", "S-1-5-19"},
    {"NS", "S-1-5-20"},   {"PU", "S-1-5-32-547"},     {"RC", "S-1-5-12"}};

// Reads a run of two-letter codes ("KRSD") into their OR.
bool ParseCodeRun(const std::string& text, const SddlCode* table, std::size_t count,
                  std::uint32_t* value) {
  if (text.size() % 2 != 0) return false;
  std::uint32_t result = 0;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const std::string code = text.substr(i, 2);
    const SddlCode* end = table + count;
    const SddlCode* found =
        std::find_if(table, end, [&](const SddlCode& entry) { return code == entry.code; });
    if (found == end) return false;
    result |= found->value;
  }
  *value = result;
  return true;
}

bool ParseRights(const std::string& text, AccessMask* mask) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const std::string digits = text.substr(2);
    if (digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      return false;
    }
    *mask = static_cast<AccessMask>(std::stoul(digits, nullptr, 16));
    return true;
  }
  return !text.empty() && ParseCodeRun(text, kSddlRights, std::size(kSddlRights), mask);
}

bool ParseTrustee(const std::string& text, std::string* sid) {
  for (const SddlSid& entry : kSddlSids) {
    if (text == entry.alias) {
      *sid = entry.sid;
      return true;
    }
  }
  // "S-1-" followed by dash-separated numbers.
  if (text.size() < 5 || text.compare(0, 4, "S-1-") != 0) return false;
  if (text.find_first_not_of("0123456789-", 4) != std::string::npos) return false;
  if (text.back() == '-' || text.find("--") != std::string::npos) return false;
  *sid = text;
  return true;
}

// One "(type;flags;rights;object;inherited object;trustee)" entry, without
// its parentheses.
bool ParseAce(const std::string& body, Ace* ace) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t semicolon = body.find(';', start);
    fields.push_back(body.substr(start, semicolon - start));
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
  if (fields.size() != 6) return false;
  if (fields[0] == "A") {
    ace->allow = true;
  } else if (fields[0] == "D") {
    ace->allow = false;
  } else {
    return false;
  }
  std::uint32_t flags = 0;
  if (!fields[1].empty() &&
      !ParseCodeRun(fields[1], kSddlAceFlags, std::size(kSddlAceFlags), &flags)) {
    return false;
  }
  ace->flags = static_cast<std::uint8_t>(flags);
  // Object entries (GUIDs) do not occur on registry keys.
  if (!fields[3].empty() || !fields[4].empty()) return false;
  return ParseRights(fields[2], &ace->mask) && ParseTrustee(fields[5], &ace->sid);
}

}  // namespace

// The entries a new subkey receives from its parent: the container-inherit
// ones, now effective on the subkey and marked inherited; a no-propagate
// entry stops at this generation.
std::vector<Ace> InheritableEntries(const Dacl& parent) {
  std::vector<Ace> inherited;
  if (!parent.present) return inherited;
  for (const Ace& ace : parent.aces) {
    if (!(ace.flags & ace_flag::kContainerInherit)) continue;
    Ace child = ace;
    child.flags = ace_flag::kInherited;
    if (!(ace.flags & ace_flag::kNoPropagate)) {
      child.flags |= ace.flags & (ace_flag::kContainerInherit | ace_flag::kObjectInherit);
    }
    inherited.push_back(child);
  }
  return inherited;
}

std::string FormatSddlDacl(const Dacl& dacl) {
  if (!dacl.present) return "D:NO_ACCESS_CONTROL";
  std::string text = dacl.isProtected ? "D:P" : "D:";
  for (const Ace& ace : dacl.aces) {
    text += ace.allow ? "(A;" : "(D;";
    for (const SddlCode& flag : kSddlAceFlags) {
      if (ace.flags & flag.value) text += flag.code;
    }
    const auto right = std::find_if(std::begin(kSddlRights), std::end(kSddlRights),
                                    [&](const SddlCode& code) { return code.value == ace.mask; });
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(ace.mask));
    text += std::string(";") + (right != std::end(kSddlRights) ? right->code : hex) + ";;;";
    const auto alias = std::find_if(std::begin(kSddlSids), std::end(kSddlSids),
                                    [&](const SddlSid& sid) { return ace.sid == sid.sid; });
    text += (alias != std::end(kSddlSids) ? std::string(alias->alias) : ace.sid) + ")";
  }
  return text;
}

bool ParseSddlDacl(const std::string& sddl, Dacl* dacl) {
  if (dacl == nullptr || sddl.compare(0, 2, "D:") != 0) return false;
  Dacl result;
  if (sddl == "D:NO_ACCESS_CONTROL") {
    result.present = false;
    *dacl = result;
    return true;
  }
  std::size_t pos = 2;
  // Protection and auto-inheritance flags of the list itself; they change
  // nothing in an access check. Protection keeps the parent's entries out.
  while (pos < sddl.size() && sddl[pos] != '(') {
    if (sddl.compare(pos, 2, "AI") == 0 || sddl.compare(pos, 2, "AR") == 0) {
      pos += 2;
    } else if (sddl[pos] == 'P') {
      result.isProtected = true;
      pos += 1;
    } else {
      return false;
    }
  }
  while (pos < sddl.size()) {
    if (sddl[pos] != '(') return false;
    const std::size_t close = sddl.find(')', pos);
    if (close == std::string::npos) return false;
    Ace ace;
    if (!ParseAce(sddl.substr(pos + 1, close - pos - 1), &ace)) return false;
    result.aces.push_back(ace);
    pos = close + 1;
  }
  *dacl = result;
  return true;
}

AccessMask DaclAllowedRights(const Dacl& dacl, const std::vector<std::string>& sids) {
  if (!dacl.present) return access::kKeyAllAccess;
  AccessMask granted = 0;
  AccessMask denied = 0;
  for (const Ace& ace : dacl.aces) {
    if ((ace.flags & ace_flag::kInheritOnly) || !TokenHolds(sids, ace.sid)) continue;
    const AccessMask rights = MapGenericKeyRights(ace.mask);
    if (ace.allow) {
      granted |= rights & ~denied;
    } else {
      denied |= rights & ~granted;
    }
  }
  return granted;
}

bool DaclGrants(const Dacl& dacl, const std::vector<std::string>& sids, AccessMask desired) {
  const bool maximum = (desired & access::kMaximumAllowed) != 0;
  const AccessMask wanted = MapGenericKeyRights(desired & ~(access::kMaximumAllowed | kViewFlags));
  const AccessMask allowed = DaclAllowedRights(dacl, sids);
  if ((wanted & ~allowed) != 0) return false;
  return !maximum || (wanted | allowed) != 0;
}

Dacl DefaultKeyDacl() {
  Dacl dacl;
  dacl.aces = {
      {true, ace_flag::kContainerInherit, access::kKeyAllAccess, kSidAdministrators},
      {true, ace_flag::kContainerInherit, access::kKeyAllAccess, kSidSystem},
      {true, ace_flag::kContainerInherit, access::kKeyRead, kSidUsers},
  };
  return dacl;
}

// --- The tree -------------------------------------------------------------

struct SimRegistry::Node {
  struct Value {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };

  std::string name;
  Node* parent = nullptr;  // null for a root and for a removed key
  // Keyed by the upper-cased name, which is also the enumeration order.
  std::map<std::string, std::shared_ptr<Node>> children;
  std::vector<Value> values;
  Dacl dacl;
  std::string owner;  // a security identifier, or empty
  bool deleted = false;

  std::shared_ptr<Node> Child(const std::string& childName) const {
    const auto it = children.find(Upper(childName));
    return it == children.end() ? nullptr : it->second;
  }

  // A new subkey with `explicitDacl`, or else the entries this key passes
  // on; a key that passes nothing on leaves the new one with the default
  // list, as Windows falls back to the creator's default list.
  std::shared_ptr<Node> AddChild(const std::string& childName, const Dacl* explicitDacl) {
    auto child = std::make_shared<Node>();
    child->name = childName;
    child->parent = this;
    if (explicitDacl != nullptr) {
      child->dacl = *explicitDacl;
    } else {
      child->dacl.aces = InheritableEntries(dacl);
      if (child->dacl.aces.empty()) child->dacl = DefaultKeyDacl();
    }
    children[Upper(childName)] = child;
    return child;
  }

  Value* FindValue(const std::string& valueName) {
    for (Value& value : values) {
      if (SameName(value.name, valueName)) return &value;
    }
    return nullptr;
  }

  void SetValue(const std::string& valueName, std::uint32_t type, std::vector<std::uint8_t> data) {
    // An overwritten value keeps its slot and the case of its first name.
    Value* value = FindValue(valueName);
    if (value == nullptr) {
      values.push_back({valueName, 0, {}});
      value = &values.back();
    }
    value->type = type;
    value->data = std::move(data);
  }

  bool DeleteValue(const std::string& valueName) {
    const auto it = std::find_if(values.begin(), values.end(), [&](const Value& value) {
      return SameName(value.name, valueName);
    });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
  }

  std::string FullPath() const {
    return parent == nullptr ? name : parent->FullPath() + "\\" + name;
  }

  void MarkDeleted() {
    deleted = true;
    parent = nullptr;
    for (auto& entry : children) entry.second->MarkDeleted();
  }

  // Takes this key out of its parent; handles still on it see it deleted.
  void Detach() {
    Node* from = parent;
    const std::string key = Upper(name);
    MarkDeleted();
    if (from != nullptr) from->children.erase(key);
  }
};

namespace {

// Follows `parts` from `from`; null when a part is missing.
template <typename NodePtr>
NodePtr Walk(NodePtr from, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (from == nullptr) break;
    from = from->Child(part);
  }
  return from;
}

}  // namespace

SimRegistry::SimRegistry() : tokenSids_{kSidEveryone, kSidUsers, kSidAdministrators} {
  for (const RootName& root : kRoots) {
    auto node = std::make_shared<Node>();
    node->name = root.name;
    node->dacl = DefaultKeyDacl();
    roots_[root.key] = node;
  }
}

SimRegistry::~SimRegistry() = default;

namespace {

template <typename Node>
std::shared_ptr<Node> CopyTree(const Node& from, Node* parent) {
  auto copy = std::make_shared<Node>();
  copy->name = from.name;
  copy->parent = parent;
  copy->values = from.values;
  copy->dacl = from.dacl;
  copy->owner = from.owner;
  for (const auto& [key, child] : from.children) {
    copy->children[key] = CopyTree(*child, copy.get());
  }
  return copy;
}

}  // namespace

void SimRegistry::CopyKeysFrom(const SimRegistry& other) {
  for (const auto& [key, root] : other.roots_) roots_[key] = CopyTree<Node>(*root, nullptr);
}

ErrorCode SimRegistry::Resolve(RawKey key, AccessMask needed, std::shared_ptr<Node>* node) const {
  // The predefined roots are always open with every right.
  const auto root = roots_.find(key);
  if (root != roots_.end()) {
    *node = root->second;
    return error::kSuccess;
  }
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) return error::kInvalidHandle;
  if (handle->second.node->deleted) return kKeyDeleted;
  if ((handle->second.granted & needed) != needed) return error::kAccessDenied;
  *node = handle->second.node;
  return error::kSuccess;
}

AccessMask SimRegistry::AllowedRights(const Node& node) const {
  AccessMask allowed = DaclAllowedRights(node.dacl, tokenSids_);
  if (!node.owner.empty() && TokenHolds(tokenSids_, node.owner)) {
    allowed |= access::kReadControl | access::kWriteDac;
  }
  return allowed;
}

bool SimRegistry::Authorize(const Node& node, AccessMask desired, AccessMask* granted) const {
  const AccessMask wanted = MapGenericKeyRights(desired & ~(access::kMaximumAllowed | kViewFlags));
  const AccessMask allowed = AllowedRights(node);
  if ((wanted & ~allowed) != 0) return false;
  if ((desired & access::kMaximumAllowed) && (wanted | allowed) == 0) return false;
  AccessMask rights = wanted;
  if (desired & access::kMaximumAllowed) rights |= allowed;
  *granted = rights;
  return true;
}

RawKey SimRegistry::AddHandle(std::shared_ptr<Node> node, AccessMask granted) {
  const RawKey key = nextHandle_;
  nextHandle_ += 4;  // handle values are never reused, so a stale one stays invalid
  handles_[key] = Handle{std::move(node), granted};
  maxOpen_ = std::max(maxOpen_, static_cast<int>(handles_.size()));
  return key;
}

std::shared_ptr<SimRegistry::Node> SimRegistry::FindPath(const std::string& path) const {
  const RootedPath rooted = ParseRootedPath(path);
  return Walk(roots_.at(rooted.root), rooted.parts);
}

std::shared_ptr<SimRegistry::Node> SimRegistry::MakePath(const std::string& path) {
  const RootedPath rooted = ParseRootedPath(path);
  std::shared_ptr<Node> node = roots_.at(rooted.root);
  for (const std::string& part : rooted.parts) {
    std::shared_ptr<Node> child = node->Child(part);
    node = child != nullptr ? child : node->AddChild(part, nullptr);
  }
  return node;
}

// --- Registry -------------------------------------------------------------

ErrorCode SimRegistry::OpenKey(RawKey parent, const char* subKey, AccessMask access,
                               RawKey* result) {
  ++calls_;
  if (result == nullptr) return error::kInvalidParameter;
  *result = kNoKey;
  if (const ErrorCode forced = Intercept("RegOpenKeyExA", parent, subKey, access)) return forced;
  std::shared_ptr<Node> base;
  if (const ErrorCode code = Resolve(parent, 0, &base); code != error::kSuccess) return code;
  const std::string sub = subKey != nullptr ? subKey : "";
  if (!sub.empty() && sub[0] == '\\') return error::kBadPathname;
  const std::vector<std::string> parts = SplitPath(sub);

  std::string fullPath = base->FullPath();
  for (const std::string& part : parts) fullPath += "\\" + part;
  const auto forced = failOpen_.find(Upper(fullPath));
  if (forced != failOpen_.end()) return forced->second;

  const std::shared_ptr<Node> target = Walk(base, parts);
  if (target == nullptr) return error::kFileNotFound;
  AccessMask granted = 0;
  if (!Authorize(*target, access, &granted)) return error::kAccessDenied;
  *result = AddHandle(target, granted);
  return error::kSuccess;
}

ErrorCode SimRegistry::CreateKey(RawKey parent, const char* subKey, AccessMask access,
                                 const char* sddl, RawKey* result) {
  ++calls_;
  if (result == nullptr || subKey == nullptr) return error::kInvalidParameter;
  *result = kNoKey;
  if (const ErrorCode forced = Intercept("RegCreateKeyExA", parent, subKey, access)) return forced;
  std::shared_ptr<Node> base;
  if (const ErrorCode code = Resolve(parent, 0, &base); code != error::kSuccess) return code;
  if (subKey[0] == '\\') return error::kBadPathname;
  Dacl explicitDacl;
  if (sddl != nullptr && !ParseSddlDacl(sddl, &explicitDacl)) return error::kInvalidParameter;
  const std::vector<std::string> parts = SplitPath(subKey);
  for (const std::string& part : parts) {
    if (part.size() > kMaxKeyNameChars) return error::kInvalidParameter;
  }

  // Follow the existing part of the path.
  std::shared_ptr<Node> node = base;
  std::size_t existing = 0;
  for (; existing < parts.size(); ++existing) {
    std::shared_ptr<Node> child = node->Child(parts[existing]);
    if (child == nullptr) break;
    node = child;
  }
  AccessMask granted = 0;
  if (existing == parts.size()) {
    // The key exists: this is an open, checked like one; its list stays.
    if (!Authorize(*node, access, &granted)) return error::kAccessDenied;
    *result = AddHandle(node, granted);
    return error::kSuccess;
  }

  // Creating below `node` needs KEY_CREATE_SUB_KEY there: through the
  // caller's handle for the key it names, through the list further down.
  if (existing == 0) {
    if (Resolve(parent, access::kKeyCreateSubKey, &base) != error::kSuccess) {
      return error::kAccessDenied;
    }
  } else if (!DaclGrants(node->dacl, tokenSids_, access::kKeyCreateSubKey)) {
    return error::kAccessDenied;
  }
  // An administrator's new keys belong to Administrators, the default
  // owner of an administrator's token.
  const bool administrator = TokenHolds(tokenSids_, kSidAdministrators);
  for (std::size_t i = existing; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    node = node->AddChild(parts[i], last && sddl != nullptr ? &explicitDacl : nullptr);
    if (administrator) node->owner = kSidAdministrators;
    changed_.insert(Upper(node->FullPath()));
  }
  // The creator gets what it asked for, whatever the new list says.
  granted = MapGenericKeyRights(access & ~(access::kMaximumAllowed | kViewFlags));
  if (access & access::kMaximumAllowed) granted = access::kKeyAllAccess;
  *result = AddHandle(node, granted);
  return error::kSuccess;
}

ErrorCode SimRegistry::DeleteKey(RawKey parent, const char* subKey) {
  ++calls_;
  if (const ErrorCode forced = Intercept("RegDeleteKeyA", parent, subKey)) return forced;
  if (subKey == nullptr) return error::kInvalidParameter;
  std::shared_ptr<Node> base;
  if (const ErrorCode code = Resolve(parent, 0, &base); code != error::kSuccess) return code;
  if (subKey[0] == '\\') return error::kBadPathname;
  const std::shared_ptr<Node> target = Walk(base, SplitPath(subKey));
  if (target == nullptr) return error::kFileNotFound;
  // Roots cannot go; a key with subkeys is refused as Windows refuses it.
  if (target->parent == nullptr || !target->children.empty()) return error::kAccessDenied;
  if (!DaclGrants(target->dacl, tokenSids_, access::kDelete)) return error::kAccessDenied;
  changed_.insert(Upper(target->FullPath()));
  target->Detach();
  return error::kSuccess;
}

ErrorCode SimRegistry::EnumKey(RawKey key, std::uint32_t index, char* name,
                               std::uint32_t* nameChars) {
  ++calls_;
  if (const ErrorCode forced = Intercept("RegEnumKeyExA", key, nullptr, index)) return forced;
  std::shared_ptr<Node> node;
  const ErrorCode code = Resolve(key, access::kKeyEnumerateSubKeys, &node);
  if (code != error::kSuccess) return code;
  if (name == nullptr || nameChars == nullptr) return error::kInvalidParameter;
  if (index >= node->children.size()) return error::kNoMoreItems;
  const std::string& childName = std::next(node->children.begin(), index)->second->name;
  if (childName.size() + 1 > *nameChars) return error::kMoreData;
  std::memcpy(name, childName.c_str(), childName.size() + 1);
  *nameChars = static_cast<std::uint32_t>(childName.size());
  return error::kSuccess;
}

ErrorCode SimRegistry::EnumValue(RawKey key, std::uint32_t index, char* name,
                                 std::uint32_t* nameChars, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* dataBytes) {
  ++calls_;
  if (const ErrorCode forced = Intercept("RegEnumValueA", key, nullptr, index)) return forced;
  std::shared_ptr<Node> node;
  const ErrorCode code = Resolve(key, access::kKeyQueryValue, &node);
  if (code != error::kSuccess) return code;
  if (name == nullptr || nameChars == nullptr || (data != nullptr && dataBytes == nullptr)) {
    return error::kInvalidParameter;
  }
  if (index >= node->values.size()) return error::kNoMoreItems;
  const Node::Value& value = node->values[index];
  const auto size = static_cast<std::uint32_t>(value.data.size());
  // Either buffer too small: the sizes and type are reported, nothing copied.
  if (value.name.size() + 1 > *nameChars || (data != nullptr && size > *dataBytes)) {
    if (dataBytes != nullptr) *dataBytes = size;
    if (type != nullptr) *type = value.type;
    return error::kMoreData;
  }
  std::memcpy(name, value.name.c_str(), value.name.size() + 1);
  *nameChars = static_cast<std::uint32_t>(value.name.size());
  if (type != nullptr) *type = value.type;
  if (data != nullptr && size > 0) std::memcpy(data, value.data.data(), size);
  if (dataBytes != nullptr) *dataBytes = size;
  return error::kSuccess;
}

ErrorCode SimRegistry::QueryValue(RawKey key, const char* name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* dataBytes) {
  ++calls_;
  if (const ErrorCode forced = Intercept("RegQueryValueExA", key, name)) return forced;
  std::shared_ptr<Node> node;
  const ErrorCode code = Resolve(key, access::kKeyQueryValue, &node);
  if (code != error::kSuccess) return code;
  if (data != nullptr && dataBytes == nullptr) return error::kInvalidParameter;
  const Node::Value* value = node->FindValue(name != nullptr ? name : "");
  if (value == nullptr) return error::kFileNotFound;
  if (type != nullptr) *type = value->type;
  const auto size = static_cast<std::uint32_t>(value->data.size());
  if (data == nullptr) {
    if (dataBytes != nullptr) *dataBytes = size;
    return error::kSuccess;
  }
  if (size > *dataBytes) {
    *dataBytes = size;
    return error::kMoreData;
  }
  if (size > 0) std::memcpy(data, value->data.data(), size);
  const bool unterminated = size == 0 || value->data.back() != 0;
  if (IsStringType(value->type) && unterminated && size < *dataBytes) data[size] = 0;
  *dataBytes = size;
  return error::kSuccess;
}

ErrorCode SimRegistry::SetValue(RawKey key, const char* name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t dataBytes) {
  ++calls_;
  if (const ErrorCode forced = Intercept("RegSetValueExA", key, name, type)) return forced;
  std::shared_ptr<Node> node;
  const ErrorCode code = Resolve(key, access::kKeySetValue, &node);
  if (code != error::kSuccess) return code;
  if (data == nullptr && dataBytes != 0) return kNoAccess;
  std::vector<std::uint8_t> bytes;
  if (dataBytes != 0) bytes.assign(data, data + dataBytes);
  node->SetValue(name != nullptr ? name : "", type, std::move(bytes));
  changed_.insert(Upper(node->FullPath() + " : " + (name != nullptr ? name : "")));
  return error::kSuccess;
}

ErrorCode SimRegistry::DeleteValue(RawKey key, const char* name) {
  ++calls_;
  if (const ErrorCode forced = Intercept("RegDeleteValueA", key, name)) return forced;
  std::shared_ptr<Node> node;
  const ErrorCode code = Resolve(key, access::kKeySetValue, &node);
  if (code != error::kSuccess) return code;
  if (!node->DeleteValue(name != nullptr ? name : "")) return error::kFileNotFound;
  changed_.insert(Upper(node->FullPath() + " : " + (name != nullptr ? name : "")));
  return error::kSuccess;
}

ErrorCode SimRegistry::FlushKey(RawKey key) {
  ++calls_;
  if (const ErrorCode forced = Intercept("RegFlushKey", key, nullptr)) return forced;
  // Every write of the stand-in is on its disk at once.
  std::shared_ptr<Node> node;
  return Resolve(key, 0, &node);
}

ErrorCode SimRegistry::CloseKey(RawKey key) {
  ++calls_;
  // A close that is made to fail still closes: the caller can do nothing
  // more about the handle, and counting it open would blame the caller.
  const ErrorCode forced = Intercept("RegCloseKey", key, nullptr);
  if (roots_.count(key) != 0) return forced;
  const bool closed = handles_.erase(key) != 0;
  if (forced != error::kSuccess) return forced;
  return closed ? error::kSuccess : error::kInvalidHandle;
}

// --- The call log -------------------------------------------------------------

std::string SimRegistry::PathOf(RawKey key) const {
  const auto root = roots_.find(key);
  if (root != roots_.end()) return root->second->name;
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) return "<invalid handle>";
  return handle->second.node->FullPath();
}

ErrorCode SimRegistry::Intercept(const char* function, RawKey key, const char* name,
                                 std::uint32_t value) {
  if (log_ == nullptr) return error::kSuccess;
  std::string target = PathOf(key);
  if (name != nullptr) {
    // Subkeys continue the path; values follow it after " : ".
    const bool isKey = std::strncmp(function, "RegOpen", 7) == 0 ||
                       std::strncmp(function, "RegCreate", 9) == 0 ||
                       std::strncmp(function, "RegDeleteKey", 12) == 0;
    target += (isKey ? "\\" : " : ") + std::string(name);
  }
  return log_->Enter(function, std::move(target), value);
}

// --- Seeding and inspection --------------------------------------------------

void SimRegistry::SetValueAt(const std::string& path, const std::string& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) {
  MakePath(path)->SetValue(name, type, data);
}

void SimRegistry::SetStringAt(const std::string& path, const std::string& name,
                              const std::string& text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValueAt(path, name, value_type::kSz, data);
}

void SimRegistry::SetDwordAt(const std::string& path, const std::string& name,
                             std::uint32_t value) {
  const std::vector<std::uint8_t> data = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  SetValueAt(path, name, value_type::kDword, data);
}

void SimRegistry::CreateKeyAt(const std::string& path) {
  MakePath(path);
}

bool SimRegistry::KeyExists(const std::string& path) const {
  return FindPath(path) != nullptr;
}

bool SimRegistry::DeleteTreeAt(const std::string& path) {
  const std::shared_ptr<Node> node = FindPath(path);
  if (node == nullptr || node->parent == nullptr) return false;
  node->Detach();
  return true;
}

bool SimRegistry::DeleteValueAt(const std::string& path, const std::string& name) {
  const std::shared_ptr<Node> node = FindPath(path);
  return node != nullptr && node->DeleteValue(name);
}

bool SimRegistry::GetValueAt(const std::string& path, const std::string& name, std::uint32_t* type,
                             std::vector<std::uint8_t>* data) const {
  const std::shared_ptr<Node> node = FindPath(path);
  const Node::Value* value = node != nullptr ? node->FindValue(name) : nullptr;
  if (value == nullptr) return false;
  if (type != nullptr) *type = value->type;
  if (data != nullptr) *data = value->data;
  return true;
}

std::string SimRegistry::GetStringAt(const std::string& path, const std::string& name) const {
  std::vector<std::uint8_t> data;
  if (!GetValueAt(path, name, nullptr, &data)) return "";
  const auto end = std::find(data.begin(), data.end(), 0);
  return std::string(data.begin(), end);
}

std::vector<std::string> SimRegistry::ValueNamesAt(const std::string& path) const {
  std::vector<std::string> names;
  if (const std::shared_ptr<Node> node = FindPath(path)) {
    for (const Node::Value& value : node->values) names.push_back(value.name);
  }
  return names;
}

std::vector<std::string> SimRegistry::SubkeyNamesAt(const std::string& path) const {
  std::vector<std::string> names;
  if (const std::shared_ptr<Node> node = FindPath(path)) {
    for (const auto& entry : node->children) names.push_back(entry.second->name);
  }
  return names;
}

bool SimRegistry::SetDaclAt(const std::string& path, const Dacl& dacl) {
  const std::shared_ptr<Node> node = FindPath(path);
  if (node == nullptr) return false;
  node->dacl = dacl;
  return true;
}

bool SimRegistry::SetSddlAt(const std::string& path, const std::string& sddl) {
  Dacl dacl;
  return ParseSddlDacl(sddl, &dacl) && SetDaclAt(path, dacl);
}

Dacl SimRegistry::GetDaclAt(const std::string& path) const {
  const std::shared_ptr<Node> node = FindPath(path);
  return node != nullptr ? node->dacl : Dacl{};
}

bool SimRegistry::SetOwnerAt(const std::string& path, const std::string& sid) {
  const std::shared_ptr<Node> node = FindPath(path);
  if (node == nullptr) return false;
  node->owner = sid;
  return true;
}

std::shared_ptr<SimRegistry::Node> SimRegistry::FindBelow(RawKey root,
                                                          const std::string& path) const {
  const auto found = roots_.find(root);
  if (found == roots_.end()) return nullptr;
  return Walk(found->second, SplitPath(path));
}

ErrorCode SimRegistry::ReadKeyDacl(RawKey root, const std::string& path, Dacl* dacl) const {
  const std::shared_ptr<Node> node = FindBelow(root, path);
  if (node == nullptr) return error::kFileNotFound;
  if ((AllowedRights(*node) & access::kReadControl) == 0) return error::kAccessDenied;
  *dacl = node->dacl;
  return error::kSuccess;
}

namespace {

// A key's new list: its own explicit entries first, then what its parent
// passes on, unless the list is protected.
Dacl MergeWithParent(const Dacl& own, const Dacl* parent, bool isProtected);

}  // namespace

ErrorCode SimRegistry::WriteKeyDacl(RawKey root, const std::string& path, const Dacl& dacl,
                                    Protection protection) {
  const std::shared_ptr<Node> node = FindBelow(root, path);
  if (node == nullptr) return error::kFileNotFound;
  if ((AllowedRights(*node) & access::kWriteDac) == 0) return error::kAccessDenied;
  // The key keeps its protection unless the caller says otherwise; the
  // entries are the ones given.
  const bool isProtected =
      protection == Protection::kKeep ? node->dacl.isProtected : protection == Protection::kProtect;
  node->dacl =
      MergeWithParent(dacl, node->parent != nullptr ? &node->parent->dacl : nullptr, isProtected);
  // Each subkey that inherits takes what this key now passes on.
  std::vector<Node*> pending = {node.get()};
  while (!pending.empty()) {
    Node* parent = pending.back();
    pending.pop_back();
    for (auto& entry : parent->children) {
      Node& child = *entry.second;
      if (!child.dacl.present || child.dacl.isProtected) continue;
      child.dacl = MergeWithParent(child.dacl, &parent->dacl, false);
      pending.push_back(&child);
    }
  }
  return error::kSuccess;
}

void SimRegistry::SetTokenSids(std::vector<std::string> sids) {
  tokenSids_ = std::move(sids);
}

// --- Bookkeeping ------------------------------------------------------------

int SimRegistry::OpenHandleCount() const {
  return static_cast<int>(handles_.size());
}

int SimRegistry::MaxOpenHandleCount() const {
  return maxOpen_;
}

void SimRegistry::ResetMaxOpenHandleCount() {
  maxOpen_ = OpenHandleCount();
}

long SimRegistry::CallCount() const {
  return calls_;
}

namespace {

Dacl MergeWithParent(const Dacl& own, const Dacl* parent, bool isProtected) {
  Dacl merged;
  merged.present = own.present;
  merged.isProtected = isProtected;
  if (!own.present) return merged;
  for (const Ace& ace : own.aces) {
    if (!(ace.flags & ace_flag::kInherited)) merged.aces.push_back(ace);
  }
  if (!isProtected && parent != nullptr) {
    const std::vector<Ace> inherited = InheritableEntries(*parent);
    merged.aces.insert(merged.aces.end(), inherited.begin(), inherited.end());
  }
  return merged;
}

}  // namespace

void SimRegistry::FailOpenOf(const std::string& path, ErrorCode code) {
  const RootedPath rooted = ParseRootedPath(path);
  std::string fullPath = RootNameOf(rooted.root);
  for (const std::string& part : rooted.parts) fullPath += "\\" + part;
  failOpen_[Upper(fullPath)] = code;
}

void SimRegistry::ClearFailures() {
  failOpen_.clear();
}

}  // namespace velnara::platform::sim

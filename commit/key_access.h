// Opens a port device key for the FriendlyName write and closes it again:
// the key is writable by SYSTEM alone on a real machine, so the port commit
// brackets its write with a grant and a revoke. The grant gives the
// Administrators (by their SID, S-1-5-32-544, the same in every language)
// the right to set values of that key alone, and nobody else anything;
// the revoke sets back exactly the access list read before the walk, its
// protection included. Windows checks access when a key is opened, so a
// grant to anyone else would let any process that opened the key meanwhile
// keep writing to it afterwards.
#pragma once

#include <string>

#include "messages/message_boxes.h"
#include "platform/security.h"

namespace velnara {

// The steps' failure captions.
constexpr const char* kGetSecurityFailedCaption = "GetNamedSecurityInfo Failed";
constexpr const char* kRightsQueryFailedCaption = "RegGetKeySecurity Failed";
constexpr const char* kSetEntriesFailedCaption = "SetEntriesInAcl Failed";
constexpr const char* kSetSecurityFailedCaption = "SetSecurityInfo Failed";

// The object name of a key of HKEY_LOCAL_MACHINE for the security calls,
// "MACHINE\" and the key's path, in a buffer of this many characters with
// the terminator.
constexpr std::size_t kObjectNameCapacity = 256;

// A key's access list as a walk reads it before its first write: the list
// the grant adds to and the revoke sets back, and its text for the journal.
class KeyList {
 public:
  explicit KeyList(platform::Security& security);
  KeyList(const KeyList&) = delete;
  KeyList& operator=(const KeyList&) = delete;

  // Reads the list of the key `keyPath` (below HKEY_LOCAL_MACHINE), its
  // protection and its text. A path that does not fit the object name's
  // buffer is refused before anything is read (a name cut short would name
  // another key, an ancestor perhaps). The failed call's code on failure.
  platform::ErrorCode Read(const std::string& keyPath);
  // Read, a failure reported under kGetSecurityFailedCaption: a window on
  // a list that could not be read opens nothing.
  void ReadForWindow(const ErrorReporter& reporter, const std::string& keyPath);
  // The list a journal's text gives, as Read would have read it.
  platform::ErrorCode Parse(const std::string& sddl);

  bool read() const { return read_; }
  // A NULL DACL: the key is open to everyone already.
  bool null() const { return dacl_ == nullptr; }
  platform::AclHandle dacl() const { return dacl_; }
  std::uint32_t protection() const { return protection_; }
  const std::string& sddl() const { return sddl_; }

 private:
  platform::ErrorCode Take(platform::SecurityDescriptorHandle descriptor, bool present,
                           platform::AclHandle dacl);

  platform::Security& security_;
  platform::SecurityMemory descriptor_;
  platform::AclHandle dacl_ = nullptr;  // inside it
  std::uint32_t protection_ = 0;        // kProtectedDacl or kUnprotectedDacl
  std::string sddl_;
  bool read_ = false;
};

// The object name of the key `keyPath` below HKEY_LOCAL_MACHINE.
std::string KeyObjectName(const std::string& keyPath);

// Stores `list` on the key exactly, protection included.
platform::ErrorCode StoreKeyList(platform::Security& security, const std::string& keyPath,
                                 const KeyList& list);

class KeyAccessWindow {
 public:
  // `keyPath` is relative to HKEY_LOCAL_MACHINE; `list` is its list as read
  // before the walk, and must outlive the window.
  KeyAccessWindow(platform::Security& security, const ErrorReporter& reporter, std::string keyPath,
                  const KeyList& list);
  KeyAccessWindow(const KeyAccessWindow&) = delete;
  KeyAccessWindow& operator=(const KeyAccessWindow&) = delete;

  // The grant: asks the rights the list gives the Administrators (not used
  // further), merges an entry that allows them KEY_SET_VALUE on the key
  // alone, and stores the new list with the protection the key had. Each
  // failure is reported with the failed call's own code and ends the grant.
  // A list that could not be read opens nothing, and one without entries
  // (a NULL DACL, open to everyone) needs no opening.
  void Open();
  // The revoke: stores the list read before, exactly; a failure is
  // reported. Nothing when the grant stored nothing.
  void Close();

 private:
  platform::Security& security_;
  const ErrorReporter& reporter_;
  std::string keyPath_;
  const KeyList& list_;
  bool stored_ = false;  // the grant tried to store its list
};

}  // namespace velnara

// Opens a port device key for the FriendlyName write and closes it again:
// the key is writable by SYSTEM alone on a real machine, so the port commit
// brackets its write with a grant and a revoke. The grant gives the
// Administrators (by their SID, S-1-5-32-544, the same in every language)
// the right to set values of that key alone, and nobody else anything;
// the revoke sets back exactly the access list the grant read, its
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

class KeyAccessWindow {
 public:
  // `keyPath` is relative to HKEY_LOCAL_MACHINE.
  KeyAccessWindow(platform::Security& security, const ErrorReporter& reporter, std::string keyPath);
  KeyAccessWindow(const KeyAccessWindow&) = delete;
  KeyAccessWindow& operator=(const KeyAccessWindow&) = delete;
  ~KeyAccessWindow();

  // The grant: reads the key's list and its protection, asks the rights
  // the list gives the Administrators (not used further), merges an entry
  // that allows them KEY_SET_VALUE on the key alone, and stores the new
  // list with the protection the key had. Each failure is reported with
  // the failed call's own code and ends the grant; a key whose list cannot
  // be read is not opened at all, and one without a list (a NULL DACL,
  // open to everyone) needs no opening.
  void Open();
  // The revoke: stores the list the grant read, exactly, protection
  // included; a failure is reported. Nothing when the grant stored nothing.
  void Close();

 private:
  platform::Security& security_;
  const ErrorReporter& reporter_;
  std::string objectName_;
  platform::SecurityMemory original_;   // the descriptor the grant read
  platform::AclHandle dacl_ = nullptr;  // inside it
  std::uint32_t protection_ = 0;        // kProtectedDacl or kUnprotectedDacl
  bool stored_ = false;                 // the grant tried to store its list
};

}  // namespace velnara

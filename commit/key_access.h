// Opens a port device key to EVERYONE for writing, and closes it again: the
// key is writable by SYSTEM alone on a real machine, so the port commit
// brackets its write of FriendlyName with a grant and a revoke. One routine
// serves both; they differ only in the access mode of the entry merged into
// the key's access list.
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

// The trustee, by name. A Windows in another language names the group
// otherwise ("Jeder", "Tout le monde") and maps no account to this name;
// there each call is made again with the group's well-known SID, S-1-1-0.
constexpr const char* kEveryoneTrustee = "EVERYONE";

// The object name of a key of HKEY_LOCAL_MACHINE for the security calls,
// "MACHINE\" and the key's path, in a buffer of this many characters with
// the terminator.
constexpr std::size_t kObjectNameCapacity = 256;

// Gives EVERYONE generic write access to the key at `keyPath` (relative to
// HKEY_LOCAL_MACHINE), for that key alone, merged with what it holds there.
void GrantKeyAccess(platform::Security& security, const ErrorReporter& reporter,
                    const std::string& keyPath);

// Removes every explicit allow entry of EVERYONE from that key's list,
// one that was there before the grant included.
void RevokeKeyAccess(platform::Security& security, const ErrorReporter& reporter,
                     const std::string& keyPath);

// The routine behind both: reads the key's list, asks the rights it gives
// EVERYONE, merges one entry of `accessMode` and stores the new list. Each
// failure is reported with the failed call's own code and ends the routine;
// only the last step changes the key. A call that maps no account to the
// name EVERYONE is made again with the SID, and only that call's failure is
// reported.
void ChangeKeyAccess(platform::Security& security, const ErrorReporter& reporter,
                     const std::string& keyPath, std::uint32_t accessMode);

}  // namespace velnara

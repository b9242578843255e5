#include "commit/key_access.h"

namespace velnara {

using namespace platform;

void GrantKeyAccess(Security& security, const ErrorReporter& reporter, const std::string& keyPath) {
  ChangeKeyAccess(security, reporter, keyPath, security::kGrantAccess);
}

void RevokeKeyAccess(Security& security, const ErrorReporter& reporter,
                     const std::string& keyPath) {
  ChangeKeyAccess(security, reporter, keyPath, security::kRevokeAccess);
}

void ChangeKeyAccess(Security& security, const ErrorReporter& reporter, const std::string& keyPath,
                     std::uint32_t accessMode) {
  // A name cut short to fit would name another key, an ancestor of this
  // one perhaps, so a path that does not fit is refused before anything
  // is read.
  const std::string objectName = "MACHINE\\" + keyPath;
  if (objectName.size() + 1 > kObjectNameCapacity) {
    reporter.Report(kGetSecurityFailedCaption, error::kFilenameTooLong);
    return;
  }

  // The descriptor holds the list; both go back to the system on every path.
  SecurityMemory descriptor(security);
  AclHandle dacl = nullptr;
  ErrorCode code = security.GetNamedSecurityInfo(objectName.c_str(), security::kSeRegistryKey,
                                                 security::kDaclSecurityInformation, &dacl,
                                                 descriptor.receive());
  if (code != error::kSuccess) {
    reporter.Report(kGetSecurityFailedCaption, code);
    return;
  }

  // The rights themselves are not needed; the query fails where no account
  // bears the trustee's name, and then nothing is changed.
  Trustee trustee{};
  trustee.multipleTrustee = nullptr;
  trustee.multipleTrusteeOperation = security::kNoMultipleTrustee;
  trustee.form = security::kTrusteeIsName;
  trustee.type = security::kTrusteeIsUser;
  trustee.name = kEveryoneTrustee;
  AccessMask rights = 0;
  code = security.GetEffectiveRightsFromAcl(dacl, trustee, &rights);
  if (code != error::kSuccess) {
    reporter.Report(kRightsQueryFailedCaption, code);
    return;
  }

  ExplicitAccess entry{};
  entry.accessPermissions = access::kGenericWrite;
  entry.accessMode = accessMode;
  entry.inheritance = security::kNoInheritance;  // the key itself, not its subkeys
  entry.trustee.multipleTrustee = nullptr;
  entry.trustee.multipleTrusteeOperation = security::kNoMultipleTrustee;
  entry.trustee.form = security::kTrusteeIsName;
  entry.trustee.type = security::kTrusteeIsUnknown;
  entry.trustee.name = kEveryoneTrustee;
  SecurityMemory merged(security);
  code = security.SetEntriesInAcl(1, &entry, dacl, merged.receive());
  if (code != error::kSuccess) {
    reporter.Report(kSetEntriesFailedCaption, code);
    return;
  }

  code = security.SetNamedSecurityInfo(objectName.c_str(), security::kSeRegistryKey,
                                       security::kDaclSecurityInformation, merged.get());
  if (code != error::kSuccess) reporter.Report(kSetSecurityFailedCaption, code);
}

}  // namespace velnara

#include "commit/key_access.h"

namespace velnara {

using namespace platform;

namespace {

// EVERYONE as a trustee: by name, and where the system maps no account to
// that name, by the group's well-known SID, allocated the first time it is
// needed and given back on every path.
class Everyone {
 public:
  explicit Everyone(Security& security) : sid_(security) {}

  // Runs `call` with `byName`; when that answers ERROR_NONE_MAPPED, once
  // more with the same trustee given by SID. The answer of the last call
  // made, or the SID's allocation failure.
  template <typename Call>
  ErrorCode With(const Trustee& byName, Call call) {
    const ErrorCode code = call(byName);
    if (code != error::kNoneMapped) return code;
    if (const ErrorCode made = sid_.AllocateWorld(); made != error::kSuccess) return made;
    Trustee bySid = byName;
    bySid.form = security::kTrusteeIsSid;
    bySid.name = static_cast<const char*>(sid_.get());
    return call(bySid);
  }

 private:
  Sid sid_;
};

}  // namespace

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

  // The rights themselves are not needed.
  Everyone everyone(security);
  Trustee trustee{};
  trustee.multipleTrustee = nullptr;
  trustee.multipleTrusteeOperation = security::kNoMultipleTrustee;
  trustee.form = security::kTrusteeIsName;
  trustee.type = security::kTrusteeIsUser;
  trustee.name = kEveryoneTrustee;
  AccessMask rights = 0;
  code = everyone.With(trustee, [&](const Trustee& given) {
    return security.GetEffectiveRightsFromAcl(dacl, given, &rights);
  });
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
  code = everyone.With(entry.trustee, [&](const Trustee& given) {
    ExplicitAccess sent = entry;
    sent.trustee = given;
    return security.SetEntriesInAcl(1, &sent, dacl, merged.receive());
  });
  if (code != error::kSuccess) {
    reporter.Report(kSetEntriesFailedCaption, code);
    return;
  }

  code = security.SetNamedSecurityInfo(objectName.c_str(), security::kSeRegistryKey,
                                       security::kDaclSecurityInformation, merged.get());
  if (code != error::kSuccess) reporter.Report(kSetSecurityFailedCaption, code);
}

}  // namespace velnara

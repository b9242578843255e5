#include "commit/key_access.h"

#include <utility>

namespace velnara {

using namespace platform;

KeyAccessWindow::KeyAccessWindow(Security& security, const ErrorReporter& reporter,
                                 std::string keyPath)
    : security_(security),
      reporter_(reporter),
      objectName_("MACHINE\\" + std::move(keyPath)),
      original_(security) {}

KeyAccessWindow::~KeyAccessWindow() = default;

void KeyAccessWindow::Open() {
  // A name cut short to fit would name another key, an ancestor of this
  // one perhaps, so a path that does not fit is refused before anything
  // is read.
  if (objectName_.size() + 1 > kObjectNameCapacity) {
    reporter_.Report(kGetSecurityFailedCaption, error::kFilenameTooLong);
    return;
  }
  ErrorCode code = security_.GetNamedSecurityInfo(objectName_.c_str(), security::kSeRegistryKey,
                                                  security::kDaclSecurityInformation, &dacl_,
                                                  original_.receive());
  std::uint16_t control = 0;
  if (code == error::kSuccess) {
    code = security_.GetSecurityDescriptorControl(original_.get(), &control);
  }
  if (code != error::kSuccess) {
    reporter_.Report(kGetSecurityFailedCaption, code);
    return;
  }
  // Without a list the key is open to everyone already.
  if (dacl_ == nullptr) return;
  protection_ = (control & security::kSeDaclProtected) != 0 ? security::kProtectedDacl
                                                            : security::kUnprotectedDacl;

  Sid administrators(security_);
  code = administrators.AllocateAdministrators();
  Trustee trustee{};
  trustee.multipleTrustee = nullptr;
  trustee.multipleTrusteeOperation = security::kNoMultipleTrustee;
  trustee.form = security::kTrusteeIsSid;
  trustee.type = security::kTrusteeIsGroup;
  trustee.name = static_cast<const char*>(administrators.get());
  // The rights themselves are not needed.
  AccessMask rights = 0;
  if (code == error::kSuccess) code = security_.GetEffectiveRightsFromAcl(dacl_, trustee, &rights);
  if (code != error::kSuccess) {
    reporter_.Report(kRightsQueryFailedCaption, code);
    return;
  }

  ExplicitAccess entry{};
  entry.accessPermissions = access::kKeySetValue;  // what the FriendlyName write needs
  entry.accessMode = security::kGrantAccess;
  entry.inheritance = security::kNoInheritance;  // the key itself, not its subkeys
  entry.trustee = trustee;
  SecurityMemory merged(security_);
  code = security_.SetEntriesInAcl(1, &entry, dacl_, merged.receive());
  if (code != error::kSuccess) {
    reporter_.Report(kSetEntriesFailedCaption, code);
    return;
  }
  stored_ = true;
  code = security_.SetNamedSecurityInfo(objectName_.c_str(), security::kSeRegistryKey,
                                        security::kDaclSecurityInformation | protection_,
                                        merged.get());
  if (code != error::kSuccess) reporter_.Report(kSetSecurityFailedCaption, code);
}

void KeyAccessWindow::Close() {
  if (!stored_) return;
  stored_ = false;
  const ErrorCode code =
      security_.SetNamedSecurityInfo(objectName_.c_str(), security::kSeRegistryKey,
                                     security::kDaclSecurityInformation | protection_, dacl_);
  if (code != error::kSuccess) reporter_.Report(kSetSecurityFailedCaption, code);
}

}  // namespace velnara

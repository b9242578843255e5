#include "commit/key_access.h"

#include <utility>

namespace velnara {

using namespace platform;

std::string KeyObjectName(const std::string& keyPath) {
  return "MACHINE\\" + keyPath;
}

KeyList::KeyList(Security& security) : security_(security), descriptor_(security) {}

ErrorCode KeyList::Take(SecurityDescriptorHandle descriptor, bool present, AclHandle dacl) {
  std::uint16_t control = 0;
  ErrorCode code = security_.GetSecurityDescriptorControl(descriptor, &control);
  if (code == error::kSuccess && sddl_.empty()) {
    code =
        security_.ConvertDescriptorToSddl(descriptor, security::kDaclSecurityInformation, &sddl_);
  }
  if (code != error::kSuccess) return code;
  dacl_ = present ? dacl : nullptr;
  protection_ = (control & security::kSeDaclProtected) != 0 ? security::kProtectedDacl
                                                            : security::kUnprotectedDacl;
  read_ = true;
  return error::kSuccess;
}

ErrorCode KeyList::Read(const std::string& keyPath) {
  const std::string objectName = KeyObjectName(keyPath);
  if (objectName.size() + 1 > kObjectNameCapacity) return error::kFilenameTooLong;
  AclHandle dacl = nullptr;
  const ErrorCode code = security_.GetNamedSecurityInfo(
      objectName.c_str(), security::kSeRegistryKey, security::kDaclSecurityInformation, &dacl,
      descriptor_.receive());
  if (code != error::kSuccess) return code;
  return Take(descriptor_.get(), dacl != nullptr, dacl);
}

void KeyList::ReadForWindow(const ErrorReporter& reporter, const std::string& keyPath) {
  if (const ErrorCode code = Read(keyPath); code != error::kSuccess) {
    reporter.Report(kGetSecurityFailedCaption, code);
  }
}

ErrorCode KeyList::Parse(const std::string& sddl) {
  ErrorCode code = security_.ConvertSddlToDescriptor(sddl.c_str(), descriptor_.receive());
  bool present = false;
  AclHandle dacl = nullptr;
  if (code == error::kSuccess) {
    code = security_.GetSecurityDescriptorDacl(descriptor_.get(), &present, &dacl);
  }
  if (code != error::kSuccess) return code;
  sddl_ = sddl;
  return Take(descriptor_.get(), present, dacl);
}

ErrorCode StoreKeyList(Security& security, const std::string& keyPath, const KeyList& list) {
  return security.SetNamedSecurityInfo(KeyObjectName(keyPath).c_str(), security::kSeRegistryKey,
                                       security::kDaclSecurityInformation | list.protection(),
                                       list.dacl());
}

KeyAccessWindow::KeyAccessWindow(Security& security, const ErrorReporter& reporter,
                                 std::string keyPath, const KeyList& list)
    : security_(security), reporter_(reporter), keyPath_(std::move(keyPath)), list_(list) {}

void KeyAccessWindow::Open() {
  // Without a list the key is open to everyone already; one that could not
  // be read was reported when it was read.
  if (!list_.read() || list_.null()) return;
  Sid administrators(security_);
  ErrorCode code = administrators.AllocateAdministrators();
  Trustee trustee{};
  trustee.multipleTrustee = nullptr;
  trustee.multipleTrusteeOperation = security::kNoMultipleTrustee;
  trustee.form = security::kTrusteeIsSid;
  trustee.type = security::kTrusteeIsGroup;
  trustee.name = static_cast<const char*>(administrators.get());
  // The rights themselves are not needed.
  AccessMask rights = 0;
  if (code == error::kSuccess) {
    code = security_.GetEffectiveRightsFromAcl(list_.dacl(), trustee, &rights);
  }
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
  code = security_.SetEntriesInAcl(1, &entry, list_.dacl(), merged.receive());
  if (code != error::kSuccess) {
    reporter_.Report(kSetEntriesFailedCaption, code);
    return;
  }
  stored_ = true;
  code = security_.SetNamedSecurityInfo(KeyObjectName(keyPath_).c_str(), security::kSeRegistryKey,
                                        security::kDaclSecurityInformation | list_.protection(),
                                        merged.get());
  if (code != error::kSuccess) reporter_.Report(kSetSecurityFailedCaption, code);
}

void KeyAccessWindow::Close() {
  if (!stored_) return;
  stored_ = false;
  if (const ErrorCode code = StoreKeyList(security_, keyPath_, list_); code != error::kSuccess) {
    reporter_.Report(kSetSecurityFailedCaption, code);
  }
}

}  // namespace velnara

// The Windows headers as the Win32 backend uses them. They define macros
// (SendMessage -> SendMessageA and so on) that would rename the methods of
// the platform interfaces, so those are undefined here and the backend calls
// the explicit A functions. Every constant the program spells out for itself
// in platform/win_constants.h is checked against the SDK's below.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

// windows.h must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#undef AppendMenu
#undef CreateDialog
#undef DialogBox
#undef GetMessage
#undef GetWindowText
#undef LoadIcon
#undef LoadString
#undef LookupPrivilegeValue
#undef GetNamedSecurityInfo
#undef GetEffectiveRightsFromAcl
#undef SetEntriesInAcl
#undef SetNamedSecurityInfo
#undef MessageBox
#undef PostMessage
#undef SendMessage
#undef SetWindowText
#undef CreateFile
#undef DeleteFile
#undef CreateDirectory
#undef GetComputerName
#undef GetWindowsDirectory
#undef CreateMutex
#undef GetFileAttributes
#undef MoveFile
#undef RegisterEventSource
#undef ReportEvent

#include <cstddef>

#include "platform/com_port_database.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/system.h"
#include "platform/win_constants.h"
#include "platform/window_system.h"

namespace velnara::platform::win32::sdk_check {

namespace error = platform::error;
static_assert(error::kSuccess == ERROR_SUCCESS);
static_assert(error::kFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(error::kPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(error::kHandleDiskFull == ERROR_HANDLE_DISK_FULL);
static_assert(error::kFileExists == ERROR_FILE_EXISTS);
static_assert(error::kDiskFull == ERROR_DISK_FULL);
static_assert(error::kInvalidName == ERROR_INVALID_NAME);
static_assert(error::kAlreadyExists == ERROR_ALREADY_EXISTS);
static_assert(error::kFileTooLarge == ERROR_FILE_TOO_LARGE);
static_assert(error::kAccessDenied == ERROR_ACCESS_DENIED);
static_assert(error::kInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(error::kSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(error::kInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(error::kInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER);
static_assert(error::kBadPathname == ERROR_BAD_PATHNAME);
static_assert(error::kMoreData == ERROR_MORE_DATA);
static_assert(error::kNoMoreItems == ERROR_NO_MORE_ITEMS);
static_assert(error::kMessageNotFound == ERROR_MR_MID_NOT_FOUND);
static_assert(error::kNotAllAssigned == ERROR_NOT_ALL_ASSIGNED);
static_assert(error::kNoSuchPrivilege == ERROR_NO_SUCH_PRIVILEGE);
static_assert(error::kPrivilegeNotHeld == ERROR_PRIVILEGE_NOT_HELD);
static_assert(error::kNoneMapped == ERROR_NONE_MAPPED);
static_assert(error::kInvalidWindowHandle == ERROR_INVALID_WINDOW_HANDLE);
static_assert(error::kProcNotFound == ERROR_PROC_NOT_FOUND);
static_assert(error::kNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY);
static_assert(error::kInvalidData == ERROR_INVALID_DATA);
static_assert(error::kInvalidAcl == ERROR_INVALID_ACL);
static_assert(error::kFilenameTooLong == ERROR_FILENAME_EXCED_RANGE);
static_assert(error::kInvalidSecurityDescriptor == ERROR_INVALID_SECURITY_DESCR);
static_assert(error::kFileCorrupt == ERROR_FILE_CORRUPT);
static_assert(platform::file::kMoveReplaceExisting == MOVEFILE_REPLACE_EXISTING);
static_assert(platform::file::kMoveWriteThrough == MOVEFILE_WRITE_THROUGH);

namespace access = platform::access;
static_assert(access::kKeyQueryValue == KEY_QUERY_VALUE);
static_assert(access::kKeySetValue == KEY_SET_VALUE);
static_assert(access::kKeyCreateSubKey == KEY_CREATE_SUB_KEY);
static_assert(access::kKeyEnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS);
static_assert(access::kKeyNotify == KEY_NOTIFY);
static_assert(access::kKeyCreateLink == KEY_CREATE_LINK);
static_assert(access::kDelete == DELETE);
static_assert(access::kReadControl == READ_CONTROL);
static_assert(access::kWriteDac == WRITE_DAC);
static_assert(access::kWriteOwner == WRITE_OWNER);
static_assert(access::kKeyRead == KEY_READ);
static_assert(access::kKeyWrite == KEY_WRITE);
static_assert(access::kKeyAllAccess == KEY_ALL_ACCESS);
static_assert(access::kGenericRead == GENERIC_READ);
static_assert(access::kGenericWrite == GENERIC_WRITE);
static_assert(access::kGenericExecute == GENERIC_EXECUTE);
static_assert(access::kGenericAll == GENERIC_ALL);
static_assert(access::kMaximumAllowed == MAXIMUM_ALLOWED);

namespace value_type = platform::value_type;
static_assert(value_type::kNone == REG_NONE);
static_assert(value_type::kSz == REG_SZ);
static_assert(value_type::kExpandSz == REG_EXPAND_SZ);
static_assert(value_type::kBinary == REG_BINARY);
static_assert(value_type::kDword == REG_DWORD);
static_assert(value_type::kMultiSz == REG_MULTI_SZ);

namespace wm = platform::wm;
static_assert(wm::kDestroy == WM_DESTROY);
static_assert(wm::kPaint == WM_PAINT);
static_assert(wm::kClose == WM_CLOSE);
static_assert(wm::kIconEraseBkgnd == WM_ICONERASEBKGND);
static_assert(wm::kQueryDragIcon == WM_QUERYDRAGICON);
static_assert(wm::kNotify == WM_NOTIFY);
static_assert(wm::kSetIcon == WM_SETICON);
static_assert(wm::kInitDialog == WM_INITDIALOG);
static_assert(wm::kCommand == WM_COMMAND);
static_assert(wm::kSysCommand == WM_SYSCOMMAND);
static_assert(wm::kCtlColorMsgBox == WM_CTLCOLORMSGBOX);
static_assert(wm::kCtlColorEdit == WM_CTLCOLOREDIT);
static_assert(wm::kCtlColorListBox == WM_CTLCOLORLISTBOX);
static_assert(wm::kCtlColorBtn == WM_CTLCOLORBTN);
static_assert(wm::kCtlColorDlg == WM_CTLCOLORDLG);
static_assert(wm::kCtlColorScrollBar == WM_CTLCOLORSCROLLBAR);
static_assert(wm::kCtlColorStatic == WM_CTLCOLORSTATIC);

static_assert(platform::notify::kButtonClicked == BN_CLICKED);
static_assert(platform::notify::kDoubleClick == static_cast<std::uint32_t>(NM_DBLCLK));

namespace id = platform::id;
static_assert(id::kOk == IDOK);
static_assert(id::kCancel == IDCANCEL);
static_assert(id::kYes == IDYES);
static_assert(id::kNo == IDNO);

namespace mb = platform::mb;
static_assert(mb::kOk == MB_OK);
static_assert(mb::kOkCancel == MB_OKCANCEL);
static_assert(mb::kYesNo == MB_YESNO);
static_assert(mb::kIconHand == MB_ICONHAND);
static_assert(mb::kIconQuestion == MB_ICONQUESTION);
static_assert(mb::kIconExclamation == MB_ICONEXCLAMATION);
static_assert(mb::kIconAsterisk == MB_ICONASTERISK);
static_assert(mb::kTypeMask == MB_TYPEMASK);
static_assert(mb::kIconMask == MB_ICONMASK);

namespace tvgn = platform::tvgn;
static_assert(tvgn::kRoot == TVGN_ROOT);
static_assert(tvgn::kNext == TVGN_NEXT);
static_assert(tvgn::kPrevious == TVGN_PREVIOUS);
static_assert(tvgn::kParent == TVGN_PARENT);
static_assert(tvgn::kChild == TVGN_CHILD);
static_assert(tvgn::kCaret == TVGN_CARET);
static_assert(platform::tve::kCollapse == TVE_COLLAPSE);
static_assert(platform::tve::kExpand == TVE_EXPAND);

static_assert(platform::mf::kString == MF_STRING);
static_assert(platform::mf::kSeparator == MF_SEPARATOR);

static_assert(platform::ver::kPlatformWin32s == VER_PLATFORM_WIN32s);
static_assert(platform::ver::kPlatformWindows == VER_PLATFORM_WIN32_WINDOWS);
static_assert(platform::ver::kPlatformNt == VER_PLATFORM_WIN32_NT);

static_assert(platform::kSmCxIcon == SM_CXICON);
static_assert(platform::kSmCyIcon == SM_CYICON);
static_assert(platform::kComboError == CB_ERR);

// The version record is handed to GetVersionExA as it is laid out.
using platform::OsVersionInfo;
static_assert(sizeof(OsVersionInfo) == sizeof(OSVERSIONINFOEXA));
static_assert(platform::kOsVersionInfoExSize == sizeof(OSVERSIONINFOEXA));
static_assert(platform::kOsVersionInfoBasicSize == sizeof(OSVERSIONINFOA));
static_assert(offsetof(OsVersionInfo, size) == offsetof(OSVERSIONINFOEXA, dwOSVersionInfoSize));
static_assert(offsetof(OsVersionInfo, majorVersion) == offsetof(OSVERSIONINFOEXA, dwMajorVersion));
static_assert(offsetof(OsVersionInfo, minorVersion) == offsetof(OSVERSIONINFOEXA, dwMinorVersion));
static_assert(offsetof(OsVersionInfo, buildNumber) == offsetof(OSVERSIONINFOEXA, dwBuildNumber));
static_assert(offsetof(OsVersionInfo, platformId) == offsetof(OSVERSIONINFOEXA, dwPlatformId));
static_assert(offsetof(OsVersionInfo, csdVersion) == offsetof(OSVERSIONINFOEXA, szCSDVersion));
static_assert(sizeof(OsVersionInfo::csdVersion) == sizeof(OSVERSIONINFOEXA::szCSDVersion));
static_assert(offsetof(OsVersionInfo, servicePackMajor) ==
              offsetof(OSVERSIONINFOEXA, wServicePackMajor));
static_assert(offsetof(OsVersionInfo, servicePackMinor) ==
              offsetof(OSVERSIONINFOEXA, wServicePackMinor));
static_assert(offsetof(OsVersionInfo, suiteMask) == offsetof(OSVERSIONINFOEXA, wSuiteMask));
static_assert(offsetof(OsVersionInfo, productType) == offsetof(OSVERSIONINFOEXA, wProductType));
static_assert(offsetof(OsVersionInfo, reserved) == offsetof(OSVERSIONINFOEXA, wReserved));

// A WM_NOTIFY's lParam is read through NotifyHeader.
using platform::NotifyHeader;
static_assert(sizeof(NotifyHeader) == sizeof(NMHDR));
static_assert(offsetof(NotifyHeader, from) == offsetof(NMHDR, hwndFrom));
static_assert(offsetof(NotifyHeader, idFrom) == offsetof(NMHDR, idFrom));
static_assert(offsetof(NotifyHeader, code) == offsetof(NMHDR, code));

// The access-control calls take the program's entries as they are.
namespace security = platform::security;
static_assert(security::kSeRegistryKey == SE_REGISTRY_KEY);
static_assert(security::kDaclSecurityInformation == DACL_SECURITY_INFORMATION);
static_assert(security::kProtectedDacl == PROTECTED_DACL_SECURITY_INFORMATION);
static_assert(security::kUnprotectedDacl == UNPROTECTED_DACL_SECURITY_INFORMATION);
static_assert(security::kSeDaclPresent == SE_DACL_PRESENT);
static_assert(security::kSeDaclProtected == SE_DACL_PROTECTED);
static_assert(security::kTrusteeIsGroup == TRUSTEE_IS_GROUP);
static_assert(security::kBuiltinDomainRid == SECURITY_BUILTIN_DOMAIN_RID);
static_assert(security::kAliasRidAdmins == DOMAIN_ALIAS_RID_ADMINS);
static_assert(security::kGrantAccess == GRANT_ACCESS);
static_assert(security::kSetAccess == SET_ACCESS);
static_assert(security::kDenyAccess == DENY_ACCESS);
static_assert(security::kRevokeAccess == REVOKE_ACCESS);
static_assert(security::kNoInheritance == NO_INHERITANCE);
static_assert(security::kObjectInheritAce == OBJECT_INHERIT_ACE);
static_assert(security::kContainerInheritAce == CONTAINER_INHERIT_ACE);
static_assert(security::kNoPropagateInheritAce == NO_PROPAGATE_INHERIT_ACE);
static_assert(security::kInheritOnlyAce == INHERIT_ONLY_ACE);
static_assert(security::kTrusteeIsSid == TRUSTEE_IS_SID);
static_assert(security::kTrusteeIsName == TRUSTEE_IS_NAME);
static_assert(security::kTrusteeIsUnknown == TRUSTEE_IS_UNKNOWN);
static_assert(security::kTrusteeIsUser == TRUSTEE_IS_USER);
static_assert(security::kNoMultipleTrustee == NO_MULTIPLE_TRUSTEE);
static_assert(security::kWorldRid == SECURITY_WORLD_RID);
static_assert(sizeof(platform::SidAuthority) == sizeof(SID_IDENTIFIER_AUTHORITY));
static_assert(sizeof(platform::SidHandle) == sizeof(PSID));
using platform::Trustee;
static_assert(sizeof(Trustee) == sizeof(TRUSTEE_A));
static_assert(offsetof(Trustee, multipleTrustee) == offsetof(TRUSTEE_A, pMultipleTrustee));
static_assert(offsetof(Trustee, multipleTrusteeOperation) ==
              offsetof(TRUSTEE_A, MultipleTrusteeOperation));
static_assert(offsetof(Trustee, form) == offsetof(TRUSTEE_A, TrusteeForm));
static_assert(offsetof(Trustee, type) == offsetof(TRUSTEE_A, TrusteeType));
static_assert(offsetof(Trustee, name) == offsetof(TRUSTEE_A, ptstrName));
static_assert(sizeof(TRUSTEE_FORM) == sizeof(std::uint32_t));
using platform::ExplicitAccess;
static_assert(sizeof(ExplicitAccess) == sizeof(EXPLICIT_ACCESS_A));
static_assert(offsetof(ExplicitAccess, accessPermissions) ==
              offsetof(EXPLICIT_ACCESS_A, grfAccessPermissions));
static_assert(offsetof(ExplicitAccess, accessMode) == offsetof(EXPLICIT_ACCESS_A, grfAccessMode));
static_assert(offsetof(ExplicitAccess, inheritance) == offsetof(EXPLICIT_ACCESS_A, grfInheritance));
static_assert(offsetof(ExplicitAccess, trustee) == offsetof(EXPLICIT_ACCESS_A, Trustee));

// The token and restart calls.
static_assert(platform::token::kAdjustPrivileges == TOKEN_ADJUST_PRIVILEGES);
static_assert(platform::token::kQuery == TOKEN_QUERY);
static_assert(platform::token::kPrivilegeEnabled == SE_PRIVILEGE_ENABLED);
static_assert(platform::ewx::kLogoff == EWX_LOGOFF);
static_assert(platform::ewx::kShutdown == EWX_SHUTDOWN);
static_assert(platform::ewx::kReboot == EWX_REBOOT);
static_assert(platform::ewx::kForce == EWX_FORCE);
using platform::TokenPrivileges;
static_assert(sizeof(platform::Luid) == sizeof(LUID));
static_assert(offsetof(platform::Luid, lowPart) == offsetof(LUID, LowPart));
static_assert(offsetof(platform::Luid, highPart) == offsetof(LUID, HighPart));
static_assert(sizeof(TokenPrivileges) == sizeof(TOKEN_PRIVILEGES));
static_assert(offsetof(TokenPrivileges, privilegeCount) ==
              offsetof(TOKEN_PRIVILEGES, PrivilegeCount));
static_assert(offsetof(TokenPrivileges, luid) == offsetof(TOKEN_PRIVILEGES, Privileges[0].Luid));
static_assert(offsetof(TokenPrivileges, attributes) ==
              offsetof(TOKEN_PRIVILEGES, Privileges[0].Attributes));

// Files and the standard handles.
static_assert(platform::file::kGenericRead == GENERIC_READ);
static_assert(platform::file::kGenericWrite == GENERIC_WRITE);
static_assert(platform::file::kCreateNew == CREATE_NEW);
static_assert(platform::file::kCreateAlways == CREATE_ALWAYS);
static_assert(platform::file::kOpenExisting == OPEN_EXISTING);
static_assert(platform::file::kOpenAlways == OPEN_ALWAYS);
static_assert(platform::file::kStdOutput == STD_OUTPUT_HANDLE);
static_assert(platform::file::kStdError == STD_ERROR_HANDLE);
static_assert(platform::file::kTypeUnknown == FILE_TYPE_UNKNOWN);
static_assert(platform::file::kTypeDisk == FILE_TYPE_DISK);
static_assert(platform::file::kTypeChar == FILE_TYPE_CHAR);
static_assert(platform::file::kTypePipe == FILE_TYPE_PIPE);
static_assert(sizeof(platform::FileHandle) == sizeof(HANDLE));
using platform::LocalTime;
static_assert(sizeof(LocalTime) == sizeof(SYSTEMTIME));
static_assert(offsetof(LocalTime, year) == offsetof(SYSTEMTIME, wYear));
static_assert(offsetof(LocalTime, dayOfWeek) == offsetof(SYSTEMTIME, wDayOfWeek));
static_assert(offsetof(LocalTime, day) == offsetof(SYSTEMTIME, wDay));
static_assert(offsetof(LocalTime, milliseconds) == offsetof(SYSTEMTIME, wMilliseconds));

// The COM port database's report kinds, as msports.h numbers them.
static_assert(platform::comdb::kReportBits == 0 && platform::comdb::kReportBytes == 1);

// Handles travel through the contract as pointer-sized integers.
static_assert(sizeof(platform::RawKey) == sizeof(HKEY));
static_assert(sizeof(platform::WindowHandle) == sizeof(HWND));
static_assert(sizeof(std::intptr_t) == sizeof(LRESULT));
static_assert(sizeof(std::uintptr_t) == sizeof(WPARAM));
static_assert(sizeof(std::intptr_t) == sizeof(LPARAM));

// The predefined roots (kLocalMachine...) are not checked here: the SDK's
// HKEY constants are not constant expressions, and Windows sign-extends them
// to the pointer width (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 in a 64-bit
// program) while RawKey carries them zero-extended. ToHkey() in
// win32_registry.cpp translates, and the Windows test program checks it.

}  // namespace velnara::platform::win32::sdk_check

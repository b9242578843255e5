// Windows constants the program logic needs, spelled out so that no file
// outside platform/ has to include <windows.h>. The Win32 backend checks each
// value against the SDK headers at compile time.
#pragma once

#include <cstdint>

namespace velnara::platform {

// A Windows error code; 0 is success.
using ErrorCode = std::uint32_t;

namespace error {
constexpr ErrorCode kSuccess = 0;
constexpr ErrorCode kFileNotFound = 2;
constexpr ErrorCode kPathNotFound = 3;
constexpr ErrorCode kAccessDenied = 5;
constexpr ErrorCode kInvalidHandle = 6;
constexpr ErrorCode kNotEnoughMemory = 8;
constexpr ErrorCode kInvalidData = 13;
constexpr ErrorCode kSharingViolation = 32;
constexpr ErrorCode kHandleDiskFull = 39;
constexpr ErrorCode kFileExists = 80;
constexpr ErrorCode kInvalidParameter = 87;
constexpr ErrorCode kDiskFull = 112;
constexpr ErrorCode kInsufficientBuffer = 122;
constexpr ErrorCode kInvalidName = 123;
constexpr ErrorCode kProcNotFound = 127;
constexpr ErrorCode kBadPathname = 161;
constexpr ErrorCode kAlreadyExists = 183;
constexpr ErrorCode kFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
constexpr ErrorCode kFileTooLarge = 223;
constexpr ErrorCode kMoreData = 234;
constexpr ErrorCode kNoMoreItems = 259;
constexpr ErrorCode kMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND
constexpr ErrorCode kNotAllAssigned = 1300;
constexpr ErrorCode kNoSuchPrivilege = 1313;
constexpr ErrorCode kPrivilegeNotHeld = 1314;
constexpr ErrorCode kNoneMapped = 1332;
constexpr ErrorCode kInvalidAcl = 1336;
constexpr ErrorCode kInvalidSecurityDescriptor = 1338;  // ERROR_INVALID_SECURITY_DESCR
constexpr ErrorCode kFileCorrupt = 1392;                // ERROR_FILE_CORRUPT
constexpr ErrorCode kInvalidWindowHandle = 1400;
constexpr ErrorCode kWaitTimeout = 258;  // WAIT_TIMEOUT
}  // namespace error

using AccessMask = std::uint32_t;

namespace access {
constexpr AccessMask kKeyQueryValue = 0x0001;
constexpr AccessMask kKeySetValue = 0x0002;
constexpr AccessMask kKeyCreateSubKey = 0x0004;
constexpr AccessMask kKeyEnumerateSubKeys = 0x0008;
constexpr AccessMask kKeyNotify = 0x0010;
constexpr AccessMask kKeyCreateLink = 0x0020;
constexpr AccessMask kDelete = 0x00010000;
constexpr AccessMask kReadControl = 0x00020000;
constexpr AccessMask kWriteDac = 0x00040000;
constexpr AccessMask kWriteOwner = 0x00080000;
constexpr AccessMask kKeyRead = 0x00020019;
constexpr AccessMask kKeyWrite = 0x00020006;
constexpr AccessMask kKeyAllAccess = 0x000F003F;
constexpr AccessMask kGenericRead = 0x80000000;
constexpr AccessMask kGenericWrite = 0x40000000;
constexpr AccessMask kGenericExecute = 0x20000000;
constexpr AccessMask kGenericAll = 0x10000000;
constexpr AccessMask kMaximumAllowed = 0x02000000;
}  // namespace access

namespace value_type {
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kSz = 1;
constexpr std::uint32_t kExpandSz = 2;
constexpr std::uint32_t kBinary = 3;
constexpr std::uint32_t kDword = 4;
constexpr std::uint32_t kMultiSz = 7;
}  // namespace value_type

// Window messages and notification codes the dialogs handle or send.
namespace wm {
constexpr std::uint32_t kDestroy = 0x0002;
constexpr std::uint32_t kPaint = 0x000F;
constexpr std::uint32_t kClose = 0x0010;
constexpr std::uint32_t kIconEraseBkgnd = 0x0027;
constexpr std::uint32_t kQueryDragIcon = 0x0037;
constexpr std::uint32_t kNotify = 0x004E;
constexpr std::uint32_t kSetIcon = 0x0080;
constexpr std::uint32_t kInitDialog = 0x0110;
constexpr std::uint32_t kCommand = 0x0111;
constexpr std::uint32_t kSysCommand = 0x0112;
constexpr std::uint32_t kCtlColorMsgBox = 0x0132;
constexpr std::uint32_t kCtlColorEdit = 0x0133;
constexpr std::uint32_t kCtlColorListBox = 0x0134;
constexpr std::uint32_t kCtlColorBtn = 0x0135;
constexpr std::uint32_t kCtlColorDlg = 0x0136;
constexpr std::uint32_t kCtlColorScrollBar = 0x0137;
constexpr std::uint32_t kCtlColorStatic = 0x0138;
}  // namespace wm

namespace notify {
constexpr std::uint32_t kButtonClicked = 0;          // BN_CLICKED
constexpr std::uint32_t kDoubleClick = 0xFFFFFFFDu;  // NM_DBLCLK (-3)
}  // namespace notify

// Standard dialog command identifiers and message box answers.
namespace id {
constexpr int kOk = 1;       // IDOK
constexpr int kCancel = 2;   // IDCANCEL
constexpr int kYes = 6;      // IDYES
constexpr int kNo = 7;       // IDNO
constexpr int kStatic = -1;  // IDC_STATIC
}  // namespace id

// MessageBoxA types.
namespace mb {
constexpr std::uint32_t kOk = 0x00000000;
constexpr std::uint32_t kOkCancel = 0x00000001;
constexpr std::uint32_t kYesNo = 0x00000004;
constexpr std::uint32_t kIconHand = 0x00000010;
constexpr std::uint32_t kIconQuestion = 0x00000020;
constexpr std::uint32_t kIconExclamation = 0x00000030;
constexpr std::uint32_t kIconAsterisk = 0x00000040;
constexpr std::uint32_t kTypeMask = 0x0000000F;
constexpr std::uint32_t kIconMask = 0x000000F0;
}  // namespace mb

// Tree-view relationship codes for GetNextItem (TVGN_*) and TVM_EXPAND.
namespace tvgn {
constexpr std::uint32_t kRoot = 0x0000;
constexpr std::uint32_t kNext = 0x0001;
constexpr std::uint32_t kPrevious = 0x0002;
constexpr std::uint32_t kParent = 0x0003;
constexpr std::uint32_t kChild = 0x0004;
constexpr std::uint32_t kCaret = 0x0009;
}  // namespace tvgn

namespace tve {
constexpr std::uint32_t kCollapse = 0x0001;
constexpr std::uint32_t kExpand = 0x0002;
}  // namespace tve

// AppendMenuA flags.
namespace mf {
constexpr std::uint32_t kString = 0x0000;
constexpr std::uint32_t kSeparator = 0x0800;
}  // namespace mf

// Platform identifiers reported by GetVersionExA.
namespace ver {
constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWindows = 1;
constexpr std::uint32_t kPlatformNt = 2;
}  // namespace ver

}  // namespace velnara::platform

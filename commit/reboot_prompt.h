// Offers the restart that makes the new names take effect, and on Yes
// enables the process's shutdown privilege and asks Windows for a forced
// restart.
#pragma once

#include "platform/platform.h"

namespace velnara {

constexpr const char* kRebootQuestion = "The System must be rebooted.\n\nDo you want to Reboot now ?";
constexpr const char* kCompletedText =
    "Velnara Successfully Completed.\n\nDrivers will be active from next Reboot";
constexpr const char* kOpenTokenFailedFormat = "OpenProcessToken Failed\nError Code = %d";
constexpr const char* kAdjustPrivilegesFailedFormat = "AdjustTokenPrivileges Failed\nError Code = %d";
constexpr const char* kExitWindowsFailedFormat = "ExitWindowsEx Failed\nError Code = %d";
constexpr const char* kRebootManuallyText = "Please Reboot Manually";

// Asks the question; No shows the completion message. Yes opens the
// process token, enables SeShutdownPrivilege and restarts with
// EWX_REBOOT | EWX_FORCE; a step that fails shows its message with the
// step's own error code, then "Please Reboot Manually". The token is closed
// on every path.
void RunRebootPrompt(platform::Platform& platform);

}  // namespace velnara

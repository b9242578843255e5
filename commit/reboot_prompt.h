// Offers the restart that makes the new names take effect, and on Yes
// enables the process's shutdown privilege and asks Windows for a forced
// restart.
#pragma once

#include <string>

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

// The restart itself, as the prompt's Yes makes it: the token opened,
// SeShutdownPrivilege enabled, ExitWindowsEx(EWX_REBOOT | EWX_FORCE). True
// when Windows has begun the restart; otherwise *failure is the failed
// step's message filled with its error code ("ExitWindowsEx Failed\nError
// Code = 1314"). The token is closed on every path.
bool RestartWindows(platform::Platform& platform, std::string* failure);

}  // namespace velnara

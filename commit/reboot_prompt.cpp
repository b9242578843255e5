#include "commit/reboot_prompt.h"

#include <cstdio>

#include "messages/message_boxes.h"

namespace velnara {

using namespace platform;

namespace {

// The failed step's message with its code as a signed decimal, then the
// advice to restart by hand.
void ReportFailure(Platform& platform, const char* format, ErrorCode code) {
  char text[128];
  std::snprintf(text, sizeof text, format, static_cast<int>(code));
  AppMessageBox(platform, text, mb::kOk);
  AppMessageBox(platform, kRebootManuallyText, mb::kOk);
}

}  // namespace

void RunRebootPrompt(Platform& platform) {
  if (!AnsweredYes(AppMessageBox(platform, kRebootQuestion, mb::kYesNo))) {
    AppMessageBox(platform, kCompletedText, mb::kOk);
    return;
  }
  Token token(platform.system);
  ErrorCode code = token.OpenForProcess(token::kAdjustPrivileges | token::kQuery);
  if (code != error::kSuccess) {
    ReportFailure(platform, kOpenTokenFailedFormat, code);
    return;
  }
  Luid shutdown{0, 0};
  // Not examined: an unknown privilege shows in the next step.
  platform.system.LookupPrivilegeValue(nullptr, token::kShutdownPrivilege, &shutdown);
  const TokenPrivileges enable{1, shutdown, token::kPrivilegeEnabled};
  // Success even when the token lacks the privilege; the restart then fails.
  code = platform.system.AdjustTokenPrivileges(token.get(), false, enable);
  if (code != error::kSuccess) {
    ReportFailure(platform, kAdjustPrivilegesFailedFormat, code);
    return;
  }
  code = platform.system.ExitWindowsEx(ewx::kReboot | ewx::kForce, 0);
  if (code != error::kSuccess) ReportFailure(platform, kExitWindowsFailedFormat, code);
}

}  // namespace velnara

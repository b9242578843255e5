#include "commit/reboot_prompt.h"

#include "messages/message_boxes.h"

namespace velnara {

using namespace platform;

namespace {

// The failed step's message, its "%d" filled with the code as a signed
// decimal, in at most 128 characters with the terminator.
std::string FailureText(const char* format, ErrorCode code) {
  std::string text = format;
  text.replace(text.find("%d"), 2, std::to_string(static_cast<int>(code)));
  if (text.size() > 127) text.resize(127);
  return text;
}

}  // namespace

bool RestartWindows(Platform& platform, std::string* failure) {
  Token token(platform.system);
  ErrorCode code = token.OpenForProcess(token::kAdjustPrivileges | token::kQuery);
  if (code != error::kSuccess) {
    *failure = FailureText(kOpenTokenFailedFormat, code);
    return false;
  }
  Luid shutdown{0, 0};
  // Not examined: an unknown privilege shows in the next step.
  platform.system.LookupPrivilegeValue(nullptr, token::kShutdownPrivilege, &shutdown);
  const TokenPrivileges enable{1, shutdown, token::kPrivilegeEnabled};
  // Success even when the token lacks the privilege; the restart then fails.
  code = platform.system.AdjustTokenPrivileges(token.get(), false, enable);
  if (code != error::kSuccess) {
    *failure = FailureText(kAdjustPrivilegesFailedFormat, code);
    return false;
  }
  code = platform.system.ExitWindowsEx(ewx::kReboot | ewx::kForce, 0);
  if (code != error::kSuccess) {
    *failure = FailureText(kExitWindowsFailedFormat, code);
    return false;
  }
  return true;
}

void RunRebootPrompt(Platform& platform) {
  if (!AnsweredYes(AppMessageBox(platform, kRebootQuestion, mb::kYesNo))) {
    AppMessageBox(platform, kCompletedText, mb::kOk);
    return;
  }
  std::string failure;
  if (RestartWindows(platform, &failure)) return;
  // The failed step's message, then the advice to restart by hand.
  AppMessageBox(platform, failure.c_str(), mb::kOk);
  AppMessageBox(platform, kRebootManuallyText, mb::kOk);
}

}  // namespace velnara

#include "messages/message_boxes.h"

namespace velnara {

using namespace platform;

std::string ApplicationTitle(const std::string& moduleFileName) {
  const std::size_t slash = moduleFileName.find_last_of("\\/");
  std::string name = slash == std::string::npos ? moduleFileName : moduleFileName.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

int AppMessageBox(Platform& platform, const char* text, std::uint32_t type) {
  if ((type & mb::kIconMask) == 0) type |= mb::kIconExclamation;
  const std::string title = ApplicationTitle(platform.system.ModuleFileName());
  return platform.windows.MessageBox(platform.windows.MainWindow(), text, title.c_str(), type);
}

std::string ErrorReporter::TextFor(ErrorCode code) const {
  std::string text;
  if (platform_.system.FormatSystemMessage(code, &text) == error::kSuccess) return text;
  return "Windows error " + std::to_string(static_cast<unsigned long>(code));
}

void ErrorReporter::Report(const char* caption, ErrorCode code) const {
  ReportProblem(caption, TextFor(code));
}

void ErrorReporter::ReportProblem(const char* caption, const std::string& text) const {
  // A box that fails to show is not reported further.
  platform_.windows.MessageBox(platform_.windows.MainWindow(), text.c_str(), caption, mb::kOk);
}

}  // namespace velnara

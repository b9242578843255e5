#include "unattended/output.h"

#include <utility>

namespace velnara {

using namespace platform;

namespace {

constexpr const char* kLineEnd = "\r\n";

std::string TwoDigits(unsigned value) {
  return std::string(value < 10 ? "0" : "") + std::to_string(value);
}

}  // namespace

std::string CodeAndText(const ErrorReporter& reporter, ErrorCode code) {
  std::string text = reporter.TextFor(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return std::to_string(static_cast<unsigned long>(code)) + " " + text;
}

Output::Output(Platform& platform, std::string logPath)
    : platform_(platform), logPath_(std::move(logPath)) {}

ErrorCode Output::Begin(const std::string& commandLine) {
  if (logPath_.empty()) return error::kSuccess;
  const LocalTime now = platform_.system.GetLocalTime();
  std::string computer;
  if (platform_.system.GetComputerName(&computer) != error::kSuccess) computer = "(unknown)";
  const std::string header = std::to_string(now.year) + "-" + TwoDigits(now.month) + "-" +
                             TwoDigits(now.day) + " " + TwoDigits(now.hour) + ":" +
                             TwoDigits(now.minute) + ":" + TwoDigits(now.second) +
                             " Velnara " VELNARA_VERSION " on " + computer + ": " + commandLine;
  const ErrorCode code = AppendToFile(platform_.files, logPath_, header + kLineEnd);
  if (code != error::kSuccess) logFailed_ = true;
  return code;
}

void Output::Log(const std::string& line) const {
  if (logPath_.empty() || logFailed_) return;
  if (AppendToFile(platform_.files, logPath_, line + kLineEnd) == error::kSuccess) return;
  // Said once; the run goes on with what it can still reach.
  logFailed_ = true;
  WriteStandard(platform_.files, file::kStdError,
                "Velnara: the log " + logPath_ + " can no longer be written" + kLineEnd);
}

void Output::Say(const std::string& line) const {
  Log(line);
  WriteStandard(platform_.files, file::kStdOutput, line + kLineEnd);
}

void Output::Warn(const std::string& line) const {
  Log(line);
  WriteStandard(platform_.files, file::kStdError, line + kLineEnd);
}

void Output::End(int status) const { Log("Exit status " + std::to_string(status) + "."); }

void LogReporter::Report(const char* caption, ErrorCode code) const {
  ++failures_;
  std::string line = caption;
  if (!subject_.empty()) line += " (" + subject_ + ")";
  output_.Warn(line + ": " + CodeAndText(*this, code));
}

}  // namespace velnara

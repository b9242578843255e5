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

std::string CodeAndText(Platform& platform, ErrorCode code) {
  return CodeAndText(ErrorReporter(platform), code);
}

Output::Output(Platform& platform, std::string logPath)
    : platform_(platform), logPath_(std::move(logPath)), log_(platform.files) {}

ErrorCode Output::Begin(const std::string& commandLine) {
  if (logPath_.empty()) return error::kSuccess;
  const LocalTime now = platform_.system.GetLocalTime();
  std::string computer;
  if (platform_.system.GetComputerName(&computer) != error::kSuccess) computer = "(unknown)";
  const std::string header =
      std::to_string(now.year) + "-" + TwoDigits(now.month) + "-" + TwoDigits(now.day) + " " +
      TwoDigits(now.hour) + ":" + TwoDigits(now.minute) + ":" + TwoDigits(now.second) +
      " Velnara " VELNARA_SHOWN_VERSION " on " + computer + ": " + commandLine;
  // Appending: another copy of the program may write the same log meanwhile.
  ErrorCode code =
      log_.Open(logPath_, file::kAppend, file::kOpenAlways, file::kShareRead | file::kShareWrite);
  if (code == error::kSuccess) code = log_.Write(header + kLineEnd);
  if (code == error::kSuccess) return code;
  log_.Close();
  WriteStandard(
      platform_.files, file::kStdError,
      "Cannot write the log " + logPath_ + ": " + CodeAndText(platform_, code) + kLineEnd);
  return code;
}

void Output::Log(const std::string& line) const {
  if (!log_.IsOpen()) return;
  const ErrorCode code = log_.Write(line + kLineEnd);
  if (code == error::kSuccess) return;
  // Said once; the run goes on with what it can still reach.
  log_.Close();
  WriteStandard(
      platform_.files, file::kStdError,
      "Cannot write the log " + logPath_ + ": " + CodeAndText(platform_, code) + kLineEnd);
}

void Output::Say(const std::string& line) const {
  Log(line);
  WriteStandard(platform_.files, file::kStdOutput, line + kLineEnd);
}

void Output::Warn(const std::string& line) const {
  Log(line);
  WriteStandard(platform_.files, file::kStdError, line + kLineEnd);
}

void Output::Note(const std::string& line) const {
  Log(line);
}

void Output::End(int status) {
  Log("Exit status " + std::to_string(status) + ".");
  log_.Close();
}

void LogReporter::Report(const char* caption, ErrorCode code) const {
  ReportProblem(caption, CodeAndText(*this, code));
}

void LogReporter::ReportProblem(const char* caption, const std::string& text) const {
  ++failures_;
  std::string line = caption;
  if (!subject_.empty()) line += " (" + subject_ + ")";
  output_.Warn(line + ": " + text);
}

}  // namespace velnara

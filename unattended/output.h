// Where the unattended run tells what it does, since no window may wait for
// a click: the log an administrator asked for, standard output for what it
// found, standard error for what went wrong. Standard output and error
// reach a file or a pipe ("Velnara.exe /list > ports.txt", a deployment
// tool) or a console; where they lead nowhere, the log is all there is.
#pragma once

#include <string>

#include "messages/message_boxes.h"
#include "platform/platform.h"

namespace velnara {

class Output {
 public:
  // `logPath` empty: no log.
  Output(platform::Platform& platform, std::string logPath);

  // Opens the log for the whole run (it is appended to, never replaced, and
  // shared, so that another copy of the program may append to it too) and
  // starts the run's part with the date and time, the program and the
  // command line. The code of a log that cannot be written, which is said
  // on standard error: the run must not go on without it.
  platform::ErrorCode Begin(const std::string& commandLine);
  // What was found or done: to the log and to standard output.
  void Say(const std::string& line) const;
  // What went wrong: to the log and to standard error.
  void Warn(const std::string& line) const;
  // What only the log keeps (standard output may be a map being written).
  void Note(const std::string& line) const;
  // The last line of the run's part of the log; the log is closed.
  void End(int status);

 private:
  void Log(const std::string& line) const;

  platform::Platform& platform_;
  std::string logPath_;
  mutable platform::File log_;
};

// The error reporter of the unattended run: each failure, with the port it
// concerns and the failed call's own code and text, goes to the log and to
// standard error, and is counted.
class LogReporter : public ErrorReporter {
 public:
  LogReporter(platform::Platform& platform, const Output& output)
      : ErrorReporter(platform), output_(output) {}

  void Report(const char* caption, platform::ErrorCode code) const override;
  void ReportProblem(const char* caption, const std::string& text) const override;
  void NoteInLog(const std::string& text) const override { output_.Note(text); }
  // The command line says what the dialog leaves unsaid.
  void ReportQuietly(const char* caption, platform::ErrorCode code) const override {
    Report(caption, code);
  }
  void SetSubject(const std::string& subject) const override { subject_ = subject; }
  int failures() const { return failures_; }

 private:
  const Output& output_;
  mutable std::string subject_;
  mutable int failures_ = 0;
};

// "5 Access is denied.": a code and the system's text for it, on one line.
std::string CodeAndText(const ErrorReporter& reporter, platform::ErrorCode code);
std::string CodeAndText(platform::Platform& platform, platform::ErrorCode code);

}  // namespace velnara

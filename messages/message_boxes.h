// The program's two kinds of message box: the application message box for
// its own texts, and the error reporter for a failed Windows call.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace velnara {

// The application title: the program file's name without its folder and
// extension ("C:\\Tools\\Velnara.exe" gives "Velnara").
std::string ApplicationTitle(const std::string& moduleFileName);

// Shows `text` modal to the main window, captioned with the application
// title, with the caller's buttons (MB_OK or MB_YESNO) and the exclamation
// icon when the caller names no icon. Returns the button pressed.
int AppMessageBox(platform::Platform& platform, const char* text,
                  std::uint32_t type = platform::mb::kOk);

// True only when the user answered Yes.
inline bool AnsweredYes(int answer) {
  return answer == platform::id::kYes;
}

// Shows the system's text for a Windows error code under a caption that
// names the failed step, once, with one OK button and no icon. The box is
// modal to the main window whenever there is one, so no handler of the main
// dialog runs while a report is open. A caller without windows (the
// unattended run) derives a reporter that writes the same elsewhere.
class ErrorReporter {
 public:
  explicit ErrorReporter(platform::Platform& platform) : platform_(platform) {}
  virtual ~ErrorReporter() = default;

  virtual void Report(const char* caption, platform::ErrorCode code) const;
  // A failure that no system call's code says: `text` in the place of the
  // system's text.
  virtual void ReportProblem(const char* caption, const std::string& text) const;

  // A failure the dialog leaves unsaid: what the COM port database
  // answers, which the dialog has never shown. The command line, which
  // promises more, says it as Report does.
  virtual void ReportQuietly(const char* /*caption*/, platform::ErrorCode /*code*/) const {}

  // What only a log file keeps, when there is one: a side matter that
  // changes nothing of the outcome (the Windows event log unreachable).
  virtual void NoteInLog(const std::string& /*text*/) const {}

  // What the reports that follow concern ("PCI 2.9.0 port 3, COM5 -> COM7"),
  // until the next call; empty for nothing in particular. A box needs no
  // more than its caption: the user just chose the port.
  virtual void SetSubject(const std::string& /*subject*/) const {}

  // The text shown for `code`: the system's own, or "Windows error <code>"
  // when the system has none.
  std::string TextFor(platform::ErrorCode code) const;

 protected:
  platform::Platform& platform() const { return platform_; }

 private:
  platform::Platform& platform_;
};

}  // namespace velnara

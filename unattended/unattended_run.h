// The commands of the command line other than the dialog: /list, /check,
// /apply and /?. They work on the port list that discovery finds, check
// names by the rename command's rule and write them with the Save walk of
// the dialog; what the dialog shows in a box goes to the log and the
// standard streams, and no window ever waits for a click (only /list and
// /? show their text in one when there is nowhere else to put it).
#pragma once

#include <string>
#include <vector>

#include "commit/walks.h"
#include "platform/platform.h"
#include "portmap/port_map.h"
#include "safety/writer_lock.h"
#include "unattended/command_line.h"
#include "unattended/output.h"

namespace velnara {

// The exit statuses, as deployment tools read them.
namespace exit_status {
constexpr int kDone = 0;               // nothing needed writing; /list, /check passed
constexpr int kSomeWritesFailed = 1;   // the log says which port and which place
constexpr int kBadMap = 13;            // ERROR_INVALID_DATA
constexpr int kBadCommandLine = 87;    // ERROR_INVALID_PARAMETER
constexpr int kNameRefused = 183;      // ERROR_ALREADY_EXISTS: nothing written
constexpr int kRestartStarted = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED
// ERROR_INSTALL_ALREADY_RUNNING: another copy holds the machine; try later.
constexpr int kAnotherCopyRunning = 1618;
constexpr int kRestartNeeded = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr int kUnsupportedSystem = -1;
}  // namespace exit_status

class UnattendedRun {
 public:
  UnattendedRun(platform::Platform& platform, const Command& command);

  // Starts the log. 0, or the failed call's code when the log asked for
  // cannot be written: the run then does nothing.
  int Begin();
  // The platform gate refused this Windows: its text goes where the run's
  // messages go, and the status is -1.
  int RefuseSystem(const char* text);
  // Runs the command; the exit status.
  int Run();
  // Ends the log with the exit status.
  void End(int status) { output_.End(status); }

 private:
  int List();
  int ListBackups();
  // A map as read, and how its problems say where they are.
  struct ReadMap {
    std::vector<MapEntry> entries;
    std::vector<MapProblem> problems;
    const char* unit = "line";  // what an entry's number counts
    std::string where;          // "names.txt, line ", "argument "
  };
  int CheckOrApply();
  // Waits for the machine-wide lock; 0, or the status to end with.
  int TakeLock();
  // The map's entries, from its file or the arguments; 0, or the status
  // when the file cannot be read.
  int ReadEntries(ReadMap* map);
  // Says the refused lines (the first hundred), where this PC's cards are
  // when a line names a port that is not here, and that nothing was
  // written; `status`.
  int Refuse(const ReadMap& map, const std::vector<MapProblem>& problems, int status,
             const PortRecord* boards);
  // Writes the changes with the Save walk, the names before them kept
  // first, and restarts when asked to.
  int Apply(PortRecord* boards, const std::vector<PortChange>& changes);
  // /list's text: to /out, else to standard output, else in a box if one
  // may show; `what` says in the log what was delivered.
  int Deliver(const std::string& text, const std::string& whenEmpty, const std::string& what);
  // Whether the run may show a box: only where nothing else leads out of
  // it (no /out, no /log, no standard handle to write to), as for a
  // shortcut someone double-clicks. Nothing unattended waits for a click.
  bool MayShowBox() const;

  platform::Platform& platform_;
  const Command& command_;
  Output output_;
  LogReporter reporter_;
  WriterLock lock_;
};

// A command line that asks for nothing this program does: the problem and
// the usage to standard error, and the status 87.
int RefuseCommandLine(platform::Platform& platform, const std::string& problem);

}  // namespace velnara

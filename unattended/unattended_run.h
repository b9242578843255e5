// The commands of the command line other than the dialog: /list, /check,
// /apply and /?. They work on the port list that discovery finds, check
// names by the rename command's rule and write them with the Save walk of
// the dialog; what the dialog shows in a box goes to the log and the
// standard streams, and no window ever waits for a click (only /list and
// /? show their text in one when there is nowhere else to put it).
#pragma once

#include <string>
#include <vector>

#include "commit/recovery.h"
#include "commit/walks.h"
#include "platform/platform.h"
#include "portmap/port_map.h"
#include "safety/writer_lock.h"
#include "unattended/command_line.h"
#include "unattended/outcomes.h"
#include "unattended/output.h"

namespace velnara {

class UnattendedRun {
 public:
  UnattendedRun(platform::Platform& platform, const Command& command);

  // Starts the log. kDone, or the outcome of a log asked for that cannot
  // be written: the run then does nothing.
  Outcome Begin();
  // The platform gate refused this Windows: its text goes where the run's
  // messages go.
  Outcome RefuseSystem(const char* text);
  // Runs the command.
  Outcome Run();
  // Ends the log with the exit status.
  void End(int status) { output_.End(status); }

 private:
  Outcome List();
  Outcome ListBackups();
  // A map as read, and how its problems say where they are.
  struct ReadMap {
    std::vector<MapEntry> entries;
    std::vector<MapProblem> problems;
    const char* unit = "line";  // what an entry's number counts
    std::string where;          // "names.txt, line ", "argument "
  };
  Outcome CheckOrApply();
  // Waits for the machine-wide lock: kDone, or the outcome to end with.
  // Says so when the copy that held it before ended without giving it back.
  Outcome TakeLock();
  // Finishes with a walk an earlier copy did not end (/apply), or says
  // what it would do (/check): kDone, or the outcome to end with.
  Outcome RecoverInterruptedWalk(Recovery* recovery);
  // The map's entries, from its file or the arguments: kDone, or the
  // outcome when the file cannot be read.
  Outcome ReadEntries(ReadMap* map);
  // Says the refused lines (the first hundred), where this PC's cards are
  // when a line names a port that is not here, and that nothing was
  // written; `outcome`.
  Outcome Refuse(const ReadMap& map, const std::vector<MapProblem>& problems, Outcome outcome,
                 const PortRecord* boards);
  // Writes the changes with the Save walk, the names before them kept
  // first, and restarts when asked to.
  Outcome Apply(PortRecord* boards, const std::vector<PortChange>& changes);
  // /list's text: to /out, else to standard output, else in a box if one
  // may show; `what` says in the log what was delivered.
  Outcome Deliver(const std::string& text, const std::string& whenEmpty, const std::string& what);
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
// the usage to standard error.
Outcome RefuseCommandLine(platform::Platform& platform, const std::string& problem);

}  // namespace velnara

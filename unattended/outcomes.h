// How a run of the command line ends: one table of outcomes, each with the
// exit status deployment tools and batch files read, and its line in "/?"
// (the README's table holds the same rows). A Windows error code goes to
// the log and to standard error, never into the exit status.
#pragma once

#include <string>
#include <vector>

namespace velnara {

enum class Outcome {
  kDone,            // nothing needed writing; /list, /check passed
  kRestartNeeded,   // names written
  kRestartStarted,  // names written, the restart begun
  kBusy,            // another Velnara holds the machine, or names changed meanwhile
  kBadCommandLine,
  kBadMap,
  kNameRefused,
  kWriteFailed,        // some writes failed
  kPortsUnreadable,    // the cards and ports could not be read from the registry
  kFileNotFound,       // a file to read, or a folder to write in, is not there
  kFileFailed,         // a file could not be read or written, or its folder is no one's to trust
  kInterruptedWalk,    // /check: an interrupted walk left ports half written
  kJournalUnusable,    // its journal cannot be used: nothing is written
  kUnsupportedSystem,  // the platform gate refused this Windows
};

struct OutcomeRow {
  Outcome outcome;
  int status;
  const char* meaning;  // as "/?" and the README say it
};

// Every outcome, in the order "/?" lists them.
const std::vector<OutcomeRow>& OutcomeTable();

// The exit status of an outcome.
int StatusOf(Outcome outcome);

// The outcome of a file that could not be read or written with `code`:
// not found (the file, or a folder on its way), or anything else.
Outcome FileOutcome(unsigned long code);

// "/?"'s part on the exit statuses: a line for each row, wrapped to fit a
// message box.
std::string ExitStatusText();

}  // namespace velnara

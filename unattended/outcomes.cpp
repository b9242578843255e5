#include "unattended/outcomes.h"

namespace velnara {

namespace {

// The width "/?" wraps its lines to, the status and its indent included:
// a message box wraps longer ones where it likes.
constexpr std::size_t kUsageWidth = 52;
constexpr std::size_t kMeaningColumn = 8;

}  // namespace

const std::vector<OutcomeRow>& OutcomeTable() {
  static const std::vector<OutcomeRow> table = {
      {Outcome::kDone, 0, "nothing needed writing; /list, /check passed"},
      {Outcome::kRestartNeeded, 3010, "names written; they take effect after Windows starts again"},
      {Outcome::kRestartStarted, 1641, "names written and the restart started (/restart)"},
      {Outcome::kBusy, 1618,
       "another Velnara holds the machine, or ports were renamed meanwhile: try again later"},
      {Outcome::kBadCommandLine, 87, "bad command line"},
      {Outcome::kBadMap, 13,
       "bad map: a line that cannot be read, an unknown port, a port named twice, no port"},
      {Outcome::kNameRefused, 183, "a name refused: nothing written"},
      {Outcome::kWriteFailed, 1, "some writes failed: the log says which port and which place"},
      {Outcome::kPortsUnreadable, 1012, "the ports could not be read from the registry"},
      {Outcome::kFileNotFound, 2, "the map, or the folder of the log or of /out, is not there"},
      {Outcome::kFileFailed, 5,
       "a file could not be read or written (the log says which), or the folder of the kept "
       "names is not the administrators' own"},
      {Outcome::kInterruptedWalk, 1067,
       "/check: an interrupted walk left ports half written; the dialog or /apply puts them "
       "back"},
      {Outcome::kJournalUnusable, 1392,
       "the journal of an interrupted walk cannot be used: nothing written"},
      {Outcome::kUnsupportedSystem, -1, "not Windows 2000 SP2 or later, XP or Server 2003"},
  };
  return table;
}

int StatusOf(Outcome outcome) {
  for (const OutcomeRow& row : OutcomeTable()) {
    if (row.outcome == outcome) return row.status;
  }
  return StatusOf(Outcome::kWriteFailed);
}

Outcome FileOutcome(unsigned long code) {
  constexpr unsigned long kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
  constexpr unsigned long kPathNotFound = 3;  // ERROR_PATH_NOT_FOUND
  return code == kFileNotFound || code == kPathNotFound ? Outcome::kFileNotFound
                                                        : Outcome::kFileFailed;
}

std::string ExitStatusText() {
  std::string text = "Exit status:\r\n";
  for (const OutcomeRow& row : OutcomeTable()) {
    std::string line = "  " + std::to_string(row.status);
    line.resize(kMeaningColumn, ' ');
    const std::string meaning = row.meaning;
    std::size_t at = 0;
    while (at < meaning.size()) {
      std::size_t room = kUsageWidth - line.size();
      std::size_t end =
          meaning.size() - at <= room ? meaning.size() : meaning.rfind(' ', at + room);
      if (end == std::string::npos || end <= at) end = at + room;
      line += meaning.substr(at, end - at);
      text += line + "\r\n";
      at = end;
      while (at < meaning.size() && meaning[at] == ' ') ++at;
      line = std::string(kMeaningColumn, ' ');
    }
  }
  return text;
}

}  // namespace velnara

#include "unattended/unattended_run.h"

#include <vector>

#include "commit/reboot_prompt.h"
#include "commit/walk_record.h"
#include "commit/walks.h"
#include "discovery/board_discovery.h"
#include "discovery/port_address.h"
#include "portmap/port_map.h"
#include "rename/com_name_holders.h"
#include "rename/name_rule.h"
#include "rename/refusals.h"
#include "safety/backup.h"
#include "safety/durable_file.h"

namespace velnara {

using namespace platform;

namespace {

constexpr const char* kLineEnd = "\r\n";
// The most problems of a map said one by one.
constexpr std::size_t kMostProblemsSaid = 100;

// A board list, freed on every path.
class BoardList {
 public:
  explicit BoardList(PortRecord* head) : head_(head) {}
  BoardList(const BoardList&) = delete;
  BoardList& operator=(const BoardList&) = delete;
  ~BoardList() { ListFree(head_); }
  PortRecord* get() const { return head_; }

 private:
  PortRecord* head_;
};

// Finds the cards and their ports, without a tree.
PortRecord* FindBoards(Platform& platform, const ErrorReporter& reporter) {
  return DiscoverBoards(platform.registry, nullptr, reporter).boards;
}

// Every port of the board list.
std::vector<const PortRecord*> PortsOf(const PortRecord* boards) {
  std::vector<const PortRecord*> ports;
  for (const PortRecord& port : Ports(boards)) ports.push_back(&port);
  return ports;
}

// "PCI 2.9.0 port 3: COM5 -> COM47".
std::string ChangeLine(const PortRecord& port, const std::string& newName) {
  return FormatAddress(AddressOf(port)) + ": " + port.committedName + " -> " + newName;
}

std::string Ports(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " port" : " ports");
}

// Every name check of the rename command, on every mapped port whose name
// changes, against the names all ports will have once the whole map is
// applied: so a swap within one map is fine. With `reclaim`, a name held
// only by hardware that is gone is taken, as the dialog's Yes takes it; it
// is said in (*takenBack)[i] for mapped[i].
std::vector<MapProblem> RefusedNames(Platform& platform, PortRecord* boards,
                                     const std::vector<MappedPort>& mapped, bool reclaim,
                                     std::vector<std::string>* takenBack) {
  takenBack->assign(mapped.size(), std::string());
  std::vector<ShownName> applied;
  for (const PortRecord& port : Ports(boards)) {
    std::string name = port.committedName;
    for (const MappedPort& entry : mapped) {
      if (entry.port == &port) name = entry.newName;
    }
    applied.push_back({&port, name});
  }
  NameRule rule(platform, applied);
  std::vector<MapProblem> refused;
  for (std::size_t i = 0; i < mapped.size(); ++i) {
    const MappedPort& entry = mapped[i];
    if (entry.newName == entry.port->committedName) continue;
    const NameCheck check = rule.Check(entry.port, entry.newName);
    if (check.verdict == NameVerdict::kFree) continue;
    if (reclaim && MayBeTaken(check)) {
      (*takenBack)[i] = check.holding.Describe("; ");
      continue;
    }
    refused.push_back({entry.line, RefusalLine(check, *entry.port, entry.newName)});
  }
  return refused;
}

}  // namespace

UnattendedRun::UnattendedRun(Platform& platform, const Command& command)
    : platform_(platform),
      command_(command),
      output_(platform, command.logFile),
      reporter_(platform, output_),
      lock_(platform.system) {}

Outcome UnattendedRun::Begin() {
  // Nothing unattended may wait for a click: not the system's box for a
  // drive without its disk (a log or map on a floppy, a CD), nor its box
  // for a program that faults.
  platform_.system.SetErrorMode(sem::kFailCriticalErrors | sem::kNoGpFaultErrorBox |
                                sem::kNoOpenFileErrorBox);
  const ErrorCode code = output_.Begin(command_.text);
  return code == error::kSuccess ? Outcome::kDone : FileOutcome(code);
}

Outcome UnattendedRun::RefuseSystem(const char* text) {
  output_.Warn(text);
  return Outcome::kUnsupportedSystem;
}

Outcome UnattendedRun::Run() {
  switch (command_.mode) {
    case Mode::kUsage: {
      const std::string text = UsageText();
      if (StandardHandleWritable(platform_.files, file::kStdOutput)) {
        WriteStandard(platform_.files, file::kStdOutput, text);
      } else if (MayShowBox()) {
        AppMessageBox(platform_, text.c_str(), mb::kOk | mb::kIconAsterisk);
      }
      return Outcome::kDone;
    }
    case Mode::kList:
      return List();
    case Mode::kListBackups:
      return ListBackups();
    case Mode::kCheck:
    case Mode::kApply:
      return CheckOrApply();
    default:
      return Outcome::kBadCommandLine;
  }
}

bool UnattendedRun::MayShowBox() const {
  return command_.outFile.empty() && command_.logFile.empty() &&
         !StandardHandleWritable(platform_.files, file::kStdOutput) &&
         !StandardHandleWritable(platform_.files, file::kStdError);
}

Outcome UnattendedRun::Deliver(const std::string& text, const std::string& whenEmpty,
                               const std::string& what) {
  if (!command_.outFile.empty()) {
    // A file that cannot be written whole leaves the one there as it was.
    const ErrorCode code = ReplaceFileWhole(platform_.files, command_.outFile, text);
    if (code != error::kSuccess) {
      output_.Warn("Cannot write " + command_.outFile + ": " + CodeAndText(reporter_, code));
      return FileOutcome(code);
    }
    output_.Note(what + " to " + command_.outFile + ".");
  } else if (StandardHandleWritable(platform_.files, file::kStdOutput)) {
    WriteStandard(platform_.files, file::kStdOutput, text);
    output_.Note(what + " to standard output.");
  } else if (MayShowBox()) {
    // Started from a shortcut: a double-click still shows something.
    const std::string shown = text.empty() ? whenEmpty : text;
    AppMessageBox(platform_, shown.c_str(), mb::kOk | mb::kIconAsterisk);
  } else {
    output_.Warn(what + ", but nothing leads anywhere to write them: use /out.");
  }
  return Outcome::kDone;
}

Outcome UnattendedRun::List() {
  // Without the lock: a journal may belong to a walk under way as well.
  const Recovery recovery = velnara::RecoverInterruptedWalk(platform_, reporter_, false);
  if (recovery.state == Recovery::State::kPending) {
    output_.Warn(
        "A walk of Velnara is under way, or was interrupted (its journal: " + recovery.path +
        "): the names below may be half written. When it was interrupted, the next "
        "start of the dialog or /apply puts them right.");
  } else if (recovery.state == Recovery::State::kUnreadable) {
    for (const std::string& line : RecoveryLines(recovery)) output_.Warn(line);
  }
  const int failures = reporter_.failures();
  const BoardList boards(FindBoards(platform_, reporter_));
  // A map of the ports that could be found is no map of this PC.
  if (reporter_.failures() != failures) {
    output_.Warn("The ports could not be listed: the line above says why.");
    return Outcome::kPortsUnreadable;
  }
  std::vector<std::string> leftOut;
  std::string text = FormatPortMap(boards.get(), &leftOut);
  for (const std::string& line : leftOut) output_.Warn(line);
  const std::vector<const PortRecord*> ports = PortsOf(boards.get());
  const std::string held = FormatHeldNames(ComNameHolders(platform_, ports).Held());
  if (!held.empty()) text += (text.empty() ? "" : kLineEnd) + held;
  return Deliver(text, "No Tarvex 880 port was found.", "Listed " + Ports(ports.size()));
}

Outcome UnattendedRun::ListBackups() {
  std::vector<std::string> paths;
  BackupProblem problem;
  if (!velnara::ListBackups(platform_, &paths, &problem)) {
    output_.Warn("Cannot list the kept names: " +
                 (problem.reason.empty()
                      ? problem.path + ": " + CodeAndText(reporter_, problem.code)
                      : problem.reason));
    return FileOutcome(problem.code);
  }
  std::string text;
  for (const std::string& path : paths) text += path + kLineEnd;
  return Deliver(text, "No Save has kept names yet.",
                 "Listed " + std::to_string(paths.size()) + " files of kept names");
}

Outcome UnattendedRun::ReadEntries(ReadMap* map) {
  if (command_.mapFile.empty()) {
    // Names given as arguments: each is one line of a map.
    for (std::size_t i = 0; i < command_.assignments.size(); ++i) {
      MapEntry entry;
      std::string problem;
      const int number = static_cast<int>(i + 1);
      if (!ParseMapLine(command_.assignments[i], number, &entry, &problem)) {
        map->problems.push_back({number, problem});
      } else if (entry.line == 0) {
        map->problems.push_back({number, "names no port"});
      } else {
        map->entries.push_back(entry);
      }
    }
    map->unit = "argument";
    map->where = "argument ";
    return Outcome::kDone;
  }
  std::string text;
  File file(platform_.files);
  ErrorCode code = file.Open(command_.mapFile, file::kGenericRead, file::kOpenExisting);
  if (code == error::kSuccess) code = file.ReadAll(kMaxMapBytes, &text);
  if (code != error::kSuccess) {
    output_.Warn("Cannot read the map " + command_.mapFile + ": " + CodeAndText(reporter_, code));
    // A file of megabytes is no map anyone wrote.
    return code == error::kFileTooLarge ? Outcome::kBadMap : FileOutcome(code);
  }
  ParsePortMap(text, &map->entries, &map->problems);
  map->where = command_.mapFile + ", line ";
  return Outcome::kDone;
}

Outcome UnattendedRun::TakeLock() {
  ErrorCode code = lock_.Take(0);
  if (code == error::kWaitTimeout) {
    output_.Say("Another Velnara is running; waiting up to " +
                std::to_string(kWriterLockWaitMs / 1000) + " seconds for it to end.");
    code = lock_.Take(kWriterLockWaitMs);
  }
  if (code == error::kSuccess) {
    if (lock_.TakenFromAnEndedCopy()) {
      output_.Warn(
          "The Velnara that ran before ended without giving the machine back (it was stopped, "
          "or it crashed): what it was writing may be half written.");
    }
    return Outcome::kDone;
  }
  output_.Warn(code == error::kWaitTimeout
                   ? "Another Velnara still runs: nothing was written. Try again later."
                   : "Cannot make sure no other Velnara runs (" + CodeAndText(reporter_, code) +
                         "): nothing was written. Try again later.");
  return Outcome::kBusy;
}

Outcome UnattendedRun::RecoverInterruptedWalk(Recovery* recovery) {
  const bool putBack = command_.mode == Mode::kApply;
  *recovery = velnara::RecoverInterruptedWalk(platform_, reporter_, putBack);
  if (putBack && recovery->Found() && recovery->state != Recovery::State::kUnreadable) {
    RecordRecovery(platform_, reporter_, *recovery, true);
  }
  for (const std::string& line : RecoveryLines(*recovery)) output_.Warn(line);
  switch (recovery->state) {
    case Recovery::State::kUnreadable:
      return Outcome::kJournalUnusable;
    case Recovery::State::kFailed:
      return Outcome::kWriteFailed;
    default:
      return Outcome::kDone;
  }
}

Outcome UnattendedRun::Refuse(const ReadMap& map, const std::vector<MapProblem>& problems,
                              Outcome outcome, const PortRecord* boards) {
  // A wrong file of a million lines is not said a million times.
  const std::size_t said =
      problems.size() < kMostProblemsSaid ? problems.size() : kMostProblemsSaid;
  for (std::size_t i = 0; i < said; ++i) {
    output_.Warn(map.where + std::to_string(problems[i].line) + ": " + problems[i].text);
  }
  if (problems.size() > said) {
    output_.Warn("... and " + std::to_string(problems.size() - said) + " more.");
  }
  // A map made on a PC whose cards sit elsewhere: where they are here.
  for (const MapProblem& problem : problems) {
    if (!problem.noPortThere) continue;
    output_.Warn("This PC has " + FormatCards(boards) + ".");
    break;
  }
  output_.Warn("Nothing was written.");
  return outcome;
}

Outcome UnattendedRun::CheckOrApply() {
  ReadMap map;
  if (const Outcome read = ReadEntries(&map); read != Outcome::kDone) return read;
  // A file that lost its lines on the way is no map that changes nothing.
  if (map.entries.empty() && map.problems.empty()) {
    output_.Warn(command_.mapFile + " names no port.");
    output_.Warn("Nothing was written.");
    return Outcome::kBadMap;
  }
  // Nothing is read before the lock: the names another copy writes first
  // are the ones this run checks against.
  if (const Outcome locked = TakeLock(); locked != Outcome::kDone) return locked;
  Recovery recovery;
  if (const Outcome recovered = RecoverInterruptedWalk(&recovery); recovered != Outcome::kDone) {
    return recovered;
  }
  const int failures = reporter_.failures();
  const BoardList boards(FindBoards(platform_, reporter_));
  if (reporter_.failures() != failures) return Outcome::kPortsUnreadable;  // no port list to go by
  std::vector<MappedPort> mapped;
  ResolvePortMap(boards.get(), map.entries, map.unit, &mapped, &map.problems);
  if (!map.problems.empty()) return Refuse(map, map.problems, Outcome::kBadMap, boards.get());
  std::vector<std::string> takenBack;
  const std::vector<MapProblem> refused =
      RefusedNames(platform_, boards.get(), mapped, command_.reclaim, &takenBack);
  if (!refused.empty()) return Refuse(map, refused, Outcome::kNameRefused, boards.get());

  // The changes in the order of the port list, as the dialog's Save
  // walks its tree.
  std::vector<PortChange> changes;
  for (PortRecord& port : Ports(boards.get())) {
    for (std::size_t i = 0; i < mapped.size(); ++i) {
      const MappedPort& entry = mapped[i];
      if (entry.port != &port || entry.newName == port.committedName) continue;
      changes.push_back({&port, entry.newName});
      output_.Say(ChangeLine(port, entry.newName) +
                  (takenBack[i].empty() ? "" : ", taken back from " + takenBack[i]));
    }
  }
  if (command_.mode == Mode::kCheck) {
    output_.Say(changes.empty() ? "Nothing would change."
                                : Ports(changes.size()) + " would change; nothing was written.");
    return recovery.state == Recovery::State::kPending ? Outcome::kInterruptedWalk : Outcome::kDone;
  }
  if (changes.empty()) {
    output_.Say("Nothing to change: every port has its name already.");
    return recovery.NeedsRestart() ? Outcome::kRestartNeeded : Outcome::kDone;
  }
  // Names written need the restart: this walk's, and the putting back's.
  return Apply(boards.get(), changes);
}

Outcome UnattendedRun::Apply(PortRecord* boards, const std::vector<PortChange>& changes) {
  const int failures = reporter_.failures();
  const SaveOutcome saved = SaveNames(
      platform_, reporter_, boards, changes,
      command_.noBackup ? BackupPolicy::kNone : BackupPolicy::kWriteNothing, WalkKind::kApply);
  if (saved.namesChanged) {
    output_.Warn(
        "Something else renamed ports while Velnara ran: nothing was written. Try "
        "again.");
    return Outcome::kBusy;
  }
  if (!saved.walked) {
    output_.Warn(saved.notJournaled
                     ? "Nothing was written: a walk is never made without its journal."
                     : "Nothing was written (/nobackup writes the names without keeping the old "
                       "ones).");
    return FileOutcome(saved.backupError != 0 ? saved.backupError : error::kAccessDenied);
  }
  if (!saved.backupPath.empty()) {
    output_.Say("The names before this Save are kept in " + saved.backupPath +
                "; /apply of that file puts them back.");
  }
  if (reporter_.failures() != failures) {
    output_.Warn("Some writes failed: the lines above say which port and which place.");
    return Outcome::kWriteFailed;
  }
  output_.Say(Ports(changes.size()) + " renamed; the names take effect when Windows starts again.");
  if (!command_.restart) return Outcome::kRestartNeeded;
  output_.Say("Restarting Windows.");
  std::string failure;
  if (RestartWindows(platform_, &failure)) return Outcome::kRestartStarted;
  // The failed step's message, a line of the log a line of the message.
  for (std::size_t at = 0; at != std::string::npos;) {
    const std::size_t end = failure.find('\n', at);
    output_.Warn(failure.substr(at, end == std::string::npos ? end : end - at));
    at = end == std::string::npos ? end : end + 1;
  }
  output_.Warn(kRebootManuallyText);
  return Outcome::kRestartNeeded;
}

Outcome RefuseCommandLine(Platform& platform, const std::string& problem) {
  WriteStandard(platform.files, file::kStdError,
                "Velnara: " + problem + kLineEnd + kLineEnd + UsageText());
  return Outcome::kBadCommandLine;
}

}  // namespace velnara

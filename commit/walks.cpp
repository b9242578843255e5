#include "commit/walks.h"

#include "commit/commit_texts.h"
#include "commit/port_commit.h"
#include "commit/recovery.h"
#include "commit/walk_record.h"
#include "discovery/board_discovery.h"
#include "discovery/port_address.h"
#include "discovery/port_enumeration.h"
#include "safety/backup.h"
#include "safety/journal.h"

namespace velnara {

using namespace platform;

namespace {

// A port item without a record, or whose text reads empty. The tree
// answered without an error, so there is no system code to show; the code
// says what is wrong rather than "success".
void ReportUnreadable(const ErrorReporter& reporter) {
  reporter.Report(kMissingRecordCaption, error::kInvalidData);
}

// Visits the port items in tree order. A port item without a record is
// reported and passed over.
template <typename Visit>
void ForEachPort(const TreeView& tree, const ErrorReporter& reporter, Visit visit) {
  for (const TreeItem port : PortItems(tree)) {
    auto* record = reinterpret_cast<PortRecord*>(tree.GetItemData(port));
    if (record == nullptr) {
      ReportUnreadable(reporter);
      continue;
    }
    visit(port, *record);
  }
}

// Passes every report on, and counts them: a port whose commit reported
// anything did not get every write.
class CountingReporter : public ErrorReporter {
 public:
  CountingReporter(Platform& platform, const ErrorReporter& inner)
      : ErrorReporter(platform), inner_(inner) {}
  void Report(const char* caption, ErrorCode code) const override {
    ++count_;
    inner_.Report(caption, code);
  }
  void ReportProblem(const char* caption, const std::string& text) const override {
    ++count_;
    inner_.ReportProblem(caption, text);
  }
  void ReportQuietly(const char* caption, ErrorCode code) const override {
    ++count_;
    inner_.ReportQuietly(caption, code);
  }
  void NoteInLog(const std::string& text) const override { inner_.NoteInLog(text); }
  void SetSubject(const std::string& subject) const override { inner_.SetSubject(subject); }
  int count() const { return count_; }

 private:
  const ErrorReporter& inner_;
  mutable int count_ = 0;
};

void ReportProblem(const ErrorReporter& reporter, const char* caption,
                   const BackupProblem& problem) {
  if (problem.reason.empty()) {
    reporter.SetSubject(problem.path);
    reporter.Report(caption, problem.code);
    reporter.SetSubject(std::string());
  } else {
    reporter.ReportProblem(caption, problem.reason);
  }
}

// Puts what the walk wrote on the disk: the hives of the port settings
// (SOFTWARE) and of the device keys and the COM port database (SYSTEM).
// The serial device map is in the volatile hive, rebuilt at every start.
bool FlushWrites(Platform& platform, const ErrorReporter& reporter, const WalkPlan& plan) {
  ErrorCode code = plan.settings.IsOpen() ? plan.settings.Flush() : error::kSuccess;
  if (code == error::kSuccess) {
    RegKey system(platform.registry);
    code = system.Open(kLocalMachine, kEnumRoot, access::kKeyQueryValue);
    if (code == error::kSuccess) code = system.Flush();
  }
  if (code == error::kSuccess) return true;
  reporter.Report(kRegistryFlushFailedCaption, code);
  return false;
}

}  // namespace

SaveOutcome SaveNames(Platform& platform, const ErrorReporter& reporter, PortRecord* boards,
                      const std::vector<PortChange>& changes, BackupPolicy policy, WalkKind kind) {
  SaveOutcome outcome;
  if (changes.empty()) return outcome;  // nothing to write, nothing to keep
  WalkPlan plan(platform.registry);
  ReadWalkPlan(platform, reporter, boards, changes, kind, &plan);
  if (plan.namesChanged) {
    outcome.namesChanged = true;
    return outcome;
  }
  outcome.walked = true;
  // Every commit would end at its first step: nothing is written.
  if (!plan.serialMap.IsOpen()) return outcome;

  std::string folder;
  BackupProblem problem;
  if (!PrepareKeptNamesFolder(platform, &folder, &problem)) {
    // No journal without its folder, and no walk without its journal.
    ReportProblem(reporter, kBackupFailedCaption, problem);
    outcome.backupError = problem.code;
    outcome.walked = false;
    outcome.notJournaled = true;
    return outcome;
  }
  if (policy != BackupPolicy::kNone &&
      !WriteBackup(platform, folder, boards, &outcome.backupPath, &problem)) {
    ReportProblem(reporter, kBackupFailedCaption, problem);
    outcome.backupError = problem.code;
    outcome.backupPath.clear();
    if (policy == BackupPolicy::kWriteNothing) {
      outcome.walked = false;
      return outcome;
    }
  }
  const std::string journal = folder + "\\journal.txt";
  ErrorCode code = WriteJournal(platform, journal, plan.journal);
  // The journal of an earlier walk of this program that stayed (its flush
  // failed): once that walk is found whole, it goes, flushed. Any other
  // journal is never replaced.
  if (code == error::kAlreadyExists &&
      RecoverInterruptedWalk(platform, reporter, false).state == Recovery::State::kFinished &&
      RecoverInterruptedWalk(platform, reporter, true).state == Recovery::State::kFinished) {
    code = WriteJournal(platform, journal, plan.journal);
  }
  if (code != error::kSuccess) {
    ReportProblem(reporter, kJournalWriteFailedCaption, BackupProblem{code, "", journal});
    outcome.walked = false;
    outcome.notJournaled = true;
    return outcome;
  }

  const CountingReporter counting(platform, reporter);
  CommitWalk walk(platform, counting, plan);
  WalkRecord record;
  record.byCommandLine = kind == WalkKind::kApply;
  record.walk = WalkName(kind);
  record.keptFile = outcome.backupPath;
  record.restartNeeded = kind != WalkKind::kReset;
  for (PortPlan& port : plan.ports) {
    const std::string address = FormatAddress(AddressOf(*port.port));
    const std::string change = port.oldName + " -> " + port.newName;
    reporter.SetSubject(address + ", " + change);
    const int reported = counting.count();
    walk.CommitPort(port);
    record.ports.push_back(address + ": " + change);
    if (counting.count() != reported) record.failed.push_back(address);
  }
  reporter.SetSubject(std::string());
  // Settings that live in the journal alone keep it; so does a registry
  // that could not be flushed, which may lose what was written.
  outcome.journalKept = !walk.Finish() || !FlushWrites(platform, reporter, plan);
  if (!outcome.journalKept) {
    if (const ErrorCode code = platform.files.DeleteFile(journal.c_str());
        code != error::kSuccess) {
      ReportProblem(reporter, kJournalRemoveFailedCaption, BackupProblem{code, "", journal});
      outcome.journalKept = true;
    }
  }
  if (walk.Wrote()) RecordWalk(platform, reporter, record);
  return outcome;
}

SaveOutcome RunSaveWalk(Platform& platform, const ErrorReporter& reporter,
                        const WalkTarget& target) {
  std::vector<PortChange> changes;
  ForEachPort(target.tree, reporter, [&](TreeItem item, PortRecord& record) {
    const std::string pending = target.tree.GetItemText(item);
    if (pending.empty()) return ReportUnreadable(reporter);
    if (pending != record.committedName) changes.push_back({&record, pending});
  });
  return SaveNames(platform, reporter, target.boards, changes, BackupPolicy::kReportAndGoOn,
                   WalkKind::kSave);
}

SaveOutcome RunResetWalk(Platform& platform, const ErrorReporter& reporter,
                         const WalkTarget& target) {
  std::vector<PortChange> changes;
  ForEachPort(target.tree, reporter, [&](TreeItem item, PortRecord& record) {
    target.tree.SetItemText(item, record.portName);
    const std::string name = target.tree.GetItemText(item);
    if (name.empty()) return ReportUnreadable(reporter);
    changes.push_back({&record, name});
  });
  SaveOutcome outcome;
  if (!changes.empty()) {
    outcome = SaveNames(platform, reporter, target.boards, changes, BackupPolicy::kNone,
                        WalkKind::kReset);
  }
  if (outcome.namesChanged || outcome.notJournaled) return outcome;
  target.unsavedChanges = false;
  target.rebootNeeded = false;
  return outcome;
}

}  // namespace velnara

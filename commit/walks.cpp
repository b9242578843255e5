#include "commit/walks.h"

#include "commit/port_commit.h"
#include "discovery/board_discovery.h"
#include "discovery/port_address.h"
#include "discovery/port_enumeration.h"
#include "discovery/port_record.h"
#include "portmap/port_map.h"
#include "safety/backup.h"

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

}  // namespace

SaveOutcome SaveNames(Platform& platform, const ErrorReporter& reporter, PortRecord* boards,
                      const std::vector<PortChange>& changes, BackupPolicy policy) {
  SaveOutcome outcome;
  if (changes.empty()) return outcome;  // nothing to write, nothing to keep
  if (!PortNamesUnchanged(platform.registry, boards)) {
    outcome.namesChanged = true;
    return outcome;
  }
  if (policy != BackupPolicy::kNone) {
    BackupProblem problem;
    if (!WriteBackup(platform, boards, &outcome.backupPath, &problem)) {
      outcome.backupError = problem.code;
      outcome.backupPath.clear();
      if (problem.reason.empty()) {
        reporter.SetSubject(problem.path);
        reporter.Report(kBackupFailedCaption, problem.code);
        reporter.SetSubject(std::string());
      } else {
        reporter.ReportProblem(kBackupFailedCaption, problem.reason);
      }
      if (policy == BackupPolicy::kWriteNothing) return outcome;
    }
  }
  // A Save walk moves claims in the COM port database: reset mode is off.
  CommitWalk walk(platform, reporter, false, boards);
  for (const PortChange& change : changes) {
    reporter.SetSubject(FormatAddress(AddressOf(*change.port)) + ", " + change.port->committedName +
                        " -> " + change.newName);
    walk.CommitPort(*change.port, change.newName);
  }
  reporter.SetSubject(std::string());
  walk.Finish();
  outcome.walked = true;
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
  return SaveNames(platform, reporter, target.boards, changes, BackupPolicy::kReportAndGoOn);
}

bool RunResetWalk(Platform& platform, const ErrorReporter& reporter, const WalkTarget& target) {
  if (!PortNamesUnchanged(platform.registry, target.boards)) return false;
  CommitWalk walk(platform, reporter, target.resetMode, target.boards);
  ForEachPort(target.tree, reporter, [&](TreeItem item, PortRecord& record) {
    target.tree.SetItemText(item, record.portName);
    const std::string name = target.tree.GetItemText(item);
    if (name.empty()) return ReportUnreadable(reporter);
    walk.CommitPort(record, name);
  });
  walk.Finish();
  target.unsavedChanges = false;
  target.rebootNeeded = false;
  return true;
}

}  // namespace velnara

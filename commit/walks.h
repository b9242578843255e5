// The Save and Reset walks over the port tree, and the walk of the command
// line's /apply. The tree shows each port's pending name; its record keeps
// the start-up name and the name the registry holds now (the committed
// name). Save commits every port whose pending name differs from its
// committed name; Reset puts every start-up name back into the tree and
// commits it. Every walk reads its plan first and writes it to the journal
// before its first write, so that one ended at any moment is finished or
// undone at the next start.
#pragma once

#include <string>
#include <vector>

#include "commit/walk_plan.h"
#include "discovery/port_record.h"
#include "messages/message_boxes.h"
#include "platform/dialog.h"
#include "platform/platform.h"

namespace velnara {

constexpr const char* kMissingRecordCaption = "Missing Private Tree Entry";

// The main dialog's state the walks use.
struct WalkTarget {
  const platform::TreeView& tree;
  PortRecord* boards;  // the board list behind the tree
  bool& unsavedChanges;
  bool& rebootNeeded;
};

// What a Save does when the file that keeps the names it replaces cannot
// be written: the dialog reports it and goes on; the unattended run writes
// nothing; "/nobackup" writes no file. (The journal is written always.)
enum class BackupPolicy { kReportAndGoOn, kWriteNothing, kNone };

struct SaveOutcome {
  bool walked = false;  // the changes went to the commits
  // The registry no longer holds the names the ports were read with:
  // something else renamed ports meanwhile. Nothing was written.
  bool namesChanged = false;
  // Nothing was written: the journal, or the folder it goes in, could not
  // be made (reported).
  bool notJournaled = false;
  platform::ErrorCode backupError = 0;  // the kept names' failed call, reported
  std::string backupPath;               // the file of the kept names written
  // The journal stayed after the walk (a flush or its removal failed, or
  // settings live in it alone): the next start finishes with it.
  bool journalKept = false;
};

// A walk of `changes`, in order: its plan (nothing is written from a view
// that is out of date), the folder of the kept names, the file of the names
// the registry holds now (as `policy` says; under kBackupFailedCaption when
// it fails), the journal, every commit, and last the flush of what was
// written and the journal's removal. Each change is the subject of its
// commit's reports.
SaveOutcome SaveNames(platform::Platform& platform, const ErrorReporter& reporter,
                      PortRecord* boards, const std::vector<PortChange>& changes,
                      BackupPolicy policy, WalkKind kind);

// The dialog's Save: every port whose item text differs from its committed
// name (byte for byte) changes to that text, in tree order. Changes no
// flag. A port item whose text cannot be read (it reads empty) is reported
// like one without a record and passed over: no port is given an empty name.
SaveOutcome RunSaveWalk(platform::Platform& platform, const ErrorReporter& reporter,
                        const WalkTarget& target);

// Sets every port item's text to its record's start-up name and commits
// every port with it, changed or not; the COM port database is left alone
// for a port the registry still knows by its start-up name. When it wrote,
// clears the unsaved-changes and reboot-needed flags.
SaveOutcome RunResetWalk(platform::Platform& platform, const ErrorReporter& reporter,
                         const WalkTarget& target);

}  // namespace velnara

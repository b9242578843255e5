// The Save and Reset walks over the port tree. The tree shows each port's
// pending name; its record keeps the start-up name and the name the
// registry holds now (the committed name). Save commits every port whose
// pending name differs from its committed name; Reset puts every start-up
// name back into the tree and commits it.
#pragma once

#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "messages/message_boxes.h"
#include "platform/dialog.h"
#include "platform/platform.h"

namespace velnara {

constexpr const char* kMissingRecordCaption = "Missing Private Tree Entry";

// The main dialog's state the walks use.
struct WalkTarget {
  const platform::TreeView& tree;
  PortRecord* boards;     // the board list behind the tree
  const bool& resetMode;  // read by the commits: set for Reset, clear for Save
  bool& unsavedChanges;
  bool& rebootNeeded;
};

// A port and the name a Save gives it.
struct PortChange {
  PortRecord* port;
  std::string newName;
};

// What a Save does when the file that keeps the names it replaces cannot
// be written: the dialog reports it and goes on; the unattended run writes
// nothing; "/nobackup" writes no file.
enum class BackupPolicy { kReportAndGoOn, kWriteNothing, kNone };

struct SaveOutcome {
  bool walked = false;  // the changes went to the commits
  // The registry no longer holds the names the ports were read with:
  // something else renamed ports meanwhile. Nothing was written.
  bool namesChanged = false;
  platform::ErrorCode backupError = 0;  // the file's failed call, reported
  std::string backupPath;               // the file written
};

// A Save: when there is a change at all, first a look whether the registry
// still holds the names the ports were read with (nothing is written from a
// view that is out of date), then the file that keeps the names the
// registry holds now (reported under kBackupFailedCaption when it fails,
// then as `policy` says), then every change committed in order, in one
// walk, so that names may move among the ports (swaps, shifts, rotations).
// Each change is the subject of its commit's reports.
SaveOutcome SaveNames(platform::Platform& platform, const ErrorReporter& reporter,
                      PortRecord* boards, const std::vector<PortChange>& changes,
                      BackupPolicy policy);

// The dialog's Save: every port whose item text differs from its committed
// name (byte for byte) changes to that text, in tree order. Changes no
// flag. A port item whose text cannot be read (it reads empty) is reported
// like one without a record and passed over: no port is given an empty name.
SaveOutcome RunSaveWalk(platform::Platform& platform, const ErrorReporter& reporter,
                        const WalkTarget& target);

// Sets every port item's text to its record's start-up name and commits
// every port with it, changed or not; then clears the unsaved-changes and
// reboot-needed flags. False, with nothing done, when the registry no
// longer holds the names the ports were read with.
bool RunResetWalk(platform::Platform& platform, const ErrorReporter& reporter,
                  const WalkTarget& target);

}  // namespace velnara

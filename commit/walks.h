// The Save and Reset walks over the port tree. The tree shows each port's
// pending name; its record keeps the start-up name and the name the
// registry holds now (the committed name). Save commits every port whose
// pending name differs from its committed name; Reset puts every start-up
// name back into the tree and commits it.
#pragma once

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
  const bool& resetMode;  // read by the commits: set for Reset, clear for Save
  bool& unsavedChanges;
  bool& rebootNeeded;
};

// Commits, in tree order, every port whose item text differs from its
// committed name (byte for byte), with that text as the new name. Changes no
// flag. A port item whose text cannot be read (it reads empty) is reported
// like one without a record and passed over: no port is given an empty name.
void RunSaveWalk(platform::Platform& platform, const ErrorReporter& reporter,
                 const WalkTarget& target);

// Sets every port item's text to its record's start-up name and commits
// every port with it, changed or not; then clears the unsaved-changes and
// reboot-needed flags.
void RunResetWalk(platform::Platform& platform, const ErrorReporter& reporter,
                  const WalkTarget& target);

}  // namespace velnara

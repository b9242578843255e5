// Carries one port's new COM name into every place the system keeps it: the
// serial device map, the port settings, the port device key's FriendlyName
// and its Device Parameters' PortName; then moves the port's claim in the
// COM port database from the old number to the new one. Each commit writes
// what the walk's plan gives it, so that names may move among the ports of
// one walk (swaps, shifts, rotations) and a port's settings that another
// commit overwrites live on in the plan and its journal until their own
// commit writes them. Each failure is reported at once and the commit goes
// on or ends as its step says; nothing already written is undone.
#pragma once

#include "commit/commit_texts.h"
#include "commit/walk_plan.h"
#include "messages/message_boxes.h"
#include "platform/platform.h"

namespace velnara {

class CommitWalk {
 public:
  CommitWalk(platform::Platform& platform, const ErrorReporter& reporter, WalkPlan& plan);

  // Writes the port's places in the commit's order: the serial device map
  // value, the new settings value and then the deletion of the old one, the
  // grant, FriendlyName, PortName, the revoke, the release of the old
  // number and the claim of the new one. The record's names follow what
  // was written: committedName once PortName is, settingsName once the
  // settings are, serialValue once the serial device map value is.
  void CommitPort(PortPlan& port);

  // Ends the walk's writes: a port's settings that its own commit could not
  // write (the write failed) while another commit took the value they were
  // in are written back under a free name, which their port's settingsName
  // then says. False when that too failed: those settings live in the
  // journal alone, which must then stay.
  bool Finish();

  // Whether any write of the walk reached the registry.
  bool Wrote() const { return wrote_; }

 private:
  void MoveSettings(PortPlan& port);
  // Steps on the port device key; false when the commit ends there.
  bool WritePortKeys(PortPlan& port, bool* portNameWritten);
  void MoveClaim(const PortPlan& port);
  // Whether nobody needs what the settings value `name` holds now: it is
  // not there, or it holds a walk port's settings that live elsewhere now.
  bool FreeForSettings(const std::string& name) const;

  platform::Platform& platform_;
  const ErrorReporter& reporter_;
  WalkPlan& plan_;
  std::vector<PortPlan*> strandedSettings_;  // moves whose write failed
  bool wrote_ = false;
};

}  // namespace velnara

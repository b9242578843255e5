// What a start does about a walk that was interrupted: a journal found in
// the folder of the kept names means a walk (a Save, a Reset, an /apply)
// ended between its first write and its last. If every place holds what
// the walk was writing, it had finished; otherwise every place is put back
// as the journal says it was before the walk, every access list exactly,
// so that no port stays split across the places. Runs under the writer
// lock, before the ports are read.
#pragma once

#include <string>
#include <vector>

#include "messages/message_boxes.h"
#include "platform/platform.h"

namespace velnara {

struct Recovery {
  enum class State {
    kNone,        // no journal: no walk was interrupted
    kFinished,    // the walk had written everything; its journal is gone
    kPending,     // places to put back, and the caller asked only to look
    kPutBack,     // every place is as it was before the walk; the journal is gone
    kFailed,      // some places could not be put back (reported); the journal stays
    kUnreadable,  // the journal cannot be read, or names places this PC does not have
  };
  State state = State::kNone;
  std::string path;     // the journal
  std::string walk;     // "Save", "Reset" or "/apply"
  std::string problem;  // kUnreadable: what is wrong with it
  // The ports of the walk as they were before it: "PCI 2.9.0 port 1: COM3",
  // and what the walk was giving them: "PCI 2.9.0 port 1: COM3 -> COM4".
  std::vector<std::string> ports;
  std::vector<std::string> walked;

  bool Found() const { return state != State::kNone; }
  // What the next Save or /apply needs: the walk had written names, or
  // the putting back did, and the drivers take names up at a start.
  bool NeedsRestart() const;
};

// Looks for the journal of an interrupted walk. With `putBack`, finishes
// with it as said above (kFinished, kPutBack or kFailed); without, only
// says what a start would do (kFinished with the journal left, or
// kPending): /check and /list write nothing.
Recovery RecoverInterruptedWalk(platform::Platform& platform, const ErrorReporter& reporter,
                                bool putBack);

// What the dialog says of it, in its usual box; empty for kNone.
std::string RecoveryBoxText(const Recovery& recovery);
// What the command line says of it, a line each; none for kNone.
std::vector<std::string> RecoveryLines(const Recovery& recovery);

}  // namespace velnara

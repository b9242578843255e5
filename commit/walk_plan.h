// The plan of a walk that writes port names (a Save, a Reset, an /apply),
// read before its first write: every place of every port the walk writes,
// what it holds now and what the walk writes there. The journal on the disk
// holds the same, so that a walk ended at any moment can be finished or
// undone; and each commit writes what the plan gives it, so that no value
// lives only in memory from one commit to the next.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commit/key_access.h"
#include "discovery/port_record.h"
#include "messages/message_boxes.h"
#include "platform/platform.h"
#include "safety/journal.h"

namespace velnara {

// What the interrupted walk was, as the journal and the messages name it.
enum class WalkKind { kSave, kReset, kApply };
const char* WalkName(WalkKind kind);

// A port and the name a walk gives it.
struct PortChange {
  PortRecord* port;
  std::string newName;
};

// One port's part of a walk.
struct PortPlan {
  PortRecord* port = nullptr;
  std::string oldName;  // the name the registry holds for it now
  std::string newName;
  std::string keyPath;        // its device key below HKEY_LOCAL_MACHINE
  ValueState portNameBefore;  // its PortName as the walk found it

  // The serial device map value whose data is the old name.
  bool serialFound = false;
  std::string serialValue;
  std::uint32_t serialType = 0;

  // Its port settings value: moved from "COM3:" to "COM4:" (made first,
  // then the old one deleted when no port of the walk writes it), left
  // where it is (more than 32 bytes, a value another port keeps, a name
  // two ports want), or none at all.
  enum class Settings { kStay, kMove, kNone };
  Settings settings = Settings::kStay;
  std::string settingsFrom;
  std::string settingsTo;
  ValueState settingsData;
  bool deleteFrom = false;

  // The device key's list as read before the walk (for the grant, and for
  // the revoke that sets it back), and whether FriendlyName's value before
  // is known: an unknown one is not written.
  std::unique_ptr<KeyList> list;
  platform::ErrorCode friendlyRead = 0;

  // The claims in the COM port database: the old number released when no
  // port keeps it, the new one claimed when nothing claims it yet.
  long oldNumber = 0;
  long newNumber = 0;
  bool releaseOld = false;
  bool claimNew = false;
};

struct WalkPlan {
  explicit WalkPlan(platform::Registry& registry) : serialMap(registry), settings(registry) {}

  // The registry no longer holds the names the ports were read with:
  // something else renamed ports meanwhile. Nothing may be written.
  bool namesChanged = false;
  // Open for the whole walk: the keys every commit writes to (KEY_ALL_ACCESS).
  // The serial device map not open: every commit ends at once.
  platform::RegKey serialMap;
  platform::RegKey settings;
  // The COM port database could be asked: claims are planned.
  bool databaseRead = false;
  std::vector<PortPlan> ports;
  Journal journal;
};

// Reads the plan of `changes` (in their order) on the ports of `boards`:
// first every port's PortName, to see that nobody renamed ports since the
// program read them; then the serial device map, the port settings, each
// device key's list and FriendlyName, and the COM port database. A read the
// commit needs that fails is reported as the commit's step reports it.
void ReadWalkPlan(platform::Platform& platform, const ErrorReporter& reporter, PortRecord* boards,
                  const std::vector<PortChange>& changes, WalkKind kind, WalkPlan* plan);

}  // namespace velnara

#include "commit/walk_plan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "commit/commit_texts.h"
#include "commit/port_places.h"
#include "discovery/port_address.h"
#include "discovery/port_enumeration.h"
#include "discovery/port_names.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

// PortName is read into 8 bytes: 7 characters and a terminator.
constexpr std::uint32_t kPortNameCapacity = 8;

// The walk's ports by their record: each one's place in the plan. The
// lookups of a plan keep their values in vectors and find them through
// maps of positions, so that one map type serves every lookup.
using PlanPlaces = std::map<const PortRecord*, std::size_t>;

struct SerialValue {
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// Whether serial device map data is exactly `name`. The data need not end
// with a terminator: without one, all of its bytes are the text; with one,
// the text ends there. So COM12 is never taken for COM1.
bool DataIsName(const std::vector<std::uint8_t>& data, const std::string& name) {
  if (data.empty()) return name.empty();
  const void* end = std::memchr(data.data(), '\0', data.size());
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - data.data())
                     : data.size();
  return length == name.size() && std::memcmp(data.data(), name.data(), length) == 0;
}

// Every port's PortName as the registry holds it now, kept in the plan for
// the walk's own ports; false when one is not the name the program knows it
// by (or cannot be read whole).
bool ReadPortNames(Registry& registry, PortRecord* boards, const PlanPlaces& places,
                   WalkPlan* plan) {
  // The ports of a card are below its driver's enumerator key.
  RegKey enumerator(registry);
  char letter = '\0';
  for (const PortRecord& port : Ports(boards)) {
    if (port.enumeratorLetter != letter &&
        enumerator.Open(kLocalMachine, EnumeratorKeyPath(port.enumeratorLetter).c_str(),
                        access::kKeyQueryValue) != error::kSuccess) {
      return false;
    }
    letter = port.enumeratorLetter;
    RegKey parameters(registry);
    ValueState state;
    const std::string relative =
        PortDeviceKeyName(port.parentIdPrefix, port.locationCode) + "\\Device Parameters";
    if (parameters.Open(enumerator, relative.c_str(), access::kKeyQueryValue) != error::kSuccess ||
        ReadValueInto(parameters, "PortName", kPortNameCapacity, &state) != error::kSuccess) {
      return false;
    }
    std::string name;
    if (QueryStringValue(parameters, "PortName", kPortNameCapacity, &name) != error::kSuccess ||
        name != port.committedName) {
      return false;
    }
    if (const auto found = places.find(&port); found != places.end()) {
      plan->ports[found->second].portNameBefore = std::move(state);
    }
  }
  return true;
}

// The serial device map's values up to the first that cannot be read into
// the commit's buffers: the search for a port's value ends there.
std::vector<SerialValue> ReadSerialMap(const RegKey& map) {
  std::vector<SerialValue> values;
  for (std::uint32_t index = 0;; ++index) {
    char name[kSerialValueNameCapacity];
    std::uint32_t nameChars = kSerialValueNameCapacity;
    std::uint32_t type = 0;
    std::uint8_t data[kValueDataCapacity];
    std::uint32_t bytes = kValueDataCapacity;
    if (map.EnumValue(index, name, &nameChars, &type, data, &bytes) != error::kSuccess) break;
    values.push_back(
        {std::string(name, nameChars), type, std::vector<std::uint8_t>(data, data + bytes)});
  }
  return values;
}

// The text of serial device map data: up to its terminator, or all of it.
std::string DataText(const std::vector<std::uint8_t>& data) {
  const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
  return std::string(data.begin(), end);
}

// Each port's value: the first whose data is its old name that no other
// port of the tree has as its own and no earlier port of the walk takes.
void PlanSerialMap(const std::vector<SerialValue>& values, PortRecord* boards, WalkPlan* plan) {
  // The values by the name their data holds, in their order; and whose
  // each is, by its value name.
  std::multimap<std::string, std::size_t> byData;
  for (std::size_t i = 0; i < values.size(); ++i) byData.emplace(DataText(values[i].data), i);
  std::vector<const PortRecord*> owners;
  std::multimap<std::string, std::size_t> ownerOf;
  for (const PortRecord& port : Ports(boards)) {
    if (port.serialValue.empty()) continue;
    ownerOf.emplace(FoldCase(port.serialValue), owners.size());
    owners.push_back(&port);
  }
  std::map<std::string, std::size_t> taken;  // folded value name -> the port that takes it
  for (std::size_t i = 0; i < plan->ports.size(); ++i) {
    PortPlan& port = plan->ports[i];
    for (auto [found, end] = byData.equal_range(port.oldName); found != end; ++found) {
      const SerialValue& value = values[found->second];
      const std::string folded = FoldCase(value.name);
      if (!DataIsName(value.data, port.oldName) || taken.count(folded) != 0) continue;
      bool others = false;
      for (auto [owner, last] = ownerOf.equal_range(folded); owner != last; ++owner) {
        others = others || owners[owner->second] != port.port;
      }
      if (others) continue;
      taken.emplace(folded, i);
      port.serialFound = true;
      port.serialValue = value.name;
      port.serialType = value.type;
      plan->journal.values.push_back(
          {kSerialMapPath, value.name, ValueState{true, value.type, value.data},
           ValueState{true, value.type, StringState(port.newName).data}});
      break;
    }
  }
}

// Which ports' settings move, and where every settings value the walk
// touches ends. A port's settings move from the value it keeps them in to
// the one of its new name, unless they are not there whole (more than 32
// bytes: nothing is carried, nothing deleted), the new value keeps the
// settings of a port that stays, or an earlier port of the walk takes that
// name (two ports to one name, as a Reset may give: the later one's stay).
void PlanSettings(PortRecord* boards, const PlanPlaces& places, WalkPlan* plan) {
  const RegKey& key = plan->settings;
  if (!key.IsOpen()) return;
  std::map<std::string, std::size_t> sources;  // folded value name -> the port that moves it
  for (std::size_t i = 0; i < plan->ports.size(); ++i) {
    PortPlan& port = plan->ports[i];
    port.settingsFrom = port.port->settingsName + ":";
    port.settingsTo = port.newName + ":";
    const ErrorCode code =
        ReadValueInto(key, port.settingsFrom, kValueDataCapacity, &port.settingsData);
    // Only a missing value is known to be missing; any other failure may
    // hide data, which must then not be overwritten.
    port.settings = code == error::kFileNotFound ? PortPlan::Settings::kNone
                    : code != error::kSuccess || SameName(port.settingsFrom, port.settingsTo)
                        ? PortPlan::Settings::kStay
                        : PortPlan::Settings::kMove;
    // Two ports that keep their settings in one value (both had one name):
    // the first carries them, and the other has none of its own.
    if (port.settings == PortPlan::Settings::kMove &&
        !sources.emplace(FoldCase(port.settingsFrom), i).second) {
      port.settings = PortPlan::Settings::kNone;
    }
  }
  // What the values hold now, read whole: the journal keeps them. Each
  // value once, by its name folded; `after` is where each ends.
  struct Slot {
    std::string name;
    ValueState before;
    ValueState after;
  };
  std::map<std::string, std::size_t> slots;
  std::vector<Slot> values;
  const auto slot = [&](const std::string& name) -> Slot& {
    const auto [found, added] = slots.emplace(FoldCase(name), values.size());
    if (added) values.push_back({name, ValueState(), ValueState()});
    return values[found->second];
  };
  for (PortPlan& port : plan->ports) {
    if (port.settings != PortPlan::Settings::kMove) continue;
    Slot& from = slot(port.settingsFrom);
    from.name = port.settingsFrom;
    from.before = port.settingsData;
    if (slots.count(FoldCase(port.settingsTo)) != 0) continue;
    ValueState state;
    if (ReadWholeValue(key, port.settingsTo, &state) != error::kSuccess) {
      port.settings = PortPlan::Settings::kStay;  // unknown data is never overwritten
      continue;
    }
    slot(port.settingsTo).before = std::move(state);
  }
  // Whether the port of `record` takes its settings away from where it
  // keeps them; a port outside the walk keeps them.
  const auto movesAway = [&](const PortRecord* record) {
    const auto found = places.find(record);
    return found != places.end() &&
           plan->ports[found->second].settings == PortPlan::Settings::kMove;
  };
  // Whether a port other than `record` keeps its settings in `value`, and
  // keeps them there.
  std::vector<const PortRecord*> everyPort;
  std::multimap<std::string, std::size_t> homes;
  for (const PortRecord& port : Ports(boards)) {
    homes.emplace(FoldCase(port.settingsName + ":"), everyPort.size());
    everyPort.push_back(&port);
  }
  const auto keptThere = [&](const PortRecord* record, const std::string& value) {
    for (auto [home, end] = homes.equal_range(FoldCase(value)); home != end; ++home) {
      const PortRecord* other = everyPort[home->second];
      if (other != record && !movesAway(other)) return true;
    }
    return false;
  };
  // A move may only take a value whose settings leave it; one that is
  // blocked keeps its value, which may block another.
  for (bool changed = true; changed;) {
    changed = false;
    std::map<std::string, std::size_t> targets;  // folded value name -> the port moving in
    for (std::size_t i = 0; i < plan->ports.size(); ++i) {
      PortPlan& port = plan->ports[i];
      if (port.settings != PortPlan::Settings::kMove) continue;
      const bool taken = !targets.emplace(FoldCase(port.settingsTo), i).second;
      if (taken || keptThere(port.port, port.settingsTo)) {
        port.settings = PortPlan::Settings::kStay;
        changed = true;
      }
    }
  }
  // Where each value ends: a value left empty by its port is deleted,
  // unless a port that stays keeps its settings there, or another moves in.
  // A port that still moves read both of its values above.
  for (Slot& value : values) value.after = value.before;
  for (const PortPlan& port : plan->ports) {
    if (port.settings != PortPlan::Settings::kMove) continue;
    if (!keptThere(port.port, port.settingsFrom)) slot(port.settingsFrom).after = ValueState();
  }
  for (const PortPlan& port : plan->ports) {
    if (port.settings == PortPlan::Settings::kMove) slot(port.settingsTo).after = port.settingsData;
  }
  for (PortPlan& port : plan->ports) {
    if (port.settings == PortPlan::Settings::kMove) {
      port.deleteFrom = !slot(port.settingsFrom).after.exists;
    }
  }
  // In the order of their folded names.
  for (const auto& entry : slots) {
    const Slot& value = values[entry.second];
    if (value.after != value.before) {
      plan->journal.values.push_back({kPortSettingsPath, value.name, value.before, value.after});
    }
  }
}

// The device key of each port: its list, read for the grant and the
// revoke, and FriendlyName as it is now.
void PlanDeviceKeys(Platform& platform, const ErrorReporter& reporter, WalkPlan* plan) {
  for (PortPlan& port : plan->ports) {
    reporter.SetSubject(FormatAddress(AddressOf(*port.port)) + ", " + port.oldName + " -> " +
                        port.newName);
    port.list = std::make_unique<KeyList>(platform.security);
    // A key whose list cannot be read is not opened at all.
    port.list->ReadForWindow(reporter, port.keyPath);
    if (port.list->read() && !port.list->null()) {
      plan->journal.lists.push_back({port.keyPath, port.list->sddl()});
    }
    RegKey device(platform.registry);
    ValueState friendly;
    port.friendlyRead = device.Open(kLocalMachine, port.keyPath.c_str(), access::kKeyQueryValue);
    if (port.friendlyRead == error::kSuccess) {
      port.friendlyRead = ReadWholeValue(device, "FriendlyName", &friendly);
    }
    if (port.friendlyRead == error::kSuccess) {
      plan->journal.values.push_back(
          {port.keyPath, "FriendlyName", friendly, StringState(FriendlyName(port.newName))});
    }
    plan->journal.values.push_back({port.keyPath + "\\Device Parameters", "PortName",
                                    port.portNameBefore, StringState(port.newName)});
  }
  reporter.SetSubject(std::string());
}

// The claims: a number no port has once the walk is done is released, and
// a number nothing claims yet is claimed. A Reset leaves the database alone
// for a port the registry still knows by its start-up name.
void PlanClaims(Platform& platform, const ErrorReporter& reporter, PortRecord* boards,
                const PlanPlaces& places, WalkKind kind, WalkPlan* plan) {
  ComDb database(platform.comPorts);
  std::vector<std::uint8_t> claimed;
  ErrorCode code = database.Open();
  if (code == error::kSuccess) code = database.ClaimedNumbers(&claimed);
  if (code != error::kSuccess) {
    reporter.ReportQuietly(kDatabaseOpenFailedCaption, code);
    return;
  }
  plan->databaseRead = true;
  const auto inDatabase = [&claimed](long number) {
    return number >= 1 && static_cast<std::size_t>(number) <= claimed.size();
  };
  // The numbers of the database that a port has once the walk is done.
  std::vector<std::uint8_t> held(claimed.size());
  for (const PortRecord& port : Ports(boards)) {
    const auto found = places.find(&port);
    const long number =
        ComNumber(found != places.end() ? plan->ports[found->second].newName : port.committedName);
    if (inDatabase(number)) held[number - 1] = 1;
  }
  std::vector<std::uint8_t> now = claimed;
  for (PortPlan& port : plan->ports) {
    port.oldNumber = ComNumber(port.oldName);
    port.newNumber = ComNumber(port.newName);
    if (kind == WalkKind::kReset && port.oldName == port.port->portName) continue;
    if (inDatabase(port.oldNumber) && now[port.oldNumber - 1] && !held[port.oldNumber - 1]) {
      port.releaseOld = true;
      now[port.oldNumber - 1] = 0;
    }
    // A number beyond the database is asked all the same: it answers why not.
    if (port.newNumber >= 1 && !(inDatabase(port.newNumber) && now[port.newNumber - 1])) {
      port.claimNew = true;
      if (inDatabase(port.newNumber)) now[port.newNumber - 1] = 1;
    }
  }
  for (std::size_t i = 0; i < claimed.size(); ++i) {
    if (claimed[i] != now[i]) {
      plan->journal.claims.push_back({static_cast<long>(i + 1), claimed[i] != 0, now[i] != 0});
    }
  }
}

}  // namespace

const char* WalkName(WalkKind kind) {
  switch (kind) {
    case WalkKind::kSave:
      return "Save";
    case WalkKind::kReset:
      return "Reset";
    case WalkKind::kApply:
      return "/apply";
  }
  return "";
}

void ReadWalkPlan(Platform& platform, const ErrorReporter& reporter, PortRecord* boards,
                  const std::vector<PortChange>& changes, WalkKind kind, WalkPlan* plan) {
  PlanPlaces places;
  for (const PortChange& change : changes) {
    places.emplace(change.port, plan->ports.size());
    PortPlan port;
    port.port = change.port;
    port.oldName = change.port->committedName;
    port.newName = change.newName;
    port.keyPath = PortDeviceKeyPath(*change.port);
    plan->journal.ports.push_back(
        {FormatAddress(AddressOf(*change.port)), port.oldName, port.newName});
    plan->ports.push_back(std::move(port));
  }
  if (!ReadPortNames(platform.registry, boards, places, plan)) {
    plan->namesChanged = true;
    plan->ports.clear();
    plan->journal = Journal();
    return;
  }
  plan->journal.walk = WalkName(kind);
  if (const ErrorCode code =
          plan->serialMap.Open(kLocalMachine, kSerialMapPath, access::kKeyAllAccess);
      code != error::kSuccess) {
    // Every commit ends here: no other place of any port changes.
    reporter.Report(kSerialMapOpenFailedCaption, code);
    return;
  }
  PlanSerialMap(ReadSerialMap(plan->serialMap), boards, plan);
  if (const ErrorCode code =
          plan->settings.Open(kLocalMachine, kPortSettingsPath, access::kKeyAllAccess);
      code != error::kSuccess) {
    reporter.Report(kPortSettingsOpenFailedCaption, code);
  }
  PlanSettings(boards, places, plan);
  PlanDeviceKeys(platform, reporter, plan);
  PlanClaims(platform, reporter, boards, places, kind, plan);
}

}  // namespace velnara

#include "rename/com_name_holders.h"

#include <algorithm>

#include "discovery/port_enumeration.h"
#include "discovery/port_names.h"
#include "rename/name_form.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

// Key names are at most 255 characters; names and texts beyond the sizes
// below are no COM name and describe nothing the user needs.
constexpr std::uint32_t kKeyNameCapacity = 256;
constexpr std::size_t kPortNameCapacity = 64;
constexpr std::size_t kDescriptionCapacity = 256;
// What the lookup needs of a key, and no more: its subkeys and its values.
constexpr AccessMask kLookUp = access::kKeyEnumerateSubKeys | access::kKeyQueryValue;

// A name as it sorts and groups, as text: COM names by their number, in
// as many digits as a number may have, then any other name in upper case.
std::string KeyOf(const std::string& name) {
  const long number = CheckNameForm(name) == NameForm::kFine ? ComNumber(name) : 0;
  return number != 0 ? "0" + ZeroPadded(static_cast<unsigned long>(number), 10)
                     : "1" + FoldCase(name);
}

// The subkeys of `key`, one at a time; false at the end or on a failure,
// which *failed then says.
class Subkeys {
 public:
  explicit Subkeys(const RegKey& key) : key_(key) {}
  bool Next(std::string* name, bool* failed) {
    char buffer[kKeyNameCapacity];
    std::uint32_t chars = kKeyNameCapacity;
    const ErrorCode code = key_.EnumKey(index_++, buffer, &chars);
    if (code == error::kSuccess) {
      name->assign(buffer, chars);
      return true;
    }
    if (code != error::kNoMoreItems) *failed = true;
    return false;
  }

 private:
  const RegKey& key_;
  std::uint32_t index_ = 0;
};

// Opens `name` below `parent`; a key that is gone is skipped, any other
// failure noted.
bool OpenOrNote(RegKey* key, const RegKey& parent, const std::string& name, bool* failed) {
  const ErrorCode code = key->Open(parent, name.c_str(), kLookUp);
  if (code != error::kSuccess && code != error::kFileNotFound) *failed = true;
  return code == error::kSuccess;
}

}  // namespace

std::string ComNameHolder::Describe() const {
  if (unknown) return "a device whose keys could not be read, connected";
  std::string text = description;
  if (!instancePath.empty()) text += (text.empty() ? "" : ", ") + instancePath;
  return text + (connected ? ", connected" : ", not connected");
}

bool NameHolding::Connected() const {
  return std::any_of(holders.begin(), holders.end(),
                     [](const ComNameHolder& holder) { return holder.connected; });
}

std::string NameHolding::Describe(const char* separator) const {
  if (holders.empty()) return kNoListedHolderText;
  std::string text;
  for (const ComNameHolder& holder : holders) {
    if (!text.empty()) text += separator;
    text += holder.Describe();
  }
  return text;
}

ComNameHolders::ComNameHolders(Platform& platform, const std::vector<const PortRecord*>& ports)
    : platform_(platform), ports_(ports) {
  ReadSerialMap(platform.registry, ports);
  ReadDatabase(platform.comPorts, ports);
}

void ComNameHolders::ReadEnumOnce() const {
  if (enumRead_) return;
  enumRead_ = true;
  std::map<std::string, std::size_t> treeKeys;  // folded, below Enum -> the port
  for (std::size_t i = 0; i < ports_.size(); ++i) {
    treeKeys.emplace(
        FoldCase(PortDeviceKeyPath(*ports_[i]).substr(std::string(kEnumRoot).size() + 1)), i);
  }
  ReadEnum(platform_.registry, treeKeys);
  ReadDescriptions(platform_.registry);
}

void ComNameHolders::ReadEnum(Registry& registry,
                              const std::map<std::string, std::size_t>& treeKeys) const {
  RegKey root(registry);
  const ErrorCode opened = root.Open(kLocalMachine, kEnumRoot, kLookUp);
  if (opened != error::kSuccess) {
    enumIncomplete_ = true;
    return;
  }
  bool& failed = enumIncomplete_;
  Subkeys enumerators(root);
  for (std::string enumeratorName; enumerators.Next(&enumeratorName, &failed);) {
    RegKey enumerator(registry);
    if (!OpenOrNote(&enumerator, root, enumeratorName, &failed)) continue;
    // The tree's ports live under the card drivers' enumerators alone.
    const bool cards = StartsWithName(enumeratorName, "TRVX880");
    Subkeys devices(enumerator);
    for (std::string deviceName; devices.Next(&deviceName, &failed);) {
      RegKey device(registry);
      if (!OpenOrNote(&device, enumerator, deviceName, &failed)) continue;
      Subkeys instances(device);
      for (std::string instanceName; instances.Next(&instanceName, &failed);) {
        RegKey parameters(registry);
        if (!OpenOrNote(&parameters, device, instanceName + "\\Device Parameters", &failed)) {
          continue;
        }
        std::string portName;
        const ErrorCode read =
            QueryStringValue(parameters, "PortName", kPortNameCapacity, &portName);
        // No PortName, or one too long to be any port's name: no holder.
        if (read != error::kSuccess) {
          if (read != error::kFileNotFound && read != error::kMoreData) failed = true;
          continue;
        }
        std::string path = enumeratorName + "\\" + deviceName + "\\" + instanceName;
        if (!cards || treeKeys.count(FoldCase(path)) == 0) {
          instances_.push_back({std::move(path), std::move(portName), std::string()});
        }
      }
    }
  }
}

void ComNameHolders::ReadSerialMap(Registry& registry,
                                   const std::vector<const PortRecord*>& ports) {
  RegKey map(registry);
  const ErrorCode opened = map.Open(kLocalMachine, kSerialMapPath, kLookUp);
  if (opened != error::kSuccess) {
    // A machine without serial ports has no map at all.
    serialIncomplete_ = opened != error::kFileNotFound;
    return;
  }
  for (std::uint32_t index = 0;; ++index) {
    char name[kKeyNameCapacity];
    std::uint32_t nameChars = kKeyNameCapacity;
    std::uint8_t data[kPortNameCapacity];
    std::uint32_t bytes = kPortNameCapacity;
    std::uint32_t type = 0;
    const ErrorCode code = map.EnumValue(index, name, &nameChars, &type, data, &bytes);
    if (code == error::kNoMoreItems) break;
    if (code == error::kMoreData) continue;  // no name a port could have
    if (code != error::kSuccess) {
      serialIncomplete_ = true;
      break;
    }
    const std::size_t length =
        std::find(data, data + bytes, std::uint8_t{0}) - static_cast<std::uint8_t*>(data);
    SerialValue value{std::string(name, nameChars),
                      std::string(reinterpret_cast<const char*>(data), length)};
    const bool ours = std::any_of(ports.begin(), ports.end(), [&](const PortRecord* port) {
      return (!port->serialValue.empty() && SameName(port->serialValue, value.name)) ||
             SameName(port->committedName, value.data);
    });
    if (!ours) serialOutside_.push_back(value);
  }
}

void ComNameHolders::ReadDatabase(ComPortDatabase& database,
                                  const std::vector<const PortRecord*>& ports) {
  ComDb opened(database);
  // A database that cannot be opened or asked claims nothing here.
  if (opened.Open() != error::kSuccess || opened.ClaimedNumbers(&claimed_) != error::kSuccess) {
    claimed_.clear();
    databaseUnread_ = true;
  }
  treeNumbers_.assign(claimed_.size(), 0);
  for (const PortRecord* port : ports) {
    const long number = ComNumber(port->committedName);
    if (number >= 1 && static_cast<std::size_t>(number) <= claimed_.size()) {
      treeNumbers_[number - 1] = 1;
    }
  }
}

bool ComNameHolders::Claimed(const std::string& name) const {
  if (CheckNameForm(name) != NameForm::kFine) return false;
  const long number = ComNumber(name);
  return number >= 1 && static_cast<std::size_t>(number) <= claimed_.size() &&
         claimed_[static_cast<std::size_t>(number) - 1] && !treeNumbers_[number - 1];
}

void ComNameHolders::ReadDescriptions(Registry& registry) const {
  // The names held: each instance that has one is described.
  // By key: how many of the database's claims and connected devices hold it.
  std::map<std::string, std::size_t> held;
  for (std::size_t i = 0; i < claimed_.size(); ++i) {
    if (claimed_[i] && !treeNumbers_[i]) ++held[KeyOf("COM" + std::to_string(i + 1))];
  }
  for (const SerialValue& value : serialOutside_) ++held[KeyOf(value.data)];
  for (Instance& instance : instances_) {
    // Without the database, any of them may be asked about.
    if (!databaseUnread_ && held.count(KeyOf(instance.portName)) == 0) continue;
    RegKey key(registry);
    const std::string path = std::string(kEnumRoot) + "\\" + instance.path;
    if (key.Open(kLocalMachine, path.c_str(), kLookUp) != error::kSuccess) continue;
    if (QueryStringValue(key, "FriendlyName", kDescriptionCapacity, &instance.description) !=
        error::kSuccess) {
      instance.description.clear();
      if (QueryStringValue(key, "DeviceDesc", kDescriptionCapacity, &instance.description) !=
          error::kSuccess) {
        instance.description.clear();
      }
    }
  }
}

NameHolding ComNameHolders::For(const std::string& name) const {
  NameHolding holding;
  holding.name = name;
  holding.claimed = Claimed(name);
  const bool connected =
      serialIncomplete_ ||
      std::any_of(serialOutside_.begin(), serialOutside_.end(),
                  [&](const SerialValue& value) { return SameName(value.data, name); });
  // Neither claimed nor used by a connected device: free, whoever else's
  // PortName it may be. Only a database that could not be asked needs the
  // devices of Enum to tell.
  if (!holding.claimed && !connected && !databaseUnread_) return holding;
  ReadEnumOnce();
  for (const Instance& instance : instances_) {
    if (!SameName(instance.portName, name)) continue;
    holding.holders.push_back({instance.description, instance.path, connected, false});
  }
  // A connected device that no device of Enum explains holds it by itself.
  if (holding.holders.empty()) {
    for (const SerialValue& value : serialOutside_) {
      if (SameName(value.data, name)) holding.holders.push_back({value.name, "", true, false});
    }
  }
  // A database that cannot be asked may claim the name of any device
  // Windows lists: it is taken only after asking, as a claimed one.
  if (databaseUnread_ && !holding.holders.empty()) holding.claimed = true;
  // What could not be read never makes a claimed name look free.
  if (holding.claimed && (enumIncomplete_ || serialIncomplete_)) {
    holding.holders.push_back({std::string(), std::string(), true, true});
  }
  return holding;
}

std::vector<NameHolding> ComNameHolders::Held() const {
  ReadEnumOnce();
  // Each name once, by its key; the first spelling met is the one shown.
  std::vector<std::string> names;
  std::map<std::string, std::size_t> byKey;
  const auto add = [&](const std::string& name) {
    if (byKey.emplace(KeyOf(name), names.size()).second) names.push_back(name);
  };
  for (std::size_t i = 0; i < claimed_.size(); ++i) {
    const std::string name = "COM" + std::to_string(i + 1);
    if (Claimed(name)) add(name);
  }
  for (const SerialValue& value : serialOutside_) add(value.data);
  std::vector<NameHolding> held;
  for (const auto& entry : byKey) {
    NameHolding holding = For(names[entry.second]);
    if (holding.Held()) held.push_back(std::move(holding));
  }
  return held;
}

std::string FormatHeldNames(const std::vector<NameHolding>& held) {
  if (held.empty()) return std::string();
  std::string text = "; Names held for other hardware\r\n";
  for (const NameHolding& holding : held) {
    std::string line = "; " + holding.name;
    line.append(holding.name.size() < 7 ? 7 - holding.name.size() : 1, ' ');
    line += holding.Describe("; ");
    // Well within what a map line may be, however many holders a name has.
    constexpr std::size_t kLongest = 500;
    if (line.size() > kLongest) line = line.substr(0, kLongest - 4) + " ...";
    // What the registry holds may hold anything; a map line must not.
    for (char& c : line) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    text += line + "\r\n";
  }
  return text;
}

}  // namespace velnara

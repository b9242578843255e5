#include "commit/port_commit.h"

#include <cstring>

#include "commit/key_access.h"
#include "discovery/port_enumeration.h"
#include "discovery/port_names.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

namespace {

// Whether serial device map data is exactly `name`. The data need not end
// with a terminator: without one, all of its bytes are the text; with one,
// the text ends there. So COM12 is never taken for COM1.
bool DataIsName(const std::uint8_t* data, std::uint32_t bytes, const std::string& name) {
  const void* end = std::memchr(data, '\0', bytes);
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - data)
                     : bytes;
  return length == name.size() && std::memcmp(data, name.data(), length) == 0;
}

std::string FriendlyName(const std::string& newName) {
  std::string text = kFriendlyNameFormat;
  return text.replace(text.find("%s"), 2, newName);
}

}  // namespace

void CommitWalk::CommitPort(PortRecord& record, const std::string& requestedName) {
  // The commit works on its own copies: the record changes below.
  const std::string newName = requestedName;
  const std::string oldName = record.committedName;

  if (!RewriteSerialMap(record, oldName, newName)) return;
  MoveSettings(record, newName);
  bool portNameWritten = false;
  if (!WritePortKeys(record, newName, &portNameWritten) || !portNameWritten) return;
  record.committedName = newName;

  // Reset leaves the database alone for a port the registry still knows by
  // its start-up name; a port saved under another name moves its claim back.
  if (resetMode_ && oldName == record.portName) return;
  MoveClaim(oldName, newName);
}

bool CommitWalk::RewriteSerialMap(PortRecord& record, const std::string& oldName,
                                  const std::string& newName) {
  RegKey map(platform_.registry);
  const ErrorCode opened = map.Open(kLocalMachine, kSerialMapPath, access::kKeyAllAccess);
  if (opened != error::kSuccess) {
    reporter_.Report(kSerialMapOpenFailedCaption, opened);
    return false;
  }
  // The search ends at the first call that does not succeed: the last
  // value, or one whose name or data does not fit.
  for (std::uint32_t index = 0;; ++index) {
    char name[kSerialValueNameCapacity];
    std::uint32_t nameChars = kSerialValueNameCapacity;
    std::uint32_t type = 0;
    std::uint8_t data[kValueDataCapacity];
    std::uint32_t bytes = kValueDataCapacity;
    if (map.EnumValue(index, name, &nameChars, &type, data, &bytes) != error::kSuccess) break;
    if (!DataIsName(data, bytes, oldName)) continue;
    if (OtherPortOwning(record, &PortRecord::serialValue, name) != nullptr) continue;
    const ErrorCode written =
        map.SetValue(name, type, reinterpret_cast<const std::uint8_t*>(newName.c_str()),
                     static_cast<std::uint32_t>(newName.size() + 1));
    if (written == error::kSuccess) {
      record.serialValue = name;
    } else {
      reporter_.Report(kSerialMapWriteFailedCaption, written);
    }
    break;
  }
  return true;
}

CommitWalk::Setting CommitWalk::ReadSetting(const RegKey& ports,
                                            const std::string& valueName) const {
  Setting setting;
  std::uint8_t data[kValueDataCapacity];
  std::uint32_t bytes = kValueDataCapacity;
  const ErrorCode code = ports.QueryValue(valueName.c_str(), &setting.type, data, &bytes);
  // Only a missing value is known to be missing; any other failure may
  // hide data, which must then not be overwritten.
  setting.exists = code != error::kFileNotFound;
  setting.whole = code == error::kSuccess;
  if (setting.whole) setting.data.assign(data, data + bytes);
  return setting;
}

CommitWalk::CommitWalk(Platform& platform, const ErrorReporter& reporter, bool resetMode,
                       PortRecord* boards)
    : platform_(platform), reporter_(reporter), resetMode_(resetMode) {
  for (PortRecord& port : Ports(boards)) ports_.push_back(&port);
}

PortRecord* CommitWalk::OtherPortOwning(const PortRecord& record, std::string PortRecord::*owned,
                                        const std::string& name) const {
  if (name.empty()) return nullptr;
  for (PortRecord* port : ports_) {
    if (port != &record && SameName(port->*owned, name)) return port;
  }
  return nullptr;
}

void CommitWalk::MoveSettings(PortRecord& record, const std::string& newName) {
  RegKey ports(platform_.registry);
  const ErrorCode opened = ports.Open(kLocalMachine, kPortSettingsPath, access::kKeyAllAccess);
  if (opened != error::kSuccess) {
    reporter_.Report(kPortSettingsOpenFailedCaption, opened);
    return;
  }
  // The port's own settings: under its committed name, unless an earlier
  // walk could not move them there (then two ports may hold that name, and
  // the value under it is the other one's).
  const std::string oldValue = record.settingsName + ":";
  const std::string newValue = newName + ":";
  // Another commit of this walk gave the name to its port and put that
  // port's settings under it: two ports are to have one name (a Reset to
  // start-up names that were the same). Those settings stay, and so do this
  // port's, where they are and under the name it knows them by.
  if (createdSettings_.count(FoldCase(newValue)) != 0) return;
  // A value this walk created holds another port's settings by now; what
  // this port had there is what that creation replaced.
  const auto createdOld = createdSettings_.find(FoldCase(oldValue));
  const bool oldIsOurs = createdOld != createdSettings_.end();
  const Setting moving = oldIsOurs ? createdOld->second.replaced : ReadSetting(ports, oldValue);
  // Nothing read whole (no value, or more than 32 bytes): nothing to carry,
  // so nothing is deleted and nothing created. A port without settings has
  // them under its new name from now on.
  if (!moving.whole) {
    if (!moving.exists) record.settingsName = newName;
    return;
  }

  // Another port's settings are kept for it (a swap); a value that is no
  // port's is replaced.
  PortRecord* const owner = OtherPortOwning(record, &PortRecord::settingsName, newName);
  Setting replaced;
  if (owner != nullptr) {
    replaced = ReadSetting(ports, newValue);
    // Data that could not be read whole cannot be kept for the port it
    // belongs to, so it is not overwritten; this port's settings stay.
    if (replaced.exists && !replaced.whole) return;
  }
  if (!oldIsOurs) ports.DeleteValue(oldValue.c_str());  // result not examined
  const ErrorCode created = ports.SetValue(newValue.c_str(), moving.type, moving.data.data(),
                                           static_cast<std::uint32_t>(moving.data.size()));
  if (created != error::kSuccess) {
    // The settings must not vanish with the old value: put it back. (Data
    // this walk displaced stays for Finish.)
    if (!oldIsOurs) {
      ports.SetValue(oldValue.c_str(), moving.type, moving.data.data(),
                     static_cast<std::uint32_t>(moving.data.size()));
    }
    return;
  }
  record.settingsName = newName;
  if (oldIsOurs) createdOld->second.carried = true;
  createdSettings_[FoldCase(newValue)] = Created{newValue, replaced, owner, oldValue, false};
}

void CommitWalk::Finish() {
  std::vector<const Created*> stranded;
  for (const auto& entry : createdSettings_) {
    if (entry.second.replaced.whole && !entry.second.carried) stranded.push_back(&entry.second);
  }
  if (stranded.empty()) return;
  RegKey ports(platform_.registry);
  if (ports.Open(kLocalMachine, kPortSettingsPath, access::kKeyAllAccess) != error::kSuccess) {
    return;
  }
  for (const Created* created : stranded) {
    const Setting& data = created->replaced;
    for (const std::string& name : {created->name, created->freedName}) {
      if (ReadSetting(ports, name).exists) continue;
      if (ports.SetValue(name.c_str(), data.type, data.data.data(),
                         static_cast<std::uint32_t>(data.data.size())) == error::kSuccess) {
        created->owner->settingsName = name.substr(0, name.size() - 1);  // without the colon
      }
      break;
    }
  }
}

bool CommitWalk::WritePortKeys(const PortRecord& record, const std::string& newName,
                               bool* portNameWritten) {
  const std::string enumeratorPath = EnumeratorKeyPath(record.enumeratorLetter);
  RegKey enumerator(platform_.registry);
  const ErrorCode opened = enumerator.Open(kLocalMachine, enumeratorPath.c_str(), access::kKeyRead);
  if (opened != error::kSuccess) {
    reporter_.Report(kPortKeyOpenFailedCaption, opened);
    return false;
  }
  const std::string keyPath =
      enumeratorPath + "\\" + PortDeviceKeyName(record.parentIdPrefix, record.locationCode);

  // The port device key is writable by SYSTEM alone until the grant.
  KeyAccessWindow window(platform_.security, reporter_, keyPath);
  window.Open();
  {
    RegKey device(platform_.registry);
    // KEY_SET_VALUE alone: the right the window gives, and all the write needs.
    const ErrorCode code = device.Open(kLocalMachine, keyPath.c_str(), access::kKeySetValue);
    if (code != error::kSuccess) {
      reporter_.Report(kPortKeyOpenFailedCaption, code);
    } else if (const ErrorCode written = device.SetString("FriendlyName", FriendlyName(newName));
               written != error::kSuccess) {
      reporter_.Report(kFriendlyNameWriteFailedCaption, written);
    }
  }
  {
    RegKey parameters(platform_.registry);
    const std::string parametersPath = keyPath + "\\Device Parameters";
    const ErrorCode code =
        parameters.Open(kLocalMachine, parametersPath.c_str(), access::kKeyWrite);
    if (code != error::kSuccess) {
      reporter_.Report(kPortKeyOpenFailedCaption, code);
    } else if (const ErrorCode written = parameters.SetString("PortName", newName);
               written != error::kSuccess) {
      reporter_.Report(kPortNameWriteFailedCaption, written);
    } else {
      *portNameWritten = true;
    }
  }
  window.Close();
  return true;  // the enumerator key closes here
}

void CommitWalk::MoveClaim(const std::string& oldName, const std::string& newName) {
  ComDb database(platform_.comPorts);
  if (database.Open() != error::kSuccess) return;  // no message: the names are written
  const long oldNumber = ComNumber(oldName);
  const long newNumber = ComNumber(newName);
  // A number that an earlier commit of this walk claimed is that port's
  // now, even while this port still held it.
  if (claimedNumbers_.count(oldNumber) == 0) {
    database.ReleasePort(static_cast<std::uint32_t>(oldNumber));  // result not examined
  }
  bool forced = false;
  database.ClaimPort(static_cast<std::uint32_t>(newNumber), false, &forced);  // not examined
  claimedNumbers_.insert(newNumber);
}

}  // namespace velnara

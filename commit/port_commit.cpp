#include "commit/port_commit.h"

#include "commit/key_access.h"
#include "commit/port_places.h"
#include "discovery/port_enumeration.h"
#include "text/text.h"

namespace velnara {

using namespace platform;

CommitWalk::CommitWalk(Platform& platform, const ErrorReporter& reporter, WalkPlan& plan)
    : platform_(platform), reporter_(reporter), plan_(plan) {}

void CommitWalk::CommitPort(PortPlan& port) {
  // The serial device map could not be opened: nothing else changes.
  if (!plan_.serialMap.IsOpen()) return;
  PortRecord& record = *port.port;
  if (port.serialFound) {
    // The new name with its terminator, in the type the value has.
    const ValueState value{true, port.serialType, StringState(port.newName).data};
    const ErrorCode written = WriteValueState(plan_.serialMap, port.serialValue, value);
    wrote_ = wrote_ || written == error::kSuccess;
    if (written == error::kSuccess) {
      record.serialValue = port.serialValue;
    } else {
      reporter_.Report(kSerialMapWriteFailedCaption, written);
    }
  }
  MoveSettings(port);
  bool portNameWritten = false;
  if (!WritePortKeys(port, &portNameWritten) || !portNameWritten) return;
  record.committedName = port.newName;
  MoveClaim(port);
}

void CommitWalk::MoveSettings(PortPlan& port) {
  if (!plan_.settings.IsOpen()) return;
  PortRecord& record = *port.port;
  switch (port.settings) {
    case PortPlan::Settings::kNone:
      // A port without settings has them under its new name from now on.
      record.settingsName = port.newName;
      return;
    case PortPlan::Settings::kStay:
      return;
    case PortPlan::Settings::kMove:
      break;
  }
  // Made first, then the old one deleted: the settings are always somewhere.
  if (WriteValueState(plan_.settings, port.settingsTo, port.settingsData) != error::kSuccess) {
    strandedSettings_.push_back(&port);
    return;
  }
  wrote_ = true;
  record.settingsName = port.newName;
  if (port.deleteFrom) plan_.settings.DeleteValue(port.settingsFrom.c_str());  // not examined
}

bool CommitWalk::WritePortKeys(PortPlan& port, bool* portNameWritten) {
  const PortRecord& record = *port.port;
  const std::string enumeratorPath = EnumeratorKeyPath(record.enumeratorLetter);
  RegKey enumerator(platform_.registry);
  const ErrorCode opened = enumerator.Open(kLocalMachine, enumeratorPath.c_str(), access::kKeyRead);
  if (opened != error::kSuccess) {
    reporter_.Report(kPortKeyOpenFailedCaption, opened);
    return false;
  }
  // The port device key is writable by SYSTEM alone until the grant.
  KeyAccessWindow window(platform_.security, reporter_, port.keyPath, *port.list);
  window.Open();
  {
    RegKey device(platform_.registry);
    // KEY_SET_VALUE alone: the right the window gives, and all the write
    // needs. Below the enumerator key, which the commit holds open.
    const std::string name = PortDeviceKeyName(record.parentIdPrefix, record.locationCode);
    const ErrorCode code = device.Open(enumerator, name.c_str(), access::kKeySetValue);
    if (code != error::kSuccess) {
      reporter_.Report(kPortKeyOpenFailedCaption, code);
    } else if (port.friendlyRead != error::kSuccess) {
      // What it holds could not be read, so it could not be put back:
      // it is not written.
      reporter_.Report(kFriendlyNameWriteFailedCaption, port.friendlyRead);
    } else if (const ErrorCode written =
                   device.SetString("FriendlyName", FriendlyName(port.newName));
               written != error::kSuccess) {
      reporter_.Report(kFriendlyNameWriteFailedCaption, written);
    } else {
      wrote_ = true;
    }
  }
  {
    RegKey parameters(platform_.registry);
    const std::string parametersPath =
        PortDeviceKeyName(record.parentIdPrefix, record.locationCode) + "\\Device Parameters";
    const ErrorCode code = parameters.Open(enumerator, parametersPath.c_str(), access::kKeyWrite);
    if (code != error::kSuccess) {
      reporter_.Report(kPortKeyOpenFailedCaption, code);
    } else if (const ErrorCode written = parameters.SetString("PortName", port.newName);
               written != error::kSuccess) {
      reporter_.Report(kPortNameWriteFailedCaption, written);
    } else {
      *portNameWritten = true;
      wrote_ = true;
    }
  }
  window.Close();
  return true;  // the enumerator key closes here
}

void CommitWalk::MoveClaim(const PortPlan& port) {
  if (!port.releaseOld && !port.claimNew) return;
  ComDb database(platform_.comPorts);
  if (const ErrorCode code = database.Open(); code != error::kSuccess) {
    reporter_.ReportQuietly(kDatabaseOpenFailedCaption, code);  // the names are written
    return;
  }
  if (port.releaseOld) {
    const ErrorCode code = database.ReleasePort(static_cast<std::uint32_t>(port.oldNumber));
    if (code != error::kSuccess) reporter_.ReportQuietly(kReleaseFailedCaption, code);
  }
  if (port.claimNew) {
    bool forced = false;
    const ErrorCode code =
        database.ClaimPort(static_cast<std::uint32_t>(port.newNumber), false, &forced);
    if (code != error::kSuccess) reporter_.ReportQuietly(kClaimFailedCaption, code);
  }
}

bool CommitWalk::FreeForSettings(const std::string& name) const {
  ValueState now;
  if (ReadWholeValue(plan_.settings, name, &now) != error::kSuccess) return false;
  if (!now.exists) return true;
  for (const PortPlan& other : plan_.ports) {
    const bool elsewhere = !SameName(other.port->settingsName + ":", name);
    if (other.settings == PortPlan::Settings::kMove && other.settingsData == now && elsewhere) {
      return true;
    }
  }
  return false;
}

bool CommitWalk::Finish() {
  bool kept = true;
  for (PortPlan* port : strandedSettings_) {
    ValueState now;
    // Still where they were: nothing took that value.
    if (ReadWholeValue(plan_.settings, port->settingsFrom, &now) == error::kSuccess &&
        now == port->settingsData) {
      continue;
    }
    bool written = false;
    for (const std::string& name : {port->settingsFrom, port->settingsTo}) {
      if (written || !FreeForSettings(name)) continue;
      if (WriteValueState(plan_.settings, name, port->settingsData) == error::kSuccess) {
        port->port->settingsName = name.substr(0, name.size() - 1);  // without the colon
        written = true;
      }
    }
    kept = kept && written;
  }
  return kept;
}

}  // namespace velnara

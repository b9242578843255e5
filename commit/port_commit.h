// Carries one port's new COM name into every place the system keeps it: the
// serial device map, the port settings, the port device key's FriendlyName
// and its Device Parameters' PortName; then moves the port's claim in the
// COM port database from the old number to the new one. Each failure is
// reported at once and the commit goes on or ends as its step says; nothing
// already written is undone.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "discovery/port_enumeration.h"
#include "discovery/port_record.h"
#include "messages/message_boxes.h"
#include "platform/platform.h"

namespace velnara {

constexpr const char* kFriendlyNameFormat = "Tarvex 880 Port (%s)";

constexpr const char* kSerialMapOpenFailedCaption =
    "Failed opening 'HKLM\\Hardware\\DeviceMap\\SerialComm' Key";
constexpr const char* kSerialMapWriteFailedCaption =
    "Failed writing '\\Hardware\\DeviceMap\\SerialComm' Key";
constexpr const char* kPortSettingsOpenFailedCaption =
    "Failed opening 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports' Key";
constexpr const char* kPortKeyOpenFailedCaption =
    "Failed opening 'SYSTEM\\CurrentControlSet\\Enum\\TRVX880?\\*PNP0501\\' Key";
constexpr const char* kFriendlyNameWriteFailedCaption = "Failed writing 'FriendlyName' Key";
constexpr const char* kPortNameWriteFailedCaption = "Failed writing 'PortName' Key";

// The capacities of the serial device map's reads: value names of 63
// characters and their terminator, value data of 32 bytes. Port settings
// values are read into 32 bytes as well.
constexpr std::uint32_t kSerialValueNameCapacity = 64;
constexpr std::uint32_t kValueDataCapacity = 32;

// One Save or Reset walk's commits. A walk may move names among its own
// ports (a swap, a shift, a rotation), so the commits of one walk remember
// what earlier ones did:
// - a serial device map value rewritten for one port, in this walk or an
//   earlier one, is not taken for another (each record's serialValue names
//   its own);
// - a port settings value that this walk created is not deleted by a later
//   commit, and the value it replaced, when it held another port's
//   settings, is what that port's commit carries to its new name; where
//   that commit could not carry it (it failed before), Finish() puts it
//   back under a free name, so that no settings are lost. A value that
//   holds no port's settings (Windows keeps COM3: and COM4: out of the box,
//   and the values of removed hardware) is simply replaced. Each record's
//   settingsName follows its settings from walk to walk;
// - a number claimed in this walk is not released by a later commit.
// Each port's own writes keep their order.
class CommitWalk {
 public:
  // `resetMode` is the main dialog's reset-mode flag for the whole walk:
  // while it is set, a port whose committed name is its start-up name
  // leaves the COM port database alone. `boards` is the board list: the
  // ports of the tree, whose settings a walk keeps for them.
  CommitWalk(platform::Platform& platform, const ErrorReporter& reporter, bool resetMode,
             PortRecord* boards);

  // Commits `newName` for the port of `record`, from the name the registry
  // holds for it now (record.committedName), which becomes `newName` once
  // PortName is written.
  void CommitPort(PortRecord& record, const std::string& newName);

  // Ends the walk: settings that a commit displaced and no later commit
  // carried on (because that commit failed before its settings step) are
  // written back, under the name they had if it is free, else under the
  // name the displacing commit freed, which their port's settingsName then
  // says. Nothing is reported: the failure that stranded them was.
  void Finish();

 private:
  // A port settings value as read into the 32-byte buffer: `whole` when it
  // exists and its data fit; `exists` unless the value is known to be
  // missing.
  struct Setting {
    bool exists = false;
    bool whole = false;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };

  // Each returns false when the commit ends there.
  bool RewriteSerialMap(PortRecord& record, const std::string& oldName, const std::string& newName);
  void MoveSettings(PortRecord& record, const std::string& newName);
  // The port of the tree other than `record` whose `owned` value name
  // (settingsName or serialValue) is `name`; null when none is: a value left
  // by removed hardware, or one Windows keeps for a name no port uses.
  PortRecord* OtherPortOwning(const PortRecord& record, std::string PortRecord::*owned,
                              const std::string& name) const;
  // Steps on the port device key; *portNameWritten when PortName was.
  bool WritePortKeys(const PortRecord& record, const std::string& newName, bool* portNameWritten);
  void MoveClaim(const std::string& oldName, const std::string& newName);

  Setting ReadSetting(const platform::RegKey& ports, const std::string& valueName) const;

  platform::Platform& platform_;
  const ErrorReporter& reporter_;
  bool resetMode_;
  std::vector<PortRecord*> ports_;  // every port of the tree
  // A settings value this walk created, and what it replaced there.
  struct Created {
    std::string name;       // as created, "COM4:"
    Setting replaced;       // another port's data that was there before
    PortRecord* owner;      // that port
    std::string freedName;  // the value the creating commit deleted, "COM3:"
    bool carried = false;   // a later commit took `replaced` to its new name
  };

  std::map<std::string, Created> createdSettings_;  // upper-cased name -> what it replaced
  std::set<long> claimedNumbers_;
};

}  // namespace velnara

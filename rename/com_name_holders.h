// Who holds a COM name outside the port tree: the devices Windows lists
// under its Enum key whose PortName is the name, whether one of them is
// connected (the serial device map lists it), and whether the COM port
// database claims the name's number. The rename command and the map check
// ask it why a name is taken, and the user learns whose it is.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "platform/platform.h"

namespace velnara {

constexpr const char* kNoListedHolderText = "claimed for no device Windows lists";

// One device that holds a name.
struct ComNameHolder {
  // Its FriendlyName, else its DeviceDesc (may be empty); for a serial
  // device map value that no device of Enum explains, the value's name.
  std::string description;
  // Its instance key below SYSTEM\CurrentControlSet\Enum ("ACPI\PNP0501\1");
  // empty for a serial device map value.
  std::string instancePath;
  bool connected = false;
  // A registry read failed on the way: whoever holds the name is not known,
  // and counts as connected.
  bool unknown = false;

  // "USB Serial Port (COM9), FTDIBUS\VID_0403+PID_6001+A1B2C3D4A\0000, not
  // connected"; "\Device\Serial1, connected".
  std::string Describe() const;
};

// What holds one name outside the tree.
struct NameHolding {
  std::string name;
  // The COM port database claims its number, and no port of the tree has
  // that number: hardware outside the tree holds it, or did.
  bool claimed = false;
  std::vector<ComNameHolder> holders;

  bool Connected() const;
  // Taken for other hardware: claimed, or a connected device uses it.
  bool Held() const { return claimed || Connected(); }
  // The holders, each described, joined by `separator`; for a claim
  // without any holder, kNoListedHolderText.
  std::string Describe(const char* separator) const;
};

class ComNameHolders {
 public:
  // Reads the serial device map and the COM port database; the Enum tree
  // (enumerator, device, instance), where thousands of devices may live,
  // only once a name is claimed or used by a connected device, to say who
  // holds it, and then once. `ports` are the ports of the tree (they must
  // outlive this): their device keys, their serial device map values and
  // the numbers their committed names have are theirs, not another
  // device's.
  ComNameHolders(platform::Platform& platform, const std::vector<const PortRecord*>& ports);

  // Who holds `name` (the names compared without regard to case).
  NameHolding For(const std::string& name) const;

  // Every name the database claims for hardware outside the tree or that a
  // connected device outside the tree uses, COM names in number order, then
  // any other name.
  std::vector<NameHolding> Held() const;

 private:
  struct Instance {
    std::string path;      // below Enum
    std::string portName;  // its Device Parameters' PortName
    std::string description;
  };
  struct SerialValue {
    std::string name;  // "\Device\Serial1"
    std::string data;  // "COM1"
  };
  void ReadEnumOnce() const;
  void ReadEnum(platform::Registry& registry,
                const std::map<std::string, std::size_t>& treeKeys) const;
  void ReadSerialMap(platform::Registry& registry, const std::vector<const PortRecord*>& ports);
  void ReadDatabase(platform::ComPortDatabase& database,
                    const std::vector<const PortRecord*>& ports);
  void ReadDescriptions(platform::Registry& registry) const;
  bool Claimed(const std::string& name) const;

  platform::Platform& platform_;
  std::vector<const PortRecord*> ports_;
  mutable bool enumRead_ = false;
  mutable std::vector<Instance> instances_;  // outside the tree, with a PortName
  std::vector<SerialValue> serialOutside_;   // values that are none of the tree's ports
  std::vector<std::uint8_t> claimed_;        // (*)[n - 1] for COMn; empty when unknown
  std::vector<std::uint8_t> treeNumbers_;    // as claimed_: the tree's committed names
  mutable bool enumIncomplete_ = false;      // a read of Enum failed
  bool serialIncomplete_ = false;            // the serial device map could not be read
  bool databaseUnread_ = false;              // the COM port database could not be asked
};

// The comment block "/list" writes after the cards: its title, then a
// line for each name, "; COM9   USB Serial Port (COM9), FTDIBUS\...\0000,
// not connected"; lines end with CR LF. Empty when no name is held.
std::string FormatHeldNames(const std::vector<NameHolding>& held);

}  // namespace velnara

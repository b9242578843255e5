#include "discovery/port_address.h"

namespace velnara {

bool operator==(const PortAddress& a, const PortAddress& b) {
  return a.bus == b.bus && a.device == b.device && a.function == b.function && a.number == b.number;
}

PortAddress AddressOf(const PortRecord& port) {
  PortAddress address;
  address.bus = port.locationCode >> 24;
  address.device = (port.locationCode >> 16) & 0xFF;
  address.function = (port.locationCode >> 8) & 0xFF;
  address.number = (port.locationCode & 0xFF) + 1;
  return address;
}

std::string FormatCardAddress(const PortRecord& board) {
  const PortAddress address = AddressOf(board);
  return "PCI " + std::to_string(address.bus) + "." + std::to_string(address.device) + "." +
         std::to_string(address.function);
}

std::string FormatAddress(const PortAddress& address) {
  return "PCI " + std::to_string(address.bus) + "." + std::to_string(address.device) + "." +
         std::to_string(address.function) + " port " + std::to_string(address.number);
}

}  // namespace velnara

// Where a port sits, as an administrator names it: what identical PCs
// share, its card's PCI bus, device and function and its number on the card.
#pragma once

#include <string>

#include "discovery/port_record.h"

namespace velnara {

struct PortAddress {
  unsigned bus = 0;
  unsigned device = 0;
  unsigned function = 0;
  unsigned number = 0;  // on its card, from 1: its port device key's index + 1
};
bool operator==(const PortAddress& a, const PortAddress& b);

PortAddress AddressOf(const PortRecord& port);
// "PCI 2.12.0 port 1".
std::string FormatAddress(const PortAddress& address);
// "PCI 2.12.0": a card's place.
std::string FormatCardAddress(const PortRecord& board);

}  // namespace velnara

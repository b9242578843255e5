// Finds the cards under the PCI enumeration key, names each by model, reads
// where it sits on the bus and the prefix of its ports' key names, and fills
// the port tree and the board list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/port_record.h"
#include "messages/message_boxes.h"
#include "platform/dialog.h"
#include "platform/registry.h"

namespace velnara {

constexpr const char* kPciEnumPath = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
constexpr const char* kRootItemText = "PCI Bus";
constexpr const char* kPciKeyFailedCaption = "Failed opening PCI Registry Key";

// The board's location code from a LocationInformation text of the form
// "PCI bus %d, device %d, function %d". False when the text does not give all
// three numbers or one is outside what PCI allows (bus 0-255, device 0-31,
// function 0-7): such a code would match no port device key.
bool ParseLocation(const char* text, std::uint32_t* locationCode);

// True for the identifier keys of the card family ("VEN_1F5A&DEV_801*" and
// "VEN_1F5A&DEV_802*", case-sensitive).
bool PassesNameFilter(const char* name);

struct DiscoveryResult {
  platform::TreeItem rootItem = nullptr;
  PortRecord* boards = nullptr;
};

// Finds the cards and their ports and returns the board list. With a tree,
// it inserts the root item "PCI Bus" and below it a board item per card,
// with the card's port items, and returns the root item too; without one
// (the unattended run) the records alone are made, their tree items null.
// When the PCI enumeration key cannot be opened, the error reporter says so
// and the list is empty. At most four keys are open at a time.
DiscoveryResult DiscoverBoards(platform::Registry& registry, const platform::TreeView* tree,
                               const ErrorReporter& reporter);

// The port items of a tree that DiscoverBoards filled: below the first
// root item, board by board, in tree order. A board item without children
// is passed over.
std::vector<platform::TreeItem> PortItems(const platform::TreeView& tree);

}  // namespace velnara

#include "discovery/port_enumeration.h"

#include <cstring>
#include <new>

namespace velnara {

using namespace platform;

namespace {

// PortName is read into a buffer of 8 bytes: 7 characters and a terminator.
constexpr std::size_t kPortNameCapacity = 8;

}  // namespace

std::string EnumeratorKeyPath(char enumeratorLetter) {
  std::string path = "SYSTEM\\CurrentControlSet\\Enum\\TRVX880?\\*PNP0501";
  path[path.find('?')] = enumeratorLetter;
  return path;
}

std::string PortDeviceKeyName(const char* parentIdPrefix, std::uint32_t locationCode) {
  // The location code as "%08lx" writes it: eight lower-case digits.
  std::string code(8, '0');
  for (int digit = 7; digit >= 0; --digit, locationCode >>= 4) {
    code[static_cast<std::size_t>(digit)] = "0123456789abcdef"[locationCode & 0xF];
  }
  return std::string(parentIdPrefix) + "&" + code;
}

std::string PortDeviceKeyPath(const PortRecord& port) {
  return EnumeratorKeyPath(port.enumeratorLetter) + "\\" +
         PortDeviceKeyName(port.parentIdPrefix, port.locationCode);
}

void EnumeratePorts(Registry& registry, const TreeView* tree, PortRecord* board,
                    char enumeratorLetter) {
  RegKey enumerator(registry);
  if (enumerator.Open(kLocalMachine, EnumeratorKeyPath(enumeratorLetter).c_str(),
                      access::kKeyRead) != error::kSuccess) {
    return;
  }
  for (std::uint32_t index = 0; index <= kMaxPortIndex; ++index) {
    const std::uint32_t locationCode = board->locationCode | index;
    // Built as a string, so that a long parent id prefix still finds its ports.
    const std::string relative =
        PortDeviceKeyName(board->parentIdPrefix, locationCode) + "\\Device Parameters";
    RegKey parameters(registry);
    if (parameters.Open(enumerator, relative.c_str(), access::kKeyRead) != error::kSuccess) {
      break;  // the first missing port ends the card's ports
    }
    std::string portName;
    if (QueryStringValue(parameters, "PortName", kPortNameCapacity, &portName) != error::kSuccess) {
      continue;
    }
    auto* port = new (std::nothrow) PortRecord;
    if (port == nullptr) continue;
    port->locationCode = locationCode;
    port->parent = board;
    port->children = nullptr;
    std::memcpy(port->portName, portName.c_str(), portName.size() + 1);
    port->committedName = portName;
    port->settingsName = portName;
    std::memcpy(port->parentIdPrefix, board->parentIdPrefix, sizeof port->parentIdPrefix);
    port->enumeratorLetter = board->enumeratorLetter;
    if (tree != nullptr) {
      port->treeItem = tree->InsertItem(board->treeItem, nullptr, portName.c_str());
      tree->SetItemData(port->treeItem, reinterpret_cast<std::intptr_t>(port));
      tree->Expand(board->treeItem);
    }
    ListAppend(&board->children, port);
  }
}

}  // namespace velnara

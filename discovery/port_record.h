// The one record type behind the port tree's board and port items.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_system.h"

namespace velnara {

struct PortRecord {
  // The next board of the board list, or the next port of the same board.
  PortRecord* next = nullptr;
  // A port's board; null for a board.
  PortRecord* parent = nullptr;
  // A board's port list; null for a port, and for a board without ports.
  PortRecord* children = nullptr;
  // The board item or the port item that shows this record.
  platform::TreeItem treeItem = nullptr;
  // PCI bus in bits 31-24, device in 23-16, function in 15-8; a port's
  // index on its card in bits 7-0 (0 for a board).
  std::uint32_t locationCode = 0;
  // The port's PortName as read at start-up (at most 7 characters; the
  // field leaves room for one more character and the terminator). Empty for
  // a board. Never changed: the pending name lives in the item's text, and
  // Reset puts this one back.
  char portName[10] = {};
  // The name the registry holds for the port now: the start-up name until a
  // commit writes PortName, then the name written. A commit starts from it,
  // so a port saved twice, or renamed back after a Save, is found again
  // under the name it has. Empty for a board.
  std::string committedName;
  // The name whose port settings value ("COM5:") holds the port's settings:
  // the committed name, unless a commit could not move them, or a walk put
  // settings another commit displaced back under a name of their own. Empty
  // for a board.
  std::string settingsName;
  // The serial device map value ("\Device\TrvxSerial2") whose data a commit
  // last set to this port's name; empty until one did. A later walk leaves
  // it to this port, even where a failed commit left another port's data
  // the same.
  std::string serialValue;
  // The card's ParentIdPrefix, at most 127 characters.
  char parentIdPrefix[128] = {};
  // The driver's enumerator letter: 'A', 'S' or 'U'.
  char enumeratorLetter = '\0';
  // A board's model name, the board item's text; null for a port.
  const char* modelName = nullptr;
};

// Appends `record` at the end of the list whose head is *head.
void ListAppend(PortRecord** head, PortRecord* record);

// Releases every record of the list starting at `first`, each record's
// child list before the record itself. The caller's head is not changed.
// `release` frees one record; tests pass their own to watch the order.
using ReleaseRecord = void (*)(PortRecord* record);
void DeleteRecord(PortRecord* record);
void ListFree(PortRecord* first, ReleaseRecord release = DeleteRecord);

}  // namespace velnara

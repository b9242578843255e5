// The one record type behind the port tree's board and port items.
#pragma once

#include <cstddef>
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

// Every port of a board list, board by board in the list's order and each
// board's ports in theirs: for (PortRecord& port : Ports(boards)).
template <typename Record>
class PortRange {
 public:
  class Iterator {
   public:
    Iterator(Record* board, Record* port) : board_(board), port_(port) { Settle(); }
    Record& operator*() const { return *port_; }
    Record* operator->() const { return port_; }
    Iterator& operator++() {
      port_ = port_->next;
      Settle();
      return *this;
    }
    bool operator!=(const Iterator& other) const { return port_ != other.port_; }

   private:
    // On a port, or at the end: boards without ports are passed over.
    // Without a board, the range is one board's port list.
    void Settle() {
      while (port_ == nullptr && board_ != nullptr) {
        board_ = board_->next;
        if (board_ != nullptr) port_ = board_->children;
      }
    }
    Record* board_;
    Record* port_;
  };

  PortRange(Record* boards, bool oneBoard) : boards_(boards), oneBoard_(oneBoard) {}
  Iterator begin() const {
    return Iterator(oneBoard_ ? nullptr : boards_,
                    boards_ != nullptr ? boards_->children : nullptr);
  }
  Iterator end() const { return Iterator(nullptr, nullptr); }

 private:
  Record* boards_;
  bool oneBoard_;
};

inline PortRange<PortRecord> Ports(PortRecord* boards) {
  return PortRange<PortRecord>(boards, false);
}
inline PortRange<const PortRecord> Ports(const PortRecord* boards) {
  return PortRange<const PortRecord>(boards, false);
}
// The ports of one board alone.
inline PortRange<const PortRecord> PortsOfBoard(const PortRecord* board) {
  return PortRange<const PortRecord>(board, true);
}

// How many ports a board has.
std::size_t PortCount(const PortRecord* board);

// Appends `record` at the end of the list whose head is *head.
void ListAppend(PortRecord** head, PortRecord* record);

// Releases every record of the list starting at `first`, each record's
// child list before the record itself. The caller's head is not changed.
// `release` frees one record; tests pass their own to watch the order.
using ReleaseRecord = void (*)(PortRecord* record);
void DeleteRecord(PortRecord* record);
void ListFree(PortRecord* first, ReleaseRecord release = DeleteRecord);

}  // namespace velnara

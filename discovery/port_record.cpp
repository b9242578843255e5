#include "discovery/port_record.h"

namespace velnara {

void ListAppend(PortRecord** head, PortRecord* record) {
  record->next = nullptr;
  if (*head == nullptr) {
    *head = record;
    return;
  }
  PortRecord* last = *head;
  while (last->next != nullptr) last = last->next;
  last->next = record;
}

std::size_t PortCount(const PortRecord* board) {
  std::size_t count = 0;
  for (const PortRecord& port : PortsOfBoard(board)) {
    static_cast<void>(port);
    ++count;
  }
  return count;
}

void DeleteRecord(PortRecord* record) {
  delete record;
}

void ListFree(PortRecord* first, ReleaseRecord release) {
  while (first != nullptr) {
    ListFree(first->children, release);
    PortRecord* next = first->next;
    release(first);
    first = next;
  }
}

}  // namespace velnara

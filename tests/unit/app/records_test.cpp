// List append and list free of the port tree records.
#include <gtest/gtest.h>

#include <vector>

#include "discovery/port_record.h"

namespace velnara {
namespace {

std::vector<PortRecord*>* released = nullptr;

void RecordRelease(PortRecord* record) {
  released->push_back(record);
  delete record;
}

TEST(PortRecordList, AppendMakesTheRecordTheHeadOrTheLast) {
  PortRecord* head = nullptr;
  PortRecord first, second, third;
  first.next = &third;  // stale links are overwritten
  ListAppend(&head, &first);
  EXPECT_EQ(head, &first);
  EXPECT_EQ(first.next, nullptr);
  ListAppend(&head, &second);
  ListAppend(&head, &third);
  EXPECT_EQ(head, &first);
  EXPECT_EQ(first.next, &second);
  EXPECT_EQ(second.next, &third);
  EXPECT_EQ(third.next, nullptr);
}

TEST(PortRecordList, FreeReleasesEveryRecordOnceEachBoardsPortsBeforeTheBoard) {
  std::vector<PortRecord*> order;
  released = &order;
  PortRecord* boards = nullptr;
  std::vector<PortRecord*> expected;
  for (int b = 0; b < 3; ++b) {
    auto* board = new PortRecord;
    for (int p = 0; p < b * 2; ++p) {  // the first board has no ports
      auto* port = new PortRecord;
      port->parent = board;
      ListAppend(&board->children, port);
      expected.push_back(port);
    }
    expected.push_back(board);
    ListAppend(&boards, board);
  }
  PortRecord* const head = boards;

  ListFree(boards, RecordRelease);

  EXPECT_EQ(order, expected);
  EXPECT_EQ(boards, head) << "the caller's head is left alone";
  order.clear();
  ListFree(nullptr, RecordRelease);
  EXPECT_TRUE(order.empty());
  released = nullptr;
}

}  // namespace
}  // namespace velnara

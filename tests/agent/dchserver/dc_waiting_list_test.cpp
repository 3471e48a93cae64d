#include "dc_waiting_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "trace_capture.h"

namespace {

constexpr short kWaitOnData = 0x2060;
constexpr short kWaitForStatus = 0x2070;

WaiterReplyAddress addressOn(unsigned int sockFD) {
  WaiterReplyAddress address;
  const unsigned char bytes[] = {2, 0, 0x07, 0x7F, 127, 0, 0, 1};
  EXPECT_TRUE(address.assign(bytes, sizeof bytes, sockFD, 9));
  return address;
}

// The entries of a case are E1, E2, ... (their application names), all waiting
// on data of group G through socket 7 unless a case adds its own.
using Entries = std::vector<DCwaitingListEntry*>;

Entries addEntries(DCwaitingList& list, int count) {
  for (int i = 1; i <= count; ++i)
    EXPECT_EQ(list.addEntry(("E" + std::to_string(i)).c_str(), "G", kWaitOnData, addressOn(7), "NULL", 1), 0);
  Entries entries;
  for (DCwaitingListEntry* entry = list.getEntry(1); entry != nullptr; entry = list.getEntry(0))
    entries.push_back(entry);
  EXPECT_EQ(list.deleteIterator(), 0);
  return entries;
}

std::vector<std::string> visitingOrder(DCwaitingList& list) {
  std::vector<std::string> order;
  for (DCwaitingListEntry* entry = list.getEntry(1); entry != nullptr; entry = list.getEntry(0))
    order.emplace_back(entry->applName());
  EXPECT_EQ(list.deleteIterator(), 0);
  return order;
}

struct ListCase {
  const char* name;
  int entries;
  std::function<void(DCwaitingList&, Entries&)> operation;
  std::vector<std::string> expectedOrder;
};

const ListCase kCases[] = {
    {"entries are visited in the order they were added", 3, [](DCwaitingList&, Entries&) {}, {"E1", "E2", "E3"}},
    {"deleting the head makes the newest entry first",
     3,
     [](DCwaitingList& list, Entries&) { EXPECT_EQ(list.removeEntry(kWaitOnData, "E1", "G"), 0); },
     {"E3", "E2"}},
    {"deleting a middle entry keeps the order",
     3,
     [](DCwaitingList& list, Entries&) { EXPECT_EQ(list.removeEntry(kWaitOnData, "E2", "G"), 0); },
     {"E1", "E3"}},
    {"the newest entry moved to the head",
     3,
     [](DCwaitingList& list, Entries& e) { list.setHeadOfList(e[2]); },
     {"E3", "E1", "E2"}},
    {"a middle entry moved to the head",
     4,
     [](DCwaitingList& list, Entries& e) { list.setHeadOfList(e[1]); },
     {"E2", "E1", "E3", "E4"}},
    {"a moved entry stays findable and deletable",
     4,
     [](DCwaitingList& list, Entries& e) {
       list.setHeadOfList(e[2]);
       EXPECT_EQ(list.removeEntry(kWaitOnData, "E3", "G"), 0);  // the head: its forward neighbour, E4, leads
     },
     {"E4", "E1", "E2"}},
    {"removal by type, application and group needs all three to match",
     2,
     [](DCwaitingList& list, Entries&) {
       EXPECT_EQ(list.removeEntry(kWaitForStatus, "E1", "G"), 1);
       EXPECT_EQ(list.removeEntry(kWaitOnData, "E1", "H"), 1);
       EXPECT_EQ(list.removeEntry(kWaitOnData, "e1", "G"), 1);
     },
     {"E1", "E2"}},
    {"an entry marked inside a walk goes when the walk closes",
     3,
     [](DCwaitingList& list, Entries& e) {
       std::vector<std::string> walked;
       for (DCwaitingListEntry* entry = list.getEntry(1); entry != nullptr; entry = list.getEntry(0)) {
         walked.emplace_back(entry->applName());
         if (entry == e[0]) {
           EXPECT_EQ(list.removeEntry(entry), 0);
         }
       }
       EXPECT_EQ(walked, (std::vector<std::string>{"E1", "E2", "E3"}));
       EXPECT_EQ(list.noOfElements(), 3);
       EXPECT_EQ(list.deleteIterator(), 0);
     },
     {"E3", "E2"}},
    {"every marked entry goes, also the head and the last",
     4,
     [](DCwaitingList& list, Entries& e) {
       list.getEntry(1);
       for (int i : {0, 2, 3}) EXPECT_EQ(list.removeEntry(e[i]), 0);
       EXPECT_EQ(list.deleteIterator(), 0);
     },
     {"E2"}},
    {"marks stay until a walk is closed",
     2,
     [](DCwaitingList& list, Entries& e) {
       EXPECT_EQ(list.removeEntry(e[1]), 0);
       EXPECT_EQ(list.deleteIterator(), 1);  // no walk open: nothing deleted
       EXPECT_EQ(list.noOfElements(), 2);
       list.getEntry(1);
       EXPECT_EQ(list.deleteIterator(), 0);
     },
     {"E1"}},
};

TEST(DCwaitingListTest, VisitingOrderMovesMarksAndRemovals) {
  for (const ListCase& c : kCases) {
    SCOPED_TRACE(c.name);
    DCwaitingList list;
    Entries entries = addEntries(list, c.entries);
    c.operation(list, entries);
    EXPECT_EQ(visitingOrder(list), c.expectedOrder);
    EXPECT_EQ(list.noOfElements(), static_cast<int>(c.expectedOrder.size()));
  }
}

TEST(DCwaitingListTest, EmptyListWalkEndsAtOnce) {
  DCwaitingList list;
  EXPECT_EQ(list.getEntry(0), nullptr);  // no walk open
  EXPECT_EQ(list.getEntry(1), nullptr);
  EXPECT_EQ(list.deleteIterator(), 0);
  EXPECT_EQ(list.deleteIterator(), 1);
  EXPECT_EQ(list.list(), nullptr);
  EXPECT_EQ(list.removeEntry(kWaitOnData, "E1", "G"), 1);
}

TEST(DCwaitingListTest, RemovalByTypeDeletesOnlyTheFirstOfTwoAlikeWaiters) {
  DCwaitingList list;
  ASSERT_EQ(list.addEntry("APPL", "GRP", kWaitOnData, addressOn(3), "NULL", 1), 0);
  ASSERT_EQ(list.addEntry("APPL", "GRP", kWaitOnData, addressOn(4), "NULL", 1), 0);
  EXPECT_EQ(list.removeEntry(kWaitOnData, "APPL", "GRP"), 0);
  ASSERT_EQ(list.noOfElements(), 1);
  EXPECT_EQ(list.list()->connectedSockFD(), 4u);
}

TEST(DCwaitingListTest, ClosedConnectionTakesAllItsWaitersAndOnlyThem) {
  DCwaitingList list;
  for (unsigned int fd : {5u, 8u, 5u, 0u, 5u})
    ASSERT_EQ(list.addEntry("APPL", "GRP", kWaitOnData, addressOn(fd), "NULL", 1), 0);
  EXPECT_EQ(list.cleanupEntries(5), 0);
  std::vector<unsigned int> left;
  for (DCwaitingListEntry* entry = list.getEntry(1); entry != nullptr; entry = list.getEntry(0))
    left.push_back(entry->connectedSockFD());
  list.deleteIterator();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<unsigned int>{0, 8}));
}

// The names and sockets of the list in visiting order, as "APPL/GRP@fd".
std::vector<std::string> Waiters(DCwaitingList& list) {
  std::vector<std::string> waiters;
  for (DCwaitingListEntry* entry = list.getEntry(1); entry != nullptr; entry = list.getEntry(0))
    waiters.push_back(std::string(entry->applName()) + "/" + entry->attrGroup() + "@" +
                      std::to_string(entry->connectedSockFD()));
  list.deleteIterator();
  return waiters;
}

// The fault: a peer asking again and again, for whatever names, grew the list for ever.
TEST(DCwaitingListTest, RegressionARequesterIsParkedOncePerWaiterType) {
  DCwaitingList list;
  ASSERT_EQ(list.parkOnce("APPL", "G1", kWaitOnData, addressOn(3)), 0);
  ASSERT_EQ(list.parkOnce("APPL", "G1", kWaitOnData, addressOn(4)), 0);
  ASSERT_EQ(list.parkOnce("APPL", "NULL", 0x2040, addressOn(3)), 0);
  EXPECT_EQ(Waiters(list), (std::vector<std::string>{"APPL/G1@3", "APPL/G1@4", "APPL/NULL@3"}));

  ASSERT_EQ(list.parkOnce("APPL", "G1", kWaitOnData, addressOn(3)), 0);
  EXPECT_EQ(Waiters(list), (std::vector<std::string>{"APPL/G1@3", "APPL/G1@4", "APPL/NULL@3"}))
      << "the same request again keeps its place";
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(list.parkOnce(("A" + std::to_string(i)).c_str(), "G1", kWaitOnData, addressOn(3)), 0);
  std::vector<std::string> left = Waiters(list);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"A99/G1@3", "APPL/G1@4", "APPL/NULL@3"}))
      << "another request replaces the earlier one";
}

TEST(DCwaitingListTest, DeletingTheEntryUnderTheOpenWalkRestartsTheWalk) {
  DCwaitingList list;
  Entries e = addEntries(list, 3);
  EXPECT_EQ(list.getEntry(1), e[0]);
  EXPECT_EQ(list.getEntry(0), e[1]);
  EXPECT_EQ(list.removeEntry(kWaitOnData, "E2", "G"), 0);
  EXPECT_EQ(list.getEntry(0), e[0]);  // from the head again, never the freed entry
  list.deleteIterator();
}

TEST(DCwaitingListTest, EntryKeepsCopiesOfWhatItWasGiven) {
  DCwaitingList list;
  char applName[] = "APPL";
  WaiterReplyAddress address = addressOn(11);
  ASSERT_EQ(list.addEntry(applName, "GRP", 0x1040, address, "hostA", 3), 0);
  std::strcpy(applName, "XXXX");
  const DCwaitingListEntry* entry = list.list();
  EXPECT_STREQ(entry->applName(), "APPL");
  EXPECT_STREQ(entry->attrGroup(), "GRP");
  EXPECT_STREQ(entry->sourceName(), "hostA");
  EXPECT_EQ(entry->waiterType(), 0x1040);
  EXPECT_EQ(entry->actionType(), 3);
  EXPECT_EQ(entry->markForDelete(), 0);
  ASSERT_EQ(entry->clientAddrLen(), 8);
  EXPECT_EQ(std::memcmp(entry->clientAddr(), address.clientAddr, 8), 0);
  EXPECT_EQ(entry->connectedSockFD(), 11u);
  EXPECT_EQ(entry->connectionGeneration(), 9u);
}

TEST(DCwaitingListTest, NamesAndAddressesBeyondTheirLimitsAreRefused) {
  TraceCapture capture("*=0x80");
  DCwaitingList list;
  const std::string name20(20, 'A'), name32(32, 'G');
  EXPECT_EQ(list.addEntry(name20.c_str(), name32.c_str(), kWaitOnData, addressOn(1), name32.c_str(), 1), 0);
  EXPECT_EQ(list.addEntry((name20 + "A").c_str(), "G", kWaitOnData, addressOn(1), "NULL", 1), 1);
  EXPECT_EQ(list.addEntry("APPL", (name32 + "G").c_str(), kWaitOnData, addressOn(1), "NULL", 1), 1);
  EXPECT_EQ(list.addEntry("APPL", "G", kWaitOnData, addressOn(1), (name32 + "S").c_str(), 1), 1);
  EXPECT_EQ(list.addEntry(nullptr, "G", kWaitOnData, addressOn(1), "NULL", 1), 1);
  EXPECT_EQ(list.noOfElements(), 1);
  EXPECT_TRUE(capture.contains("Error: waiter names"));

  WaiterReplyAddress address;
  unsigned char bytes[WaiterReplyAddress::kMaxAddressLength + 1] = {};
  EXPECT_TRUE(address.assign(bytes, WaiterReplyAddress::kMaxAddressLength, 1, 1));
  EXPECT_FALSE(address.assign(bytes, WaiterReplyAddress::kMaxAddressLength + 1, 2, 2));
  EXPECT_FALSE(address.assign(bytes, -1, 2, 2));
  EXPECT_FALSE(address.assign(nullptr, 4, 2, 2));
  EXPECT_EQ(address.connectedSockFD, 1u);  // unchanged by the refusals
}

TEST(DCwaitingListTest, PrintListWritesEveryEntry) {
  TraceCapture capture("*=0x80");
  DCwaitingList list;
  addEntries(list, 2);
  list.printList();
  EXPECT_TRUE(capture.contains("2 entries"));
  EXPECT_TRUE(capture.contains("[1]"));
  EXPECT_TRUE(capture.contains("applName<E2>"));
}

}  // namespace

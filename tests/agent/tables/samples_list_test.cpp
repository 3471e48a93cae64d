// The sample registry: entries of sources coming online, requests deferred until then
// and redriven when they come, row lists hung into the entries, and the look-ups of
// the status monitor and the table agents. Requests are RowCollectors of the
// framework stand-in, so that their handles are live or gone as the framework says.
#include "samples_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "agent_limits.h"
#include "raf_driver.h"
#include "row_collector.h"
#include "trace_capture.h"

namespace {

constexpr char kAppl[] = "APPLX";
constexpr char kKey[] = "APP";
constexpr char kTable[] = "APP1234503";
constexpr char kSubnode[] = "HOST1:APPLX03";

class SamplesListTest : public ::testing::Test {
 protected:
  SamplesListTest() : manager_(kAppl, kTable) {}
  ~SamplesListTest() override {
    requests_.clear();
    raf::Reset();
  }

  // A live request of the framework stand-in.
  OpenedRequest& Request() {
    requests_.push_back(std::make_unique<OpenedRequest>(kAppl, kTable));
    return *requests_.back();
  }
  int Defer(OpenedRequest& request, const char* subnode = kSubnode, int kind = 0) {
    return registry_.requestDefer(kKey, subnode, &request.collector(), request.handle(), kind);
  }
  std::string Online(const char* group = "GROUP1", const char* source = "HOST1", const char* table = kTable) {
    samplesList::SubnodeName subnode;
    const char* name = registry_.onlineEntry(kAppl, table, group, "03", source, subnode);
    return name != nullptr ? name : "<null>";
  }

  samplesList registry_;
  CollectorManager manager_;
  std::vector<std::unique_ptr<OpenedRequest>> requests_;
};

TEST_F(SamplesListTest, ARequestDeferredBeforeItsSourceIsRedrivenByTheOnlineThatFillsItsEntry) {
  OpenedRequest& request = Request();
  ASSERT_EQ(Defer(request, kSubnode, 1), 0);
  ASSERT_EQ(Defer(request, kSubnode, 1), 0) << "the same handle again";
  EXPECT_EQ(registry_.noOfElements(), 1);
  samplesList::UntouchedName untouched;
  EXPECT_EQ(registry_.getOriginalSubnodeName(kSubnode, "", untouched), nullptr) << "known only from a deferral";
  EXPECT_EQ(registry_.subnodeOnlineForTable(kSubnode, kTable), 0);
  EXPECT_TRUE(request.collector().redrives().empty());

  EXPECT_EQ(Online(), kSubnode);
  EXPECT_EQ(registry_.noOfElements(), 1) << "the deferral's entry is taken over";
  ASSERT_EQ(request.collector().redrives().size(), 1u) << "one slot for the handle deferred twice";
  EXPECT_EQ(request.collector().redrives()[0].subnodeName, kSubnode);
  EXPECT_EQ(request.collector().redrives()[0].tableName, kTable);
  EXPECT_EQ(request.collector().redrives()[0].requestKind, 1);
  EXPECT_EQ(registry_.subnodeOnlineForTable(kSubnode, kTable), 1);
  EXPECT_STREQ(registry_.getOriginalSubnodeName(kSubnode, kTable, untouched), "HOST1:APPLXGROUP103");

  Online();
  EXPECT_EQ(request.collector().redrives().size(), 1u) << "the slot was freed";
  ASSERT_EQ(Defer(request), 0) << "a freed handle may be deferred again";
  Online();
  EXPECT_EQ(request.collector().redrives().size(), 2u);
}

TEST_F(SamplesListTest, EveryOccupiedSlotIsRedrivenAlsoAboveFreedOnes) {
  ASSERT_EQ(Online(), kSubnode);
  std::vector<OpenedRequest*> requests;
  for (int i = 0; i < 4; ++i) {
    requests.push_back(&Request());
    ASSERT_EQ(Defer(*requests.back()), 0);
  }
  registry_.removeDeferRequest(kKey, kTable, "HOST1", &requests[0]->collector());
  registry_.removeDeferRequest(kKey, kTable, "HOST1", &requests[2]->collector());
  Online();
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(requests[i]->collector().redrives().size(), i % 2 == 0 ? 0u : 1u);
  }
}

// The fault: the slot of a request that had ended stayed occupied for good, and such
// slots filled the queue.
TEST_F(SamplesListTest, RegressionTheSlotOfARequestThatEndedIsFreed) {
  TraceCapture capture("*=0x80");
  OpenedRequest& ended = Request();
  OpenedRequest& live = Request();
  ASSERT_EQ(Defer(ended), 0);
  ASSERT_EQ(Defer(live), 0);
  uint32_t endedHandle = ended.handle();
  ASSERT_TRUE(ended.close());
  Online();
  EXPECT_TRUE(capture.contains("/" + std::to_string(endedHandle) + "> no longer valid"));
  EXPECT_EQ(live.collector().redrives().size(), 1u);

  // A full queue frees the slots of ended requests before it refuses.
  for (int i = 0; i < Max_Deferred_Request(); ++i)
    ASSERT_EQ(registry_.requestDefer(kKey, "HOST2:APPLX03", &live.collector(), 0x7F000000u + i, 0), 0) << i;
  EXPECT_EQ(Defer(live, "HOST2:APPLX03"), 0);
}

TEST_F(SamplesListTest, AFullQueueOfLiveRequestsRefusesTheNext) {
  TraceCapture capture("*=0x80");
  OpenedRequest& first = Request();
  ASSERT_EQ(Defer(first), 0);
  for (int i = 1; i < Max_Deferred_Request(); ++i) ASSERT_EQ(Defer(Request()), 0) << i;
  EXPECT_EQ(Defer(Request()), 1);
  EXPECT_TRUE(capture.contains("Error: Max 512 deferred request exceeded. Use ZEVA_MAX_DEFERRED_REQUEST to increase."));
  EXPECT_EQ(Defer(first), 0) << "queued already";
}

TEST_F(SamplesListTest, RemoveEntryTellsWhetherTheApplicationHadOtherEntries) {
  Online("GROUP1", "HOST1", kTable);
  Online("GROUP1", "HOST2", kTable);
  EXPECT_EQ(registry_.countOfAttrGroups(kKey, "HOST1"), 1);
  EXPECT_EQ(registry_.removeEntry(kKey, kTable, "HOST1"), 1);
  EXPECT_EQ(registry_.removeEntry(kKey, kTable, "HOST1"), 0) << "gone already; one entry of the key left";
  EXPECT_EQ(registry_.removeEntry(kKey, kTable, "HOST2"), 0);
  EXPECT_EQ(registry_.noOfElements(), 0);
}

TEST_F(SamplesListTest, SubnodeStatusAndNameLookUps) {
  ASSERT_EQ(Online("GROUP1"), kSubnode);
  ASSERT_EQ(Online("GROUP2", "HOST1", "APP5432103"), kSubnode) << "a second group of the source";
  EXPECT_EQ(registry_.noOfElements(), 2);
  EXPECT_EQ(registry_.countOfAttrGroups(kKey, "HOST1"), 2);
  EXPECT_EQ(registry_.subnodeOnline(kSubnode), 1);
  EXPECT_EQ(registry_.subnodeOnline(kSubnode), 3);
  EXPECT_EQ(registry_.subnodeOnline("HOST9:APPLX03"), 0);

  samplesList::SubnodeName subnode;
  EXPECT_EQ(registry_.getSubnodeName(kKey, "HOST1", "GROUP2", subnode), 0);
  EXPECT_STREQ(subnode, kSubnode);
  EXPECT_EQ(registry_.getSubnodeName(kKey, "HOST1", "GROUP3", subnode), 1);
  samplesList::SourceName source;
  EXPECT_STREQ(registry_.getSourceNameFromSubnodeName(kSubnode, source), "HOST1");
  EXPECT_EQ(registry_.getSourceNameFromSubnodeName("HOST9:APPLX03", source), nullptr);
  samplesList::UntouchedName untouched;
  EXPECT_STREQ(registry_.getOriginalSubnodeName(kSubnode, "APP5432103", untouched), "HOST1:APPLXGROUP203");
  EXPECT_EQ(registry_.getOriginalSubnodeName(kSubnode, "APP0000003", untouched), nullptr);
}

// The fault: an entry made for a deferral keeps the source name of its subnode name,
// which is cut short for a long source, so the rows of the source never found it.
TEST_F(SamplesListTest, RegressionTheOnlineGivesADeferralsEntryTheWholeSourceName) {
  const std::string source(30, 's');
  samplesList::SubnodeName subnode;
  ASSERT_NE(registry_.onlineEntry(kAppl, kTable, "GROUP1", "03", source.c_str(), subnode), nullptr);
  std::string cut = subnode;
  EXPECT_EQ(cut, std::string(24, 's') + ":APPLX03");
  ASSERT_EQ(registry_.removeEntry(kKey, kTable, source.c_str()), 0);

  ASSERT_EQ(Defer(Request(), cut.c_str()), 0);
  ASSERT_NE(registry_.onlineEntry(kAppl, kTable, "GROUP1", "03", source.c_str(), subnode), nullptr);
  EXPECT_EQ(registry_.noOfElements(), 1);
  auto list = std::make_shared<dataList>(kKey, kTable, source.c_str(), 44, 60);
  EXPECT_EQ(registry_.updateDataList(kKey, "GROUP1", source.c_str(), list), 0);
  EXPECT_EQ(registry_.dataListPtr(kKey, kTable, source.c_str()), list);
}

TEST_F(SamplesListTest, ARowListGoesIntoTheEntryOfItsTable) {
  auto list = std::make_shared<dataList>(kKey, kTable, "HOST1", 44, 60);
  EXPECT_EQ(registry_.updateDataList(kKey, "GROUP1", "HOST1", list), 1) << "no entry yet";
  Online("GROUP1", "HOST1", "APP1234502");  // the group's table of an earlier release
  EXPECT_EQ(registry_.updateDataList(kKey, "GROUP1", "HOST1", list), 1) << "not into another release's entry";
  Online("GROUP1", "HOST1", kTable);
  EXPECT_EQ(registry_.updateDataList(kKey, "GROUP1", "HOST1", list), 0);
  EXPECT_EQ(registry_.dataListPtr(kKey, kTable, "HOST1"), list);
  EXPECT_EQ(registry_.dataListPtr(kKey, "APP1234502", "HOST1"), nullptr);
}

// Rows of a source's next online can be filed before the status monitor handles its
// offline: the offline leaves the row list to the source's next online entry, which
// keeps it against a list its table's thread hangs in later.
TEST_F(SamplesListTest, ARowListLeftByAnOfflineGoesToTheSourcesNextOnlineOnly) {
  Online("GROUP1", "HOST1", kTable);
  auto list = std::make_shared<dataList>(kKey, kTable, "HOST1", 44, 60);
  ASSERT_EQ(registry_.updateDataList(kKey, "GROUP1", "HOST1", list), 0);
  registry_.removeEntry(kKey, kTable, "HOST1");
  EXPECT_EQ(registry_.dataListPtr(kKey, kTable, "HOST1"), nullptr);

  Online("GROUP1", "HOST2", kTable);
  Online("GROUP1", "HOST1", "APP1234502");  // the group's table of an earlier release
  EXPECT_EQ(registry_.dataListPtr(kKey, kTable, "HOST2"), nullptr) << "another source";
  EXPECT_EQ(registry_.dataListPtr(kKey, "APP1234502", "HOST1"), nullptr) << "another release";
  Online("GROUP1", "HOST1", kTable);
  EXPECT_EQ(registry_.dataListPtr(kKey, kTable, "HOST1"), list);
  auto later = std::make_shared<dataList>(kKey, kTable, "HOST1", 44, 60);
  EXPECT_EQ(registry_.updateDataList(kKey, "GROUP1", "HOST1", later), 0);
  EXPECT_EQ(registry_.dataListPtr(kKey, kTable, "HOST1"), list);

  std::weak_ptr<dataList> watched = list;
  list.reset();
  registry_.removeEntry(kKey, kTable, "HOST1");
  EXPECT_FALSE(watched.expired()) << "left for the next online";
  // Sources that never come back: the oldest lists left go beyond 256.
  for (int i = 0; i < 256; ++i) {
    std::string source = "GONE" + std::to_string(i);
    Online("GROUP1", source.c_str(), kTable);
    registry_.updateDataList(kKey, "GROUP1", source.c_str(),
                             std::make_shared<dataList>(kKey, kTable, source.c_str(), 44, 60));
    registry_.removeEntry(kKey, kTable, source.c_str());
  }
  EXPECT_TRUE(watched.expired());
  Online("GROUP1", "GONE255", kTable);
  EXPECT_NE(registry_.dataListPtr(kKey, kTable, "GONE255"), nullptr);
}

// The order of the entries, as the registry's trace shows it.
std::vector<std::string> SourcesInOrder(samplesList& registry) {
  TraceCapture capture("*=0x10");
  registry.printList();
  std::string trace = capture.take();
  std::vector<std::string> sources;
  const std::string marker = "sourceName <";
  for (size_t at = trace.find(marker); at != std::string::npos; at = trace.find(marker, at + 1)) {
    size_t start = at + marker.size();
    sources.push_back(trace.substr(start, trace.find('>', start) - start));
  }
  return sources;
}

TEST_F(SamplesListTest, ARowListFoundBeyondTheTwentiethEntryMovesItsEntryToTheFront) {
  std::vector<std::string> order;
  for (int i = 1; i <= 25; ++i) {
    std::string source = "H" + std::to_string(i);
    Online("GROUP1", source.c_str());
    order.push_back(source);
  }
  ASSERT_EQ(SourcesInOrder(registry_), order);
  registry_.dataListPtr(kKey, kTable, "H20");
  EXPECT_EQ(SourcesInOrder(registry_), order) << "the 20th stays";
  registry_.dataListPtr(kKey, kTable, "H21");
  order.erase(order.begin() + 20);
  order.insert(order.begin(), "H21");
  EXPECT_EQ(SourcesInOrder(registry_), order);
}

}  // namespace

// Internal routing on parsed models, with the DCH answered here as the agent
// would answer: routed sources made and put online with the first row, each
// input group splitting the record by its own attributes, the switches that
// leave batch summaries out (internal_routing_switches_test), a loop of two names, the routed sources going
// offline with their origin, and groups leaving their blocks.
#include "internal_routing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "application_entry.h"
#include "answering_agent.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "internal_routing_block.h"
#include "metafile_fixture.h"
#include "record_paths.h"
#include "source_entry.h"
#include "summary_block.h"
#include "table_entry.h"
#include "trace_capture.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kOutput = {"//APPL Feed", "//NAME Out P 60", "//INTERNAL OUTPUT R", "//ATTRIBUTES ' '",
                       "N G 100 +FILTER={NUMBER>(0,5)}", "Rest D 40"};

Lines Receivers(const std::string& summaryB, const std::string& summaryC) {
  Lines lines = {"//APPL Take", "//NAME B P 60", "//INTERNAL INPUT R"};
  if (!summaryB.empty()) lines.push_back(summaryB);
  lines.insert(lines.end(), {"//ATTRIBUTES ';'", "F1 D 16 SKEY=1", "F2 D 16", "//NAME C P 60", "//INTERNAL INPUT R"});
  if (!summaryC.empty()) lines.push_back(summaryC);
  lines.insert(lines.end(), {"//ATTRIBUTES ','", "G1 D 16", "G2 D 16"});
  return lines;
}

class InternalRoutingTest : public ::testing::Test {
 protected:

  ApplicationEntry* load(const std::string& name, const Lines& lines) {
    models_.write(name, lines);
    ApplicationEntry* application = models_.parse(name).application;
    EXPECT_NE(application, nullptr) << name;
    return application;
  }
  void loadBoth(const std::string& summaryB = "", const std::string& summaryC = "") {
    feed_ = load("feed.mdl", kOutput);
    take_ = load("take.mdl", Receivers(summaryB, summaryC));
    ASSERT_TRUE(feed_ != nullptr && take_ != nullptr);
    out_ = feed_->FirstTable->FirstSource;
  }
  // A row of the output group's source, on the direct path.
  void row(const std::string& record) {
    std::string copy = record;
    ZEVP_MoveDataToDCH(models_.anchor(), out_, copy.data(), static_cast<int32_t>(copy.size()));
  }
  SourceEntry* routedIn(int group) const {
    TableEntry* table = take_->FirstTable;
    for (int i = 0; i < group; ++i) table = table->next;
    return table->FirstSource->next;
  }
  InternalRoutingBlock* block() const { return feed_->FirstTable->RoutingBlock; }

  MetafileFixture models_;
  AnsweringAgent agent_{models_.anchor()};
  ApplicationEntry* feed_ = nullptr;
  ApplicationEntry* take_ = nullptr;
  SourceEntry* out_ = nullptr;
};

TEST_F(InternalRoutingTest, ARowThatPassesIsSplitByEachInputGroupThroughASourceMadeOnce) {
  loadBoth();
  row("7 a;b,c");
  EXPECT_EQ(agent_.take(), (Lines{"online B dphost", "row B F1='7 a' F2='b,c'", "online C dphost",
                             "row C G1='7 a;b' G2='c'", "row Out N=7 Rest='a;b,c'"}));
  SourceEntry* routed = routedIn(0);
  ASSERT_NE(routed, nullptr);
  EXPECT_EQ(routed->Origin, out_);
  EXPECT_EQ(routed->Routed, 1);
  EXPECT_EQ(routed->SourceType, ZEVP_SOURCE_BASE);
  EXPECT_NE(routed->OwningTask, nullptr) << "a waiting entry of its own";
  EXPECT_NE(routed->OwningTask, routedIn(1)->OwningTask);
  EXPECT_STREQ(routed->pSourceNodeName, out_->pSourceNodeName);
  EXPECT_EQ(take_->FirstTable->SourceCount, 2);

  agent_.take();
  row("9 d;e,f");
  row("3 g;h,i");  // fails the output group's filter
  EXPECT_EQ(agent_.take(), (Lines{"row B F1='9 d' F2='e,f'", "row C G1='9 d;e' G2='f'", "row Out N=9 Rest='d;e,f'"}));
  EXPECT_EQ(routedIn(0)->next, nullptr) << "one routed source per origin";
  EXPECT_EQ(block()->PendingRoutes, 0);
}

TEST_F(InternalRoutingTest, TheOutputGroupsOnlineMakesTheRoutedSourcesWithoutARow) {
  loadBoth();
  ZEVP_DispatchInternalOutput(models_.anchor(), out_, block(), nullptr, 0);
  EXPECT_EQ(agent_.take(), (Lines{"online B dphost", "online C dphost"}));
}

// Two names that close a loop: A's rows go to B, B's to A's routed source, which
// would route them to B again for ever.
TEST_F(InternalRoutingTest, ARowComingBackToABlockRoutingItIsNotRoutedAgain) {
  ApplicationEntry* loop =
      load("loop.mdl", {"//APPL Loop", "//NAME A P 60", "//INTERNAL OUTPUT X", "//INTERNAL INPUT Y",
                        "//ATTRIBUTES ' '", "T D 16", "//NAME B P 60", "//INTERNAL INPUT X", "//INTERNAL OUTPUT Y",
                        "//ATTRIBUTES ' '", "T D 16"});
  ASSERT_NE(loop, nullptr);
  TraceCapture trace("*=0x80");
  std::string record = "round";
  ZEVP_MoveDataToDCH(models_.anchor(), loop->FirstTable->FirstSource, record.data(), 5);
  EXPECT_EQ(agent_.take(), (Lines{"online B dphost", "online A dphost", "row A T='round'", "row B T='round'",
                             "row A T='round'"}));
  EXPECT_TRUE(trace.contains("*****Error: IRB <X> routes a row that it routed itself: not routed again"));
}

TEST_F(InternalRoutingTest, RoutedSourcesGoOfflineWithTheirOriginTheOpenSummaryFirst) {
  loadBoth("//SUMMARY 60");
  row("7 a;b,c");
  row("8 a;e,f");
  agent_.take();
  ZEVP_CheckRedirectSourceOffline(models_.anchor(), out_, block());
  Lines requests = agent_.take();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].rfind("row B F1='7 a             ' _Interval_Unit=", 0), 0u) << requests[0];
  EXPECT_EQ(requests[1].rfind("row B F1='8 a             ' _Interval_Unit=", 0), 0u) << requests[1];
  EXPECT_NE(requests[1].find("_Occurrences=1"), std::string::npos) << requests[1];
  EXPECT_EQ(Lines(requests.begin() + 2, requests.end()), (Lines{"offline B", "offline C"}));
  EXPECT_EQ(routedIn(0)->Summary->UsedEntries, 0) << "the interval was sent whole";

  agent_.take();
  ZEVP_CheckRedirectSourceOffline(models_.anchor(), out_, block());
  EXPECT_EQ(agent_.take(), Lines{}) << "sources already offline";
  ZEVP_CheckRedirectSourceOffline(models_.anchor(), routedIn(0), block());
  EXPECT_EQ(agent_.take(), Lines{}) << "not the block's output group";
}

// A rotated file: its source goes offline and online again, each time with its
// routed sources, whose groups get its rows again.
TEST_F(InternalRoutingTest, RoutedSourcesComeBackOnlineWithTheirOriginEachTime) {
  loadBoth();
  row("7 a;b,c");
  agent_.take();
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE("offline and back, round " + std::to_string(round));
    ZEVP_CheckRedirectSourceOffline(models_.anchor(), out_, block());
    EXPECT_EQ(agent_.take(), (Lines{"offline B", "offline C"}));
    ZEVP_DispatchInternalOutput(models_.anchor(), out_, block(), nullptr, 0);
    EXPECT_EQ(agent_.take(), (Lines{"online B dphost", "online C dphost"}));
    row("9 d;e,f");
    EXPECT_EQ(agent_.take(),
              (Lines{"row B F1='9 d' F2='e,f'", "row C G1='9 d;e' G2='f'", "row Out N=9 Rest='d;e,f'"}));
  }
  EXPECT_EQ(routedIn(0)->next, nullptr) << "the same routed source each time";
}

TEST_F(InternalRoutingTest, GroupsLeaveTheirBlock) {
  loadBoth();
  row("7 a;b,c");
  TableEntry* b = take_->FirstTable;
  TableEntry* c = b->next;
  InternalRoutingBlock* routing = block();
  ZEVP_RemoveTableFromIRB(models_.anchor(), routing, b);
  EXPECT_EQ(routing->FirstInput, c);
  EXPECT_EQ(routing->InputCount, 1);
  agent_.take();
  row("8 d;e,f");
  EXPECT_EQ(agent_.take(), (Lines{"row C G1='8 d;e' G2='f'", "row Out N=8 Rest='d;e,f'"}));

  TraceCapture trace("*=0x92");
  zevp::RemoveTableFromRouting(models_.anchor(), feed_->FirstTable);
  EXPECT_EQ(models_.anchor()->internalRoutingBlocks, nullptr);
  EXPECT_EQ(feed_->FirstTable->RoutingBlock, nullptr);
  EXPECT_EQ(c->NextInputTable, nullptr);
  EXPECT_EQ(routedIn(1)->Origin, nullptr) << "its origin no longer routes";
  EXPECT_TRUE(trace.contains("Input table <C> removed from deleting IRB <R>"));
  EXPECT_TRUE(trace.contains("IRB <R> removed from DPAB"));
  EXPECT_TRUE(trace.contains("Output table <Out> removed from deleting IRB <R>"));
  EXPECT_TRUE(trace.contains("Freeing InternalRoutingBlock @"));
  agent_.take();
  row("9 g;h,i");
  EXPECT_EQ(agent_.take(), (Lines{"row Out N=9 Rest='g;h,i'"}));
}

}  // namespace

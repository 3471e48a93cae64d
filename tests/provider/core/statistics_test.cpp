// The process's statistics: counting calls, the per-minute summary on the clock
// seam, and the one block that every data provider of the process shares. The block
// lives as long as its process, so each case runs in a child of its own.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "bare_anchor.h"
#include "dp_anchor.h"
#include "manual_clock.h"
#include "run_in_child.h"
#include "statistics.h"
#include "zev/dp_types.h"
#include "zev0/storage.h"

namespace {

// The summary of the anchor's type, and the next period started.
std::string Summary(DPAB* anchor, int32_t type) {
  anchor->dpType = type;
  char* text = ZEVP_FormatStatLog(anchor);
  std::string summary = text != nullptr ? text : "<null>";
  ZEV0_FreeStorage(&text);
  return summary;
}

TEST(StatisticsTest, WithoutABlockTheSummaryIsEmptyAndCountsAreNotKept) {
  RunInChild([] {
    ManualClock clock;
    BareAnchor anchor;
    ZEVP_UpdateStatLogFileIO(5, 50);
    ZEVP_UpdateStatLogDCHio(7);
    EXPECT_EQ(Summary(anchor.get(), ZEV_DP_FILE), "");
    ASSERT_NE(ZEVP_InitializeStatisticBlock(), nullptr);
    clock.advance(60);
    EXPECT_EQ(Summary(anchor.get(), ZEV_DP_FILE),
              "Interval 1.0 min, Total opened files 0, File I/O rate 0.0/min, Output to agent message rate 0.0/min");
  });
}

// Two opened files and 120 reads in two minutes, then 30 reads in one.
TEST(StatisticsTest, RatesArePerMinuteAndAveragedWithTheRateBefore) {
  RunInChild([] {
    ManualClock clock;
    BareAnchor anchor;
    ASSERT_NE(ZEVP_InitializeStatisticBlock(), nullptr);
    ZEVP_UpdateStatLogFileIO(2, 0);
    ZEVP_UpdateStatLogFileIO(0, 120);
    ZEVP_UpdateStatLogDCHio(240);
    clock.advance(120);
    EXPECT_EQ(Summary(anchor.get(), ZEV_DP_FILE),
              "Interval 2.0 min, Total opened files 2, File I/O rate 60.0/min, Output to agent message rate 120.0/min");
    ZEVP_UpdateStatLogFileIO(0, 30);
    clock.advance(60);
    EXPECT_EQ(Summary(anchor.get(), ZEV_DP_FILE),
              "Interval 1.0 min, Total opened files 2, File I/O rate 45.0/min, Output to agent message rate 60.0/min")
        << "the new period's counts started from 0, the total did not";
  });
}

// One period with a count of every kind, summarised for each type in turn (each
// summary starts a new period with no counts: the rates halve from one to the next,
// so the texts are taken from a fresh child each).
TEST(StatisticsTest, EachTypeSummarisesItsOwnCounts) {
  struct Case {
    int32_t type;
    const char* text;
  } cases[] = {
      {ZEV_DP_APIS, "Interval 2.0 min, API call rate 3.0/min, Output to agent message rate 6.0/min"},
      {ZEV_DP_FILE, "Interval 2.0 min, Total opened files 1, File I/O rate 1.0/min, Output to agent message rate 6.0/min"},
      {ZEV_DP_SOCK,
       "Interval 2.0 min, Total opened sockets 3, Socket I/O rate 2.0/min, Output to agent message rate 6.0/min"},
      {ZEV_DP_ASFS,
       "Interval 2.0 min, Total opened files 1, File I/O rate 1.0/min, Socket I/O rate 2.0/min, "
       "API call rate 3.0/min, Output to agent message rate 6.0/min"},
      {ZEV_DP_POST, "Interval 2.0 min, Message post rate 4.0/min, Output to agent message rate 6.0/min"},
      {ZEV_DP_SNMP, "Interval 2.0 min, Traps received 9, Output to agent message rate 6.0/min"},
      {ZEV_DP_APPC,
       "Interval 2.0 min, Total conversations 4, APPC I/O rate 5.0/min, Output to agent message rate 6.0/min"},
      {ZEV_DP_HTTP, "Interval 2.0 min, "},
      {ZEV_DP_NODP, "Interval 2.0 min, "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(DPtypeString[c.type]);
    RunInChild([&c] {
      ManualClock clock;
      BareAnchor anchor;
      ASSERT_NE(ZEVP_InitializeStatisticBlock(), nullptr);
      ZEVP_UpdateStatLogFileIO(1, 2);
      ZEVP_UpdateStatLogSockIO(3, 4);
      ZEVP_UpdateStatLogAPIcalls(6);
      ZEVP_UpdateStatLogPost(8);
      ZEVP_UpdateStatLogDCHio(12);
      ZEVP_UpdateStatLogTrap(9);
      ZEVP_UpdateStatLogAPPCio(4, 10);
      clock.advance(120);
      EXPECT_EQ(Summary(anchor.get(), c.type), c.text);
    });
  }
}

// A summary asked for within a second of the last one would divide by (almost)
// nothing: the rates stay, and the counts go into the next period.
TEST(StatisticsTest, APeriodUnderASecondLeavesTheRatesAndKeepsItsCounts) {
  RunInChild([] {
    ManualClock clock;
    BareAnchor anchor;
    ASSERT_NE(ZEVP_InitializeStatisticBlock(), nullptr);
    ZEVP_UpdateStatLogPost(60);
    clock.advance(60);
    EXPECT_EQ(Summary(anchor.get(), ZEV_DP_POST),
              "Interval 1.0 min, Message post rate 60.0/min, Output to agent message rate 0.0/min");
    ZEVP_UpdateStatLogPost(30);
    EXPECT_EQ(Summary(anchor.get(), ZEV_DP_POST),
              "Interval 0.0 min, Message post rate 60.0/min, Output to agent message rate 0.0/min");
    clock.advance(60);
    EXPECT_EQ(Summary(anchor.get(), ZEV_DP_POST),
              "Interval 1.0 min, Message post rate 45.0/min, Output to agent message rate 0.0/min");
  });
}

TEST(StatisticsTest, CountsFromManyThreadsAreNotLost) {
  RunInChild([] {
    ManualClock clock;
    BareAnchor anchor;
    ASSERT_NE(ZEVP_InitializeStatisticBlock(), nullptr);
    constexpr int kThreads = 8;
    constexpr int kCounts = 3000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([] {
        for (int i = 0; i < kCounts; ++i) {
          ZEVP_UpdateStatLogSockIO(1, 1);
          ZEVP_UpdateStatLogDCHio(1);
        }
      });
    // A summary while they count takes its share of the counts, none twice.
    clock.advance(30);
    std::string halfway = Summary(anchor.get(), ZEV_DP_SOCK);
    for (std::thread& thread : threads) thread.join();
    clock.advance(30);
    std::string summary = Summary(anchor.get(), ZEV_DP_SOCK);
    EXPECT_NE(summary.find("Total opened sockets 24000,"), std::string::npos) << summary;
    EXPECT_FALSE(halfway.empty());
  });
}

// Every data provider of a process counts into the one block; releasing one
// anchor's start-up resources leaves it to the others.
TEST(StatisticsTest, TheBlockIsMadeOnceAndOutlivesTheAnchorsThatAskedForIt) {
  RunInChild([] {
    ManualClock clock;
    BareAnchor first;
    BareAnchor second;
    first->statistics = ZEVP_InitializeStatisticBlock();
    ASSERT_NE(first->statistics, nullptr);
    second->statistics = ZEVP_InitializeStatisticBlock();
    EXPECT_EQ(second->statistics, first->statistics);
    zevp::ReleaseStartupResources(first.get());
    EXPECT_EQ(first->statistics, nullptr);
    ZEVP_UpdateStatLogPost(120);
    clock.advance(120);
    EXPECT_EQ(Summary(second.get(), ZEV_DP_POST),
              "Interval 2.0 min, Message post rate 60.0/min, Output to agent message rate 0.0/min");
  });
}

}  // namespace

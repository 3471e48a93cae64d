// The default interval and batch mode of summaries come from the environment,
// which is read once, with the first block: each case in a process of its own.
#include <gtest/gtest.h>

#include <cstdlib>

#include "run_in_child.h"
#include "summary_block.h"

namespace {

TEST(SummaryInterval, NoIntervalTakesTheDefaultAsItStands) {
  struct Case {
    const char* interval;
    const char* batchMode;
    int32_t expected;
    int32_t batch;
  } cases[] = {
      {nullptr, nullptr, 300, 0}, {"420", "y", 420, 1}, {"0", "N", 300, 0}, {"-5", nullptr, 300, 0},
      {"x", "Yes", 300, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval != nullptr ? c.interval : "unset");
    RunInChild([&c] {
      c.interval != nullptr ? setenv("ZEVP_SUMMARY_INTERVAL", c.interval, 1) : unsetenv("ZEVP_SUMMARY_INTERVAL");
      c.batchMode != nullptr ? setenv("ZEVP_SUMMARY_BATCH_MODE", c.batchMode, 1)
                             : unsetenv("ZEVP_SUMMARY_BATCH_MODE");
      for (int32_t requested : {0, -60}) {
        SummaryManagementBlock* block = ZEVP_CreateSummaryManagementBlock(requested, 0);
        EXPECT_EQ(block->SummaryInterval, c.expected);
        EXPECT_EQ(block->SummaryBatchMode, c.batch);
        ZEVP_ReleaseSummaryManagementBlock(block);
      }
    });
  }
}

}  // namespace

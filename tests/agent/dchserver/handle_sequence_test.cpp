#include "handle_sequence.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "manual_clock.h"

namespace {

TEST(HandleSequenceTest, HandlesFollowTheBaseAndSkipTheNoHandleValues) {
  struct Case {
    const char* name;
    uint32_t base;
    uint32_t counter;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {"counts up from base + 1", 0x12340000, 0, {0x12340001, 0x12340002, 0x12340003}},
      {"a zero base never gives 0", 0, 0, {1, 2}},
      {"wraps past 0xFFFFFFFF and 0", 0xFFFF0000, 0xFFFD, {0xFFFFFFFE, 1, 2}},
      {"the counter wraps too", 0x00010000, 0xFFFFFFFE, {0xFFFF, 0x10000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HandleSequence sequence(c.base, c.counter);
    for (uint32_t expected : c.expected) EXPECT_EQ(sequence.next(), expected);
  }
}

TEST(HandleSequenceTest, ProcessBaseIsTheStartTimeShiftedBy16Bits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the base is taken once per process
  EXPECT_EXIT(
      {
        ManualClock clock(0x5F5E1234);
        bool ok = DCH_NextHandle() == 0x12340001u && DCH_NextHandle() == 0x12340002u;
        clock.advance(100);  // the base stays
        ok = ok && DCH_NextHandle() == 0x12340003u;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace

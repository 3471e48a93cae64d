#include "agent_limits.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The limits are read once per process: each case runs in a fresh child.
class AgentLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

struct LimitCase {
  const char* value;  // null: the variable is unset
  int expected;
};

void expectLimitInChild(const char* variable, int (*limit)(), const LimitCase& c) {
  SCOPED_TRACE(c.value ? c.value : "(unset)");
  EXPECT_EXIT(
      {
        if (c.value)
          setenv(variable, c.value, 1);
        else
          unsetenv(variable);
        bool firstRead = limit() == c.expected;
        setenv(variable, "77", 1);  // a later change is not seen
        std::exit(firstRead && limit() == c.expected ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

const LimitCase kColumnCases[] = {{nullptr, 64}, {"10", 10}, {"200", 200}, {"0", 64}, {"-3", 64}, {"many", 64}};
const LimitCase kBufferCases[] = {{nullptr, 8192}, {"100", 100}, {"65536", 65536}, {"0", 8192}, {"", 8192}};

TEST_F(AgentLimitsTest, MaxColumnsComesFromWjdMaxcolsOnceWithDefault64) {
  for (const LimitCase& c : kColumnCases) expectLimitInChild("WJD_MAXCOLS", Max_IB_Columns, c);
}

TEST_F(AgentLimitsTest, ValuesBufferSizeComesFromTheEnvironmentOnceWithDefault8192) {
  for (const LimitCase& c : kBufferCases) expectLimitInChild("ZEVA_VALUES_BUF_SIZE", Max_Values_Buf_Size, c);
}

TEST_F(AgentLimitsTest, ActionNumbersStartAtOneAndFollowEachOther) {
  EXPECT_EXIT(
      {
        bool consecutive = ActionID() == 1 && ActionID() == 2 && ActionID() == 3;
        std::exit(consecutive ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace

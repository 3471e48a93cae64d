#include "agent_limits.h"

#include <atomic>

#include "env_limit.h"

namespace {

constexpr int kDefaultMaxColumns = 64;
constexpr int kDefaultValuesBufSize = 8192;

std::atomic<int> actionSequence{0};

}  // namespace

int Max_IB_Columns() {
  static const int maxColumns = positiveLimitFromEnv("WJD_MAXCOLS", kDefaultMaxColumns);
  return maxColumns;
}

int Max_Values_Buf_Size() {
  static const int valuesBufSize = positiveLimitFromEnv("ZEVA_VALUES_BUF_SIZE", kDefaultValuesBufSize);
  return valuesBufSize;
}

int ActionID() { return ++actionSequence; }

#include "agent_limits.h"

#include <atomic>
#include <climits>
#include <cstdlib>

#include "bsv1.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr int kDefaultMaxColumns = 64;
constexpr int kDefaultValuesBufSize = 8192;

// The variable's value when it is a positive decimal number, else the default:
// a limit of 0 or less would refuse every table or size a buffer negatively.
int positiveLimitFromEnv(const char* name, int defaultValue) {
  const char* text = BSV1_GetEnv(name, 0);
  if (text == nullptr) return defaultValue;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || value < 1 || value > INT_MAX) {
    TRC(TRC_ERROR, "Warning: %s <%s> is not a positive number. Using %d.", name, text, defaultValue);
    return defaultValue;
  }
  TRC(TRC_DETAIL, "%s set to %ld", name, value);
  return static_cast<int>(value);
}

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

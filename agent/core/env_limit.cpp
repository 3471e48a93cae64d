#include "env_limit.h"

#include <climits>
#include <cstdlib>

#include "bsv1.h"
#include "trc1.h"

TRC_UNIT();

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

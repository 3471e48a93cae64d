#include "metafile_numbers.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace zevp {

int32_t DecimalValue(const char* text, bool* hasDigits) {
  if (hasDigits != nullptr) *hasDigits = false;
  if (text == nullptr) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  // Gathered as a negative number, whose range is one larger.
  int64_t value = 0;
  constexpr int64_t kBeyond = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
    if (hasDigits != nullptr) *hasDigits = true;
    if (value > -kBeyond) value = value * 10 - (*text - '0');
  }
  if (value < -kBeyond) value = -kBeyond;
  if (!negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

int32_t RealValue(const char* text) {
  if (text == nullptr) return 0;
  double value = std::strtod(text, nullptr);
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace zevp

#include "integer_values.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "attribute_entry.h"

namespace zevp {

int32_t ClampToInt32(double value) {
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

void StoreInteger(AttributeEntry* attribute, int32_t value) {
  if (attribute->MaxValSize >= 4) {
    std::memcpy(attribute->Value(), &value, sizeof value);
  } else if (attribute->MaxValSize >= 2) {
    auto narrow = static_cast<int16_t>(std::clamp<int32_t>(value, std::numeric_limits<int16_t>::min(),
                                                            std::numeric_limits<int16_t>::max()));
    std::memcpy(attribute->Value(), &narrow, sizeof narrow);
  }
  attribute->ActualValSize = attribute->MaxValSize;
}

int32_t IntegerValue(const AttributeEntry* attribute) {
  if (attribute->ActualValSize == 2 && attribute->MaxValSize >= 2) {
    int16_t narrow;
    std::memcpy(&narrow, attribute->Value(), sizeof narrow);
    return narrow;
  }
  int32_t value = 0;
  std::memcpy(&value, attribute->Value(), std::min<size_t>(sizeof value, attribute->MaxValSize));
  return value;
}

}  // namespace zevp

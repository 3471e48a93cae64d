#include "row_layout.h"

#include <algorithm>
#include <cstring>

#include "bsv1.h"

void setOriginNode(char* row, int rowSize, const char* originNode) {
  size_t column = static_cast<size_t>(std::clamp(rowSize, 0, kOriginNodeLength));
  std::memset(row, ' ', column);
  if (originNode != nullptr) std::memcpy(row, originNode, std::min(std::strlen(originNode), column));
}

int64_t rowStoreNow() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

// The rows a request of one of the agent's tables holds, by index: the same two members
// for the user tables and the fixed tables.
#pragma once

#include "pxraf.h"

class requestRows : public Pxraf {
 public:
  using Pxraf::Pxraf;

  // 1 when 0 <= i < NumDataItems(), else 0.
  int CheckDataIndex(int i) { return i >= 0 && i < NumDataItems() ? 1 : 0; }
  // Row i of the request (Pxraf::Data); null outside the rows it holds.
  char* GetRow(int i) { return CheckDataIndex(i) != 0 ? Data(i) : nullptr; }
};

// DCH handles: one per attribute list the store builds, never repeated within a
// run and different between runs.
#pragma once

#include <cstdint>

// The value of "no handle": a failed look-up or allocation. A failed online
// reply carries 0, so neither value is ever handed out.
constexpr uint32_t DCH_NO_HANDLE = 0xFFFFFFFF;

class HandleSequence {
 public:
  // Handles are base + 1, base + 2, ... in unsigned arithmetic, skipping the two
  // values that no handle may have.
  HandleSequence(uint32_t base, uint32_t counter) : base_(base), counter_(counter) {}

  uint32_t next();

 private:
  uint32_t base_;
  uint32_t counter_;
};

// The process's handle: its base is the start time in seconds shifted left by 16
// bits, taken at the first call. Only the server's request thread calls it.
uint32_t DCH_NextHandle();

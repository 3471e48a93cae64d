// One input buffer of an I/O entry: a header and the data area, in one block.
// The chain of an entry lives as long as the entry and is freed with it.
#pragma once

#include <cstdint>

struct IObuffer {
  IObuffer* next;        // next buffer of the same I/O entry
  int32_t BufferNumber;  // 1 for the first buffer of an entry, one more for each further one
  int32_t DataLength;
  int32_t State;  // ZEVP_BufferState

  char* Data() { return reinterpret_cast<char*>(this + 1); }
};

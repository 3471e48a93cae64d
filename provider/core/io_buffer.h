// The input buffers of an I/O entry: a header and the data area, in one block.
// A chain lives as long as its entry and is freed with it; buffers move NotInUse
// -> Allocated (taken) -> ValidData (filled) -> NotInUse.
#pragma once

#include <cstdint>

struct IOEntry;
struct SourceEntry;

struct IObuffer {
  IObuffer* next;        // next buffer of the same I/O entry
  int32_t BufferNumber;  // 1 for the first buffer of an entry, one more for each further one
  int32_t DataLength;
  int32_t State;     // ZEVP_BufferState
  int32_t Capacity;  // bytes of the data area, at least the record length it was made for

  char* Data() { return reinterpret_cast<char*>(this + 1); }
};

// The smallest buffer, counted as a header of ZEVP_IO_BUFFER_HEADER bytes and its
// data area: a record length of 112 makes a buffer of 1024, one of 2000 a buffer of 2016.
constexpr int32_t ZEVP_IO_BUFFER_MINIMUM = 1024;
constexpr int32_t ZEVP_IO_BUFFER_HEADER = 16;

// The record length of a source, from its attributes: 80, and for each attribute
// its size and a delimiter (the widest decimal text for a number).
int32_t ZEVP_ComputeIObufferSize(const SourceEntry* source);

// Adds a buffer whose data area holds the entry's record length at the end of its
// chain, numbered one more than the last: 1, or 0 without storage. The caller
// holds the entry's lock.
int ZEVP_AllocateIObuffer(IOEntry* entry);

// The first NotInUse buffer of the entry that holds its record length (a new one
// when none does), marked Allocated with its data cleared for the record length;
// null without storage. The caller holds the entry's lock.
IObuffer* ZEVP_GetNextFreeBuffer(IOEntry* entry);

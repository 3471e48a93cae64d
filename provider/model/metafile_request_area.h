// The metafile request area of a data provider: a metafile that a requester
// asked the metafile client to fetch from a metafile server, or a metafile held
// in memory, read record by record.
#pragma once

#include <cstdint>

#include "bsv1.h"

struct ProcessEntry;

// One line of a metafile; its text follows the record in the same block.
struct MetafileRecord {
  MetafileRecord* next;
  char* Text;
  uint32_t TextLength;
};

// Status values of the area.
constexpr int32_t ZEVP_MFRA_REQUEST_PENDING = -1;
constexpr int32_t ZEVP_MFRA_RECEIVED = 0;
constexpr int32_t ZEVP_MFRA_CONNECTION_BROKEN = -2;
constexpr int32_t ZEVP_MFRA_INVALID_RECORDS = -3;
constexpr int32_t ZEVP_MFRA_OWN_MEMORY_METAFILE = -4;
constexpr int32_t ZEVP_MFRA_MEMORY_METAFILE = -5;

struct MFRA {
  BSV1_Lock Lock;           // held by the fetching thread from its request to its last record
  ProcessEntry* Owner;      // the metafile client thread: carries the work request
  ProcessEntry* Requester;  // the thread that asked: carries the answer
  const char* MetafileName;  // the requester's, not copied
  int32_t RecordCount;       // records not yet read
  int32_t Status;            // above, or a positive status from the server (1: not found)
  MetafileRecord* Records;
};

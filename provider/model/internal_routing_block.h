// The routing of the rows of one //INTERNAL OUTPUT group to the groups that
// read them as //INTERNAL INPUT under the same name.
#pragma once

#include <cstdint>

#include "bsv1.h"

struct DPAB;
struct TableEntry;

struct InternalRoutingBlock {
  InternalRoutingBlock* next;  // the anchor's list
  char* Name;                  // owned, upper-cased
  char* RecordCopy;            // storage for the record being routed
  int32_t RecordLength;        // length of the last record routed
  TableEntry* FirstInput;      // chained through TableEntry::NextInputTable
  TableEntry* Output;
  int32_t InputCount;
  int32_t PendingRoutes;
  BSV1_Lock Lock;
};

// The block of that name, made and appended to the anchor's list when there is
// none; null only when no storage can be had.
InternalRoutingBlock* ZEVP_CreateInternalRoutingBlock(DPAB* anchor, const char* name);

namespace zevp {

// Which input groups routing serves, read once, when the first block is made.
struct RoutingSwitchSettings {
  // Unless ZEVP_BYPASS_BATCH_GROUP begins with N: groups whose summary is in batch mode get nothing.
  bool bypassBatchGroups;
  // ZEVP_BATCH_MODE_PROCESS begins with Y: groups whose summary is not in batch mode get
  // nothing, and those in batch mode are served.
  bool batchProcessing;
};
const RoutingSwitchSettings& RoutingSwitches();

}  // namespace zevp

// Starting the file servers: one thread for each FILE source that needs one.
#include <cctype>
#include <cstring>

#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "file_server.h"
#include "file_pattern_control_block.h"
#include "internal_routing_block.h"
#include "io_entry.h"
#include "process_entry.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

bool Begins(const char* value, char letter) {
  return value != nullptr && std::toupper(static_cast<unsigned char>(value[0])) == letter;
}

// A summary block begins with its batch flag (the summaries own the rest of it).
int32_t BatchFlagOf(const SummaryManagementBlock* summary) {
  int32_t flag = 0;
  std::memcpy(&flag, summary, sizeof flag);
  return flag;
}

// Which groups the batch and summary switches leave to others.
struct BatchSwitches {
  bool bypassBatch = true;
  bool batchProcess = false;
  bool summaryOnly = false;

  BatchSwitches() {
    bypassBatch = !Begins(ZEV0_GetEnv("ZEVP_BYPASS_BATCH_GROUP", nullptr), 'N');
    if (Begins(ZEV0_GetEnv("ZEVP_BATCH_MODE_PROCESS", nullptr), 'Y')) {
      batchProcess = true;
      bypassBatch = false;
    }
    summaryOnly = Begins(ZEV0_GetEnv("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY", nullptr), 'Y');
  }

  // The message of a group that is left out, or null.
  const char* bypass(const SourceEntry* source) const {
    const SummaryManagementBlock* summary = source->Summary;
    if (bypassBatch && summary != nullptr && BatchFlagOf(summary) != 0)
      return "Monitor file attribute group %s bypassed due to Bypass Batch Processing requested";
    if (batchProcess && summary != nullptr && BatchFlagOf(summary) == 0)
      return "Monitor file attribute group %s bypassed due to Batch Processing in effect";
    bool routesOut = source->Table->RoutingBlock != nullptr && source->Table->RoutingBlock->Output == source->Table;
    if (summaryOnly && summary == nullptr && !routesOut)
      return "Monitor file attribute group %s bypassed due to Summary Batch Only in effect";
    return nullptr;
  }
};

}  // namespace

void ZEVP_CheckAndStartFileServer(DPAB* anchor, void (*routine)(ProcessEntry* entry)) {
  BatchSwitches switches;
  BSV1_GetLock(&anchor->fileIOListLock);
  for (IOEntry* io = anchor->fileIOEntries; io != nullptr; io = io->NextOfKind) {
    SourceEntry* source = io->Source;
    if (source == nullptr || source->Table == nullptr || source->FileSpec == nullptr) continue;
    if (const char* bypassed = switches.bypass(source)) {
      TRC(TRC_DETAIL, bypassed, source->Table->TableName);
      continue;
    }
    if (source->FileSpec->FileServer != nullptr) continue;
    int32_t state = ZEVP_SourceStateOf(source);
    if (state != ZEVP_Ready && state != ZEVP_Pending) continue;
    ProcessEntry* entry = nullptr;
    if (!ZEVP_CreateProcess(anchor, ZEV_DP_FILE, source, routine, 0, &entry)) {
      TRC(TRC_ERROR, "***** File server process startup failed for file %s", source->SourceName);
      continue;
    }
    source->FileSpec->FileServer = entry;
  }
  BSV1_ReleaseLock(&anchor->fileIOListLock);
}

void ZEVP_StartBatchFileMonitoring(DPAB* anchor) { ZEVP_CheckAndStartFileServer(anchor, ZEVP_FileServer); }

#include "record_paths.h"

#include <algorithm>

#include "dp_anchor.h"
#include "engine_routines.h"
#include "filter_check.h"
#include "io_buffer.h"
#include "io_entry.h"
#include "record_split.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/dp_types.h"

TRC_UNIT();

namespace {

void freeBuffer(IObuffer* buffer) {
  int32_t previous = buffer->State;
  buffer->State = ZEVP_NotInUse;
  buffer->DataLength = 0;
  TRC(TRC_DETAIL, "Buffer state changed from %s to NotInUse",
      previous >= 0 && previous < ZEVP_BUFFER_STATE_COUNT ? BufferStateString[previous] : "?");
}

// After a row passed its filters: an internal output group hands the unchanged
// record to its input groups, and a summary source adds the row.
void passOn(DPAB* anchor, SourceEntry* source, const char* record, int32_t length) {
  if (source->Table != nullptr && source->Table->RoutingBlock != nullptr)
    zevp::Routines().dispatchInternalOutput(anchor, source, source->Table->RoutingBlock, record, length);
}

void summarise(SourceEntry* source) {
  if (source->Summary != nullptr) zevp::Routines().updateSummaryDataArray(source);
}

// Queues the source in state Output and waits for the DCH client routine, on the
// source's own waiting entry or, for the time of the call, the anchor's shared one.
void sendRow(DPAB* anchor, SourceEntry* source) {
  zevp::EngineRoutines& routines = zevp::Routines();
  routines.updateSourceEntryState(source, ZEVP_Output);
  if (source->OwningTask != nullptr) {
    routines.queueAndWaitDCHstatus(anchor, source->OwningTask, source);
    return;
  }
  BSV1_GetLock(&anchor->statPELock);
  if (ProcessEntry* shared = anchor->pStatPE) {
    ProcessEntry* owner = ZEVP_LendSource(source, shared);
    routines.queueAndWaitDCHstatus(anchor, shared, source);
    ZEVP_GiveSourceBack(source, shared, owner);
  } else {
    TRC(TRC_ERROR, "*****Error: no waiting entry for the row of source @%p, not sent", static_cast<void*>(source));
  }
  BSV1_ReleaseLock(&anchor->statPELock);
}

const char* typeName(const DPAB* anchor) {
  return anchor != nullptr && anchor->dpType >= 0 && anchor->dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[anchor->dpType]
                                                                                        : "?";
}

}  // namespace

int ZEVP_MoveDataFromBufferToAttr(DPAB* anchor, IOEntry* holder, IObuffer* buffer) {
  if (buffer == nullptr) {
    TRC(TRC_ERROR, "*** Logic error. No buffer to move into attributes");
    return 0;
  }
  if (buffer->State != ZEVP_ValidData) {
    TRC(TRC_ERROR, "*** Logic error. Buffer @%p contains invalid data. Resetting to free buffer",
        static_cast<void*>(buffer));
    freeBuffer(buffer);
    return 0;
  }
  SourceEntry* source = holder != nullptr ? holder->Source : nullptr;
  if (source == nullptr) {
    TRC(TRC_ERROR, "*****Error: buffer @%p names no source, input data discarded", static_cast<void*>(buffer));
    freeBuffer(buffer);
    return 0;
  }
  // The data area holds at least the entry's record length: never read past it.
  int32_t length = std::max(buffer->DataLength, 0);
  if (holder->RecordLength > 0 && length > holder->RecordLength) {
    TRC(TRC_ERROR, "*****Error: buffer @%p holds %d bytes, more than the record length %d; cut", static_cast<void*>(buffer),
        length, holder->RecordLength);
    length = holder->RecordLength;
  }
  char* record = buffer->Data();
  int32_t consumed = 0;
  int loaded = ZEVP_MoveDataToAttr(source, record, length, &consumed);
  bool passed = ZEVP_CheckAttributesPassFilters(source) != 0;
  if (passed) passOn(anchor, source, record, length);
  int total = ZEVP_CountInputAttributes(source);
  if (loaded < total)
    TRC(TRC_DETAIL, "*** Not all attributes loaded. Total %d, loaded %d Count %d Actual Buffer Size %d", total, loaded,
        consumed, length);
  freeBuffer(buffer);
  if (passed) summarise(source);
  return passed ? 1 : 0;
}

int ZEVP_MoveDataToDCH(DPAB* anchor, SourceEntry* source, char* record, int32_t length) {
  if (source == nullptr) {
    TRC(TRC_DETAIL, "No SourceEntry pointer provided for DP Type: %s", typeName(anchor));
    return 0;
  }
  if (anchor == nullptr) {
    TRC(TRC_ERROR, "*****Error: no data provider for the row of source @%p", static_cast<void*>(source));
    return 0;
  }
  if (record == nullptr) length = 0;
  int loaded = ZEVP_MoveDataToAttr(source, record, length, nullptr);
  if (loaded == 0 && length > 0) return 0;
  if (ZEVP_CheckAttributesPassFilters(source) == 0) return 0;
  passOn(anchor, source, record, length);
  summarise(source);
  if (zevp::Routines().checkDataSummaryReady(source) == 0) return 0;
  sendRow(anchor, source);
  if (source->State != ZEVP_Active) return 0;
  zevp::Routines().updateSourceEntryState(source, ZEVP_Input);
  return 1;
}

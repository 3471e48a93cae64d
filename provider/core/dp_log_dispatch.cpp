// Formatting one log message and delivering it: the batch log in batch mode, else
// standard output for SYSTEM messages and a row of the DPLOG group when its source
// is online. Each dispatch formats into its own buffer; the DPLOG source's values
// are written only by the one log server (in batch mode there is no DPLOG source).
#include <cstdio>
#include <cstring>

#include "attribute_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "process_entry.h"
#include "source_entry.h"
#include "trc1.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

constexpr char kNoParameterProvided[] = "?";
constexpr char kSystemMessage[] = "SYSTEM";
constexpr int32_t kStatisticMessage = 36;
constexpr char kCutMark[] = "...";

void setValue(AttributeEntry* attribute, const char* text, size_t length) {
  if (attribute == nullptr) return;
  if (length > attribute->MaxValSize) length = attribute->MaxValSize;
  std::memcpy(attribute->Value(), text, length);
  attribute->Value()[length] = '\0';
  attribute->ActualValSize = static_cast<uint16_t>(length);
}

// The text cut to the attribute's size ends in "...".
void setLogText(AttributeEntry* attribute, const char* text, size_t length) {
  if (attribute == nullptr) return;
  setValue(attribute, text, length);
  size_t size = attribute->MaxValSize;
  if (length > size && size >= sizeof kCutMark - 1)
    std::memcpy(attribute->Value() + size - (sizeof kCutMark - 1), kCutMark, sizeof kCutMark - 1);
}

void fillRow(DPAB* anchor, SourceEntry* source, const char* category, const char* text, size_t length,
             const char* timeStamp) {
  char stamp[17];
  if (timeStamp == nullptr || std::strlen(timeStamp) < 16) timeStamp = ZEV0_GetPlovenTime(stamp);
  char display[32];
  int displayLength = ZEV0_PlovenTimeToString(timeStamp, display);
  BSV1_GetLock(&source->AttributeLock);
  setValue(anchor->logTimeAttribute, display, displayLength > 0 ? static_cast<size_t>(displayLength) : 0);
  setValue(anchor->logCategoryAttribute, category, ZEVP_DP_LOG_CATEGORY_WIDTH);
  setLogText(anchor->logTextAttribute, text, length);
  BSV1_ReleaseLock(&source->AttributeLock);
}

// The log server's own entry, or the lent one (the caller then holds its lock).
ProcessEntry* waitingEntry(DPAB* anchor, bool* lent) {
  ProcessEntry* own = ZEVP_LocateOwnProcessEntry(anchor);
  *lent = own == nullptr;
  if (own != nullptr) return own;
  BSV1_GetLock(&anchor->statPELock);
  return anchor->pStatPE;
}

// The DCH client wakes the source's owning task: for the time of the wait that is
// the waiting thread, and then the owner again.
void queueAndWaitAsOwner(DPAB* anchor, ProcessEntry* waiter, SourceEntry* source) {
  ProcessEntry* owner = ZEVP_LendSource(source, waiter);
  ZEVP_QueueAndWaitDCHstatus(anchor, waiter, source);
  ZEVP_GiveSourceBack(source, waiter, owner);
}

bool delivered(const SourceEntry* source) { return ZEVP_SourceStateOf(source) == ZEVP_Active || ZEVP_SourceStateOf(source) == ZEVP_Output; }

void sendRow(DPAB* anchor, SourceEntry* source) {
  bool lent = false;
  ProcessEntry* waiter = waitingEntry(anchor, &lent);
  queueAndWaitAsOwner(anchor, waiter, source);
  while (!delivered(source) && waiter->terminationFlag == 0 && anchor->shutdownFlag == 0) {
    TRC(TRC_ERROR, "*** dp_data failed for DP LOG");
    ZEVP_UpdateSourceEntryState(source, ZEVP_Ready);
    queueAndWaitAsOwner(anchor, waiter, source);
  }
  if (ZEVP_SourceStateOf(source) == ZEVP_Output) {
    TRC(TRC_ERROR, "*****dp_data not performed. Log bypassed");
    ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
  }
  if (lent) BSV1_ReleaseLock(&anchor->statPELock);
}

}  // namespace

size_t ZEVP_FormatDPlogText(const char* message, const char* const inserts[ZEVP_DP_LOG_INSERTS], char* out,
                            size_t size) {
  if (size == 0) return 0;
  size_t length = 0;
  int used = 0;
  auto append = [&](const char* text, size_t count) {
    size_t room = size - 1 - length;
    if (count > room) count = room;
    std::memcpy(out + length, text, count);
    length += count;
  };
  for (const char* at = message; *at != '\0'; ++at) {
    if (*at == '@' && used < ZEVP_DP_LOG_INSERTS) {
      const char* insert = inserts != nullptr && inserts[used] != nullptr ? inserts[used] : kNoParameterProvided;
      ++used;
      append(insert, std::strlen(insert));
    } else {
      append(at, 1);
    }
  }
  out[length] = '\0';
  return length;
}

void ZEVP_DispatchDPlogMessage(DPAB* anchor, int32_t number, const char* const inserts[ZEVP_DP_LOG_INSERTS],
                               const char* timeStamp) {
  const char* templateText = ZEVP_DPlogTemplate(number);
  if (templateText == nullptr) {
    TRC(TRC_ERROR, "*****Invalid DP log message number %d, message discarded", number);
    return;
  }
  char text[ZEVP_DP_LOG_TEXT_SIZE];
  size_t length = ZEVP_FormatDPlogText(templateText + ZEVP_DP_LOG_CATEGORY_WIDTH, inserts, text, sizeof text);

  if (anchor->batchMode != 0 && anchor->batchLog != nullptr) {
    ZEVP_WriteBatchLog(text);
    return;
  }
  if (std::strncmp(templateText, kSystemMessage, sizeof kSystemMessage - 1) == 0) {
    std::printf("%s\n", text);
    std::fflush(stdout);
  }
  SourceEntry* source = anchor->logSource;
  if (source == nullptr || ZEVP_SourceStateOf(source) != ZEVP_Active) {
    TRC(TRC_DETAIL, ">>> Log message discarded. DCH communication not ready or busy");
    return;
  }
  fillRow(anchor, source, templateText, text, length, timeStamp);
  ZEVP_UpdateSourceEntryState(source, ZEVP_Output);
  if (number == kStatisticMessage)
    ZEVP_EnqueueSourceToDCH(anchor, source);
  else
    sendRow(anchor, source);
}

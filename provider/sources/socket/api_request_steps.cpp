// The API partner's requests, by the state of its source: Connected (a new TCP
// session, before its BGNINP), Ready and Input.
#include "action_hand_over.h"
#include "api_request.h"
#include "application_entry.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_text.h"
#include "model_lookups.h"
#include "partner_records.h"
#include "partner_sources.h"
#include "request_state_machine.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace zevp {

namespace {

// The row-block marker (the source's control value): BGNROW opens a block whose
// first row goes at once (1), the next are held one behind (0) until ENDROW sends
// the last (16); outside a block every row goes at once (17).
constexpr int16_t kBlockFirst = 1;
constexpr int16_t kBlockMiddle = 0;
constexpr int16_t kBlockLast = 16;
constexpr int16_t kSingleRow = ZEVP_DATA_SEQUENCE_ROW;

int32_t verbOf(const PartnerRequest& request) { return ZEVP_ExtractAPIcallType(request.bytes, request.length); }

std::string operandsOf(const PartnerRequest& request) { return ZEVP_APIoperands(request.bytes, request.length); }

void setState(SourceEntry* source, int32_t state) { Routines().updateSourceEntryState(source, state); }

void sequenceError(PartnerRequest& request) {
  TRC(TRC_ERROR, "*** API request rejected, sequence error");
  request.status = ZEVP_API_SEQUENCE_ERROR;
}

void saveSourceName(PartnerRequest& request) {
  request.status = ZEVP_SaveAPIsourceName(request.source, operandsOf(request)) ? ZEVP_API_DONE : ZEVP_API_NAME_REFUSED;
}

// BGNINP at a new session: the named group takes the source.
void beginInput(PartnerRequest& request) {
  std::vector<std::string> names = Words(operandsOf(request));
  ApplicationEntry* application =
      names.empty() ? nullptr
                    : ZEVP_LocateApplicationByName(request.anchor, names[0].c_str(), static_cast<int>(names[0].size()));
  if (application == nullptr) {
    request.status = ZEVP_API_NO_APPLICATION;
    return;
  }
  TableEntry* group = names.size() < 2 ? nullptr
                                       : ZEVP_LocateTableByName(application, names[1].c_str(),
                                                                static_cast<int>(names[1].size()));
  if (group == nullptr) {
    request.status = ZEVP_API_NO_GROUP;
    return;
  }
  SourceEntry* source = request.source;
  if (source->Table == nullptr) AssociateDynamicSource(source, group);
  if (source->OwningTask == nullptr) source->OwningTask = request.caller;
  if (source->FirstAttribute == nullptr) CopyGroupDefinition(source->Table, source);
  setState(source, ZEVP_Ready);
  request.status = ZEVP_API_DONE;
}

// A row the agent refused is answered in the request's status (92), also when the
// rows after it went.
void rowSent(PartnerRequest& request) {
  if (request.status != ZEVP_API_DATA_FAILED) request.status = ZEVP_API_DONE;
}

// Sends the source's values as a row; false when the agent did not take it (the row
// is dropped, the block ends).
bool sendRow(PartnerRequest& request) {
  if (SendRow(request)) return true;
  request.source->DataSequence = kSingleRow;
  request.source->DataPending = 0;
  request.status = ZEVP_API_DATA_FAILED;
  return false;
}

// SNDDTA (records) and ENDROW (none): a held row goes before the next record is
// loaded; each record is held or sent by the marker; a record that makes no row is
// passed by. A refused row ends its block: the records after it go on as single
// rows.
void recordLoop(PartnerRequest& request, const std::vector<RecordView>& records) {
  SourceEntry* source = request.source;
  for (size_t next = 0;; ++next) {
    const int16_t held = source->DataSequence;
    if (source->DataPending != 0 && (held == kBlockMiddle || held == kBlockLast)) {
      TRC(TRC_DETAIL, "Using source entry @%p", static_cast<void*>(source));
      if (sendRow(request)) {
        source->DataPending = 0;
        if (held == kBlockLast) {
          source->DataSequence = kSingleRow;
          rowSent(request);
          return;
        }
      }
    }
    const int16_t marker = source->DataSequence;
    bool record = next < records.size();
    if (!record && marker != kBlockLast) return;
    if (record && LoadPartnerRecord(request.anchor, request.partner, records[next].text, records[next].length) == 0) {
      TRC(TRC_DETAIL, "Record of %d bytes of %s makes no row, next record", records[next].length, NodeNameOf(source));
      continue;
    }
    bool sent = true;
    if (marker == kBlockMiddle) {
      source->DataPending = 1;
      rowSent(request);
    } else if (Routines().checkDataSummaryReady(source) == 0) {
      setState(source, ZEVP_Input);
    } else if ((sent = sendRow(request))) {
      rowSent(request);
    }
    if (sent && marker == kBlockFirst) source->DataSequence = kBlockMiddle;
    if (sent && marker == kBlockLast) {
      source->DataSequence = kSingleRow;
      source->DataPending = 0;
    }
    if (next + 1 >= records.size()) return;
  }
}

void result(PartnerRequest& request) {
  int32_t actionID = 0;
  std::string text;
  bool hasText = false;
  if (!ZEVP_ParseAPIresult(operandsOf(request), &actionID, &text, &hasText)) {
    TRC(TRC_ERROR, "*** RESULT operands invalid <%s>", operandsOf(request).c_str());
    request.status = ZEVP_API_BAD_RESULT;
    return;
  }
  request.status = ZEVP_PostActionRequestCompletion(request.source, static_cast<uint32_t>(actionID), hasText ? text.c_str() : nullptr);
}

}  // namespace

void ConnectedSteps(PartnerRequest& request) {
  request.status = ZEVP_UnassociatedRequestRefusal(request.bytes, request.length);
  if (request.status != ZEVP_API_DONE) return;
  switch (verbOf(request)) {
    case ZEVP_VERB_BGNINP:
      beginInput(request);
      return;
    case ZEVP_VERB_ACCREQ:
      ZEVP_SetAcceptRequestOptions(request.source, operandsOf(request));
      request.status = ZEVP_API_DONE;
      return;
    default:
      saveSourceName(request);
      return;
  }
}

void ReadySteps(PartnerRequest& request) {
  switch (verbOf(request)) {
    case ZEVP_VERB_ACCREQ:
      ZEVP_SetAcceptRequestOptions(request.source, operandsOf(request));
      OnlineSteps(request);
      return;
    case ZEVP_VERB_BGNINP:
    case ZEVP_VERB_SNDDTA:
      OnlineSteps(request);
      return;
    case ZEVP_VERB_SETSRC:
      saveSourceName(request);
      return;
    default:
      sequenceError(request);
      return;
  }
}

void APIinputSteps(PartnerRequest& request) {
  SourceEntry* source = request.source;
  switch (verbOf(request)) {
    case ZEVP_VERB_ACCREQ:
      ZEVP_SetAcceptRequestOptions(source, operandsOf(request));
      request.status = ZEVP_API_DONE;
      return;
    case ZEVP_VERB_RCVREQ: {
      const char* outstanding = ZEVP_CheckOutstandingActionRequest(request.anchor, source);
      request.status = ZEVP_API_DONE;
      if (outstanding != nullptr) {
        request.replyData = true;
        request.data = outstanding;
        request.actionDelivered = true;
      }
      return;
    }
    case ZEVP_VERB_RESULT:
      result(request);
      return;
    case ZEVP_VERB_BGNROW:
      source->DataSequence = kBlockFirst;
      request.status = ZEVP_API_DONE;
      return;
    case ZEVP_VERB_ENDROW:
      source->DataSequence = kBlockLast;
      recordLoop(request, {});
      return;
    case ZEVP_VERB_SNDDTA: {
      std::string operands = operandsOf(request);
      recordLoop(request, CutAtLineFeeds(operands));
      return;
    }
    default:
      sequenceError(request);
      return;
  }
}

}  // namespace zevp

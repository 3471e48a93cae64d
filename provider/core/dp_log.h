// The data-provider log: numbered messages of a fixed catalogue, formatted with up
// to five inserted texts and delivered in order by the log server as rows of the
// built-in application DVAgent (group DPLOG) over the DCH; SYSTEM messages are
// also printed on standard output. In batch mode they are lines of the batch log.
//
// A sender never waits for the DCH: it copies its texts into one queued block.
// Messages are kept only while the product enables the log (ENABLE_DPLOG=Y).
#pragma once

#include "zevp/batch_run.h"

#include <cstddef>
#include <cstdint>

struct DPAB;
struct ProcessEntry;

// The catalogue holds numbers 0 to ZEVP_DP_LOG_MESSAGE_COUNT - 1; each text begins
// with its category in ZEVP_DP_LOG_CATEGORY_WIDTH characters, an at sign marks
// each place of an inserted text.
constexpr int32_t ZEVP_DP_LOG_MESSAGE_COUNT = 115;
constexpr int ZEVP_DP_LOG_CATEGORY_WIDTH = 9;
constexpr int ZEVP_DP_LOG_INSERTS = 5;
// The longest formatted text: the row's DP_Log_Text holds less anyway.
constexpr size_t ZEVP_DP_LOG_TEXT_SIZE = 512;

// One queued message: one storage block with the copies of its inserts behind it.
struct DPlogWorkEntry {
  DPlogWorkEntry* next;
  int32_t number;
  const char* inserts[ZEVP_DP_LOG_INSERTS];  // null for an absent one
  char timeStamp[17];                        // the agent time stamp of the send
};

// The template of a message number, or null outside the catalogue.
const char* ZEVP_DPlogTemplate(int32_t number);

// True when product specification item 15 (ENABLE_DPLOG) begins with Y.
bool ZEVP_DPlogEnabled();

// Reports message `number` (p1 to p5 may be null). The anchor may be null: the
// process-wide one is then used (the first anchor any caller passed).
void ZEVP_SendDPlogMessage(DPAB* anchor, int32_t number, const char* p1 = nullptr, const char* p2 = nullptr,
                           const char* p3 = nullptr, const char* p4 = nullptr, const char* p5 = nullptr);

// The log queue, first in first out; an enqueue wakes the log server.
void ZEVP_EnqueueDPlogRequest(DPAB* anchor, DPlogWorkEntry* entry);
DPlogWorkEntry* ZEVP_GetNextDPlogRequest(DPAB* anchor);

// Thread routine of the log server (ZEVP_CreateProcess); sets the anchor's logServerReady.
void ZEVP_DPlogServer(ProcessEntry* entry);

// Formats one message and delivers it: batch log, standard output, the DPLOG row.
// timeStamp is an agent time stamp, or null for now.
void ZEVP_DispatchDPlogMessage(DPAB* anchor, int32_t number, const char* const inserts[ZEVP_DP_LOG_INSERTS],
                               const char* timeStamp);

// The message text of a template with the inserts in place of its at signs: the
// first at sign takes inserts[0], the next one after that text inserts[1], and so
// on; an absent insert shows "?". Cut to fit `size` (zero-terminated); the length.
size_t ZEVP_FormatDPlogText(const char* message, const char* const inserts[ZEVP_DP_LOG_INSERTS], char* out,
                            size_t size);


namespace zevp {

// The process-wide anchor of the log, set by the first sender that passes one;
// forgotten when that anchor is freed (zevp::FreeAnchor).
DPAB* DPlogAnchor();
void SetDPlogAnchor(DPAB* anchor);
void ForgetDPlogAnchor(DPAB* anchor);

// Frees what is still queued (messages of an anchor whose log server never ran).
void DiscardDPlogQueue(DPAB* anchor);

// True while messages wait on the anchor's log queue; read without the queue lock
// (the log server's predicate under its own mutex).
bool DPlogQueued(DPAB* anchor);

}  // namespace zevp

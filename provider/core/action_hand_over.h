// Actions that an API or socket partner performs: the worker queues the action on
// the source, the partner's server thread fetches its request text (RCVREQ),
// confirms the delivery and later posts the result (RESULT), and the worker waits
// for each step.
//
// The source's remote-action list and its hand-over slot change under the source's
// ActionListLock; the entry's RemoteState, status and result under its ActionLock.
// The worker sleeps on the entry's ActionCondition, which the partner's thread
// signals under ActionMutex.
#pragma once

#include <cstdint>

struct ActionEntry;
struct DPAB;
struct ProcessEntry;
struct SourceEntry;

// The API request verbs, by index.
constexpr int ZEVP_API_VERB_COUNT = 10;
constexpr int ZEVP_API_RCVREQ = 7;
constexpr int ZEVP_API_RESULT = 8;

// The result of a post for an ID that no entry of the source waits for.
constexpr int ZEVP_NO_ACTION_AWAITS_RESULT = 85;

// 1 when the data provider performs the action itself, 0 when it is handed to the
// source's API or socket partner (one that accepts action requests).
int ZEVP_CheckIsLocalAction(const SourceEntry* source, const ActionEntry* entry);

// The API verb of a request: the six bytes after its ten-byte header compared with
// the verbs BGNINP to SETSRC; 0 when none matches or the request is shorter.
int ZEVP_ExtractAPIcallType(const char* request, int32_t length);

// The next queued action of the source as the request text for its partner (owned
// by the entry, valid until the partner confirms the delivery), or null when none
// is queued.
char* ZEVP_CheckOutstandingActionRequest(DPAB* anchor, SourceEntry* source);

// The partner has the request text: the action now waits for its result, or, when
// the partner expects to send none, completes with "No result expected".
void ZEVP_CheckActionRequestCompletion(SourceEntry* source);

// The partner's result for the action: 0, or 85 when no delivered action of the
// source has that ID. The text loses its last character; null: no data received.
int ZEVP_PostActionRequestCompletion(SourceEntry* source, uint32_t actionID, const char* text);

// The worker's side, for one source: queues the action to the partner and waits
// until the partner has fetched it and then until its result came, the source's
// result wait at most each. The wait also ends when the worker is told to end or
// the source is no longer active; an action that did not complete is then given
// "No result received in specified time period". The status is 0.
void ZEVP_PerformRemoteAction(ProcessEntry* worker, SourceEntry* source, ActionEntry* entry);

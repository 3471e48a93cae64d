// The action path's calls that API partners reach: the verb of a request, and the
// hand-over of an action to a partner that accepts action requests (RCVREQ fetches
// it, RESULT answers it).
#pragma once

#include <cstdint>

struct DPAB;
struct SourceEntry;

// The API verb of a request: the six bytes after its ten-byte header compared with
// the verbs BGNINP to SETSRC; 0 when none matches or the request is shorter.
int ZEVP_ExtractAPIcallType(const char* request, int32_t length);

// The next queued action of the source as the request text for its partner (owned
// by the entry), or null when none is queued.
char* ZEVP_CheckOutstandingActionRequest(DPAB* anchor, SourceEntry* source);
// The partner has the request text.
void ZEVP_CheckActionRequestCompletion(SourceEntry* source);
// The partner's result for the action: 0, or 85 when no delivered action of the
// source has that ID.
int ZEVP_PostActionRequestCompletion(SourceEntry* source, uint32_t actionID, const char* text);

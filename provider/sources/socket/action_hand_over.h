// The action path's calls that API partners reach: the verb of a request, and the
// hand-over of an action to a partner that accepts action requests (RCVREQ fetches
// it, RESULT answers it).
#pragma once

#include <cstdint>

struct SourceEntry;

// The verb index (1 to 9) of the request's six bytes after its eye-catcher; 0 when
// none matches. The request holds at least the header.
int ZEVP_ExtractAPIcallType(const char* request);

// The next action waiting for the source's partner as request text (the entry
// keeps it), or null when none waits.
char* ZEVP_CheckOutstandingActionRequest(SourceEntry* source);
// After the request text went to the partner.
void ZEVP_CheckActionRequestCompletion(SourceEntry* source);
// The partner's result for the action: 0, or 85 when no action of the source with
// that ID waits for one.
int ZEVP_PostActionRequestCompletion(SourceEntry* source, int32_t actionID, const char* text);

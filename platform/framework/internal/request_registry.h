// The framework's live requests by handle (internal to the framework).
//
// A request is live from its opening until its end begins. UseHandle pins a live
// request; its end waits until every pin has dropped, then deletes it. The registry's
// lock is a leaf: it is taken under a manager's lock (UseHandle in a walk of the
// request list), never the other way round.
#pragma once

#include <cstdint>
#include <vector>

#include "pxraf.h"
#include "table_manager.h"

namespace raf {

// A handle no request had before; 0 when they ran out.
uint32_t NewHandle();
// Makes the request live (and, with a manager, a member of its request list).
void AddLiveRequest(Pxraf* request, TableManager* manager);
// Ends a live request: out of its manager's list, waits for its pins, deletes it.
// False when the handle names no live request.
bool EndRequest(uint32_t handle);
// Ends every live request.
void EndAllRequests();

}  // namespace raf

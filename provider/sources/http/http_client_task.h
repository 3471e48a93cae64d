// The HTTP client tasks: threads that share one cursor into the URL list. At each
// walk the manager begins, every client takes the entry under the cursor and moves
// the cursor on, so each URL is looked at by one client; a client checks each due
// URL through an activity subtask, reads the page's title, every fiftieth check
// requests the page's objects, and leaves the status for the DCH update task.
//
// A client holds its own mutex only to wait for the next walk, and the manager's
// only to wake it: neither waits for the other's mutex while holding its own.
#pragma once

#include <atomic>
#include <cstdint>

#include "url_records.h"

// The thread routine; the argument is the URL management block. The manager
// counts a client in ClientTasksStarted before it starts it; the client lowers the
// count as it ends.
void* ZEVP_HTTPclientTask(void* block);

namespace zevp {

// Wakes every listed client for the walk the manager has begun.
void WakeClientTasks(URLmanagementBlock* block);

// Tells every client to end and wakes it. A client started but not yet listed is
// told as it joins the list, so that it does not wait out its pause between passes.
void TellClientTasksToEnd(URLmanagementBlock* block);

// The page buffer a client lends to each URL it checks: size bytes and a
// terminator. A subtask that needs more gives the URL a larger one, which the
// client then keeps.
struct CommonPageBuffer {
  char* page = nullptr;
  int32_t size = 0;
};

constexpr int32_t kCommonPageSize = 64000;

// Checks one entry the caller holds, as a client does in its pass: nothing while
// its status waits for the update task (within its interval), or it is not due,
// or another client checks it; else a page request, the title, the objects when
// their cycle has come, and the status left for the update task. Stops early
// once `ending` is set.
void CheckURLentry(URLmanagementBlock* block, CommonPageBuffer* buffer, URLrequestEntry* entry,
                   const std::atomic<int32_t>& ending);

// Of a check whose page came, under the entry lock: the number of the page's
// objects whose requests count for its response time (those not taken as cached),
// and whether this check collects the objects, with the countdown to the next.
int32_t ObjectThreshold(URLrequestEntry* entry, bool* collect);

}  // namespace zevp

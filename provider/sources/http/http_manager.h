// The HTTP manager task, the scheduler of the HTTP data provider: it starts the
// activity subtasks, the DCH update task and as many client tasks as the URLs
// need, begins a walk over the URL list whenever a URL is due, rewrites the URL
// configuration file after a change, and at its end stops every other HTTP thread
// and frees the URL management block.
//
// The manager holds its own mutex only to wait; it wakes each client task under
// the client's mutex, and clients wake it under its own.
#pragma once

#include <cstdint>

#include "process_entry.h"
#include "url_records.h"

// The thread routine, started by ZEVP_CreateProcess after ZEVP_InitializeUMB.
void ZEVP_HTTPmanagerTask(ProcessEntry* entry);

namespace zevp {

// The client tasks the URLs need: one for each perTask URLs begun, and one.
int32_t ClientTasksWanted(int32_t urls, int32_t perTask);

// Rewrites the URL configuration file when it was marked changed since the last
// rewrite; true when it did.
bool RewriteChangedURLconfiguration(URLmanagementBlock* block);

struct WalkPlan {
  bool begun = false;  // a new walk over the whole list begins
  int32_t pause = 0;   // seconds until the manager's next cycle
};

// Once the last walk is complete: a new walk begins when a URL is due at `now`
// (the cursor at the head, the walk number raised); the pause is the time until
// the next URL is due, or the shortest status interval when that is 0, at most the
// default sample interval.
WalkPlan PlanNextWalk(URLmanagementBlock* block, int64_t now);

}  // namespace zevp

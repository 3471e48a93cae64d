// Stand-ins for the routines of engine parts that are not built yet: each does
// the least that its callers rely on. A part that is built replaces its stand-in
// in the routine table (engine_routines.cpp) and deletes it here.
#pragma once

#include "engine_routines.h"

namespace zevp::standin {

// A thread that waits on its condition until its termination flag is set, then
// releases its entry and ends: every common and input server thread.
void IdleUntilTerminated(ProcessEntry* entry);

// The SNMP workers' monitored nodes: "not available".
void UpdateMonitorNodeCommunity(DPAB* anchor);
// The model's calls into the SNMP collection, not built yet.
void StopSNMPcollection(SourceEntry* source);                       // "not available"
// What action workers hand over to parts not built yet.
// An SNMP worker that gives each action back as it came, traced.
void SNMPWorkerTask(ActionWorkerTaskEntry* worker, ProcessEntry* own);

}  // namespace zevp::standin

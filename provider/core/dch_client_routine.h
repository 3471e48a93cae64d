// The one thread of a data provider that talks to the agent's DCH. It owns the
// DCHcomm block for its life, connects through the anchor's transport, and serves
// the DCH IO queue: for each source handed to it (dch_work_queue.h) it carries
// out the request the source's state orders, sets the source's next state from
// the agent's answer and wakes the source's owning task. At shut-down it takes
// the data-provider log offline and unregisters the applications; it ends once at
// most the periodic task runs beside it, and only after its receive thread.
#pragma once

struct ProcessEntry;

// Thread routine (ZEVP_CreateProcess).
void ZEVP_DCHclientRoutine(ProcessEntry* entry);

// The data provider's inbound DCH thread: one per connection, started by the
// connect. It reads what the agent sends, hands each status reply to the request
// that waits for it and each action message to the automation server.
#pragma once

struct DCHcomm;

// Thread entry; the argument is the DCHcomm of the DCH client.
void* ZEVP_DCHreceiveDataTask(void* comm);

// Wakes the DCH client when a status is awaited (clears StatusPending).
void ZEVP_SignalDCHreceiveStatus(DCHcomm* comm);

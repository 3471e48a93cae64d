// An action message from the agent (0x1060) becomes an action entry for the
// automation server.
#pragma once

struct DCHactionMessage;
struct DPAB;

// Fills a free entry from the message's fields (each text in a block of its own,
// zero-terminated; the parameters null when absent) and queues it to the
// automation server. The message's views are valid for the call only.
void ZEVP_TakeActionFromAgent(DPAB* anchor, const DCHactionMessage* action);

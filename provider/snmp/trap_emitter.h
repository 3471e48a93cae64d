// The TRAPEMIT action: one SNMPv1 trap that describes a situation, sent to the
// destinations of the action or the data provider's default ones.
#pragma once

struct ActionEntry;
struct DPAB;

// Sends the trap of the action's parameters and sets its result: status 0 and
// "SNMP trap emitted to agents: <addresses>", 14 without a destination, 15 with
// "Send trap rc=%d errno=%d" when nothing could be sent (or the trap would not
// fit its 4096 bytes).
void ZEVP_EmitSNMPtrap(DPAB* anchor, ActionEntry* entry);

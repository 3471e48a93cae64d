// An operator's SNMP command to the SNMP data provider: the action "SNMP" (any
// case) of the owner "SNMP Control", whose parameters are a command and its words,
// is rewritten into the SNMP worker's own action before any worker sees it:
//   SET <set words>                 -> SNMPSET <set words> APPLNAME=<application>
//   MONITOR START|STOP <words>      -> SNMPSTARTGET / SNMPSTOPGET <words> APPLNAME=... ATTRGROUP=...
//   MANAGE START|STOP|EXCLUDE NETADDR=<address> [POLL=<seconds>] [OPTION=Y|N]
//                                   -> SNMPMANAGE with a network request
// The application and group come from the action's source node (after its ':',
// less the two-character release).
#pragma once

struct ActionEntry;
struct DPAB;

// Rewrites the entry in place, holding the anchor's action-list lock only to change
// it: the name look-ups of a MANAGE command are made before. ActionStatus 0 when it
// was rewritten or is no operator command; 11 for missing words (and an application
// key too short to name one), 12 for an unknown qualifier, 9 for a syntax error, 13
// for a network that does not resolve. 1 when the status is 0 afterwards.
int ZEVP_CheckSNMPtakeAction(DPAB* anchor, ActionEntry* entry);

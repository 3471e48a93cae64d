// The target agents of an SNMP worker's collection: added from a start request's
// AGENTINFO= list, counted by interest, removed by stops, and their communities
// refreshed after the community file is reloaded.
//
// Locks, in this order: the anchor's SNMP node lock, the extension's node-list
// lock (which the collector holds for a whole pass), a source's locks.
#pragma once

#include <string>

struct DPAB;
struct MonitorAgentNameEntry;
struct SNMPMonitorNodeEntry;
struct SNMPWorkerTaskExtension;

// Resolves the AGENTINFO= text (its list in parentheses) into agent addresses,
// appends each address to *names and, unless namesOnly, adds each agent to the
// extension's list (a known one gains an interest). Host names, dotted addresses,
// network symbolic names and networks (expanded to their nodes) are taken. 0 when
// the text holds no list ('(' missing), else 1.
int ZEVP_SNMPaddAgentNodes(DPAB* anchor, SNMPWorkerTaskExtension* extension, const char* agentInfo,
                           MonitorAgentNameEntry** names, int namesOnly);

// Takes the name list (freeing it): each named agent loses an interest; agents
// left without interest leave the list, and their rows are deleted at the agent
// (one deletion request per agent, keyed by its name).
void ZEVP_SNMPdeleteAgentNodes(DPAB* anchor, SNMPWorkerTaskExtension* extension, MonitorAgentNameEntry** names);

// Removes every agent as the last stop of each would: the collection then ends.
void ZEVP_SNMPremoveAllAgentNodes(DPAB* anchor, SNMPWorkerTaskExtension* extension);

// After a community file reload: every monitored agent with a configured
// community takes a copy of it; a worker whose agents changed rewrites its interest.
void ZEVP_UpdateMonitorNodeCommunity(DPAB* anchor);

// Frees a chain of agent names.
void ZEVP_FreeMonitorAgentNames(MonitorAgentNameEntry** names);

namespace zevp {

// The agent's name in its rows: a network member's own address, else the name
// given, without the local domain ("host.dom" is "host" in the domain dom).
std::string ShownAgentName(const SNMPMonitorNodeEntry* node);

// Frees an agent entry with its texts and attribute copy.
void FreeMonitorNode(SNMPMonitorNodeEntry* node);

}  // namespace zevp

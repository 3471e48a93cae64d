// The texts made from an SNMP worker's collection: the records of the MIB interest
// file (docs/mib-interest-file.md) and the agent list of its MIB status row. An
// agent expanded from a network is written once per network, as the network
// address it came from.
#pragma once

#include <string>
#include <vector>

struct SNMPWorkerTaskExtension;

constexpr size_t ZEVP_MIB_INTEREST_RECORD_MAX = 2048;  // with its line end
constexpr int ZEVP_MIB_INTEREST_AGENTS_MAX = 10;
constexpr size_t ZEVP_MIB_STATUS_AGENTS_MAX = 1024;

// The records, each with its line end: "AGENTINFO=( {agent community},... )
// INTERVAL=n APPLNAME=APPL ATTRGROUP=GROUP", at most ten agents and 2048 bytes a
// record; an agent that fits no record is left out with a trace. The caller holds
// the extension's node-list and interval locks; empty without agents, application or
// group.
std::vector<std::string> ZEVP_BuildMIBinterestRecords(const SNMPWorkerTaskExtension& extension);

// The MIB status row's agent list, cut to 1024 bytes: "{network community}," for
// a network, "{address community} " for another agent. Caller holds the node-list lock.
std::string ZEVP_BuildMIBstatusAgentList(const SNMPWorkerTaskExtension& extension);

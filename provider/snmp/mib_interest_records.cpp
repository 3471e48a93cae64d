#include "mib_interest_records.h"

#include <cctype>
#include <set>

#include "application_entry.h"
#include "snmp_worker_extension.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

struct AgentEntry {
  std::string name;  // address, or the network it came from
  std::string community;
  bool network;
};

// The worker's agents as written: a network's members once, as their network.
std::vector<AgentEntry> AgentEntries(const SNMPWorkerTaskExtension& extension) {
  std::vector<AgentEntry> agents;
  std::set<std::string> networks;
  for (const SNMPMonitorNodeEntry* node = extension.nodes; node != nullptr; node = node->next) {
    const char* community = node->community != nullptr ? node->community : "";
    if (node->fromNetwork != 0) {
      const char* network = node->agentName != nullptr ? node->agentName : "";
      if (networks.insert(network).second) agents.push_back({network, community, true});
    } else if (node->agentAddress != nullptr) {
      agents.push_back({node->agentAddress, community, false});
    }
  }
  return agents;
}

std::string Upper(const char* text) {
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace

std::vector<std::string> ZEVP_BuildMIBinterestRecords(const SNMPWorkerTaskExtension& extension) {
  std::vector<std::string> records;
  if (extension.nodes == nullptr || extension.application == nullptr || extension.table == nullptr) return records;
  const std::string head = "AGENTINFO=( ";
  const std::string tail = " ) INTERVAL=" + std::to_string(extension.interval) +
                           " APPLNAME=" + Upper(extension.application->ApplName) +
                           " ATTRGROUP=" + Upper(extension.table->TableName) + "\n";
  std::string agents;
  int count = 0;
  auto close = [&] {
    if (count > 0) records.push_back(head + agents + tail);
    agents.clear();
    count = 0;
  };
  for (const AgentEntry& agent : AgentEntries(extension)) {
    const std::string entry = "{" + agent.name + " " + agent.community + "}";
    if (head.size() + entry.size() + tail.size() > ZEVP_MIB_INTEREST_RECORD_MAX) {
      TRC(TRC_ERROR, "***** Agent %s does not fit a MIB interest record. Not recorded", agent.name.c_str());
      continue;
    }
    const size_t separator = count > 0 ? 1 : 0;
    if (count == ZEVP_MIB_INTEREST_AGENTS_MAX ||
        head.size() + agents.size() + separator + entry.size() + tail.size() > ZEVP_MIB_INTEREST_RECORD_MAX)
      close();
    agents += (count > 0 ? "," : "") + entry;
    ++count;
  }
  close();
  return records;
}

std::string ZEVP_BuildMIBstatusAgentList(const SNMPWorkerTaskExtension& extension) {
  std::string list;
  for (const AgentEntry& agent : AgentEntries(extension))
    list += "{" + agent.name + " " + agent.community + (agent.network ? "}," : "} ");
  if (list.size() > ZEVP_MIB_STATUS_AGENTS_MAX) list.resize(ZEVP_MIB_STATUS_AGENTS_MAX);
  return list;
}

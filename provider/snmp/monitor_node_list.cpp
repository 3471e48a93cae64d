#include "monitor_node_list.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "dch/dch_protocol.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "mib_status_rows.h"
#include "metafile_text.h"
#include "model_release.h"
#include "network_node_expansion.h"
#include "one_variable_get.h"
#include "process_entry.h"
#include "snmp_action_parameters.h"
#include "snmp_worker_extension.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr uint16_t kSNMPport = 161;
constexpr char kPlaceholder[] = "XXXXXX";
constexpr char kAgentNameAttribute[] = "Agent_Name";
constexpr int32_t kLogAgentStarting = 110;
constexpr int32_t kLogAgentStopping = 111;

// One agent as resolved from the list, before it joins the extension.
struct ResolvedAgent {
  std::string name;  // as given, or the network it was expanded from
  std::string address;
  std::string community;  // empty: the default
  bool fromNetwork;
  sockaddr_in socketAddress;
};

void resolveNode(const std::string& node, const std::string& name, const std::string& community, bool fromNetwork,
                 std::vector<ResolvedAgent>* agents) {
  if (node == kPlaceholder) return;
  sockaddr_in address{};
  if (ZEV0_ConvertNameToAddr(node.c_str(), kSNMPport, &address) == 0) {
    TRC(TRC_ERROR, "*****Input agent name <%s> unresolved, ignored", node.c_str());
    return;
  }
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
  agents->push_back({name, dotted, community, fromNetwork, address});
}

std::string padded(const std::string& address, int dots) {
  if (dots == 1) return address + ".0.0";
  if (dots == 2) return address + ".0";
  return address;
}

bool endsInZero(const std::string& address) { return address.size() >= 2 && address.compare(address.size() - 2, 2, ".0") == 0; }

// A dotted address without a host name is a network when it expands to nodes.
void resolveAddress(DPAB* anchor, const std::string& given, int dots, const std::string& community,
                    std::vector<ResolvedAgent>* agents) {
  const std::string address = padded(given, dots);
  char* host = ZEV0_ResolveAddressToName(address.c_str());
  if (host != nullptr) {
    ZEV0_FreeStorage(&host);
    resolveNode(address, given, community, false, agents);
    return;
  }
  char* nodes = nullptr;
  int count = ZEVP_ConstructNetworkNodeList(anchor, &nodes, address.c_str());
  if (count > 0 && nodes != nullptr) {
    for (const char* p = nodes; *p != '\0';) {
      const char* end = std::strchr(p, ' ');
      if (end == nullptr) end = p + std::strlen(p);
      if (end > p) resolveNode(std::string(p, end), address, community, true, agents);
      p = *end == '\0' ? end : end + 1;
    }
    ZEV0_FreeStorage(&nodes);
  } else if (dots < 3) {
    TRC(TRC_DETAIL, ">>>>>Input address undiscovered network and not class C. Bypassed");
  } else if (endsInZero(address)) {
    TRC(TRC_DETAIL, ">>>>>Input network address undiscovered and not class C. Bypassed");
  } else {
    resolveNode(address, given, community, false, agents);
  }
}

void resolveEntry(DPAB* anchor, const zevp::AgentInfoEntry& entry, std::vector<ResolvedAgent>* agents) {
  std::string name = entry.name;
  int dots = ZEV0_IsThisAddressString(name.c_str());
  if (dots == 0) {
    if (char* network = zevp::Routines().locateNetworkBySymbolicName(name.c_str())) {
      name = network;
      ZEV0_FreeStorage(&network);
      dots = ZEV0_IsThisAddressString(name.c_str());
    }
  }
  if (dots > 0)
    resolveAddress(anchor, name, dots, entry.community, agents);
  else
    resolveNode(name, name, entry.community, false, agents);
}

void appendName(MonitorAgentNameEntry** names, const std::string& address) {
  auto* entry = static_cast<MonitorAgentNameEntry*>(ZEV0_GetStorage(sizeof(MonitorAgentNameEntry)));
  if (entry == nullptr) return;
  entry->next = nullptr;
  entry->agentAddress = zevp::NewStorageText(address);
  if (entry->agentAddress == nullptr) {
    ZEV0_FreeStorage(&entry);
    return;
  }
  MonitorAgentNameEntry** link = names;
  while (*link != nullptr) link = &(*link)->next;
  *link = entry;
}

// The agent's community: the one given, else the one configured for it, else the
// default; always a copy of the agent's own.
char* communityOf(const ResolvedAgent& agent) {
  if (!agent.community.empty()) return zevp::NewStorageText(agent.community);
  if (char* configured = zevp::Routines().locateSNMPnodeCommunityName(agent.socketAddress.sin_addr.s_addr))
    return configured;
  return zevp::NewStorageText(ZEVP_DefaultSNMPcommunity());
}

SNMPMonitorNodeEntry* newNode(const ResolvedAgent& agent) {
  auto* node = static_cast<SNMPMonitorNodeEntry*>(ZEV0_GetStorage(sizeof(SNMPMonitorNodeEntry)));
  if (node == nullptr) return nullptr;
  std::memset(node, 0, sizeof *node);
  node->agentName = zevp::NewStorageText(agent.name);
  node->agentAddress = zevp::NewStorageText(agent.address);
  node->community = communityOf(agent);
  node->interestCount = 1;
  node->fromNetwork = agent.fromNetwork ? 1 : 0;
  node->ownsCommunity = 1;
  node->address = agent.socketAddress;
  if (node->agentName == nullptr || node->agentAddress == nullptr || node->community == nullptr) {
    zevp::FreeMonitorNode(node);
    return nullptr;
  }
  return node;
}

const char* nameOf(const TableEntry* table) { return table != nullptr ? table->TableName : "?"; }
const char* nameOf(const ApplicationEntry* application) { return application != nullptr ? application->ApplName : "?"; }

void join(DPAB* anchor, SNMPWorkerTaskExtension* extension, const ResolvedAgent& agent) {
  SNMPMonitorNodeEntry** link = &extension->nodes;
  for (; *link != nullptr; link = &(*link)->next) {
    SNMPMonitorNodeEntry* node = *link;
    if (std::strcmp(node->agentAddress, agent.address.c_str()) != 0) continue;
    ++node->interestCount;
    TRC(TRC_DETAIL, ">>>>>Agent already being monitored. Total interest %d", node->interestCount);
    return;
  }
  SNMPMonitorNodeEntry* node = newNode(agent);
  if (node == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for SNMP Monitor Node <%s>", agent.address.c_str());
    return;
  }
  *link = node;
  TRC(TRC_DETAIL, "SNMP Monitor Node <%s> added to target node list for Appl <%s> Table <%s>", node->agentAddress,
      nameOf(extension->application), nameOf(extension->table));
  zevp::Routines().sendDPlogMessage(anchor, kLogAgentStarting, node->agentAddress, nullptr, nullptr, nullptr, nullptr);
}

AttributeEntry* attributeNamed(AttributeEntry* list, const char* name) {
  for (AttributeEntry* attribute = list; attribute != nullptr; attribute = attribute->next)
    if (std::strcmp(attribute->AttrName, name) == 0) return attribute;
  return nullptr;
}

// Asks the agent to forget the rows of the removed agent: a deletion request with
// every value empty but the agent's name. The collector is between passes (the
// caller holds the node-list lock), so the source is free.
void deleteAgentRows(DPAB* anchor, SNMPWorkerTaskExtension* extension, const SNMPMonitorNodeEntry* node) {
  SourceEntry* source = extension->table != nullptr ? extension->table->FirstSource : nullptr;
  ProcessEntry* waiter = ZEVP_LocateOwnProcessEntry(anchor);
  if (source == nullptr || waiter == nullptr) {
    TRC(TRC_ERROR, "*****No source or waiting entry. Rows of agent %s not deleted", node->agentAddress);
    return;
  }
  BSV1_GetLock(&source->DataLock);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    std::memset(attribute->Value(), 0, attribute->MaxValSize);
    attribute->ActualValSize = 0;
  }
  if (AttributeEntry* agentName = attributeNamed(source->FirstAttribute, kAgentNameAttribute)) {
    const std::string shown = zevp::ShownAgentName(node);
    size_t length = std::min<size_t>(shown.size(), agentName->MaxValSize);
    std::memcpy(agentName->Value(), shown.c_str(), length);
    agentName->ActualValSize = static_cast<uint16_t>(length);
  }
  const int16_t atRest = source->DataSequence;
  source->DataSequence = static_cast<int16_t>(DCH_DeleteKeyRecord);
  BSV1_ReleaseLock(&source->DataLock);
  ProcessEntry* owner = ZEVP_LendSource(source, waiter);
  zevp::Routines().updateSourceEntryState(source, ZEVP_Output);
  zevp::Routines().queueAndWaitDCHstatus(anchor, waiter, source);
  ZEVP_GiveSourceBack(source, waiter, owner);
  BSV1_GetLock(&source->DataLock);
  source->DataSequence = atRest;
  BSV1_ReleaseLock(&source->DataLock);
}

// Unlinks every agent without interest; the caller holds the node-list lock.
void removeUninterested(DPAB* anchor, SNMPWorkerTaskExtension* extension) {
  for (SNMPMonitorNodeEntry** link = &extension->nodes; *link != nullptr;) {
    SNMPMonitorNodeEntry* node = *link;
    if (node->interestCount > 0) {
      link = &node->next;
      continue;
    }
    if (link == &extension->nodes)
      TRC(TRC_DETAIL, "SNMP Monitor Node <%s> removed from top of target node list", node->agentAddress);
    TRC(TRC_DETAIL, "SNMP Monitor Node <%s> removed from target node list for Appl <%s> Table <%s>",
        node->agentAddress, nameOf(extension->application), nameOf(extension->table));
    *link = node->next;
    deleteAgentRows(anchor, extension, node);
    zevp::Routines().sendDPlogMessage(anchor, kLogAgentStopping, node->agentAddress, nullptr, nullptr, nullptr,
                                      nullptr);
    zevp::FreeMonitorNode(node);
  }
}

}  // namespace

namespace zevp {

std::string ShownAgentName(const SNMPMonitorNodeEntry* node) {
  std::string name = node->fromNetwork != 0 ? node->agentAddress : node->agentName;
  if (const char* domain = ZEV0_GetLocalDomainName(); domain != nullptr && *domain != '\0') {
    size_t at = name.find(std::string(".") + domain);
    if (at != std::string::npos && at > 0) name.resize(at);
  }
  return name;
}

void FreeMonitorNode(SNMPMonitorNodeEntry* node) {
  ZEV0_FreeStorage(&node->agentName);
  ZEV0_FreeStorage(&node->agentAddress);
  ZEV0_FreeStorage(&node->community);
  if (node->attributes != nullptr) ZEVP_FreeAttributeCopy(node->attributes);
  ZEV0_FreeStorage(&node);
}

}  // namespace zevp

void ZEVP_FreeMonitorAgentNames(MonitorAgentNameEntry** names) {
  while (*names != nullptr) {
    MonitorAgentNameEntry* next = (*names)->next;
    ZEV0_FreeStorage(&(*names)->agentAddress);
    ZEV0_FreeStorage(names);
    *names = next;
  }
}

int ZEVP_SNMPaddAgentNodes(DPAB* anchor, SNMPWorkerTaskExtension* extension, const char* agentInfo,
                           MonitorAgentNameEntry** names, int namesOnly) {
  std::vector<zevp::AgentInfoEntry> entries;
  if (!zevp::ParseAgentInfoList(agentInfo, &entries)) return 0;
  // Names are looked up before any lock: a name service may be slow.
  std::vector<ResolvedAgent> agents;
  for (const zevp::AgentInfoEntry& entry : entries) resolveEntry(anchor, entry, &agents);
  for (const ResolvedAgent& agent : agents) appendName(names, agent.address);
  if (namesOnly != 0 || extension == nullptr) return 1;

  BSV1_GetLock(&anchor->snmpNodeLock);
  BSV1_GetLock(&extension->nodeListLock);
  ZEV0_FreeStorage(&extension->agentInfo);
  extension->agentInfo = zevp::NewStorageText(agentInfo);
  for (const ResolvedAgent& agent : agents) join(anchor, extension, agent);
  BSV1_ReleaseLock(&extension->nodeListLock);
  BSV1_ReleaseLock(&anchor->snmpNodeLock);
  return 1;
}

void ZEVP_SNMPdeleteAgentNodes(DPAB* anchor, SNMPWorkerTaskExtension* extension, MonitorAgentNameEntry** list) {
  if (*list == nullptr) {
    TRC(TRC_ERROR, "*****No SNMP Get target agent name list found");
    return;
  }
  if (extension == nullptr) {
    TRC(TRC_ERROR, "*****No SNMP worker extension for the agents to remove");
    ZEVP_FreeMonitorAgentNames(list);
    return;
  }
  BSV1_GetLock(&anchor->snmpNodeLock);
  BSV1_GetLock(&extension->nodeListLock);
  MonitorAgentNameEntry* names = *list;
  *list = nullptr;
  for (MonitorAgentNameEntry* name = names; name != nullptr; name = name->next) {
    for (SNMPMonitorNodeEntry* node = extension->nodes; node != nullptr; node = node->next) {
      if (std::strcmp(node->agentAddress, name->agentAddress) != 0) continue;
      --node->interestCount;
      TRC(TRC_DETAIL, "SNMP Monitor Node <%s> interest count decreased to %d", node->agentAddress,
          node->interestCount);
      break;
    }
  }
  ZEVP_FreeMonitorAgentNames(&names);
  removeUninterested(anchor, extension);
  BSV1_ReleaseLock(&extension->nodeListLock);
  BSV1_ReleaseLock(&anchor->snmpNodeLock);
}

void ZEVP_SNMPremoveAllAgentNodes(DPAB* anchor, SNMPWorkerTaskExtension* extension) {
  BSV1_GetLock(&anchor->snmpNodeLock);
  BSV1_GetLock(&extension->nodeListLock);
  for (SNMPMonitorNodeEntry* node = extension->nodes; node != nullptr; node = node->next) node->interestCount = 0;
  removeUninterested(anchor, extension);
  BSV1_ReleaseLock(&extension->nodeListLock);
  BSV1_ReleaseLock(&anchor->snmpNodeLock);
}

void ZEVP_UpdateMonitorNodeCommunity(DPAB* anchor) {
  zevp::ForEachSNMPworkerExtension(anchor, [](SNMPWorkerTaskExtension* extension) {
    bool changed = false;
    BSV1_GetLock(&extension->nodeListLock);
    for (SNMPMonitorNodeEntry* node = extension->nodes; node != nullptr; node = node->next) {
      char* configured = zevp::Routines().locateSNMPnodeCommunityName(node->address.sin_addr.s_addr);
      if (configured == nullptr) continue;
      if (node->community == nullptr || std::strcmp(node->community, configured) != 0) changed = true;
      ZEV0_FreeStorage(&node->community);
      node->community = configured;
      node->ownsCommunity = 1;
    }
    if (changed) extension->interestChanged = 1;
    BSV1_ReleaseLock(&extension->nodeListLock);
  });
}

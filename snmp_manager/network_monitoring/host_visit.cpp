#include "host_visit.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "managed_node_entry.h"
#include "manager_routines.h"
#include "metafile_text.h"
#include "mib_auto_collection.h"
#include "network_monitor_seams.h"
#include "network_state.h"
#include "record_paths.h"
#include "status_records.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/ber.h"
#include "zev0/console_message.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace zevs {

namespace {

constexpr char kSysDescr[] = "1.3.6.1.2.1.1.1.0";
constexpr char kSysObjectID[] = "1.3.6.1.2.1.1.2.0";
constexpr char kSysName[] = "1.3.6.1.2.1.1.5.0";
constexpr char kSysLocation[] = "1.3.6.1.2.1.1.6.0";
constexpr char kSysServices[] = "1.3.6.1.2.1.1.7.0";
constexpr int32_t kRefreshVisits = 100;
constexpr int32_t kPingTries = 3;
constexpr int32_t kPingWaitMs = 2000;
constexpr int32_t kMissesBeforeOffline = 3;

struct Value {
  int tag = 0;
  char* bytes = nullptr;
  int32_t length = 0;
  ~Value() { ZEV0_FreeStorage(&bytes); }
};

void Get(const HostVisitContext& context, const ManagedNodeEntry& node, const char* oid, Value& value) {
  value.tag = MonitorSeams().retrieveOneMIBvariable(context.socketDescriptor, context.buffer, &node.agent, nullptr,
                                                     oid, &value.bytes, &value.length);
}

void Replace(char*& text, char*& with) {
  ZEV0_FreeStorage(&text);
  text = with;
  with = nullptr;
}

void SetLetter(NetworkEntry* network, int32_t index, char letter) {
  BSV1_GetLock(&network->lock);
  if (network->nodeStatus != nullptr && index < network->hostRange) network->nodeStatus[index] = letter;
  BSV1_ReleaseLock(&network->lock);
}

// A name for the host: resolved by address, else its dotted address.
void EnsureName(ManagedNodeEntry* node) {
  if (node->ManagedNodeName == nullptr) ZEV0_ConvertAddrToName(&node->agent, &node->ManagedNodeName, 1);
  if (node->ManagedNodeName == nullptr && node->addressText != nullptr) {
    node->ManagedNodeName = zevp::NewStorageText(node->addressText);
  }
}

// The MIB-II system values of a host that answered SNMP.
void ReadSystemValues(const HostVisitContext& context, ManagedNodeEntry* node, const Value& services) {
  node->snmpEnabled = 1;
  if (services.length <= 4 && services.bytes != nullptr) {
    uint32_t value = 0;
    for (int32_t i = std::max(0, services.length - 2); i < services.length; ++i) {
      value = (value << 8) | static_cast<uint8_t>(services.bytes[i]);
    }
    if (value != node->sysServices || node->ManagedNodeTypeText == nullptr) {
      node->sysServices = value;
      ZEV0_FreeStorage(&node->ManagedNodeTypeText);
      node->ManagedNodeTypeText = ZEV0_DetermineNodeServiceType(static_cast<int>(value));
    }
  }
  if (node->ManagedNodeName == nullptr) ZEV0_ConvertAddrToName(&node->agent, &node->ManagedNodeName, 1);
  bool refresh = false;
  if (node->ManagedNodeName != nullptr) refresh = node->refreshCount++ > kRefreshVisits;
  // Counted afresh after each refresh: the MIB-II texts are fetched again every
  // hundred visits, not at every visit once the first hundred have passed.
  if (refresh) node->refreshCount = 0;
  if (node->ManagedNodeName == nullptr || refresh) {
    Value name;
    Get(context, *node, kSysName, name);
    if (name.tag == ZEV0_ASN_OCTETSTRING && name.bytes != nullptr && std::strchr(name.bytes, ' ') == nullptr) {
      TRC(TRC_DETAIL, "Assigned ManagedNodeName <%s> from SNMP MIB2 SysName", name.bytes);
      Replace(node->ManagedNodeName, name.bytes);
    }
  }
  const struct {
    const char* oid;
    char** text;
  } texts[] = {{kSysDescr, &node->ManagedNodeDesc}, {kSysLocation, &node->ManagedNodeLocation}};
  for (const auto& text : texts) {
    if (*text.text != nullptr && !refresh) continue;
    Value value;
    Get(context, *node, text.oid, value);
    if (value.tag == ZEV0_ASN_OCTETSTRING && value.bytes != nullptr) Replace(*text.text, value.bytes);
  }
  if (node->ManagedNodeOID == nullptr || refresh) {
    Value oid;
    Get(context, *node, kSysObjectID, oid);
    if (oid.tag == ZEV0_ASN_OBJECTIDENTIFIER && oid.bytes != nullptr) {
      int32_t count = 0;
      uint32_t* elements = ZEV0_DecodeOIDfromBER(oid.bytes, static_cast<uint32_t>(oid.length), &count);
      if (elements != nullptr) {
        char* dotted = ZEV0_ConvertOIDtoString(elements, count);
        if (dotted != nullptr) Replace(node->ManagedNodeOID, dotted);
        ZEV0_FreeStorage(&elements);
      }
    }
  }
  EnsureName(node);
}

void Report(const HostVisitContext& context, ManagedNodeEntry* node, bool online) {
  std::string text = std::string("Node ") + (node->ManagedNodeName != nullptr ? node->ManagedNodeName : "") + "(" +
                     (node->addressText != nullptr ? node->addressText : "") + (online ? ") Online" : ") Offline");
  ZEV0_PXconsoleMessage("NetworkStatus", online ? "Status" : "Warning", text.c_str());
  if (context.source == nullptr) {
    char* record = ZEVS_FormatCPnotifyStatus(online ? 'A' : 'I', node);
    ZEVS_NotifyNodeStatusChanged(nullptr, online ? 0 : 1, record);
    ZEVS_ReleaseCPstatus(record);
  }
  if (online && MonitorSeams().checkManagedNodeFilters(node) != 2) {
    // The collection is asked for by name: the one that reaches this host.
    std::string agent = CollectionAgentName(*node);
    ManagedNodeEntry named = *node;
    named.ManagedNodeName = &agent[0];
    ZEVP_AutoStartMIBcollection(context.anchor, &named);
  }
}

void AppendField(std::string& row, const char* text, const char* otherwise) {
  std::string field = text != nullptr ? text : otherwise;
  // The source's delimiter is ';': one inside a text would split the row.
  std::replace(field.begin(), field.end(), ';', ',');
  row += field + ";";
}

}  // namespace

void MakeHosts(NetworkEntry* network, int32_t range) {
  ManagedNodeEntry** tail = &network->hosts;
  int32_t made = 0;
  uint32_t base = ntohl(network->networkAddress);
  for (int32_t index = 1; index < range; ++index) {
    auto* node = static_cast<ManagedNodeEntry*>(ZEV0_GetStorage(sizeof(ManagedNodeEntry)));
    if (node == nullptr) break;
    std::memset(static_cast<void*>(node), 0, sizeof(ManagedNodeEntry));
    node->network = network;
    node->hostIndex = index;
    node->agent.sin_family = AF_INET;
    node->agent.sin_port = htons(161);
    node->agent.sin_addr.s_addr = htonl(base + static_cast<uint32_t>(index));
    node->addressText = static_cast<char*>(ZEV0_GetStorage(INET_ADDRSTRLEN));
    if (node->addressText != nullptr) inet_ntop(AF_INET, &node->agent.sin_addr, node->addressText, INET_ADDRSTRLEN);
    *tail = node;
    tail = &node->next;
    ++made;
  }
  TRC(TRC_DETAIL, "%d ManagedNodeEntry objects created", made);
}

std::string CollectionAgentName(const ManagedNodeEntry& node) {
  std::string address = node.addressText != nullptr ? node.addressText : "";
  if (node.ManagedNodeName == nullptr) return address;
  sockaddr_in named{};
  if (ZEV0_ConvertNameToAddr(node.ManagedNodeName, 0, &named) != 0 &&
      named.sin_addr.s_addr == node.agent.sin_addr.s_addr)
    return node.ManagedNodeName;
  return address;
}

bool PassVisits(int32_t pass, char letter) {
  if (pass == 1) return letter == 'A' || letter == 'I';
  if (pass == 2) return letter == 'A' || letter == '0';
  return true;
}

char HostLetter(NetworkEntry* network, int32_t index) {
  BSV1_GetLock(&network->lock);
  char letter = network->nodeStatus != nullptr && index < network->hostRange ? network->nodeStatus[index] : '0';
  BSV1_ReleaseLock(&network->lock);
  return letter;
}

std::string NetworkRow(const ManagedNodeEntry& node, char letter) {
  std::string row;
  AppendField(row, node.ManagedNodeName, "");
  AppendField(row, node.addressText, "");
  AppendField(row, nullptr, letter == 'A' ? "On-line" : letter == 'I' ? "Inactive" : "Unknown");
  AppendField(row, node.ManagedNodeTypeText, letter == 'A' ? "IP Node" : "Unknown");
  AppendField(row, nullptr, node.snmpEnabled != 0 ? "Yes" : "No");
  AppendField(row, node.ManagedNodeLocation, "Unavailable");
  AppendField(row, node.ManagedNodeDesc, "Unavailable");
  return row;
}

void VisitHost(const HostVisitContext& context, ManagedNodeEntry* node) {
  NetworkEntry* network = context.network;
  char before = HostLetter(network, node->hostIndex);
  Value services;
  Get(context, *node, kSysServices, services);
  bool answered = false;
  if (services.tag == ZEV0_ASN_INTEGER) {
    ReadSystemValues(context, node, services);
    answered = true;
  } else {
    node->snmpEnabled = 0;
    uint32_t address = node->agent.sin_addr.s_addr;
    for (int32_t check = 1; check <= kPingTries && !answered && !context.terminating(context.worker); ++check) {
      int rc = MonitorSeams().checkActiveNode(&address, 0, 0, network, context.baseNetwork, kPingWaitMs);
      TRC(TRC_DETAIL, ">>>>>Check #%d node %s rc %d ping wait time %d (milliseconds) ping check count %d", check,
          node->addressText, rc, kPingWaitMs, kPingTries);
      answered = rc > 0;
    }
    if (answered) {
      EnsureName(node);
      node->missCount = 0;
    }
  }
  if (answered) {
    if (before != 'A') Report(context, node, true);
    SetLetter(network, node->hostIndex, 'A');
  } else if (node->missCount++ >= kMissesBeforeOffline) {
    if (before == 'A') {
      SetLetter(network, node->hostIndex, 'I');
      Report(context, node, false);
    } else {
      SetLetter(network, node->hostIndex, '0');
    }
  }
  const char* rowsItem = ZEV0_QueryProductSpec(ZEV2_ENABLE_DISCOVERY_DATA_UPDATE);
  if (context.source == nullptr || rowsItem == nullptr || (rowsItem[0] != 'Y' && rowsItem[0] != 'y')) return;
  char letter = HostLetter(network, node->hostIndex);
  std::string row = NetworkRow(*node, letter);
  std::strncpy(context.buffer, row.c_str(), kHostVisitBufferSize - 1);
  context.buffer[kHostVisitBufferSize - 1] = '\0';
  if (zevs::NetworkState(network) == ZEVS_NETWORK_MANAGED && !context.terminating(context.worker)) {
    ZEVP_MoveDataToDCH(context.anchor, context.source, context.buffer, static_cast<int32_t>(std::strlen(context.buffer)));
  }
  if (letter == 'A' && node->addressText != nullptr) Routines().enqueuePlovenDiscoveryRequest(node->addressText);
}

}  // namespace zevs

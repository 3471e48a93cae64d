#include "network_summary_row.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "debug_switches.h"
#include "dp_anchor.h"
#include "manager_routines.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "network_masks.h"
#include "record_paths.h"
#include "snmp_manager_model.h"
#include "source_entry.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zevs/network_records.h"

TRC_UNIT();

std::atomic<NetworkConfigurationBlock*> LocalNCB{nullptr};

namespace {

// One NETSUMMARY row at a time, from every thread.
std::mutex networkDCHioLock;

// The network's address without its trailing ".0" parts (10.1.0.0 -> "10.1").
std::string ShortNetworkAddress(uint32_t address) {
  std::string text = zevs::DottedAddress(address);
  while (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return text;
}

const char* ManagedText(int32_t state) {
  switch (state) {
    case ZEVS_NETWORK_NOT_MANAGED:
      return "No";
    case ZEVS_NETWORK_EXCLUDED:
      return "Excluded";
    case ZEVS_NETWORK_EXCLUDED_BY_SUBNET:
      return "Excluded-S";
    default:
      return "Yes";
  }
}

// A name in a field of the row: its ';' written as ',', so that it stays one field.
std::string FieldText(const char* name) {
  std::string text = name != nullptr ? name : "";
  std::replace(text.begin(), text.end(), ';', ',');
  return text;
}

// The names of the network's routers joined by ", ", cut to the attribute's size;
// the one router of the best metric when none is attached; " " when there is none.
std::string RoutersText(const NetworkEntry& entry) {
  std::string names;
  if (entry.routers != nullptr) {
    for (const RouterEntry* router = entry.routers; router != nullptr && names.size() < zevs::kNetworkRoutersFieldMax;
         router = router->nextOnNetwork) {
      if (!names.empty()) names += ", ";
      names += FieldText(router->name);
    }
  } else if (entry.router != nullptr && entry.router->name != nullptr) {
    names = FieldText(entry.router->name);
  }
  if (names.empty()) return " ";
  return names.substr(0, zevs::kNetworkRoutersFieldMax);
}

void AppendNumber(std::string* row, uint32_t value) { *row += std::to_string(value) + ";"; }

// The active hosts; the seen-host count and the network-wide minimum and maximum
// follow the hosts. Returns false when no response time was ever taken.
bool CountHosts(NetworkEntry* entry, int32_t* active) {
  int32_t seen = 0;
  *active = 0;
  bool hostMinimum = false;
  uint32_t smallest = ZEVS_NO_RESPONSE_TIME;
  uint32_t largest = 0;
  for (int32_t host = 1; host < entry->hostRange; ++host) {
    if (entry->nodeStatus[host] != '0') ++seen;
    if (entry->nodeStatus[host] == 'A') ++*active;
    if (entry->minimumResponseTimes[host] < ZEVS_NO_RESPONSE_TIME) {
      hostMinimum = true;
      if (entry->minimumResponseTimes[host] < smallest) smallest = entry->minimumResponseTimes[host];
    }
    if (entry->maximumResponseTimes[host] > largest) largest = entry->maximumResponseTimes[host];
  }
  if (seen > 0) entry->seenHostCount = seen;
  if (!hostMinimum && entry->minimumResponseTimes[0] >= ZEVS_NO_RESPONSE_TIME) return false;
  if (hostMinimum) entry->minimumResponseTimes[0] = smallest;
  if (largest > 0) entry->maximumResponseTimes[0] = largest;
  return true;
}

void SendRow(DPAB* anchor, const std::string& row) {
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Network Data->%s", row.c_str());
  SourceEntry* source = ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_NETSUMMARY);
  if (source == nullptr) return;
  source->DataSequence = ZEVP_DATA_SEQUENCE_ROW;
  std::vector<char> record(row.begin(), row.end());
  record.push_back('\0');
  ZEVP_MoveDataToDCH(anchor, source, record.data(), static_cast<int32_t>(row.size()));
}

}  // namespace

namespace zevs {

std::string NetworkSummaryRow(NetworkEntry* entry) {
  int32_t active = 0;
  const bool timed = CountHosts(entry, &active);
  Routines().locateNetworkRouters(entry);
  std::string address =
      entry->symbolicName != nullptr ? FieldText(entry->symbolicName) : ShortNetworkAddress(entry->networkAddress);
  std::string row = address.substr(0, kNetworkAddressFieldMax) + ";" + DottedMask(entry->networkMask) + ";";
  row += std::to_string(active) + ";" + std::to_string(entry->seenHostCount - active) + ";";
  if (timed) {
    AppendNumber(&row, entry->currentResponseTimes[0]);
    AppendNumber(&row, entry->minimumResponseTimes[0]);
    AppendNumber(&row, entry->maximumResponseTimes[0]);
  } else {
    row += "0;0;0;";
  }
  row += std::string(ManagedText(entry->state)) + ";" + RoutersText(*entry) + ";";
  return row;
}

}  // namespace zevs

void ZEVS_UpdateNetworkInfoToDCH(NetworkConfigurationBlock* block, NetworkEntry* entry) {
  if (block == nullptr) return;
  if (!ZEV0_ProductSpecItemOn(ZEV2_ENABLE_DISCOVERY_DATA_UPDATE)) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "NETSUMMARY rows not sent: ENABLE_DISCOVERY_DATA_UPDATE is not on");
    return;
  }
  DPAB* anchor = block->anchor;
  if (anchor == nullptr || ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_NETSUMMARY) == nullptr) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "QLM not yet initialized");
    return;
  }
  const bool one = entry != nullptr;
  if (!one) {
    BSV1_GetLock(&block->networkListLock);
    entry = block->networks;
    BSV1_ReleaseLock(&block->networkListLock);
  }
  std::lock_guard<std::mutex> rows(networkDCHioLock);
  while (entry != nullptr && block->shutdown.load() == 0) {
    BSV1_GetLock(&entry->lock);
    std::string row;
    if (entry->hostRange > 1 && entry->nodeStatus != nullptr) row = zevs::NetworkSummaryRow(entry);
    BSV1_ReleaseLock(&entry->lock);
    if (!row.empty()) SendRow(anchor, row);
    if (one) break;
    BSV1_GetLock(&block->networkListLock);
    entry = entry->next;
    BSV1_ReleaseLock(&block->networkListLock);
  }
}

void ZEVS_UpdateAgentFoundToDCH(NetworkEntry* entry) {
  NetworkConfigurationBlock* block = LocalNCB.load();
  if (block != nullptr && entry != nullptr) ZEVS_UpdateNetworkInfoToDCH(block, entry);
}

#include "network_monitor_seams.h"

#include "icmp_probing.h"
#include "managed_node_entry.h"
#include "managed_node_filters.h"
#include "network_list.h"
#include "network_summary_row.h"
#include "network_work_file.h"
#include "one_variable_get.h"
#include "zev0/ber.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

namespace zevs {

namespace {

// The one-variable get with the OID given as dotted text; each thread counts its
// own request IDs.
int RetrieveOneMIBvariable(int socketDescriptor, char* buffer, const sockaddr_in* agent, const char* community,
                           const char* oid, char** value, int32_t* valueLength) {
  thread_local int32_t requestID = 0;
  char* field = nullptr;
  int32_t fieldLength = 0;
  if (ZEV0_FormatOIDfromString(oid, &field, &fieldLength) == 0) return 0;
  int32_t errorStatus = 0;
  *value = nullptr;
  int tag = ZEVP_RetrieveOneMIBvariable(socketDescriptor, buffer, agent, community, &requestID, &errorStatus,
                                        &fieldLength, field, valueLength, value, 0, 0);
  ZEV0_FreeStorage(&field);
  return tag;
}

// The managed node lists' filters for a host, from what the monitor knows of it.
int CheckManagedNodeFilters(const ManagedNodeEntry* node) {
  DiscoveredNodeRecord record{};
  record.addressText = node->addressText;
  record.nodeName = node->ManagedNodeName;
  record.enterpriseOID = node->ManagedNodeOID;
  record.description = node->ManagedNodeDesc;
  record.typeText = node->ManagedNodeTypeText;
  return ZEVP_CheckManagedNodeFilters(&record);
}

NetworkMonitorSeams DefaultSeams() {
  NetworkMonitorSeams seams{};
  seams.isKnownNetwork = ZEVS_IsKnownNetwork;
  seams.updateNetworkListEntry = ZEVS_UpdateNetworkListEntry;
  seams.locateKnownNetwork = ZEVS_LocateKnownNetwork;
  seams.locateBaseNetworkEntry = ZEVS_LocateBaseNetworkEntry;
  seams.updateNetworkInfoToDCH = ZEVS_UpdateNetworkInfoToDCH;
  seams.writeNetConfigToExt = ZEVS_WriteNetConfigToExt;
  seams.retrieveOneMIBvariable = RetrieveOneMIBvariable;
  seams.checkManagedNodeFilters = CheckManagedNodeFilters;
  seams.checkActiveNode = ZEVS_CheckActiveNode;
  return seams;
}

NetworkMonitorSeams seams = DefaultSeams();

}  // namespace

NetworkMonitorSeams& MonitorSeams() { return seams; }

}  // namespace zevs

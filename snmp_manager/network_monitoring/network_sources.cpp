#include "network_sources.h"

#include <algorithm>
#include <cstring>

#include "attribute_copies.h"
#include "attribute_order.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "network_masks.h"
#include "process_entry.h"
#include "snmp_manager_tables.h"
#include "source_entry.h"
#include "source_states.h"
#include "summary_definition.h"
#include "table_entry.h"
#include "trc1.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace zevs {

std::string NetworkSourceName(const NetworkEntry* network, uint32_t address) {
  if (network != nullptr && network->symbolicName != nullptr && network->symbolicName[0] != '\0') {
    return network->symbolicName;
  }
  std::string name = DottedAddress(address);
  std::replace(name.begin(), name.end(), '.', '-');
  return name;
}

SourceEntry* LocateNetworkSource(DPAB* anchor, NetworkEntry* network, uint32_t address) {
  TableEntry* table = anchor->snmpManagerTables[ZEVP_SNMP_NETWORK];
  if (table == nullptr) return nullptr;
  std::string name = NetworkSourceName(network, address);
  BSV1_GetLock(&table->SourceListLock);
  SourceEntry* source = table->FirstSource;
  for (; source != nullptr; source = source->next) {
    if (source->SourceName == nullptr) continue;
    TRC(TRC_DETAIL, "Comparing source name <%s> against <%s>", source->SourceName, name.c_str());
    if (name == source->SourceName) break;
  }
  BSV1_ReleaseLock(&table->SourceListLock);
  // Only the monitoring server makes the table's sources: none can come meanwhile.
  if (source != nullptr) {
    TRC(TRC_DETAIL, ">>>>>Existing source entry @%p <%s> found", static_cast<void*>(source), name.c_str());
  } else {
    int32_t rc = 0;
    source = ZEVP_InitializeSourceEntry(anchor, table, "BASE", name.c_str(), nullptr, &rc);
    if (source == nullptr) return nullptr;
    BSV1_GetLock(&table->CounterLock);
    ++table->SourceCount;
    BSV1_ReleaseLock(&table->CounterLock);
    ZEVP_CheckCopySourceAttributes(table, table->FirstSource);
    ZEVP_CompleteSummaryTableDefinition(table, 0);
    ZEVP_ConstructAttributeOrderLinkList(nullptr, table);
    source->OwningTask = ZEVP_InitializeProcessEntry(anchor);
    source->OwnsTask = source->OwningTask != nullptr ? 1 : 0;
  }
  source->BuiltIn = 1;
  return source;
}

bool PutNetworkSourceOnline(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
  if (source == nullptr) return false;
  ZEVP_UpdateSourceEntryState(source, ZEVP_Ready);
  ZEVP_QueueAndWaitDCHstatus(anchor, source->OwningTask != nullptr ? source->OwningTask : caller, source);
  return ZEVP_SourceStateOf(source) == ZEVP_Active;
}

void TakeNetworkSourceOffline(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
  if (source == nullptr) return;
  ZEVP_UpdateSourceEntryState(source, ZEVP_Inactive);
  ZEVP_QueueAndWaitDCHstatus(anchor, source->OwningTask != nullptr ? source->OwningTask : caller, source);
}

}  // namespace zevs

#include "snmp_manager_model.h"

#include <cstring>
#include <string>
#include <strings.h>

#include "application_entry.h"
#include "builtin_group.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_parser.h"
#include "metafile_text.h"
#include "model_release.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

static_assert(ZEVP_SNMP_MIBNODATA + 1 == ZEVP_SNMP_MANAGER_TABLES, "the anchor keeps every table");

namespace {

using zevp::SNMPmanagerTable;
using zevp::SNMPmanagerTableDefinition;

constexpr char kDefaultNetworkDataTTL[] = "14400";
constexpr char kDelimiter[] = ";";

// The sources of the tables by index; null for a table that is absent.
using TableSources = SourceEntry* [ZEVP_SNMP_MANAGER_TABLES];

bool DefinedByProduct(const SNMPmanagerTableDefinition& definition) {
  return definition.condition == zevp::kAlwaysDefined || ZEV0_ProductSpecItemOn(definition.condition);
}

// The source waits for its DCH requests on an entry made for it alone, which the
// release of the model frees with it.
bool GiveOwnEntry(DPAB* anchor, SourceEntry* source) {
  if (source->OwnsTask != 0) return true;
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor);
  if (entry == nullptr) return false;
  source->OwningTask = entry;
  source->OwnsTask = 1;
  return true;
}

// One table with its BASE source and attributes; its source, or null.
SourceEntry* DefineTable(DPAB* anchor, ApplicationEntry* application, const SNMPmanagerTableDefinition& definition,
                         const char* networkDataTTL) {
  const char* ttl = definition.ttl == zevp::SNMPmanagerTTL::networkData ? networkDataTTL
                    : definition.ttl == zevp::SNMPmanagerTTL::fixed     ? definition.fixedTTL
                                                                        : nullptr;
  SourceEntry* source = zevp::DefineBuiltInGroup(anchor, application, definition.group, ttl);
  if (source == nullptr) return nullptr;
  source->AttrDelimiter = zevp::NewStorageText(kDelimiter);
  if (source->AttrDelimiter == nullptr || !GiveOwnEntry(anchor, source)) return nullptr;
  return source;
}

ApplicationEntry* DefineApplication(DPAB* anchor, TableSources sources) {
  ApplicationEntry* application =
      ZEVP_InitializeApplicationEntry(anchor, ZEVP_SNMP_MANAGER_APPLICATION, 1, "SNMP-MANAGER system applications.");
  if (application == nullptr) {
    TRC(TRC_ERROR, "*** Failed to initialize ApplicationEntry control block for Application <%s>",
        ZEVP_SNMP_MANAGER_APPLICATION);
    return nullptr;
  }
  std::strcpy(application->ProductCode, ZEVP_SNMP_MANAGER_PRODUCT_CODE);
  const char* networkDataTTL = ZEV0_GetEnv("ZEVP_SNMP_NETDATA_TTL", kDefaultNetworkDataTTL);
  for (int index = 0; index < ZEVP_SNMP_MANAGER_TABLES; ++index) {
    const SNMPmanagerTableDefinition& definition = SNMPmanagerTable(index);
    if (!DefinedByProduct(definition)) continue;
    sources[index] = DefineTable(anchor, application, definition, networkDataTTL);
    if (sources[index] == nullptr) {
      TRC(TRC_ERROR, "*** Failed to define table %s of Application <%s>", definition.group.name,
          ZEVP_SNMP_MANAGER_APPLICATION);
      ZEVP_ReleaseApplResources(anchor, application, 1);
      return nullptr;
    }
  }
  return application;
}

void QueueAndWait(DPAB* anchor, SourceEntry* source) {
  zevp::Routines().queueAndWaitDCHstatus(anchor, source->OwningTask, source);
}

// The registration carries the whole application; any of its sources may ask for
// it, and without a trap table the first defined one does.
SourceEntry* RegisteringSource(const TableSources sources) {
  for (int index = 0; index < ZEVP_SNMP_MANAGER_TABLES; ++index)
    if (sources[index] != nullptr) return sources[index];
  return nullptr;
}

// Registers the built-in application: true when the agent took it (or knew it).
bool Register(DPAB* anchor, ApplicationEntry* application, TableSources sources) {
  zevp::EngineRoutines& routines = zevp::Routines();
  SourceEntry* registering = RegisteringSource(sources);
  routines.updateSourceEntryState(registering, ZEVP_Register);
  QueueAndWait(anchor, registering);
  if (zevp::ShutdownRequested(anchor)) {
    // The registration may still be with the DCH client: the application goes with
    // the model once every thread has ended.
    TRC(TRC_ERROR, "*** SNMP data definition not registered: the data provider is shutting down");
    return false;
  }
  int32_t state = ZEVP_SourceStateOf(registering);
  if (state != ZEVP_Ready && state != ZEVP_Pending && state != ZEVP_Register) {
    TRC(TRC_ERROR, "*** dp_register failed for SNMP data definition");
    ZEVP_ReleaseApplResources(anchor, application, 1);
    return false;
  }
  if (state == ZEVP_Register) {
    for (int index = 0; index < ZEVP_SNMP_MANAGER_TABLES; ++index)
      if (index != ZEVP_SNMP_NETWORK && sources[index] != nullptr)
        routines.updateSourceEntryState(sources[index], ZEVP_Ready);
    ZEVP_ReleaseApplGroupHelp(application);
  }
  return true;
}

bool DefineBuiltIn(DPAB* anchor, TableSources sources) {
  ApplicationEntry* application = DefineApplication(anchor, sources);
  if (application == nullptr) return false;
  if (Register(anchor, application, sources)) return true;
  for (int index = 0; index < ZEVP_SNMP_MANAGER_TABLES; ++index) sources[index] = nullptr;
  return false;
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The application of the metafiles that item 19 names: the first of the list that
// is loaded.
ApplicationEntry* PackagedApplication(DPAB* anchor) {
  const char* list = ZEV0_QueryProductSpec(ZEV2_METAFILES_TO_LOAD);
  if (list == nullptr) return nullptr;
  std::string names = list;
  for (size_t start = 0; start <= names.size();) {
    size_t comma = names.find(',', start);
    std::string name = Trimmed(names.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    start = comma == std::string::npos ? names.size() + 1 : comma + 1;
    if (name.empty()) continue;
    // Loaded from the metafile directory, the application is known by the full name.
    char* full = ZEV0_IsThisFullyQualifiedName(name.c_str()) || anchor->metafileDirectory == nullptr
                     ? nullptr
                     : ZEV0_ConstructFullyQualifiedName(anchor->metafileDirectory, name.c_str());
    ApplicationEntry* application = ZEVP_CheckApplicationExistence(anchor, full != nullptr ? full : name.c_str());
    ZEV0_FreeStorage(&full);
    if (application != nullptr) return application;
  }
  return nullptr;
}

// The index of the table by the name the metafile gave it, or -1; the
// managed-nodes table is the one item 21 names, when it is set.
int PackagedTableIndex(const char* name) {
  const char* managedNodes = ZEV0_QueryProductSpec(ZEV2_SNMP_HOTLIST_TABLENAME);
  if (managedNodes == nullptr) managedNodes = SNMPmanagerTable(ZEVP_SNMP_MANAGED_NODES).group.name;
  if (strcasecmp(name, managedNodes) == 0) return ZEVP_SNMP_MANAGED_NODES;
  for (int index = 0; index < ZEVP_SNMP_MANAGER_TABLES; ++index)
    if (index != ZEVP_SNMP_MANAGED_NODES && strcasecmp(name, SNMPmanagerTable(index).group.name) == 0) return index;
  return -1;
}

void FindPackaged(DPAB* anchor, TableSources sources) {
  ApplicationEntry* application = PackagedApplication(anchor);
  if (application == nullptr) {
    TRC(TRC_DETAIL, "Packaged Solution SNMP network applications not required");
    return;
  }
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    int index = PackagedTableIndex(table->TableName);
    if (index < 0 || sources[index] != nullptr || table->FirstSource == nullptr) continue;
    if (!GiveOwnEntry(anchor, table->FirstSource)) {
      TRC(TRC_ERROR, "*** No process entry for the source of table %s", table->TableName);
      continue;
    }
    sources[index] = table->FirstSource;
  }
  BSV1_ReleaseLock(&application->TableListLock);
  if (sources[ZEVP_SNMP_MANAGED_NODES] != nullptr)
    zevp::Routines().updateSourceEntryState(sources[ZEVP_SNMP_MANAGED_NODES], ZEVP_Ready);
}

// Puts a Ready source online (the DCH client's ready processing does); any other
// state leaves it to come online later. The table goes into the anchor either way.
void BringOnline(DPAB* anchor, TableSources sources, int index, const char* delayed) {
  SourceEntry* source = sources[index];
  if (source == nullptr) return;
  if (ZEVP_SourceStateOf(source) == ZEVP_Ready)
    QueueAndWait(anchor, source);
  else
    TRC(TRC_DETAIL, "%s", delayed);
  anchor->snmpManagerTables[index] = source->Table;
}

void Record(DPAB* anchor, TableSources sources, int index) {
  if (sources[index] != nullptr) anchor->snmpManagerTables[index] = sources[index]->Table;
}

}  // namespace

int ZEVP_DefineSNMPmonitorSpec(DPAB* anchor, int bringNetworkTablesOnline, int bringTrapTableOnline) {
  TableSources sources{};
  const char* productCode = ZEV0_QueryProductSpec(ZEV2_PRODUCT_CODE);
  if (productCode != nullptr && std::strcmp(productCode, "EV") == 0) {
    if (!DefineBuiltIn(anchor, sources)) return 0;
  } else {
    FindPackaged(anchor, sources);
  }

  if (bringTrapTableOnline) BringOnline(anchor, sources, ZEVP_SNMP_TRAP, ">>> SNMP Trap definition online delayed");
  if (bringNetworkTablesOnline) {
    BringOnline(anchor, sources, ZEVP_SNMP_ROUTER, ">>> SNMP Router definition online delayed");
    BringOnline(anchor, sources, ZEVP_SNMP_NETSUMMARY, ">>> SNMP Network definition online delayed");
    BringOnline(anchor, sources, ZEVP_SNMP_PLOVEN_AGENTS, ">>> SNMP Ploven Agent definition online delayed");
  }
  Record(anchor, sources, ZEVP_SNMP_NETWORK);
  Record(anchor, sources, ZEVP_SNMP_MANAGED_NODES);
  if (ZEV0_ProductSpecItemOn(ZEV2_ENABLE_SNMP_MIBSTATUS)) {
    BringOnline(anchor, sources, ZEVP_SNMP_MIBSTATUS, ">>> SNMP MIB status definition online delayed");
    BringOnline(anchor, sources, ZEVP_SNMP_MIBNODATA, ">>> SNMP MIB No Data status definition online delayed");
  }

  for (TableEntry* table : anchor->snmpManagerTables)
    if (table != nullptr) return 1;
  return 0;
}

SourceEntry* ZEVP_SNMPmanagerSource(const DPAB* anchor, int table) {
  if (table < 0 || table >= ZEVP_SNMP_MANAGER_TABLES) return nullptr;
  const TableEntry* entry = anchor->snmpManagerTables[table];
  return entry != nullptr ? entry->FirstSource : nullptr;
}

#include "mib_table_monitor.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "action_worker.h"
#include "application_entry.h"
#include "attribute_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "attribute_copies.h"
#include "filter_check.h"
#include "mib_interest_file.h"
#include "mib_row_step.h"
#include "mib_status_rows.h"
#include "monitor_node_list.h"
#include "model_release.h"
#include "no_data_status.h"
#include "process_entry.h"
#include "snmp_pdu.h"
#include "snmp_worker_extension.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zev0/threads.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

constexpr int32_t kLogCollectionStarted = 108;
constexpr int32_t kLogCollectionEnded = 109;
constexpr char kInputOnly[] = "Input Only";
constexpr char kObjectInstance[] = "_ObjectInstance";
constexpr int kRowsBeforePause = 10;
constexpr int kMIBcolumnFrom = 2;  // the first two attributes are the input-only field and the agent name

struct Collection {
  DPAB* anchor;
  ActionWorkerTaskEntry* worker;
  ProcessEntry* own;
  SNMPWorkerTaskExtension* extension;
  ApplicationEntry* application;
  TableEntry* table;
  SourceEntry* source;
  bool tableMode;
  int socket;
  int32_t requestID;
  std::vector<char> buffer;
};

bool stopping(const Collection& c) {
  return c.worker->ActionWorkerStatus == AWshutdown || c.extension->collectionStopped.load() != 0;
}

bool isDerived(const AttributeEntry* attribute) {
  return attribute->AttrOper1 != nullptr && attribute->AttrOper2 != nullptr;
}

// The MIB columns of the source's current list, in attribute order.
std::vector<AttributeEntry*> columnsOf(SourceEntry* source) {
  std::vector<AttributeEntry*> columns;
  int index = 0;
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next, ++index) {
    if (index < kMIBcolumnFrom || attribute->AttrOIDstring == nullptr || isDerived(attribute)) continue;
    if (std::strcmp(attribute->AttrName, kObjectInstance) == 0) continue;
    columns.push_back(attribute);
  }
  return columns;
}

void setText(AttributeEntry* attribute, const char* text, size_t length) {
  length = std::min<size_t>(length, attribute->MaxValSize);
  std::memset(attribute->Value(), 0, attribute->MaxValSize);
  std::memcpy(attribute->Value(), text, length);
  attribute->ActualValSize = static_cast<uint16_t>(length);
}

void clearFrom(SourceEntry* source, int first) {
  int index = 0;
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next, ++index) {
    if (index < first) continue;
    std::memset(attribute->Value(), 0, attribute->MaxValSize);
    attribute->ActualValSize = 0;
  }
}

void setAgentColumns(SourceEntry* source, const std::string& agentName) {
  AttributeEntry* first = source->FirstAttribute;
  if (first == nullptr) return;
  setText(first, kInputOnly, sizeof kInputOnly - 1);
  for (AttributeEntry* attribute = first->next; attribute != nullptr; attribute = attribute->next) {
    if (attribute->AttrOIDstring == nullptr) continue;
    setText(attribute, agentName.c_str(), agentName.size());
    return;
  }
}

void setObjectInstance(SourceEntry* source, const char* instance) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (std::strcmp(attribute->AttrName, kObjectInstance) == 0)
      setText(attribute, instance + (instance[0] == '.' ? 1 : 0), std::strlen(instance) - (instance[0] == '.' ? 1 : 0));
}

// A derived attribute is left empty: sending the row computes it from its operands,
// and one that cannot be computed goes without a value, not with a made-up zero.
void fillEmpty(SourceEntry* source) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (attribute->ActualValSize != 0 || isDerived(attribute)) continue;
    if (attribute->AttrType == ZEVP_ATTR_DISPLAY) {
      setText(attribute, " ", 1);
    } else {
      std::memset(attribute->Value(), 0, attribute->MaxValSize);
      attribute->ActualValSize = attribute->MaxValSize;
    }
  }
}

// The next row's instance; false ends the agent's rows.
bool nextInstance(Collection& c, const SNMPMonitorNodeEntry* node, AttributeEntry* firstColumn, char* instance) {
  const std::string oidText = std::string(firstColumn->AttrOIDstring) + instance;
  char* oid = nullptr;
  int32_t oidLength = 0;
  int found = 0;
  if (ZEV0_FormatOIDfromString(oidText.c_str(), &oid, &oidLength) != 0) {
    ++c.requestID;
    int32_t length = ZEVP_SNMPconstructPDUbuffer(c.buffer.data(), ZEVP_SNMP_BUFFER_SIZE, ZEVP_SNMP_GETNEXT_REQUEST,
                                                 oid, oidLength, nullptr, 0, c.requestID, node->community);
    found = ZEVP_SNMPretrieveCurrentVarInstance(c.socket, c.buffer.data(), length, ZEVP_SNMP_BUFFER_SIZE, instance,
                                                c.requestID, &node->address, firstColumn->AttrOIDstring);
    ZEV0_FreeStorage(&oid);
  }
  if (found == 0) TRC(TRC_DETAIL, "Unable to retrieve current MIB instance");
  return found != 0;
}

// Sends the row when it passes; true when it went.
bool sendRow(Collection& c, int32_t loaded) {
  SourceEntry* source = c.source;
  if (ZEVP_CheckAttributesPassFilters(source) == 0) return false;
  zevp::EngineRoutines& routines = zevp::Routines();
  if (source->Summary != nullptr) routines.updateSummaryDataArray(source);
  if (routines.checkDataSummaryReady(source) == 0 || loaded == 0) return false;
  routines.updateSourceEntryState(source, ZEVP_Output);
  routines.queueAndWaitDCHstatus(c.anchor, c.own, source);
  return true;
}

// The rows of one agent; the count sent.
int walkAgent(Collection& c, SNMPMonitorNodeEntry* node) {
  SourceEntry* source = c.source;
  char instance[ZEVP_SNMP_INSTANCE_SIZE] = {};
  const std::string agentName = zevp::ShownAgentName(node);
  BSV1_GetLock(&source->DataLock);
  if (node->attributes != nullptr) source->FirstAttribute = node->attributes;
  clearFrom(source, 0);
  const std::vector<AttributeEntry*> columns = columnsOf(source);
  BSV1_ReleaseLock(&source->DataLock);
  if (columns.empty()) return 0;

  int rowsSent = 0;
  bool first = true;
  bool last = !c.tableMode;
  while (!stopping(c)) {
    BSV1_GetLock(&source->DataLock);
    if (first) setAgentColumns(source, agentName);
    if (c.tableMode && !nextInstance(c, node, columns.front(), instance)) {
      BSV1_ReleaseLock(&source->DataLock);
      break;
    }
    if (c.tableMode) setObjectInstance(source, instance);
    int32_t loaded = 0;
    for (AttributeEntry* column : columns) {
      ColumnOutcome outcome = ZEVP_SNMPgetColumnValue(c.socket, c.buffer.data(), &node->address, node->community,
                                                      &c.requestID, column, c.tableMode ? instance : nullptr,
                                                      node->agentAddress, &loaded);
      if (outcome == ColumnOutcome::EndRow) last = true;
      if (outcome == ColumnOutcome::EndRow || outcome == ColumnOutcome::SkipColumns) break;
    }
    fillEmpty(source);
    BSV1_ReleaseLock(&source->DataLock);
    bool sent = sendRow(c, loaded);
    if (sent) ++rowsSent;
    BSV1_GetLock(&source->DataLock);
    clearFrom(source, c.tableMode ? kMIBcolumnFrom : 0);
    BSV1_ReleaseLock(&source->DataLock);
    first = false;
    if (last) break;
    if (sent && rowsSent % kRowsBeforePause == 0) {
      TRC(TRC_DETAIL, ">>>>>10 row pause");
      BSV1_Sleep(1);
    }
  }
  return rowsSent;
}

void reportNoData(Collection& c, SNMPMonitorNodeEntry* node, int rowsSent) {
  const std::string agentName = zevp::ShownAgentName(node);
  if (rowsSent > 0 && node->noData == 1) {
    ZEVP_EnqueueNoDataStatus(agentName.c_str(), c.application->ApplName, c.table->TableName, 1);
    node->noData = 0;
  } else if (rowsSent == 0 && node->noData == 0) {
    ZEVP_EnqueueNoDataStatus(agentName.c_str(), c.application->ApplName, c.table->TableName, 0);
    node->noData = 1;
  }
}

int32_t interest(SNMPWorkerTaskExtension* extension, int32_t* interval) {
  BSV1_GetLock(&extension->intervalLock);
  int32_t count = extension->interestCount;
  if (interval != nullptr) *interval = extension->interval;
  BSV1_ReleaseLock(&extension->intervalLock);
  return count;
}

void runPass(Collection& c) {
  SNMPWorkerTaskExtension* extension = c.extension;
  SourceEntry* source = c.source;
  AttributeEntry* ownAttributes = source->FirstAttribute;
  BSV1_GetLock(&extension->nodeListLock);
  for (SNMPMonitorNodeEntry* node = extension->nodes; node != nullptr && !stopping(c); node = node->next) {
    // An agent gets its copy at the first pass that meets it, also when it joined
    // during the collection, so that its rates are its own.
    if (node->attributes == nullptr && c.table->HasRateAttributes != 0)
      node->attributes = ZEVP_CreateCopySourceAttrs(source);
    int rowsSent = walkAgent(c, node);
    BSV1_GetLock(&source->DataLock);
    source->FirstAttribute = ownAttributes;
    BSV1_ReleaseLock(&source->DataLock);
    reportNoData(c, node, rowsSent);
  }
  BSV1_ReleaseLock(&extension->nodeListLock);
}

void afterPass(Collection& c) {
  SNMPWorkerTaskExtension* extension = c.extension;
  BSV1_GetLock(&extension->nodeListLock);
  bool agentsLeft = extension->nodes != nullptr;
  if (agentsLeft) ZEV0_GetPlovenTime(extension->lastSampleTime);
  BSV1_ReleaseLock(&extension->nodeListLock);
  if (agentsLeft)
    ZEVP_UpdateMIBstatusToDCH(c.anchor, extension);
  else
    ZEVP_DeleteMIBstatusFromDCH(c.anchor, extension);
  BSV1_GetLock(&extension->intervalLock);
  bool changed = extension->interestChanged != 0;
  BSV1_ReleaseLock(&extension->intervalLock);
  if (changed) ZEVP_UpdateMIBinterestExt(c.anchor);
}

// Decided under the worker-list lock, under which a start looks for its collector
// and joins it: a collector that leaves gives up its group in the same hold, so no
// start joins it after the decision. A collection of a deleted application always
// leaves: its table is freed once the collector lets go of its source.
bool leave(Collection& c) {
  SNMPWorkerTaskExtension* extension = c.extension;
  BSV1_GetLock(&c.anchor->actionWorkerListLock);
  BSV1_GetLock(&extension->nodeListLock);
  BSV1_GetLock(&extension->intervalLock);
  bool leaving =
      extension->interestCount < 1 || extension->nodes == nullptr || extension->collectionStopped.load() != 0;
  if (leaving) {
    extension->application = nullptr;
    extension->table = nullptr;
  }
  BSV1_ReleaseLock(&extension->intervalLock);
  BSV1_ReleaseLock(&extension->nodeListLock);
  BSV1_ReleaseLock(&c.anchor->actionWorkerListLock);
  return leaving;
}

void awaitInterval(Collection& c) {
  int32_t interval = 0;
  interest(c.extension, &interval);
  ActionWorkerTaskEntry* worker = c.worker;
  pthread_mutex_lock(&worker->WorkerMutex);
  if (!stopping(c) && worker->WorkerExtension->wakeRequested == 0 &&
      ZEV0_ConditionTimedWait(&worker->WorkerCondition, &worker->WorkerMutex, interval) == 0)
    TRC(TRC_DETAIL, ">>>>>SNMP MIB Get %s %s signal received", c.application->ApplName, c.table->TableName);
  worker->WorkerExtension->wakeRequested = 0;
  pthread_mutex_unlock(&worker->WorkerMutex);
}

void endCollection(Collection& c, bool stopped) {
  SNMPWorkerTaskExtension* extension = c.extension;
  if (!stopped)
    zevp::Routines().sendDPlogMessage(c.anchor, kLogCollectionEnded, c.application->ApplName, c.table->TableName,
                                      nullptr, nullptr, nullptr);
  BSV1_GetLock(&extension->nodeListLock);
  for (SNMPMonitorNodeEntry* node = extension->nodes; node != nullptr; node = node->next) {
    if (node->attributes == nullptr) continue;
    ZEVP_FreeAttributeCopy(node->attributes);
    node->attributes = nullptr;
  }
  BSV1_ReleaseLock(&extension->nodeListLock);
}

}  // namespace

int ZEVP_IsSNMPtableMode(const TableEntry* table) {
  const SourceEntry* source = table->FirstSource;
  const AttributeEntry* third = source != nullptr && source->FirstAttribute != nullptr &&
                                        source->FirstAttribute->next != nullptr
                                    ? source->FirstAttribute->next->next
                                    : nullptr;
  return third != nullptr && third->AttrOID == nullptr ? 1 : 0;
}

void ZEVP_SNMPmonitorMIBtable(DPAB* anchor, ActionWorkerTaskEntry* worker, ProcessEntry* own) {
  SNMPWorkerTaskExtension* extension = worker->WorkerExtension;
  Collection c{anchor, worker, own, extension, extension->application, extension->table,
               extension->table->FirstSource, ZEVP_IsSNMPtableMode(extension->table) != 0, -1, 0,
               std::vector<char>(ZEVP_SNMP_BUFFER_SIZE)};
  if (c.source == nullptr) {
    TRC(TRC_ERROR, "*****MIB table %s has no source. SNMP MIB monitoring impossible", c.table->TableName);
    return;
  }
  BSV1_GetLock(&own->TerminationLock);
  sockaddr_in local{};
  c.socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  if (c.socket < 0) {
    TRC(TRC_ERROR, "*****Unable to open socket. SNMP MIB monitoring impossible");
    BSV1_ReleaseLock(&own->TerminationLock);
    return;
  }
  ProcessEntry* previousOwner = ZEVP_LendSource(c.source, own);
  zevp::Routines().sendDPlogMessage(anchor, kLogCollectionStarted, c.application->ApplName, c.table->TableName,
                                    nullptr, nullptr, nullptr);
  for (;;) {
    if (interest(extension, nullptr) > 0) runPass(c);
    if (stopping(c)) {
      if (extension->collectionStopped.load() != 0) leave(c);
      break;
    }
    afterPass(c);
    if (leave(c)) break;
    awaitInterval(c);
  }
  ZEV0_CloseTheSocket(c.socket);
  endCollection(c, stopping(c));
  ZEVP_GiveSourceBack(c.source, own, previousOwner);
  BSV1_ReleaseLock(&own->TerminationLock);
}

#include "mib_status_rows.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "action_worker.h"
#include "application_entry.h"
#include "dch/dch_protocol.h"
#include "dp_anchor.h"
#include "mib_interest_records.h"
#include "record_paths.h"
#include "snmp_manager_model.h"
#include "snmp_worker_extension.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

constexpr char kNoCompletedSample[] = "No completed sample";
constexpr int kStampLength = 16;

// Rows of different workers do not interleave.
std::mutex MIBinterestUpdateLock;

// Guards the visit counts of the workers' extensions.
std::mutex ExtensionVisitsMutex;
std::condition_variable ExtensionVisitsEnded;

bool Described(const SNMPWorkerTaskExtension* extension) {
  return extension->application != nullptr && extension->table != nullptr;
}

std::string TimeText(const char* stamp) {
  if (std::strspn(stamp, "0") >= static_cast<size_t>(kStampLength)) return kNoCompletedSample;
  char text[64] = {};
  ZEV0_PlovenTimeToString(stamp, text);
  return text;
}

// Sends the record through the MIBSTATUS source (as a key delete when asked).
void Send(DPAB* anchor, std::string record, bool deleteRow) {
  std::lock_guard<std::mutex> rows(MIBinterestUpdateLock);
  SourceEntry* source = ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_MIBSTATUS);
  if (source == nullptr) {
    TRC(TRC_DETAIL, "MIBSTATUS source not available. No MIB status row");
    return;
  }
  const int16_t atRest = source->DataSequence;
  if (deleteRow) source->DataSequence = static_cast<int16_t>(DCH_DeleteKeyRecord);
  ZEVP_MoveDataToDCH(anchor, source, record.data(), static_cast<int32_t>(record.size()));
  source->DataSequence = atRest;
}

}  // namespace

void ZEVP_UpdateMIBstatusToDCH(DPAB* anchor, SNMPWorkerTaskExtension* extension) {
  if (extension == nullptr) return;
  BSV1_GetLock(&extension->nodeListLock);
  bool due = extension->nodes != nullptr && Described(extension);
  std::string record = due ? zevp::MIBstatusRecord(*extension) : std::string();
  BSV1_ReleaseLock(&extension->nodeListLock);
  if (due) Send(anchor, record, false);
}

void ZEVP_EndMIBstatusRows(DPAB* anchor, const std::function<void()>& offline) {
  std::lock_guard<std::mutex> rows(MIBinterestUpdateLock);
  offline();
  anchor->snmpManagerTables[ZEVP_SNMP_MIBSTATUS] = nullptr;
}

void ZEVP_UpdateMIBinteresToDCH(DPAB* anchor) {
  zevp::ForEachSNMPworkerExtension(anchor, [anchor](SNMPWorkerTaskExtension* extension) {
    ZEVP_UpdateMIBstatusToDCH(anchor, extension);
  });
}

void ZEVP_DeleteMIBstatusFromDCH(DPAB* anchor, SNMPWorkerTaskExtension* extension) {
  if (extension == nullptr) return;
  BSV1_GetLock(&extension->nodeListLock);
  bool due = extension->nodes == nullptr && Described(extension);
  std::string record =
      due ? std::string(extension->application->ApplName) + ";" + extension->table->TableName + ";" : std::string();
  BSV1_ReleaseLock(&extension->nodeListLock);
  if (due) Send(anchor, record, true);
}

namespace zevp {

std::string MIBstatusRecord(SNMPWorkerTaskExtension& extension) {
  BSV1_GetLock(&extension.intervalLock);
  const int32_t interval = extension.interval;
  BSV1_ReleaseLock(&extension.intervalLock);
  return std::string(extension.application->ApplName) + ";" + extension.table->TableName + ";" +
         std::to_string(interval) + ";" + ZEVP_BuildMIBstatusAgentList(extension) + ";" +
         TimeText(extension.lastSampleTime);
}

void ForEachSNMPworkerExtension(DPAB* anchor, const std::function<void(SNMPWorkerTaskExtension*)>& visit) {
  std::vector<SNMPWorkerTaskExtension*> visited;
  BSV1_GetLock(&anchor->actionWorkerListLock);
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker) {
    SNMPWorkerTaskExtension* extension = worker->WorkerExtension;
    if (worker->ActionWorkerType != ZEV_ACTION_SNMP || extension == nullptr) continue;
    std::lock_guard<std::mutex> visits(ExtensionVisitsMutex);
    ++extension->visits;
    visited.push_back(extension);
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  for (SNMPWorkerTaskExtension* extension : visited) {
    visit(extension);
    std::lock_guard<std::mutex> visits(ExtensionVisitsMutex);
    --extension->visits;
    ExtensionVisitsEnded.notify_all();
  }
}

SNMPWorkerTaskExtension* WithdrawSNMPworkerExtension(DPAB* anchor, ActionWorkerTaskEntry* worker) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  SNMPWorkerTaskExtension* extension = worker->WorkerExtension;
  worker->WorkerExtension = nullptr;
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  if (extension == nullptr) return nullptr;
  std::unique_lock<std::mutex> visits(ExtensionVisitsMutex);
  if (extension->visits > 0)
    TRC(TRC_DETAIL, "SNMP worker @%p waits for %d visits of its extension to end", static_cast<void*>(worker),
        extension->visits);
  ExtensionVisitsEnded.wait(visits, [extension] { return extension->visits == 0; });
  return extension;
}

}  // namespace zevp

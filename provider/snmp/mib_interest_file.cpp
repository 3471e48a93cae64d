#include "mib_interest_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "action_entry.h"
#include "action_worker.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "mib_interest_records.h"
#include "mib_status_rows.h"
#include "snmp_worker_extension.h"
#include "trc1.h"
#include "work_file_name.h"
#include "zev/action_codes.h"
#include "zev/prodspec_items.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace {

constexpr char kAutoStartOwner[] = "SNMPAUTOINIT";
constexpr char kApplicationWord[] = "APPLNAME=";

// Rewrite and auto-start take turns on the file.
std::mutex MIBinterestFileAccessLock;
std::atomic<bool> rewriteInProgress{false};

zevp::MIBinterestFileNames InitializeMIBinterestFiles() {
  zevp::MIBinterestFileNames names;
  const char* name = ZEV0_QueryProductSpec(ZEV2_SNMPMIBI_FILENAME);
  if (name == nullptr || name[0] == '\0') return names;
  names.active = zevp::FullWorkFileName(name);
  if (names.active.empty()) return names;
  names.backup = names.active;
  names.backup.back() = 'X';
  names.fresh = names.active;
  names.fresh.back() = 'N';
  return names;
}

// Writes the worker's records, then sends its status row; the count of records.
int WriteWorker(DPAB* anchor, FILE* file, SNMPWorkerTaskExtension* extension) {
  // A stop may lower the interval meanwhile.
  BSV1_GetLock(&extension->nodeListLock);
  BSV1_GetLock(&extension->intervalLock);
  std::vector<std::string> records = ZEVP_BuildMIBinterestRecords(*extension);
  BSV1_ReleaseLock(&extension->intervalLock);
  BSV1_ReleaseLock(&extension->nodeListLock);
  for (const std::string& record : records) std::fputs(record.c_str(), file);
  if (!records.empty()) ZEVP_UpdateMIBstatusToDCH(anchor, extension);
  extension->interestChanged = 0;
  return static_cast<int>(records.size());
}

void PutInPlace(const zevp::MIBinterestFileNames& names, int records) {
  if (records == 0) {
    std::remove(names.fresh.c_str());
    return;
  }
  if (std::rename(names.active.c_str(), names.backup.c_str()) != 0) std::remove(names.active.c_str());
  int rc = std::rename(names.fresh.c_str(), names.active.c_str());
  TRC(TRC_DETAIL, "MIB interest file %s renamed to %s, rc %d", names.fresh.c_str(), names.active.c_str(), rc);
}

bool Selected(const std::string& record, const char* applicationName) {
  if (applicationName == nullptr) return true;
  size_t at = record.find(kApplicationWord);
  if (at == std::string::npos) return false;
  return record.compare(at + sizeof kApplicationWord - 1, std::strlen(applicationName), applicationName) == 0;
}

// One auto-start action with the record as its parameters, on an SNMP worker: false
// when no worker could be had.
bool Dispatch(DPAB* anchor, const std::string& record) {
  ActionEntry* entry = zevp::Routines().allocateAutoStartActionEntry(anchor);
  if (entry == nullptr) return false;
  BSV1_GetLock(&anchor->actionListLock);
  entry->ActionParm = ZEVP_CopyActionText(record.c_str(), static_cast<uint32_t>(record.size()));
  BSV1_ReleaseLock(&anchor->actionListLock);
  ActionWorkerTaskEntry* worker =
      entry->ActionParm != nullptr ? ZEVP_AllocateActionWorkerTask(anchor->dchLink.load(), ZEV_ACTION_SNMP, 1) : nullptr;
  if (worker == nullptr) {
    TRC(TRC_ERROR, "*****Auto worker thread creation failed. MIB auto start bypassed");
    ZEVP_ReleaseActionEntry(anchor, entry);
    return false;
  }
  TRC(TRC_DETAIL, ">>>>> Dispatch auto start MIB monitor for %s", record.c_str());
  ZEVP_AssignWorkerAction(worker, entry);
  return true;
}

}  // namespace

void ZEVP_UpdateMIBinterestExt(DPAB* anchor) {
  const zevp::MIBinterestFileNames& names = zevp::MIBinterestFiles();
  if (names.active.empty()) return;
  if (rewriteInProgress.exchange(true)) {
    TRC(TRC_DETAIL, "MIB Interest file output already in progress. continue");
    return;
  }
  std::lock_guard<std::mutex> access(MIBinterestFileAccessLock);
  BSV1_GetLock(&anchor->snmpNodeLock);
  std::remove(names.fresh.c_str());
  FILE* file = std::fopen(names.fresh.c_str(), "we");
  if (file == nullptr) {
    TRC(TRC_ERROR, "***** MIB interest configuration file %s open failed, ErrorText <%s>", names.fresh.c_str(),
        std::strerror(errno));
  } else {
    int records = 0;
    zevp::ForEachSNMPworkerExtension(anchor, [&](SNMPWorkerTaskExtension* extension) {
      records += WriteWorker(anchor, file, extension);
    });
    std::fclose(file);
    PutInPlace(names, records);
    TRC(TRC_DETAIL, "%d MIB interest records written to configuration file", records);
  }
  BSV1_ReleaseLock(&anchor->snmpNodeLock);
  rewriteInProgress = false;
}

void ZEVP_DoAutoStartMIBmonitorTasks(DPAB* anchor, const char* applicationName) {
  const zevp::MIBinterestFileNames& names = zevp::MIBinterestFiles();
  std::lock_guard<std::mutex> access(MIBinterestFileAccessLock);
  FILE* file = names.active.empty() ? nullptr : std::fopen(names.active.c_str(), "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "***** MIB interest configuration file %s open failed, errno %d", names.active.c_str(), errno);
    return;
  }
  std::vector<std::string> records = ZEVP_ReadMIBinterestRecords(file, applicationName);
  std::fclose(file);
  for (const std::string& record : records)
    if (!Dispatch(anchor, record)) break;
}

ActionEntry* ZEVP_AllocateAutoStartActionEntry(DPAB* anchor) {
  BSV1_GetLock(&anchor->actionListLock);
  ActionEntry* entry = ZEVP_AllocateActionEntry(anchor);
  if (entry != nullptr) {
    entry->ActionName = ZEVP_CopyActionText(ZEVP_SNMPSTARTGET, sizeof ZEVP_SNMPSTARTGET - 1);
    entry->ActionOwner = ZEVP_CopyActionText(kAutoStartOwner, sizeof kAutoStartOwner - 1);
    entry->ActionType = ZEV_ACTION_SNMP;
    entry->FieldCount = ZEVP_ACTION_FIELDS_REQUIRED;
    entry->EyeCatcher = 'A';
    if (entry->ActionName == nullptr || entry->ActionOwner == nullptr) {
      ZEVP_ReleaseActionEntry(anchor, entry);
      entry = nullptr;
    }
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  return entry;
}

std::vector<std::string> ZEVP_ReadMIBinterestRecords(FILE* file, const char* applicationName) {
  std::vector<std::string> records;
  std::string line;
  bool tooLong = false;
  while (zev0::NextTextLine(file, &line, ZEVP_MIB_INTEREST_RECORD_MAX, &tooLong)) {
    if (tooLong) {
      TRC(TRC_ERROR, "***** MIB interest record of more than %zu bytes bypassed", ZEVP_MIB_INTEREST_RECORD_MAX);
      continue;
    }
    if (!line.empty() && Selected(line, applicationName)) records.push_back(line);
  }
  return records;
}

namespace zevp {

const MIBinterestFileNames& MIBinterestFiles() {
  static const MIBinterestFileNames names = InitializeMIBinterestFiles();
  return names;
}

}  // namespace zevp

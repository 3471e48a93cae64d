#include "subnode_registration.h"

#include <cstdio>
#include <cstring>

#include "agent_limits.h"
#include "application_probe.h"
#include "application_probe_list.h"
#include "dch/channel_functions.h"
#include "raf.h"
#include "raf_status.h"
#include "samples_list.h"
#include "table_name.h"
#include "trc1.h"
#include "user_data_list.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"

TRC_UNIT();

namespace {

constexpr char kAgentApplication[] = "DVAGENT";
constexpr char kActionNodeMark[] = "ACT:DVAGENT";

// Changed on the status monitor's thread only.
int16_t numApplications = 0;

void applKeyOf(const char* applName, char (&applKey)[4]) { std::snprintf(applKey, sizeof applKey, "%.3s", applName); }

bool applicationLimitReached() {
  if (numApplications < Max_Applications()) return false;
  TRC(TRC_ERROR, "Error: Maximum<%d> number of applications allowed have been started.", Max_Applications());
  return true;
}

// A new record (state "not started"): 0, or 1.
int addProbeRecord(applicationProbeList& probes, const char* applName) {
  applDataStruct record;
  std::snprintf(record.applName, sizeof record.applName, "%s", applName);
  record.status = applDataStruct::kNotStarted;
  if (probes.addEntry(record) != 0) {
    TRC(TRC_ERROR, "Error: adding entry for applName <%s>", applName);
    return 1;
  }
  TRC(TRC_DETAIL, "Successfully added entry for application probe <%s>", applName);
  return 0;
}

// Starts the application's probe, the record marked started first, so that the probe's
// definition is never overwritten by the monitor. 0, or 1.
int startProbe(applicationProbeList& probes, const char* applName, applDataStruct* record) {
  if (!probes.getApplDataStore(applName, record)) {
    TRC(TRC_ERROR, "Error: getApplDataStore <%s> failed.", applName);
    return 1;
  }
  std::snprintf(record->applName, sizeof record->applName, "%s", applName);
  record->udl = nullptr;
  record->status = applDataStruct::kStarted;
  if (probes.addEntry(*record) != 0) {
    TRC(TRC_ERROR, "Error: updating entry for applName <%s>", applName);
    return 1;
  }
  if (!startProbeThread(applName, record->signals)) {
    record->status = applDataStruct::kNotStarted;
    probes.addEntry(*record);
    return 1;
  }
  ++numApplications;
  return 0;
}

// The probe of the application is started (or was already): 0; else the result.
int ensureProbe(applicationProbeList& probes, const char* applName, applDataStruct* record, bool* started) {
  int16_t state = probes.searchProbes(applName);
  switch (state) {
    case 0:
      TRC(TRC_DETAIL, "CASE - PROBE_NOT_FOUND for application <%s>", applName);
      if (applicationLimitReached()) return -1;
      if (addProbeRecord(probes, applName) != 0) return 1;
      [[fallthrough]];
    case applDataStruct::kNotStarted:
      TRC(TRC_DETAIL, "CASE - PROBE_NOT_STARTED for application <%s>", applName);
      if (applicationLimitReached()) return 1;
      *started = startProbe(probes, applName, record) == 0;
      return *started ? 0 : 1;
    case applDataStruct::kStarted:
      TRC(TRC_DETAIL, "CASE - PROBE_STARTED for application <%s>", applName);
      return 0;
    case applDataStruct::kEndedInErrors:
      TRC(TRC_ERROR, "CASE - PROBE_ENDED_IN_ERRORS for application <%s>", applName);
      return 1;
    default:
      TRC(TRC_ERROR, "Error: unrecognized CASE %d", state);
      return 1;
  }
}

// 0, or 1 when the framework refused.
int registerSubnode(const char* subnodeName, const char* applName, const char* affinity, const char* version) {
  samplesList* registry = dataSamples();
  if (registry != nullptr && registry->subnodeOnline(subnodeName) == samplesListEntry::kRegistered) {
    TRC(TRC_DETAIL, "Note: Ignoring subnode <%s> registration request.  Subnode already registered.", subnodeName);
    return 0;
  }
  if (std::strstr(subnodeName, kActionNodeMark) != nullptr) {
    TRC(TRC_DETAIL, "Skipping subnode registration of Action Node Name <%s>", subnodeName);
    return 0;
  }
  TRC(TRC_DETAIL, "Calling RAF_Subnode_Register for subNodeName <%s> applName <%s>", subnodeName, applName);
  if (RAF_Subnode_Register(subnodeName, affinity, applName, version) == RAF_SUBNODE_FAILED) {
    TRC(TRC_ERROR, "Error: Subnode <%s> register failed.", subnodeName);
    return 1;
  }
  TRC(TRC_DETAIL, "Subnode <%s> register was successful.", subnodeName);
  if (RAF_Subnode_SendRequest() == RAF_SEND_FAILED) {
    TRC(TRC_ERROR, "Error: RAF_Subnode_SendRequest/Register failed.");
    return 1;
  }
  return 0;
}

// The subnode of the prior release goes, named as it was registered.
void deletePriorReleaseSubnode(const char* applName, const char* attrGroup, const char* sourceName,
                               const userDataList& definition) {
  const char* prior = definition.prior_vrm();
  char priorRR[3] = {};
  if (std::strlen(prior) >= 5) std::memcpy(priorRR, prior + 3, 2);
  if (std::strcmp(priorRR, definition.RR()) == 0) return;
  TRC(TRC_DETAIL, "Application versions (RR part) have changed.");
  char oldName[samplesListEntry::kSubnodeNameSize];
  if (ZEVA_SetSubnodeName(applName, attrGroup, sourceName, priorRR, oldName, nullptr) != 0) {
    TRC(TRC_ERROR, "Warning: no subnode name of release <%s> for <%s/%s>", priorRR, applName, sourceName);
    return;
  }
  TRC(TRC_DETAIL, "Attempting to delete subNode <%s>", oldName);
  if (RAF_Subnode_Delete(oldName) == RAF_SUBNODE_FAILED)
    TRC(TRC_ERROR, "Warning: Subnode <%s> delete failed.", oldName);
  else if (RAF_Subnode_SendRequest() == RAF_SEND_FAILED)
    TRC(TRC_ERROR, "Warning: RAF_Subnode_SendRequest/Delete failed.");
}

void deregisterSubnode(const char* subnodeName) {
  TRC(TRC_DETAIL, "Calling RAF_Subnode_Deregister for subNodeName <%s>", subnodeName);
  if (RAF_Subnode_Deregister(subnodeName) == RAF_SUBNODE_FAILED)
    TRC(TRC_ERROR, "Warning: Subnode <%s> deregister failed.", subnodeName);
  else if (RAF_Subnode_SendRequest() == RAF_SEND_FAILED)
    TRC(TRC_ERROR, "Warning: RAF_Subnode_SendRequest/deregister failed.");
}

}  // namespace

int numberOfApplications() { return numApplications; }

int processOnline(const char* applName, const char* attrGroup, const char* sourceName, const char* affinity) {
  if (ZEV0_QueryProductSpec(ZEV2_ENABLE_DPLOG) == nullptr && std::strcmp(applName, kAgentApplication) == 0) {
    TRC(TRC_DETAIL, "Note: Skipping application DVAGENT.");
    return 0;
  }
  applicationProbeList* probes = startedProbes();
  samplesList* registry = dataSamples();
  if (probes == nullptr || registry == nullptr) {
    TRC(TRC_ERROR, "Error: the agent's lists are not there for applName <%s>", applName);
    return 1;
  }
  applDataStruct record;
  bool started = false;
  if (int result = ensureProbe(*probes, applName, &record, &started)) return result;

  if (int rc = probes->WaitForUDL(applName)) {
    TRC(TRC_ERROR, "Error: WaitForUDL failed, rc: %d", rc);
    if (started) {
      record.status = applDataStruct::kEndedInErrors;
      if (probes->addEntry(record) != 0) TRC(TRC_ERROR, "Error: updating entry for applName <%s>", applName);
    }
    return 1;
  }
  if (DV_Debug() == 1) probes->printList();

  userDataList* definition = probes->getUDLPtr(applName);
  if (definition == nullptr) {
    TRC(TRC_ERROR, "Error: getUDLPtr <%s> failed.", applName);
    return 1;
  }
  char applKey[4];
  applKeyOf(applName, applKey);
  char tableName[kTableNameSize];
  formatTableName(tableName, applKey, attrGroup, definition->RR());
  samplesList::SubnodeName subnodeName;
  if (registry->onlineEntry(applName, tableName, attrGroup, definition->RR(), sourceName, subnodeName) == nullptr) {
    TRC(TRC_ERROR, "Error: samplesList::onlineEntry failed for applName <%s> tableName <%s> attrGroup <%s>",
        applName, tableName, attrGroup);
    return 1;
  }
  int result = registerSubnode(subnodeName, applName, affinity, definition->cvrm());
  if (result == 0) deletePriorReleaseSubnode(applName, attrGroup, sourceName, *definition);
  return result;
}

int processOffline(const char* applName, const char* attrGroup, const char* sourceName, const char*) {
  applicationProbeList* probes = startedProbes();
  samplesList* registry = dataSamples();
  userDataList* definition = probes != nullptr ? probes->getUDLPtr(applName) : nullptr;
  if (definition == nullptr || registry == nullptr) {
    TRC(TRC_ERROR, "Warning: getUDLPtr <%s> failed.", applName);
    return 0;
  }
  // The definition goes with the probe once cleanUp has asked it to exit.
  char RR[3];
  std::snprintf(RR, sizeof RR, "%s", definition->RR());
  char applKey[4];
  applKeyOf(applName, applKey);
  samplesList::SubnodeName subnodeName;
  if (registry->getSubnodeName(applKey, sourceName, attrGroup, subnodeName) != 0) {
    TRC(TRC_ERROR, "Error: Returned from getSubnodeName[%s/%s/%s/%s]", applKey, sourceName, attrGroup, RR);
    return 1;
  }
  if (subnodeName[0] == '\0') {
    TRC(TRC_ERROR, "Error: subNodeNamePtr=NULL");
    return 1;
  }
  if (registry->countOfAttrGroups(applKey, sourceName) <= 1)
    deregisterSubnode(subnodeName);
  else
    TRC(TRC_DETAIL, "Note: Subnode <%s> not Deregistered because it had other sources still online.", subnodeName);

  int cleaned = probes->cleanUp(applName, attrGroup, RR, sourceName);
  if (cleaned == -1) {
    --numApplications;
    TRC(TRC_DETAIL, "Application <%s> removed. Number of applications currently active: %d", applName,
        numApplications);
  } else if (cleaned > 0) {
    TRC(TRC_ERROR, "Error: cleanUp[%s/%s/%s/%s]", applKey, sourceName, attrGroup, RR);
    return 1;
  }
  if (DV_Debug() == 1) probes->printList();
  return 0;
}

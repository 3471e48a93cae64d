#include "dp_environment.h"

#include <cerrno>

#include "bsv1.h"
#include "dch_transport_table.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/env.h"
#include "zev0/prodspec.h"

TRC_UNIT();

std::atomic<const char*> ZEV_Agent_Geographic_Location{nullptr};
std::atomic<int32_t> ZEVP_DEBUG_MIBMGR{0};
std::atomic<int32_t> ZEVP_DEBUG_MIBIO{0};
std::atomic<int32_t> ZEVP_DEBUG_Network{0};

namespace {

// A switch is on when its value begins with Y, in either case.
bool SwitchOn(const char* value) { return value != nullptr && (value[0] == 'Y' || value[0] == 'y'); }

void ReadSNMPdebugSwitches() {
  struct Switch {
    const char* variable;
    std::atomic<int32_t>* flag;
    const char* line;
  };
  static const Switch switches[] = {
      {"ZEVP_SNMP_DEBUG_MIB_MANAGER", &ZEVP_DEBUG_MIBMGR, "----------Debug SNMP MIB Manager in effect----------"},
      {"ZEVP_SNMP_DEBUG_MIB_IO", &ZEVP_DEBUG_MIBIO, "----------Debug SNMP MIB IO in effect----------"},
      {"ZEVP_SNMP_DEBUG_DISCOVERY_NETWORK", &ZEVP_DEBUG_Network,
       "----------Debug Network Management in effect----------"},
  };
  for (const Switch& entry : switches) {
    *entry.flag = SwitchOn(ZEV0_GetEnv(entry.variable, "N")) ? 1 : 0;
    if (*entry.flag) TRC(TRC_DETAIL, "%s", entry.line);
  }
}

// A common thread of the environment: 1 when it runs, else 0 with its line traced.
int StartCommonThread(DPAB* anchor, ZEVP_ProcessRoutine routine, const char* failure) {
  if (ZEVP_CreateProcess(anchor, -1, nullptr, routine, 0, nullptr)) return 1;
  TRC(TRC_ERROR, "%s", failure);
  return 0;
}

// The start goes on only while no shut-down is requested; the threads it made are
// ended by its caller, as at any shut-down.
bool StartGoesOn(const DPAB* anchor) {
  if (!zevp::ShutdownRequested(anchor)) return true;
  TRC(TRC_ERROR, "***** Data provider start-up ended: shut-down requested");
  return false;
}

// Waits for the log server's readiness, or until shut-down is requested.
int StartLogServer(DPAB* anchor) {
  if (!StartCommonThread(anchor, zevp::Routines().dpLogServer, "***** DP log server process startup failed"))
    return 0;
  while (anchor->logServerReady == 0 && !zevp::ShutdownRequested(anchor)) BSV1_Sleep(1);
  return 1;
}

// The metafile server answers its start through the hand-shake; a failed start
// is traced and the data provider goes on without it.
int StartMetaServer(DPAB* anchor, const char* serverHost) {
  ProcessEntry* entry = nullptr;
  if (!ZEVP_CreateProcess(anchor, -1, const_cast<char*>(serverHost), zevp::Routines().metaServerTask, 1, &entry)) {
    TRC(TRC_ERROR, "***** Metafile server process startup failed");
    return 0;
  }
  TRC(TRC_DETAIL, ">>>>> Main task waits for Meta Server task startup notification");
  if (ZEVP_AwaitProcessStart(entry)) {
    ZEVP_ReleaseProcessResources(anchor, entry);
    TRC(TRC_ERROR, "***** Meta Server task startup failed");
  } else {
    TRC(TRC_DETAIL, ">>>>> Main task received Meta Server task initialization signal, rc %d errno %d", 0, errno);
  }
  return 1;
}

bool LoadsStartupMetafiles(int32_t dpType) {
  return dpType != ZEV_DP_SNMP && dpType != ZEV_DP_POST && dpType != ZEV_DP_HTTP;
}

}  // namespace

int ZEVP_StartDataProviderEnvironment(DPAB* anchor) {
  zevp::EngineRoutines& routines = zevp::Routines();
  ZEV_Agent_Geographic_Location = ZEV0_GetEnv("ZEV_GEO_LOCATION", nullptr);
  if (!ZEV0_InitializeProductSpec()) {
    TRC(TRC_ERROR, "*****Product specification initialization unsuccessful");
    return 0;
  }
  const char* productName = ZEV0_QueryProductSpec(ZEV2_PRODUCT_NAME);
  const char* typeCode = anchor->dpType >= 0 && anchor->dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[anchor->dpType] : "";
  TRC(TRC_DETAIL, "-----> %s DP build type %s product %s <-----", ZEVP_RELEASE_IDENTIFIER, typeCode,
      productName != nullptr ? productName : "");
  anchor->transportLetter = ZEVP_ValidateTransportType(ZEV0_GetEnv("ZEVP_DP_TRANSPORT", nullptr));
  if (anchor->dpType == ZEV_DP_SNMP) ReadSNMPdebugSwitches();
  if (routines.checkDPalreadyActive(anchor)) return 0;

  if (!StartCommonThread(anchor, routines.dchClientRoutine, "***** DCH client process startup failed")) return 0;
  if (!StartCommonThread(anchor, routines.taskPeriodical, "***** Background activity scan process startup failed"))
    return 0;
  if (anchor->batchMode) return 1;

  // Every step below may wait for the agent or for a thread: a shut-down requested
  // meanwhile ends the start.
  routines.defineDPlogReport(anchor);
  if (anchor->dpType == ZEV_DP_HTTP) routines.defineHTTPapplication(anchor);
  if (!StartGoesOn(anchor)) return 0;
  if (ZEVP_DPlogEnabled() && !StartLogServer(anchor)) return 0;
  if (!StartGoesOn(anchor)) return 0;

  const char* metaServerHost = ZEV0_GetEnv("ZEVP_META_SERVER", nullptr);
  if (ZEV0_QueryProductSpec(ZEV2_PACKAGED_PRODUCT) == nullptr && anchor->dpType != ZEV_DP_POST &&
      metaServerHost != nullptr && !StartMetaServer(anchor, metaServerHost))
    return 0;
  if (!StartGoesOn(anchor)) return 0;

  if (LoadsStartupMetafiles(anchor->dpType) && routines.processStartUpConfig(anchor) == 0)
    routines.doApplicationAutoLoad(anchor);
  if (!StartGoesOn(anchor)) return 0;
  return StartCommonThread(anchor, routines.automationServer, "***** Automation Server process startup failed");
}

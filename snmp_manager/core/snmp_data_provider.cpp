#include "zevs/snmp_data_provider.h"

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "engine_routines.h"
#include "manager_routines.h"
#include "process_entry.h"
#include "snmp_manager_task.h"
#include "snmp_thread.h"
#include "trc1.h"
#include "zev/dp_types.h"

TRC_UNIT();

// The data-provider type of the entry in this process.
int32_t BUILD_DP_TYPE = 0;

namespace {

// The console's TRAPCNFG reloads the trap configuration.
void ReloadTrapConfiguration(ProcessEntry*) { zevs::Routines().loadTrapConfigurationFile(nullptr); }

}  // namespace

void* ZEVS_StartSNMPDataProvider(void* typeAddress) {
  BUILD_DP_TYPE = *static_cast<const int32_t*>(typeAddress);
  if (BUILD_DP_TYPE != ZEV_DP_SNMP) {
    TRC(TRC_ERROR, "*****Invalid input DP type %d, Exiting!", BUILD_DP_TYPE);
    return nullptr;
  }
  TRC(TRC_DETAIL, "Input DP Type is SNMP");
  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) {
    TRC(TRC_ERROR, "ZEVP_StartupInitialization failed");
    return nullptr;
  }
  ZEVP_SetupMainDPanchor(anchor);
  anchor->dpType = BUILD_DP_TYPE;

  zevp::EngineRoutines& engine = zevp::Routines();
  bool started = false;
  if (ZEVP_StartDataProviderEnvironment(anchor)) {
    engine.processStartUpConfig(anchor);
    started = ZEVP_CreateProcess(anchor, BUILD_DP_TYPE, nullptr, ZEVS_SNMPmanagerTask, 0, nullptr) != 0;
    if (!started) TRC(TRC_ERROR, "***** SNMP manager process startup failed.");
  }
  if (started) {
    engine.consoleService(anchor, ReloadTrapConfiguration);
  } else {
    // The threads already started end, as at shut-down, before the anchor they use goes.
    ZEVP_ShutdownCleanUp(anchor, 1);
  }
  ZEVP_ReleaseGlobalResources(anchor);
  zevs::Routines().releaseNoDataStatusArray();
  ZEVS_EndThread();
}

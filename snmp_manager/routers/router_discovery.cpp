#include "router_discovery.h"

#include "debug_switches.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "network_configuration_block.h"
#include "rip_discovery.h"
#include "route_table_walk.h"
#include "router_row.h"
#include "router_status_scan.h"
#include "router_work_file.h"
#include "snmp_manager_model.h"
#include "snmp_thread.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr int32_t kDiscoveryStarted = 104;
constexpr unsigned kPassSleep = 30;
constexpr int kScanEveryPasses = 4;
constexpr int64_t kLongestReportInterval = 3600;

int64_t Now() {
  BSV1_Time now{};
  BSV1_GetTime(&now);
  return now.seconds;
}

}  // namespace

namespace zevs {

int64_t NextRouterReport(int64_t now, int32_t networkDataTTL) {
  return now + (networkDataTTL <= kLongestReportInterval ? networkDataTTL : kLongestReportInterval);
}

}  // namespace zevs

void* ZEVS_DiscoverRouterTask(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  DPAB* anchor = block->anchor;
  BSV1_GetLock(&block->blockLock);
  const int64_t checkInterval = block->checkInterval;
  const int32_t ttl = block->networkDataTTL;
  BSV1_ReleaseLock(&block->blockLock);
  zevs::RouterScanChannel channel;
  TRC(TRC_DETAIL, ">>>>> SNMP discover router monitor process started. Thread: %lX", BSV1_ThreadID());
  zevp::Routines().sendDPlogMessage(anchor, kDiscoveryStarted, nullptr, nullptr, nullptr, nullptr, nullptr);

  ZEVS_ReadRouterConfigFromExt(block);
  ZEVS_DiscoverRoutesViaBroadcast(block);
  ZEVS_ListenRouterUpdates(block);
  int64_t nextReport = 0;
  int64_t nextCheck = 0;
  int64_t checks = 0;
  for (int pass = 0; block->shutdown.load() == 0 && ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_ROUTER) != nullptr;
       ++pass) {
    int64_t now = Now();
    if (now >= nextReport) {
      ZEVS_UpdateRouterInfoToDCH(block, nullptr);
      ZEVS_WriteRouterConfigToExt(block);
      nextReport = zevs::NextRouterReport(now, ttl);
    }
    if (now >= nextCheck && block->shutdown.load() == 0) {
      if (checks % 8 == 0) zevs::StartRouteTableWalk(block);
      if (checks % 4 == 0) ZEVS_ListenRouterUpdates(block);
      ++checks;
      nextCheck = now + checkInterval;
    }
    if (pass % kScanEveryPasses == 0) zevs::ScanRouterStatus(block, channel);
    zevs::SleepUnlessShutdown(block, kPassSleep);
  }
  BSV1_GetLock(&block->blockLock);
  block->routeTableWalkRunning = 0;
  BSV1_ReleaseLock(&block->blockLock);
  ZEVS_CloseRIPsockets();
  TRC(TRC_DETAIL, ">>>>> SNMP discover router monitor process ended. Thread: %lX", BSV1_ThreadID());
  ZEVS_EndThread();
}

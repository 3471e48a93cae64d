#include "status_monitor.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include "dch/dch_api.h"
#include "status_notice.h"
#include "subnode_affinity.h"
#include "subnode_registration.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/prodspec.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kMostFailedWaits = 100;

// Held while a notice is handled; once stopped, no notice is.
std::mutex noticeInHand;
bool stopped = false;

}  // namespace

bool startStatusMonitor() {
  pthread_t thread;
  if (ZEV0_CreateThread(monitorDPStatus, nullptr, PTHREAD_CREATE_DETACHED, &thread) != 0) {
    TRC(TRC_ERROR, "Error: monitorDPStatus thread failed creation.");
    return false;
  }
  TRC(TRC_DETAIL, "monitorDPStatus thread created.");
  return true;
}

void stopStatusMonitor() {
  std::lock_guard<std::mutex> handling(noticeInHand);
  stopped = true;
}

void handleStatusNotice(const char* text, const char* affinity) {
  statusNotice notice;
  if (!parseStatusNotice(text, &notice)) return;
  int requestType = std::atoi(notice.requestType.c_str());
  const char* applName = notice.applName.c_str();
  const char* attrGroup = notice.attrGroup.c_str();
  const char* sourceName = notice.sourceName.c_str();
  if (requestType == kSourceOnlineCode) {
    if (processOnline(applName, attrGroup, sourceName, affinity) > 0) TRC(TRC_ERROR, "Error: processing ONLINE request");
  } else if (requestType == kSourceOfflineCode) {
    if (processOffline(applName, attrGroup, sourceName, affinity) > 0)
      TRC(TRC_ERROR, "Error: processing OFFLINE request");
  } else {
    TRC(TRC_ERROR, "Error: Invalid RequestType <%d>", requestType);
  }
}

void* monitorDPStatus(void*) {
  const char* affinityCode = ZEV0_QueryProductSpec(ZEV2_SUBNODE_AFF_STRING);
  char affinity[kSubnodeAffinitySize];
  if (!buildSubnodeAffinity(affinityCode, ZEV0_QueryProductSpec(ZEV2_PACKAGED_PRODUCT),
                            ZEV0_QueryProductSpec(ZEV2_SUBNODE_AFF_FEAT), affinity)) {
    TRC(TRC_ERROR, "Error: ZEV0_QueryProductSpec <@%p> <@%p>", static_cast<const void*>(affinityCode),
        static_cast<const void*>(ZEV0_QueryProductSpec(ZEV2_SUBNODE_AFF_FEAT)));
    std::exit(1);
  }
  DCHclient* handle = dc_waitForDPStatusInitialize();
  if (handle == nullptr) {
    TRC(TRC_ERROR, "Error: dc_waitForDPStatusInitialize failed.");
    return nullptr;
  }
  for (int failures = 0; failures < kMostFailedWaits;) {
    TRC(TRC_DETAIL, "Waiting for DP status change.");
    const char* notice = dc_waitForDPStatus(handle);
    std::lock_guard<std::mutex> handling(noticeInHand);
    if (stopped) return nullptr;
    if (notice == nullptr) {
      TRC(TRC_ERROR, "Error: dc_waitForDPStatus failed: erros=%d", failures);
      ++failures;
      continue;
    }
    // The library's buffer is overwritten by the next wait.
    std::string text = notice;
    handleStatusNotice(text.c_str(), affinity);
  }
  TRC(TRC_ERROR, "Error: status monitor ends after %d failed waits.", kMostFailedWaits);
  dc_waitForDPStatusDestroy(handle);
  return nullptr;
}

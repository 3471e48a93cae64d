#include "network_configuration_block.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <new>

#include "metafile_text.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zev0/threads.h"

TRC_UNIT();

std::atomic<NetworkConfigurationBlock*> NCB{nullptr};

namespace {

constexpr char kDefaultCommunity[] = "willow";
constexpr int32_t kDefaultCheckInterval = 1800;
constexpr int32_t kDefaultPingTimeout = 1000;
constexpr int32_t kDefaultNetworkDataTTL = 14400;
constexpr int32_t kClassCrange = 255;

// The work file of the product item, else of the fallback name, in the work directory.
char* WorkFileName(int32_t item, const char* fallback) {
  const char* name = ZEV0_QueryProductSpec(item);
  return ZEV0_ConstructFullyQualifiedName(nullptr, name != nullptr && *name != '\0' ? name : fallback);
}

// The variable's whole positive number, else the default (traced when the variable
// holds something else).
int32_t PositiveSetting(const char* variable, int32_t fallback) {
  const char* text = ZEV0_GetEnv(variable, nullptr);
  if (text == nullptr) return fallback;
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value <= 0 || value > INT32_MAX) {
    TRC(TRC_ERROR, "***** %s=%s is not a positive number, %d used", variable, text, fallback);
    return fallback;
  }
  return static_cast<int32_t>(value);
}

}  // namespace

NetworkConfigurationBlock* ZEVS_InitializeNCB() {
  void* storage = ZEV0_GetStorage(sizeof(NetworkConfigurationBlock));
  if (storage == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for NetworkConfigurationBlock");
    return nullptr;
  }
  auto* block = new (storage) NetworkConfigurationBlock();
  TRC(TRC_STORAGE, "Allocated NetworkConfigurationBlock @%p for length %d", storage,
      static_cast<int>(sizeof(NetworkConfigurationBlock)));
  for (BSV1_Lock* lock : {&block->blockLock, &block->routerListLock, &block->networkListLock, &block->shareCallerLock,
                          &block->agentListLock})
    BSV1_InitializeLock(lock);
  ZEV0_InitializeMutex(&block->stopMutex);
  ZEV0_InitializeCondVar(&block->stopCondition);
  block->broadcastEffective = 1;
  block->checkInterval = PositiveSetting("ZEVP_SNMP_CHECK_CONFIG_INTERVAL", kDefaultCheckInterval);
  block->pingTimeout = PositiveSetting("ZEVP_SNMP_PING_TIMEOUT", kDefaultPingTimeout);
  block->networkDataTTL = PositiveSetting("ZEVP_SNMP_NETDATA_TTL", kDefaultNetworkDataTTL);
  block->discoverRange = kClassCrange;
  block->cycleToggle = 1;
  block->routerWorkFileName = WorkFileName(ZEV2_SNMPROUT_FILENAME, "ZEVSRTMP");
  block->networkWorkFileName = WorkFileName(ZEV2_SNMPNETS_FILENAME, "ZEVSNTMP");
  block->lineBuffer = static_cast<char*>(ZEV0_GetStorage(ZEVS_LINE_BUFFER_SIZE));
  block->defaultCommunity = zevp::NewStorageText(ZEV0_GetEnv("ZEVP_SNMP_NET_COMMUNITY", kDefaultCommunity));
  NCB = block;
  return block;
}

namespace zevs {

void SignalBlockShutdown(NetworkConfigurationBlock* block) {
  pthread_mutex_lock(&block->stopMutex);
  block->shutdown = 1;
  pthread_cond_broadcast(&block->stopCondition);
  pthread_mutex_unlock(&block->stopMutex);
  std::lock_guard<std::mutex> sleepers(block->sleepMutex);
  block->sleepWoken.notify_all();
}

void SleepUnlessShutdown(NetworkConfigurationBlock* block, unsigned seconds) {
  std::unique_lock<std::mutex> lock(block->sleepMutex);
  BSV1_SleepUntil(lock, block->sleepWoken, seconds, [block] { return block->shutdown.load() != 0; });
}

void AwaitBlockShutdown(NetworkConfigurationBlock* block) {
  pthread_mutex_lock(&block->stopMutex);
  while (block->shutdown == 0) pthread_cond_wait(&block->stopCondition, &block->stopMutex);
  pthread_mutex_unlock(&block->stopMutex);
}

void BlockUserStarted(NetworkConfigurationBlock* block) {
  pthread_mutex_lock(&block->stopMutex);
  ++block->detachedUsers;
  pthread_mutex_unlock(&block->stopMutex);
}

void BlockUserEnded(NetworkConfigurationBlock* block) {
  pthread_mutex_lock(&block->stopMutex);
  --block->detachedUsers;
  pthread_cond_broadcast(&block->stopCondition);
  pthread_mutex_unlock(&block->stopMutex);
}

bool AwaitBlockUsersEnded(NetworkConfigurationBlock* block, int seconds) {
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += seconds;
  pthread_mutex_lock(&block->stopMutex);
  int rc = 0;
  while (block->detachedUsers > 0 && rc != ETIMEDOUT)
    rc = pthread_cond_timedwait(&block->stopCondition, &block->stopMutex, &deadline);
  bool ended = block->detachedUsers <= 0;
  pthread_mutex_unlock(&block->stopMutex);
  return ended;
}

}  // namespace zevs

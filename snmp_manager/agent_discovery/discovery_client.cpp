#include "discovery_client.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "debug_switches.h"
#include "raf_agent_client.h"
#include "raf_interfaces.h"
#include "rpc_binding.h"
#include "rpc_frame.h"
#include "snmp_thread.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// The arguments of RAF_NCS_StartAgent that are the same for every call of a client.
struct StartAgentArguments {
  RAF_Product_t product{};
  RAF_Origin_t origin{};
  RAF_Thresholds_t thresholds{};
  char instruction[sizeof "REGISTER(ip:#)" + kDiscoveryListenAddressSize];
  int16_t instructionLength;

  explicit StartAgentArguments(const char* listenAddress) {
    std::snprintf(product.code, sizeof product.code, "HRB");
    std::snprintf(product.commandClass, sizeof product.commandClass, "TZOCOMMAND");
    thresholds.count = 6;
    int length = std::snprintf(instruction, sizeof instruction, "REGISTER(ip:#%s)", listenAddress);
    instructionLength = static_cast<int16_t>(length);
  }
};

bool StopRequested(const DiscoveryClientBlock* client) { return client->state.load() == kClientStopRequested; }

// Asks the agents at each port of the range to register; every port is tried, since
// several agents of one host listen on consecutive ports and the answer that counts
// is their registration. False when a stop came meanwhile.
bool ProbeTarget(const DiscoveryClientBlock* client, const char* target, int32_t basePort, int32_t portCount,
                 const StartAgentArguments& fixed) {
  socket__addr_t address;
  int addressLength = sizeof address;
  rpc__status_t status = rpc__s_ok;
  socket__from_name(socket__family_internet, target, static_cast<int>(strlen(target)), 0, &address, &addressLength,
                    &status);
  if (status != rpc__s_ok) {
    TRC(TRC_ERROR, "***** socket__from_name addr %s failed - %s ", target, zevs::RpcStatusText(status).c_str());
    return true;
  }
  for (int32_t i = 0; i < portCount; ++i) {
    const long port = static_cast<long>(basePort) + i;
    socket__set_port(&address, addressLength, port, &status);
    if (status != rpc__s_ok) {
      TRC(TRC_ERROR, "***** socket__set_port failed - %s ", zevs::RpcStatusText(status).c_str());
      continue;
    }
    rpc__handle_t binding = rpc__bind(&uuid__nil, &address, addressLength, &status);
    if (status != rpc__s_ok) {
      TRC(TRC_ERROR, "***** rpc__bind failed - %s ", zevs::RpcStatusText(status).c_str());
      continue;
    }
    ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Trying port %u on host %s", static_cast<unsigned>(port), target);
    // Sent as zeros on every call; the agent's answer is not used.
    RAF_RequestId_t request{};
    int32_t agentStatus = 0;
    rpc::FaultFrame frame;
    RAF_NCS_StartAgent(binding, 0, &request, &fixed.product, target, &fixed.origin, fixed.instructionLength,
                       fixed.instruction, &fixed.thresholds, &agentStatus);
    if (rpc__status_t fault = frame.close(); fault != rpc__s_ok)
      TRC(TRC_ERROR, "*****RAF_NCS_StartAgent raised exception %x.", fault);
    rpc__free_handle(binding, &status);
    if (StopRequested(client)) return false;
  }
  return true;
}

}  // namespace

namespace zevs {

void AwaitClientState(DiscoveryClientBlock* client, int32_t state) {
  pthread_mutex_lock(&client->mutex);
  while (client->state.load() != state) ZEV0_ConditionTimedWait(&client->condition, &client->mutex, 1);
  pthread_mutex_unlock(&client->mutex);
}

}  // namespace zevs

void* ZEVS_DiscoverPlovenAgentClient(void* argument) {
  auto* client = static_cast<DiscoveryClientBlock*>(argument);
  pthread_mutex_lock(&client->mutex);
  const StartAgentArguments fixed(client->listenAddress);
  client->state.store(kClientIdle);
  pthread_cond_broadcast(&client->condition);  // the creator waits for idle
  for (;;) {
    // Only a dispatch or a stop ends the wait: a spurious wake-up probes nothing.
    while (client->state.load() != kClientDispatched && !StopRequested(client))
      pthread_cond_wait(&client->condition, &client->mutex);
    if (StopRequested(client)) break;
    client->state.store(kClientBusy);
    char target[kDiscoveryTargetSize];
    std::memcpy(target, client->target, sizeof target);
    const int32_t basePort = client->basePort, portCount = client->portCount;
    pthread_mutex_unlock(&client->mutex);
    const bool goOn = ProbeTarget(client, target, basePort, portCount, fixed);
    pthread_mutex_lock(&client->mutex);
    if (!goOn || StopRequested(client)) break;
    client->state.store(kClientIdle);
  }
  // The stopper waits under the mutex for idle: once it has the mutex again, this
  // thread has done with the block.
  client->state.store(kClientIdle);
  pthread_cond_broadcast(&client->condition);
  pthread_mutex_unlock(&client->mutex);
  ZEVS_EndThread();
}

void ZEVS_CreateDiscoverPlovenAgentClientTask(DiscoveryClientBlock* block, int32_t basePort,
                                              const char* listenAddress) {
  block->basePort = basePort;
  block->portCount = 0;
  block->state.store(kClientStarting);
  std::memset(block->target, 0, sizeof block->target);
  std::snprintf(block->listenAddress, sizeof block->listenAddress, "%s", listenAddress);
  ZEV0_InitializeMutex(&block->mutex);
  ZEV0_InitializeCondVar(&block->condition);
  pthread_t thread;
  if (ZEV0_CreateThread(ZEVS_DiscoverPlovenAgentClient, block, PTHREAD_CREATE_DETACHED, &thread) != 0) {
    TRC(TRC_ERROR, "*****Ploven agent rpc request task creation failed. Errno %s", std::strerror(errno));
    return;
  }
  zevs::AwaitClientState(block, kClientIdle);
  ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Discover Ploven agent client task ready");
}

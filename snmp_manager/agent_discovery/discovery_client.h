// A discovery client: a detached thread that asks the maker's agents on one host to
// register with this manager, by calling RAF_NCS_StartAgent on each port of a range.
// The manager hands it one target at a time through its block.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

constexpr int kDiscoveryTargetSize = 40;
// The dotted local address and the listen port, "%s[%d]".
constexpr int kDiscoveryListenAddressSize = 44;

enum DiscoveryClientState : int32_t {
  kClientStarting = -1,  // a block whose thread could not be made stays here
  kClientIdle = 0,       // waiting; also the state a stopped client leaves behind
  kClientDispatched = 1,
  kClientBusy = 2,
  kClientStopRequested = 3,
};

struct DiscoveryClientBlock {
  int32_t basePort;   // the first agent port to try
  int32_t portCount;  // how many consecutive ports to try for the target
  // Changed under the mutex; read without it by the dispatcher looking for an idle
  // client, and by a busy client looking for a stop between two ports.
  std::atomic<int32_t> state;
  char target[kDiscoveryTargetSize];
  char listenAddress[kDiscoveryListenAddressSize];
  pthread_mutex_t mutex;
  pthread_cond_t condition;
};

// Prepares the block (base port, listen address cut to its field) and starts its
// client thread; returns once the thread is idle, or at once, traced, when the thread
// could not be made (the block then stays starting).
void ZEVS_CreateDiscoverPlovenAgentClientTask(DiscoveryClientBlock* block, int32_t basePort,
                                              const char* listenAddress);

// The client thread. It waits until it is dispatched or told to stop; a dispatch
// probes the target's ports without the block's mutex, so that a stop is seen after
// the port in hand. A stopped client sets its state to idle under the mutex and
// signals the condition as the last things it does with its block.
void* ZEVS_DiscoverPlovenAgentClient(void* block);

namespace zevs {

// Waits, a second at a time under the block's mutex, until the client's state is the
// one given: idle after its start or after a stop was requested (the thread has then
// done with the block).
void AwaitClientState(DiscoveryClientBlock* client, int32_t state);

}  // namespace zevs

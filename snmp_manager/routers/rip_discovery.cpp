#include "rip_discovery.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "debug_switches.h"
#include "local_networks.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "network_masks.h"
#include "rip_messages.h"
#include "router_list.h"
#include "subnet_discovery.h"
#include "zev0/env.h"
#include "zev0/sockets.h"
#include "zevs/network_records.h"

TRC_UNIT();

std::atomic<int> sockLRU{-1};
std::atomic<int> sockOSR{-1};

namespace {

constexpr int kAnswerSize = 1600;
constexpr int kListenSize = 512;
constexpr int kListenSeconds = 40;
constexpr int kDefaultRequestWait = 15;
constexpr int kPollGroup = 16;
constexpr int kPollRange = 255;
constexpr int kPollAnswerWait = 5;
// Waits on a socket are cut into slices of this many milliseconds so that a
// shut-down ends them soon.
constexpr int kWaitSliceMs = 500;

int RequestWait() {
  static const int wait = [] {
    const int value = std::atoi(ZEV0_GetEnv("ZEVP_SNMP_ROUTEREQ_WAIT", "15"));
    return value > 0 ? value : kDefaultRequestWait;
  }();
  return wait;
}

bool ShuttingDown(NetworkConfigurationBlock* block) { return block->shutdown.load() != 0; }

int64_t ClockSeconds() {
  BSV1_Time now{};
  BSV1_GetTime(&now);
  return now.seconds;
}

// True when the socket turned readable within the milliseconds, in slices that
// end on shut-down.
bool AwaitReadable(NetworkConfigurationBlock* block, int socket, int64_t milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!ShuttingDown(block)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd wanted{socket, POLLIN, 0};
    const int ready = poll(&wanted, 1, static_cast<int>(std::min<int64_t>(left, kWaitSliceMs)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

int OpenBroadcastSocket() {
  sockaddr_in local{};
  const int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  if (socket < 0) return -1;
  const int on = 1;
  setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  return socket;
}

bool SendRequest(int socket, uint32_t address, uint16_t port) {
  char request[ZEVS_RIP_REQUEST_LENGTH];
  const int32_t length = ZEVS_FormatRouteRequest(request);
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_addr.s_addr = address;
  destination.sin_port = port;
  return sendto(socket, request, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&destination),
                sizeof destination) > 0;
}

// Reads the datagrams waiting on the non-blocking socket, each handed on with its
// sender; the datagrams read.
template <typename Handle>
int ReadWaiting(NetworkConfigurationBlock* block, int socket, size_t size, Handle handle) {
  std::vector<char> datagram(size);
  int count = 0;
  while (!ShuttingDown(block)) {
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    const ssize_t length =
        recvfrom(socket, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (length <= 0) break;
    ++count;
    handle(sender, datagram.data(), static_cast<int32_t>(length));
  }
  return count;
}

void RegisterAnswer(const sockaddr_in& sender, const char* datagram, int32_t length) {
  RouterEntry* router = ZEVS_UpdateDiscoveredRouter(&sender, ZEVS_ROUTER_ONLINE);
  if (router != nullptr) ZEVS_ProcessRIPmessage(datagram, length, router);
}

// The datagrams readable on the socket within the wait (seconds): each registers
// its sender On-line and is read as a RIP message. Ends when a wait passes
// without one or on shut-down; the datagrams read.
int ReadRIPanswers(NetworkConfigurationBlock* block, int socket, int waitSeconds) {
  int count = 0;
  while (AwaitReadable(block, socket, static_cast<int64_t>(waitSeconds) * 1000))
    count += ReadWaiting(block, socket, kAnswerSize, RegisterAnswer);
  return count;
}

// Each network of a confirmed router gets the router of the best metric, or the
// first confirmed one while its router is unconfirmed. The choices are made under
// the router-list lock and stored after it, as a network's lock comes first.
void AssignBestRouters(NetworkConfigurationBlock* block) {
  struct Choice {
    NetworkEntry* network;
    RouterEntry* router;
    uint32_t metric;
  };
  std::vector<Choice> choices;
  BSV1_GetLock(&block->routerListLock);
  for (RouterEntry* router = block->routers; router != nullptr && !ShuttingDown(block); router = router->next) {
    BSV1_GetLock(&router->lock);
    if (router->networkCount > 1) router->unconfirmed = 0;
    if (router->unconfirmed == 0)
      for (int32_t slot = 0; slot < router->networkCount && slot < router->capacity; ++slot)
        if (router->networks[slot] != nullptr)
          choices.push_back({router->networks[slot], router, router->metrics[slot]});
    BSV1_ReleaseLock(&router->lock);
  }
  BSV1_ReleaseLock(&block->routerListLock);
  for (const Choice& choice : choices) {
    NetworkEntry* network = choice.network;
    RouterEntry* current = nullptr;
    BSV1_GetLock(&network->lock);
    current = network->router;
    BSV1_ReleaseLock(&network->lock);
    bool currentUnconfirmed = false;
    if (current != nullptr) {
      BSV1_GetLock(&current->lock);
      currentUnconfirmed = current->unconfirmed != 0;
      BSV1_ReleaseLock(&current->lock);
    }
    if (current != nullptr && !currentUnconfirmed) continue;
    BSV1_GetLock(&network->lock);
    network->router = choice.router;
    network->routeMetric = static_cast<int32_t>(choice.metric);
    BSV1_ReleaseLock(&network->lock);
  }
}

// The list's head; null, traced, while no network is known.
NetworkEntry* FirstKnownNetwork(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->networkListLock);
  NetworkEntry* network = block->networks;
  BSV1_ReleaseLock(&block->networkListLock);
  if (network == nullptr) TRC(TRC_DETAIL, "No known network exist. Exit");
  return network;
}

}  // namespace

void ZEVS_DiscoverRoutesViaBroadcast(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->blockLock);
  const bool noNetwork = block->networkCount == 0;
  BSV1_ReleaseLock(&block->blockLock);
  if (noNetwork) {
    uint32_t own = 0;
    const char* text = ZEVS_GetLocalNetAddrString();
    if (text != nullptr && inet_pton(AF_INET, text, &own) == 1 && ZEVS_UpdateNetworkListEntry(&own, 0, 1) != nullptr)
      ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Own network added to network list");
  }
  const int socket = OpenBroadcastSocket();
  if (socket < 0) return;
  ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, ">>>>> broadcast route request");
  if (!SendRequest(socket, INADDR_BROADCAST, ZEVS_GetRouterPort()))
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, ">>> Route request broadcast failed. errno %d", errno);
  else
    ReadRIPanswers(block, socket, RequestWait());
  ZEV0_CloseTheSocket(socket);
}

void ZEVS_ListenRouterUpdates(NetworkConfigurationBlock* block) {
  int socket = sockLRU.load();
  if (socket < 0) {
    sockaddr_in local{};
    socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, ZEVS_GetRouterPort(), &local, 0);
    if (socket >= 0) {
      sockLRU = socket;
      ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, ">>> socket %d opened for listening route updates", socket);
    } else {
      TRC(TRC_ERROR, "***** unable to open socket with router well-known port");
    }
  }
  if (socket >= 0) {
    // The listen's time is the process clock's, in steps of a second: the updates that
    // came in a step are read after it (a router sends one every 30 seconds).
    const int64_t end = ClockSeconds() + kListenSeconds;
    bool heard = true;
    while (!ShuttingDown(block)) {
      const int64_t left = end - ClockSeconds();
      if (left <= 0) break;
      if (heard)
        ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, ">>> Listen router update wait time %d\n", static_cast<int>(left));
      zevs::SleepUnlessShutdown(block, 1);
      heard = ReadWaiting(block, socket, kListenSize, [](const sockaddr_in& sender, const char* datagram,
                                                         int32_t length) {
        RouterEntry* router = ZEVS_UpdateDiscoveredRouter(&sender, ZEVS_ROUTER_ONLINE);
        if (router == nullptr) return;
        BSV1_GetLock(&router->lock);
        router->unconfirmed = 0;
        router->status = ZEVS_ROUTER_ONLINE;
        BSV1_ReleaseLock(&router->lock);
        ZEVS_ProcessRIPmessage(datagram, length, router);
      }) > 0;
    }
  }
  AssignBestRouters(block);
}

void* ZEVS_DiscoverRouterViaPoll(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  NetworkEntry* network = FirstKnownNetwork(block);
  if (network == nullptr) return nullptr;
  TRC(TRC_DETAIL, ">>>>> Search for subnet router bia polling task started. Thread: %lX", BSV1_ThreadID());
  BSV1_GetLock(&block->blockLock);
  block->pollRunning = 1;
  BSV1_ReleaseLock(&block->blockLock);
  BSV1_GetLock(&block->networkListLock);
  if (block->pollPosition != nullptr) network = block->pollPosition->next != nullptr ? block->pollPosition->next : block->networks;
  BSV1_ReleaseLock(&block->networkListLock);

  const uint16_t port = ZEVS_GetRouterPort();
  sockaddr_in local{};
  int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, port, &local, 0);
  if (socket < 0) socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  BSV1_Time now{};
  BSV1_GetTime(&now);
  const int64_t end = now.seconds + static_cast<int64_t>(block->checkInterval) * 3 / 4;
  // A round of the list in which no network could be polled ends the run: only a
  // poll's pauses let the time pass.
  NetworkEntry* const roundStart = network;
  bool polledThisRound = false;
  while (socket >= 0 && network != nullptr && !ShuttingDown(block)) {
    BSV1_GetLock(&network->lock);
    const bool excluded = zevs::IsExcludedNetwork(network);
    const int32_t range = std::min(network->hostRange, kPollRange);
    const uint32_t base = ntohl(network->networkAddress);
    BSV1_ReleaseLock(&network->lock);
    if (!excluded) {
      polledThisRound = true;
      TRC(TRC_DETAIL, "Poll from 1 to %d", range);
      for (int32_t first = 1; first <= range && !ShuttingDown(block); first += kPollGroup) {
        for (int32_t host = first; host < first + kPollGroup && host <= range; ++host) {
          const uint32_t address = htonl(base + static_cast<uint32_t>(host));
          if (address != local.sin_addr.s_addr) SendRequest(socket, address, port);
        }
        BSV1_Sleep(1);
      }
      ReadRIPanswers(block, socket, kPollAnswerWait);
    }
    BSV1_GetLock(&block->networkListLock);
    block->pollPosition = network;
    network = network->next != nullptr ? network->next : block->networks;
    BSV1_ReleaseLock(&block->networkListLock);
    BSV1_GetTime(&now);
    if (now.seconds >= end) break;
    if (network == roundStart) {
      if (!polledThisRound) break;
      polledThisRound = false;
    }
  }
  if (socket >= 0) ZEV0_CloseTheSocket(socket);
  BSV1_GetLock(&block->blockLock);
  block->pollRunning = 0;
  BSV1_ReleaseLock(&block->blockLock);
  TRC(TRC_DETAIL, ">>>>> Search for subnet router via polling task ended. Thread: %lX", BSV1_ThreadID());
  return nullptr;
}

void* ZEVS_ObtainSubnetRoutes(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  NetworkEntry* network = FirstKnownNetwork(block);
  if (network == nullptr) return nullptr;
  BSV1_GetLock(&block->blockLock);
  const bool effective = block->broadcastEffective != 0;
  BSV1_ReleaseLock(&block->blockLock);
  if (!effective) {
    TRC(TRC_DETAIL, "Broadcast ineffective, Exit");
    return nullptr;
  }
  int socket = sockOSR.load();
  if (socket < 0) {
    socket = OpenBroadcastSocket();
    int none = -1;
    if (socket >= 0 && !sockOSR.compare_exchange_strong(none, socket)) {
      ZEV0_CloseTheSocket(socket);
      socket = none;
    }
  }
  if (socket < 0) return nullptr;
  const uint16_t port = ZEVS_GetRouterPort();
  int sent = 0;
  for (; network != nullptr && !ShuttingDown(block);) {
    BSV1_GetLock(&network->lock);
    const bool excluded = zevs::IsExcludedNetwork(network);
    const uint32_t mask = network->networkMask;
    const uint32_t address = network->networkAddress;
    BSV1_ReleaseLock(&network->lock);
    if (!excluded && !ZEVS_IsStandardSubnetMask(mask)) {
      const uint32_t classNetwork = ntohl(address & ZEVS_GetStandardNetMask(address));
      for (uint32_t offset : zevs::SearchSubnets(network))
        if (SendRequest(socket, htonl(classNetwork + offset + ~mask), port)) ++sent;
    }
    BSV1_GetLock(&block->networkListLock);
    network = network->next;
    BSV1_ReleaseLock(&block->networkListLock);
  }
  const int answers = sent > 0 ? ReadRIPanswers(block, socket, RequestWait()) : 0;
  if (sent > 0 && answers == 0) {
    BSV1_GetLock(&block->blockLock);
    block->broadcastEffective = 0;
    BSV1_ReleaseLock(&block->blockLock);
    TRC(TRC_DETAIL, ">>>>>No broadcast reply received. Bypass broadcast from now");
  }
  return nullptr;
}

void ZEVS_CloseRIPsockets() {
  for (std::atomic<int>* socket : {&sockLRU, &sockOSR}) {
    const int open = socket->exchange(-1);
    if (open >= 0) ZEV0_CloseTheSocket(open);
  }
}

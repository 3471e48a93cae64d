#include "socket_server.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_socket_io.h"
#include "partner_sources.h"
#include "process_entry.h"
#include "select_interrupt.h"
#include "socket_log_numbers.h"
#include "socket_server_loop.h"
#include "source_entry.h"
#include "statistics.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/env.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr int kListenBacklog = 10;
constexpr int kDefaultExpiryFactor = 5;

int64_t expiryFactor() {
  const char* value = ZEV0_GetEnv("ZEVP_DP_EXPIRE_FACTOR", nullptr);
  return value != nullptr ? std::atoi(value) : kDefaultExpiryFactor;
}

void runServerThread(ProcessEntry* entry, bool api) {
  DPAB* anchor = entry->anchor;
  unsigned long thread = BSV1_ThreadID();
  entry->threadId = thread;
  if (api)
    TRC(TRC_DETAIL, ">>>>> DP Socket API server process started. Thread: %lX", thread);
  else
    TRC(TRC_DETAIL, ">>>>> DP socket server process started. Thread: %lX", thread);
  // Held for the thread's whole life: others wait for its end by taking it.
  BSV1_GetLock(&entry->TerminationLock);
  uint16_t port = api ? ZEVP_APIserverPort() : ZEVP_SocketDPport();
  if (api && entry->processType == ZEV_DP_ASFS) entry->processType = ZEV_DP_APIS;
  ZEVP_CommonSocketServer(anchor, entry, htons(port));
  BSV1_ReleaseLock(&entry->TerminationLock);
  ZEVP_ReleaseProcessResources(anchor, entry);
  if (api)
    TRC(TRC_DETAIL, ">>>>> DP Socket API server process ended. Thread: %lX", thread);
  else
    TRC(TRC_DETAIL, ">>>>> DP socket server process ended. Thread: %lX", thread);
  ZEVP_EndThread();
}

bool readable(const pollfd& watched) { return (watched.revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0; }

}  // namespace

SocketServerLoop::SocketServerLoop(DPAB* anchor, ProcessEntry* entry, uint16_t port)
    : anchor_(anchor),
      entry_(entry),
      mode_(ServerModeOf(entry)),
      port_(port),
      expiryFactor_(expiryFactor()),
      receive_(ZEVP_RECEIVE_SIZE + 1),
      connections_(anchor, entry, receive_.data(), ZEVP_RECEIVE_SIZE, &unfinished_) {}

SocketServerLoop::~SocketServerLoop() {
  if (listen_ >= 0) ZEV0_CloseTheSocket(listen_);
  if (udp_ >= 0) ZEV0_CloseTheSocket(udp_);
}

char* SocketServerLoop::clearedBuffer() {
  std::fill(receive_.begin(), receive_.end(), '\0');
  return receive_.data();
}

bool SocketServerLoop::start() {
  sockaddr_in local{};
  udp_ = ZEV0_OpenLocalSocket(SOCK_DGRAM, port_, &local, 0);
  listen_ = ZEV0_OpenLocalSocket(SOCK_STREAM, port_, &local, 0);
  if (udp_ < 0 && listen_ < 0) {
    TRC(TRC_ERROR, "***** cannot open any socket for Socket/API DP processing, socket communication impossible");
    return false;
  }
  if (listen_ >= 0 && listen(listen_, kListenBacklog) != 0) {
    TRC(TRC_ERROR, "TCP listen failed errno %d. TCP inbound not available", errno);
    ZEV0_CloseTheSocket(listen_);
    listen_ = -1;
  }
  int port = ntohs(port_);
  std::string ports = std::to_string(port);
  if (udp_ >= 0 && listen_ >= 0)
    ports += " both TCP and UDP";
  else if (udp_ >= 0)
    ports += " UDP only";
  else
    ports += " TCP only";
  ZEVP_UpdateStatLogSockIO(2, 0);
  Routines().sendDPlogMessage(anchor_, ZEVP_DPLOG_SERVER_LISTENING, mode_ == PartnerMode::API ? "Socket API Server" : "Socket",
                              ports.c_str(), nullptr, nullptr, nullptr);
  anchor_->inputServerListening = 1;
  return true;
}

void SocketServerLoop::run() {
  while (entry_->terminationFlag == 0) pass();
}

void SocketServerLoop::watchPartners(std::vector<pollfd>* watched) {
  PartnerList partners = PartnersOf(anchor_, mode_);
  BSV1_GetLock(partners.lock);
  for (IOEntry* partner = *partners.head; partner != nullptr; partner = partner->NextOfKind) {
    BSV1_GetLock(&partner->Lock);
    if (partner->Active != 0 && partner->Socket > 0 && partner->Socket == partner->ConnectionSocket) {
      watched->push_back({partner->Socket, POLLIN, 0});
      TRC(TRC_UNIT_DETAIL, "sock %d add to select mask", partner->Socket);
    }
    BSV1_ReleaseLock(&partner->Lock);
  }
  BSV1_ReleaseLock(partners.lock);
}

void SocketServerLoop::pass() {
  std::vector<pollfd> watched;
  BSV1_GetLock(&anchor_->applDefinitionLock);
  if (udp_ >= 0) watched.push_back({udp_, POLLIN, 0});
  if (listen_ >= 0) watched.push_back({listen_, POLLIN, 0});
  watchPartners(&watched);
  connections_.watch(&watched);
  BSV1_ReleaseLock(&anchor_->applDefinitionLock);
  ZEVP_UpdateStatLogSockIO(0, 1);

  int64_t timeout = ZEVP_TERMINATION_LOOK_MS;
  int64_t deadline = connections_.nextDeadlineMs();
  if (deadline >= 0) timeout = std::min(timeout, deadline);
  int ready = poll(watched.data(), watched.size(), static_cast<int>(timeout));
  TRC(TRC_UNIT_DETAIL, ">>>>> Socket select completed. nfds=%d errno %d", ready, ready < 0 ? errno : 0);
  if (ready < 0) {
    // Interrupted or failed, the wait tells nothing: no pass.
    if (errno != EINTR) TRC(TRC_ERROR, "***** Socket server poll failed, errno %d", errno);
    return;
  }
  std::unordered_set<int> readySockets;
  for (const pollfd& socket : watched)
    if (readable(socket)) readySockets.insert(socket.fd);

  BSV1_GetLock(&anchor_->applDefinitionLock);
  if (udp_ >= 0 && readySockets.erase(udp_) != 0) receiveDatagrams();
  servePartners(&readySockets);
  if (listen_ >= 0 && readySockets.erase(listen_) != 0) {
    TRC(TRC_DETAIL, "sock %d selected for inbound TCP connection", listen_);
    int accepted = 0;
    while (accepted < ZEVP_CONNECTIONS_PER_PASS && connections_.accept(listen_)) ++accepted;
  }
  connections_.serve(readySockets);
  BSV1_ReleaseLock(&anchor_->applDefinitionLock);
}

void SocketServerLoop::shutDown() {
  BSV1_GetLock(&anchor_->applDefinitionLock);
  PartnerList partners = PartnersOf(anchor_, mode_);
  std::vector<IOEntry*> bound;
  std::vector<IOEntry*> dynamic;
  BSV1_GetLock(partners.lock);
  for (IOEntry* partner = *partners.head; partner != nullptr; partner = partner->NextOfKind) {
    BSV1_GetLock(&partner->Lock);
    if (partner->Socket > 0) bound.push_back(partner);
    if (partner->Source != nullptr && partner->Source->Dynamic != 0) dynamic.push_back(partner);
    BSV1_ReleaseLock(&partner->Lock);
  }
  BSV1_ReleaseLock(partners.lock);
  // The offline requests wait for the DCH client: not under the list's lock.
  for (IOEntry* partner : bound) {
    TRC(TRC_DETAIL, ">>>>> Socket/API server performs dp_offline at shutdown for %s",
        DottedAddress(partner->PartnerAddress).c_str());
    Routines().updateSourceEntryState(partner->Source, ZEVP_Inactive);
    Routines().processSockRequestByState(anchor_, entry_, partner, 0, nullptr);
    BSV1_GetLock(&partner->Lock);
    if (HasTCPconnection(partner)) ZEV0_CloseTheSocket(partner->ConnectionSocket);
    partner->ConnectionSocket = 0;
    UnbindPartner(partner);
    BSV1_ReleaseLock(&partner->Lock);
  }
  for (IOEntry* partner : dynamic) {
    unfinished_.forget(partner);
    ReleaseDynamicPartner(anchor_, partner);
  }
  BSV1_ReleaseLock(&anchor_->applDefinitionLock);
  ZEVP_UpdateStatLogSockIO(-2, 0);
  if (anchor_->dpType != ZEV_DP_ASFS) anchor_->inputServerListening = 0;
}

}  // namespace zevp

void ZEVP_SocketServer(ProcessEntry* entry) { zevp::runServerThread(entry, false); }

void ZEVP_SOCKpgmAPIServer(ProcessEntry* entry) { zevp::runServerThread(entry, true); }

void ZEVP_CommonSocketServer(DPAB* anchor, ProcessEntry* entry, uint16_t port) {
  zevp::SocketServerLoop loop(anchor, entry, port);
  if (!loop.start()) return;
  loop.run();
  loop.shutDown();
}

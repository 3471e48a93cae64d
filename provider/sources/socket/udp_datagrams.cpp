// The server loop's datagrams: each binds its sender to a partner and goes to the
// partner's state machine; a socket partner's "//END-DP-INPUT", an API partner's
// ENDINP unbinds it again.
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

#include "action_hand_over.h"
#include "api_request.h"
#include "application_entry.h"
#include "association_record.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_socket_io.h"
#include "partner_code_conversion.h"
#include "partner_replies.h"
#include "partner_sources.h"
#include "select_interrupt.h"
#include "socket_log_numbers.h"
#include "socket_server_loop.h"
#include "source_entry.h"
#include "statistics.h"
#include "table_entry.h"
#include "trc1.h"
#include "udp_partner.h"

TRC_UNIT();

namespace zevp {

namespace {

// A datagram no longer than an interrupt text and equal to its start only wakes the loop.
bool isInterrupt(const char* bytes, int length) {
  for (const char* text : {SelectShutDownMsg, SelectDeleteMsg})
    if (static_cast<size_t>(length) <= std::strlen(text) && std::memcmp(bytes, text, static_cast<size_t>(length)) == 0)
      return true;
  return false;
}

int64_t nowSeconds() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

// The session's end as a socket partner announced it (DP log message 24).
void logSessionEnded(DPAB* anchor, const SourceEntry* source, const sockaddr_in& peer, const char* transport) {
  const TableEntry* group = source->Table;
  std::string host = PeerHostName(peer);
  Routines().sendDPlogMessage(anchor, ZEVP_DPLOG_SESSION_ENDED, transport, host.c_str(), PortText(peer).c_str(),
                              group != nullptr ? group->Application->ApplName : nullptr,
                              group != nullptr ? group->TableName : nullptr);
}

}  // namespace

// Every datagram puts off the partner's expiry, before it is processed: the periodic
// task drops a partner in Input whose expiry has passed. A group without a time to
// live has partners that never expire.
void SocketServerLoop::renewExpiry(IOEntry* partner) {
  const TableEntry* group = partner->Source->Table;
  BSV1_GetLock(&partner->Lock);
  if (group == nullptr || group->TTL <= 0)
    partner->ExpiryTime = std::numeric_limits<int64_t>::max();
  else
    partner->ExpiryTime = nowSeconds() + group->TTL * expiryFactor_;
  BSV1_ReleaseLock(&partner->Lock);
}

void SocketServerLoop::receiveDatagrams() {
  ZEVP_UpdateStatLogSockIO(0, 1);
  for (int taken = 0; taken < ZEVP_DATAGRAMS_PER_PASS; ++taken) {
    char* buffer = clearedBuffer();
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    ssize_t received = recvfrom(udp_, buffer, ZEVP_RECEIVE_SIZE, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender), &length);
    if (received < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        TRC(TRC_ERROR, "*** UDP receive failed, errno %d", errno);
      return;
    }
    datagram(static_cast<int>(received), sender);
  }
}

void SocketServerLoop::datagram(int length, const sockaddr_in& sender) {
  char* buffer = receive_.data();
  if (isInterrupt(buffer, length)) return;
  bool api = mode_ == PartnerMode::API;
  if (api) ZEVP_ConvertBufferToLocal(buffer, length, 0);
  IOEntry* partner = ZEVP_CheckExistUDPpartner(anchor_, entry_, &sender, udp_, buffer, length);
  if (partner == nullptr) {
    TRC(TRC_ERROR, "*** UDP connection abandoned. Unable to initialize IO entry");
    return;
  }
  SourceEntry* source = partner->Source;
  bool newDynamic = false;
  if (partner->Socket == 0) {
    TakeSourceForPeer(source, entry_, sender);
    BindPartner(partner, udp_, 0, sender);
    newDynamic = api && source->Dynamic != 0;
  }
  renewExpiry(partner);
  EngineRoutines& routines = Routines();
  bool inputEnded = false;
  int32_t verb = ZEVP_VERB_NONE;
  if (api) {
    verb = ZEVP_ExtractAPIcallType(buffer, length);
    partner->APIverb = verb;
    if (verb == ZEVP_VERB_ENDINP) routines.updateSourceEntryState(source, ZEVP_Inactive);
  } else {
    if (source->CodeConversion != 0) {
      TRC(TRC_DETAIL, "Receive data buffer translated to local representation");
      ZEVP_ConvertBufferToLocal(buffer, length, 0);
    }
    if (BeginsWith(buffer, length, SockTransEndMsg)) {
      logSessionEnded(anchor_, source, sender, "UDP");
      routines.updateSourceEntryState(source, ZEVP_Inactive);
      inputEnded = true;
    }
    ZEVP_SendReceivedDataAck(partner, static_cast<uint32_t>(length));
  }
  if (newDynamic) endOldestDatagramSession();
  routines.processSockRequestByState(anchor_, entry_, partner, length, buffer);
  if (inputEnded || verb == ZEVP_VERB_ENDINP) unbindDatagramPartner(partner);
}

void SocketServerLoop::unbindDatagramPartner(IOEntry* partner) {
  BSV1_GetLock(&partner->Lock);
  UnbindPartner(partner);
  partner->APIverb = ZEVP_VERB_NONE;
  if (mode_ == PartnerMode::API) partner->PartnerAddress.sin_addr.s_addr = 0;
  BSV1_ReleaseLock(&partner->Lock);
  // An API partner's dynamic source has left its group: nothing is left to bind it again.
  if (mode_ == PartnerMode::API && partner->Source->Dynamic != 0) ReleaseDynamicPartner(anchor_, partner);
}

// Datagram partners cost the sender nothing, not even a connection: beyond the bound,
// the partner bound longest ago is ended as its ENDINP would end it, and hears of it
// from its next request.
void SocketServerLoop::endOldestDatagramSession() {
  PartnerList partners = PartnersOf(anchor_, mode_);
  size_t sessions = 0;
  IOEntry* oldest = nullptr;
  BSV1_GetLock(partners.lock);
  for (IOEntry* partner = *partners.head; partner != nullptr; partner = partner->NextOfKind) {
    BSV1_GetLock(&partner->Lock);
    if (partner->Source != nullptr && partner->Source->Dynamic != 0 && partner->Socket == udp_ &&
        !HasTCPconnection(partner)) {
      ++sessions;
      if (oldest == nullptr) oldest = partner;
    }
    BSV1_ReleaseLock(&partner->Lock);
  }
  BSV1_ReleaseLock(partners.lock);
  if (sessions <= ZEVP_DATAGRAM_SESSIONS_MAX) return;
  TRC(TRC_ERROR, "*** More than %zu API datagram partners with sources of their own: %s[%d] ended",
      ZEVP_DATAGRAM_SESSIONS_MAX, DottedAddress(oldest->PartnerAddress).c_str(),
      ntohs(oldest->PartnerAddress.sin_port));
  SourceEntry* source = oldest->Source;
  // One that never went online has nothing to take offline.
  if (ZEVP_SourceStateOf(source) != ZEVP_Ready) {
    Routines().updateSourceEntryState(source, ZEVP_Inactive);
    Routines().processSockRequestByState(anchor_, entry_, oldest, 0, nullptr);
  }
  unbindDatagramPartner(oldest);
}

}  // namespace zevp

#include "new_connections.h"

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "action_hand_over.h"
#include "api_request.h"
#include "application_entry.h"
#include "association_record.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "metafile_socket_io.h"
#include "partner_code_conversion.h"
#include "partner_lookup.h"
#include "partner_records.h"
#include "partner_replies.h"
#include "request_state_machine.h"
#include "socket_log_numbers.h"
#include "source_entry.h"
#include "statistics.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr int32_t kConnectionRecordLength = 4096;
constexpr int64_t kMillisecondsPerSecond = 1000;
constexpr int64_t kNoDeadline = INT64_MAX;

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// An API partner's session: a dynamic source of no group yet.
IOEntry* openSession(DPAB* anchor, const sockaddr_in& peer) {
  SourceEntry* source = ZEVP_InitializeSourceEntry(anchor, nullptr, "BASE", nullptr, nullptr, nullptr);
  if (source == nullptr) {
    TRC(TRC_ERROR, "*** dp_OpenSession failed. SourceEntry initialization error");
    return nullptr;
  }
  source->Dynamic = 1;
  // A dynamic source is released with its partner: no copy of it may outlive it on
  // the delayed-offline queue.
  source->ImmediateOffline = 1;
  std::string host = PeerHostName(peer);
  Routines().sendDPlogMessage(anchor, ZEVP_DPLOG_API_SESSION_OPENED, host.c_str(), nullptr, nullptr, nullptr, nullptr);
  return source->IO;
}

}  // namespace

int64_t NowMs() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds * kMillisecondsPerSecond + now.nanoseconds / 1000000;
}

NewConnections::NewConnections(DPAB* anchor, ProcessEntry* server, char* receive, int receiveSize,
                               UnfinishedRecords* unfinished)
    : anchor_(anchor),
      server_(server),
      mode_(ServerModeOf(server)),
      receive_(receive),
      receiveSize_(receiveSize),
      unfinished_(unfinished) {}

NewConnections::~NewConnections() {
  for (const Waiting& connection : waiting_) ZEV0_CloseTheSocket(connection.socket);
}

bool NewConnections::accept(int listenSocket) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  int socket = ::accept4(listenSocket, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
  if (socket < 0) {
    if (!wouldBlock(errno)) TRC(TRC_ERROR, "***** Accept for TCP socket failed errno %d", errno);
    return false;
  }
  ZEVP_UpdateStatLogSockIO(1, 0);
  int nonBlocking = 1;
  ZEV0_SetSocketIoctl(socket, FIONBIO, &nonBlocking);
  TRC(TRC_DETAIL, "### New TCP partner %s[%d] connection accepted. Socket %d", DottedAddress(peer).c_str(),
      ntohs(peer.sin_port), socket);
  // An API session opens with its first request that it takes (firstRequest), so that
  // a connection dropped before one costs no source, no log row and no DCH request.
  IOEntry* partner = mode_ == PartnerMode::Socket ? knownPartner(peer) : nullptr;
  // A known socket partner not connected now is bound on its first data: its binding
  // waits for the source to go online, which a peer that only opens and drops
  // connections would otherwise make the server wait for, again and again.
  bool bindOnFirstData = partner != nullptr && !connected(partner);
  if (partner != nullptr && !bindOnFirstData) {
    bind(socket, peer, partner, 0, {});
    return true;
  }
  // A flood of connections that never send makes the longest waiting go first, so
  // that a partner that comes meanwhile is not refused.
  if (waiting_.size() >= ZEVP_WAITING_CONNECTIONS_MAX) {
    TRC(TRC_ERROR, "***** %d connections wait for their first data already", static_cast<int>(waiting_.size()));
    giveUp(waiting_.front());
    waiting_.erase(waiting_.begin());
  }
  // A known partner may stay silent as long as it likes, as it could once bound; so
  // may a program between opening its API session and its first request.
  bool unlimited = bindOnFirstData || mode_ == PartnerMode::API;
  int64_t deadline = unlimited ? kNoDeadline : NowMs() + ZEVP_FIRST_DATA_WAIT_SECONDS * kMillisecondsPerSecond;
  waiting_.push_back({socket, peer, deadline, bindOnFirstData});
  return true;
}

IOEntry* NewConnections::knownPartner(const sockaddr_in& peer) const {
  PartnerList partners = PartnersOf(anchor_, mode_);
  return ZEVP_LookUpPartnerByAddr(&peer, partners.lock, partners.head, nullptr);
}

bool NewConnections::connected(IOEntry* partner) {
  BSV1_GetLock(&partner->Lock);
  bool bound = partner->Socket != 0 && partner->Active != 0;
  BSV1_ReleaseLock(&partner->Lock);
  return bound;
}

void NewConnections::watch(std::vector<pollfd>* watched) const {
  for (const Waiting& connection : waiting_) watched->push_back({connection.socket, POLLIN, 0});
}

int64_t NewConnections::nextDeadlineMs() const {
  if (waiting_.empty()) return -1;
  int64_t first = waiting_.front().deadlineMs;
  for (const Waiting& connection : waiting_) first = std::min(first, connection.deadlineMs);
  return std::max<int64_t>(first - NowMs(), 0);
}

void NewConnections::serve(const std::unordered_set<int>& readable) {
  int64_t now = NowMs();
  std::vector<Waiting> waiting;
  waiting.swap(waiting_);
  for (const Waiting& connection : waiting) {
    if (readable.count(connection.socket) == 0) {
      if (now < connection.deadlineMs) {
        waiting_.push_back(connection);
      } else {
        TRC(TRC_DETAIL, ">>>>> TCP new connect select timed out");
        refuseSilent(connection);
      }
      continue;
    }
    std::memset(receive_, 0, static_cast<size_t>(receiveSize_) + 1);
    ZEVP_UpdateStatLogSockIO(0, 2);  // the wait for the first data and its receive
    ssize_t received = recv(connection.socket, receive_, static_cast<size_t>(receiveSize_), 0);
    if (received < 0 && wouldBlock(errno)) {
      waiting_.push_back(connection);
      continue;
    }
    if (received <= 0) {
      giveUp(connection);
      continue;
    }
    firstData(connection, static_cast<int>(received));
  }
}

void NewConnections::refuseSilent(const Waiting& connection) {
  TRC(TRC_ERROR, "***** TCP dynamic inbound connection, no metafile file specification");
  ZEV0_CloseTheSocket(connection.socket);
  std::string host = PeerHostName(connection.peer);
  Routines().sendDPlogMessage(anchor_, ZEVP_DPLOG_TCP_NO_METAFILE, host.c_str(), nullptr, nullptr, nullptr, nullptr);
}

void NewConnections::giveUp(const Waiting& connection) {
  if (connection.known || mode_ == PartnerMode::API)
    dropKnown(connection);
  else
    refuseSilent(connection);
}

void NewConnections::dropKnown(const Waiting& connection) {
  TRC(TRC_DETAIL, ">>>>> TCP connection from %s[%d] ended before its first data", DottedAddress(connection.peer).c_str(),
      ntohs(connection.peer.sin_port));
  ZEVP_UpdateStatLogSockIO(-1, 0);
  ZEV0_CloseTheSocket(connection.socket);
}

void NewConnections::abandon(const Waiting& connection) {
  TRC(TRC_ERROR,
      "*** TCP connection abandoned. Unable to initialize IO entry. Possibly missing SOURCE statement for "
      "connection partner.");
  ZEV0_CloseTheSocket(connection.socket);
}

void NewConnections::firstData(const Waiting& connection, int received) {
  if (mode_ == PartnerMode::API) {
    firstRequest(connection, received);
    return;
  }
  std::string bytes(receive_, static_cast<size_t>(received));
  if (connection.known) {
    // Still known (an association record it sends anyway is skipped with its records).
    IOEntry* partner = knownPartner(connection.peer);
    if (partner != nullptr) {
      bind(connection.socket, connection.peer, partner, received, bytes);
      return;
    }
  }
  AssociationRecord association = ReadAssociationRecord(bytes);
  IOEntry* partner = nullptr;
  if (association.present)
    partner = PartnerOfAssociation(anchor_, association, connection.peer, "TCP");
  else
    RefuseWithoutAssociation(anchor_, connection.peer, "TCP");
  if (partner == nullptr) {
    abandon(connection);
    return;
  }
  bind(connection.socket, connection.peer, partner, received, bytes.substr(std::min(association.end, bytes.size())));
}

void NewConnections::firstRequest(const Waiting& connection, int received) {
  ZEVP_ConvertBufferToLocal(receive_, received, 0);
  int refusal = ZEVP_UnassociatedRequestRefusal(receive_, received);
  if (refusal != ZEVP_API_DONE) {
    // Answered as a session would answer it; the connection waits on for a request it takes.
    ZEVP_UpdateStatLogAPIcalls(1);
    ZEVP_SendAPIreply(anchor_, connection.socket, nullptr, refusal, nullptr, 0);
    waiting_.push_back(connection);
    return;
  }
  IOEntry* partner = knownPartner(connection.peer);
  if (partner == nullptr) partner = openSession(anchor_, connection.peer);
  if (partner == nullptr) {
    abandon(connection);
    return;
  }
  if (!bind(connection.socket, connection.peer, partner, 0, {})) return;
  BSV1_GetLock(&partner->Lock);
  partner->APIverb = ZEVP_ExtractAPIcallType(receive_, received);
  BSV1_ReleaseLock(&partner->Lock);
  Routines().processSockRequestByState(anchor_, server_, partner, received, receive_);
}

bool NewConnections::bind(int socket, const sockaddr_in& peer, IOEntry* partner, int received,
                          const std::string& records) {
  if (connected(partner)) {
    ZEV0_CloseTheSocket(socket);
    TRC(TRC_DETAIL, ">>>>> duplicate connection abandoned");
    return false;
  }
  BindPartner(partner, socket, socket, peer);
  BSV1_GetLock(&partner->Lock);
  partner->RecordLength = kConnectionRecordLength;
  BSV1_ReleaseLock(&partner->Lock);
  SourceEntry* source = partner->Source;
  TakeSourceForPeer(source, server_, peer);
  if (received > 0) ZEVP_SendReceivedDataAck(partner, static_cast<uint32_t>(received));
  EngineRoutines& routines = Routines();
  if (mode_ == PartnerMode::API) {
    routines.updateSourceEntryState(source, ZEVP_Connected);
    return true;
  }
  const TableEntry* group = source->Table;
  std::string host = PeerHostName(peer);
  routines.sendDPlogMessage(anchor_, ZEVP_DPLOG_TCP_ACCEPTED, host.c_str(), DottedAddress(peer).c_str(),
                            PortText(peer).c_str(), group != nullptr ? group->Application->ApplName : nullptr,
                            group != nullptr ? group->TableName : nullptr);
  routines.queueAndWaitDCHstatus(anchor_, server_, source);
  if (ZEVP_SourceStateOf(source) != ZEVP_Active) {
    TRC(TRC_ERROR, "*** dp_online failed for %s", NodeNameOf(source));
    return true;
  }
  routines.updateSourceEntryState(source, ZEVP_Input);
  std::string now =
      unfinished_->take(partner, records.data(), static_cast<int>(records.size()), received == receiveSize_);
  if (!now.empty()) routines.processSockRequestByState(anchor_, server_, partner, static_cast<int>(now.size()), now.data());
  return true;
}

}  // namespace zevp

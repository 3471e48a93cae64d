// The server loop's bound TCP partners: their data goes to the state machine, their
// end takes their source offline and releases an API session's dynamic source.
#include <sys/socket.h>

#include <cerrno>
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
#include "socket_log_numbers.h"
#include "socket_server_loop.h"
#include "source_entry.h"
#include "statistics.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace zevp {

void SocketServerLoop::servePartners(std::unordered_set<int>* readable) {
  PartnerList partners = PartnersOf(anchor_, mode_);
  BSV1_GetLock(partners.lock);
  IOEntry* partner = *partners.head;
  BSV1_ReleaseLock(partners.lock);
  std::vector<const IOEntry*> connected;
  while (partner != nullptr) {
    BSV1_GetLock(&partner->Lock);
    IOEntry* next = partner->NextOfKind;
    bool release = false;
    if (partner->Socket == 0 && HasTCPconnection(partner)) {
      // Disconnected from outside (the periodic task's probe): the connection is ours to close.
      TRC(TRC_DETAIL, "Disconnected/Shutdown socket %d closed", partner->ConnectionSocket);
      ZEV0_CloseTheSocket(partner->ConnectionSocket);
      partner->ConnectionSocket = 0;
    } else if (partner->Active != 0 && partner->Socket > 0 && HasTCPconnection(partner)) {
      if (readable->erase(partner->Socket) != 0) release = partnerInput(partner);
      if (HasTCPconnection(partner)) connected.push_back(partner);
    }
    BSV1_ReleaseLock(&partner->Lock);
    if (release) {
      unfinished_.forget(partner);
      ReleaseDynamicPartner(anchor_, partner);
    }
    partner = next;
  }
  unfinished_.keepOnly(connected);
}

// Called and left with the partner's lock held; the lock is let go around the
// acknowledgement and the state machine.
bool SocketServerLoop::partnerInput(IOEntry* partner) {
  int socket = partner->Socket;
  TRC(TRC_DETAIL, "### sock %d selected for existing TCP connection from %s[%d]", socket,
      DottedAddress(partner->PartnerAddress).c_str(), ntohs(partner->PartnerAddress.sin_port));
  char* buffer = clearedBuffer();
  ZEVP_UpdateStatLogSockIO(0, 1);
  ssize_t received = recv(socket, buffer, ZEVP_RECEIVE_SIZE, 0);
  if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return false;
  if (received <= 0) return connectionEnded(partner, received < 0 ? errno : 0);
  int length = static_cast<int>(received);
  SourceEntry* source = partner->Source;
  EngineRoutines& routines = Routines();
  if (mode_ == PartnerMode::API) {
    ZEVP_ConvertBufferToLocal(buffer, length, 0);
    partner->APIverb = ZEVP_ExtractAPIcallType(buffer, length);
    if (partner->APIverb == ZEVP_VERB_ENDINP) routines.updateSourceEntryState(source, ZEVP_Inactive);
    BSV1_ReleaseLock(&partner->Lock);
    routines.processSockRequestByState(anchor_, entry_, partner, length, buffer);
    BSV1_GetLock(&partner->Lock);
    return false;
  }
  if (source->CodeConversion != 0) ZEVP_ConvertBufferToLocal(buffer, length, 0);
  std::string bytes = unfinished_.take(partner, buffer, length, length == ZEVP_RECEIVE_SIZE);
  if (BeginsWith(bytes.data(), static_cast<int>(bytes.size()), SockTransEndMsg))
    routines.updateSourceEntryState(source, ZEVP_Inactive);
  BSV1_ReleaseLock(&partner->Lock);
  ZEVP_SendReceivedDataAck(partner, static_cast<uint32_t>(length));
  if (!bytes.empty()) routines.processSockRequestByState(anchor_, entry_, partner, static_cast<int>(bytes.size()), bytes.data());
  BSV1_GetLock(&partner->Lock);
  return false;
}

bool SocketServerLoop::connectionEnded(IOEntry* partner, int error) {
  int socket = partner->Socket;
  TRC(TRC_DETAIL, "TCP connection terminated for sock %d, errno %d", socket, error);
  ZEVP_UpdateStatLogSockIO(-1, 0);
  SourceEntry* source = partner->Source;
  std::string host = PeerHostName(partner->PartnerAddress);
  EngineRoutines& routines = Routines();
  if (mode_ == PartnerMode::API) {
    routines.sendDPlogMessage(anchor_, ZEVP_DPLOG_API_SESSION_CLOSED, host.c_str(), nullptr, nullptr, nullptr, nullptr);
  } else {
    const TableEntry* group = source->Table;
    routines.sendDPlogMessage(anchor_, ZEVP_DPLOG_SESSION_ENDED, "TCP", host.c_str(),
                              PortText(partner->PartnerAddress).c_str(),
                              group != nullptr ? group->Application->ApplName : nullptr,
                              group != nullptr ? group->TableName : nullptr);
    // The last record, when a full receive left it unfinished, ends with the connection.
    std::string last = unfinished_.flush(partner);
    if (!last.empty() && ZEVP_SourceStateOf(source) == ZEVP_Input) {
      BSV1_ReleaseLock(&partner->Lock);
      routines.processSockRequestByState(anchor_, entry_, partner, static_cast<int>(last.size()), last.data());
      BSV1_GetLock(&partner->Lock);
    }
  }
  partner->APIverb = ZEVP_VERB_NONE;
  ZEV0_CloseTheSocket(socket);
  if (partner->ConnectionSocket == socket) partner->ConnectionSocket = 0;
  UnbindPartner(partner);
  bool release = source->Dynamic != 0;
  // A session that never went online, or went offline with its ENDINP, has nothing to
  // take offline: its end costs the server no wait for the DCH.
  const int32_t state = ZEVP_SourceStateOf(source);
  if (mode_ == PartnerMode::API && release && (state == ZEVP_Connected || state == ZEVP_Ready)) return true;
  routines.updateSourceEntryState(source, ZEVP_Inactive);
  BSV1_ReleaseLock(&partner->Lock);
  routines.processSockRequestByState(anchor_, entry_, partner, 0, nullptr);
  BSV1_GetLock(&partner->Lock);
  return release;
}

}  // namespace zevp

#include "socket_partner_watch.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kUDPexpiredMessage = 32;
constexpr int32_t kTCPoutageMessage = 74;

std::string dotted(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

std::string hostName(const sockaddr_in& address) {
  std::string dottedName = dotted(address);
  char* name = ZEV0_ResolveAddressToName(dottedName.c_str());
  if (name == nullptr) return dottedName;
  std::string resolved = name;
  ZEV0_FreeStorage(&name);
  return resolved;
}

// The partner's session ends: DP log message with host, port, application, group.
void logDisconnect(DPAB* anchor, int32_t message, const IOEntry* partner) {
  const SourceEntry* source = partner->Source;
  const TableEntry* table = source != nullptr ? source->Table : nullptr;
  std::string port = std::to_string(ntohs(partner->PartnerAddress.sin_port));
  ZEVP_SendDPlogMessage(anchor, message, hostName(partner->PartnerAddress).c_str(), port.c_str(),
                        table != nullptr && table->Application != nullptr ? table->Application->ApplName : nullptr,
                        table != nullptr ? table->TableName : nullptr);
}

bool inInput(const IOEntry* partner) { return partner->Source != nullptr && ZEVP_SourceStateOf(partner->Source) == ZEVP_Input; }

// The partner leaves the select set and may be bound anew.
void unbind(IOEntry* partner) {
  partner->Socket = 0;
  partner->Port = 0;
  partner->Active = 0;
  partner->NewBinding = 1;
}

// Takes the partner's source offline through its state machine. The task owns the
// source meanwhile, so that the DCH client wakes it, not the server thread.
void takeOffline(DPAB* anchor, ProcessEntry* caller, IOEntry* partner) {
  SourceEntry* source = partner->Source;
  ProcessEntry* owner = ZEVP_LendSource(source, caller);
  zevp::Routines().processSockRequestByState(anchor, caller, partner, 0, nullptr);
  ZEVP_GiveSourceBack(source, caller, owner);
}

bool stillListed(DPAB* anchor, const IOEntry* partner) {
  for (const IOEntry* listed = anchor->sockIOEntries; listed != nullptr; listed = listed->NextOfKind)
    if (listed == partner) return true;
  return false;
}

struct ProbeTarget {
  IOEntry* partner;
  int socket;
  sockaddr_in address;
};

}  // namespace

PartnerProbe ZEVP_ProbePartnerAddress(const sockaddr_in& address) {
  int probe = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (probe < 0) {
    TRC(TRC_ERROR, "*** probe socket not opened, errno %d", errno);
    return PartnerProbe::Alive;  // skipped for this pass
  }
  int rc = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  int error = rc == 0 ? 0 : errno;
  if (rc != 0 && error == EINPROGRESS) {
    pollfd writable{probe, POLLOUT, 0};
    int ready;
    do {
      ready = poll(&writable, 1, ZEVP_PROBE_CONNECT_SECONDS * 1000);
    } while (ready < 0 && errno == EINTR);
    socklen_t length = sizeof error;
    if (ready == 0)
      error = ETIMEDOUT;
    else if (ready < 0 || getsockopt(probe, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
      error = errno;
  }
  ZEV0_CloseTheSocket(probe);
  if (error == 0) return PartnerProbe::Alive;
  return error == ECONNREFUSED ? PartnerProbe::Refused : PartnerProbe::Outage;
}

// A partner's state machine runs on the socket server's thread under the anchor's
// application-definition lock: the watch takes it too, so that the two never run
// the machine of one partner at once.
bool ZEVP_ExpireIdleUDPpartners(DPAB* anchor, ProcessEntry* caller, int64_t now) {
  bool expired = false;
  BSV1_GetLock(&anchor->applDefinitionLock);
  BSV1_GetLock(&anchor->sockIOListLock);
  for (IOEntry* partner = anchor->sockIOEntries; partner != nullptr; partner = partner->NextOfKind) {
    BSV1_GetLock(&partner->Lock);
    bool due = partner->Active != 0 && partner->ConnectionSocket == 0 && inInput(partner) && partner->ExpiryTime <= now;
    if (!due) {
      BSV1_ReleaseLock(&partner->Lock);
      continue;
    }
    TRC(TRC_DETAIL, "UDP contact expired for %s[%d]", dotted(partner->PartnerAddress).c_str(),
        ntohs(partner->PartnerAddress.sin_port));
    ZEVP_UpdateSourceEntryState(partner->Source, ZEVP_Inactive);
    BSV1_ReleaseLock(&partner->Lock);
    takeOffline(anchor, caller, partner);
    logDisconnect(anchor, kUDPexpiredMessage, partner);
    BSV1_GetLock(&partner->Lock);
    unbind(partner);
    BSV1_ReleaseLock(&partner->Lock);
    expired = true;
  }
  BSV1_ReleaseLock(&anchor->sockIOListLock);
  BSV1_ReleaseLock(&anchor->applDefinitionLock);
  return expired;
}

// The probes run without the list lock, so that a host that does not answer holds
// up no input; a partner is acted on only while it is still listed.
bool ZEVP_ProbeTCPpartners(DPAB* anchor, ProcessEntry* caller, int64_t now, bool disconnectByTTL) {
  std::vector<ProbeTarget> targets;
  BSV1_GetLock(&anchor->sockIOListLock);
  for (IOEntry* partner = anchor->sockIOEntries; partner != nullptr; partner = partner->NextOfKind) {
    BSV1_GetLock(&partner->Lock);
    if (partner->Active != 0 && partner->ConnectionSocket != 0 && inInput(partner))
      targets.push_back({partner, partner->ConnectionSocket, partner->PartnerAddress});
    BSV1_ReleaseLock(&partner->Lock);
  }
  BSV1_ReleaseLock(&anchor->sockIOListLock);

  bool disconnected = false;
  for (const ProbeTarget& target : targets) {
    PartnerProbe probe = ZEVP_ProbePartnerAddress(target.address);
    if (probe == PartnerProbe::Alive) continue;
    BSV1_GetLock(&anchor->applDefinitionLock);
    BSV1_GetLock(&anchor->sockIOListLock);
    IOEntry* partner = target.partner;
    bool same = stillListed(anchor, partner);
    if (same) {
      BSV1_GetLock(&partner->Lock);
      same = partner->ConnectionSocket == target.socket && inInput(partner);
      bool stays = probe == PartnerProbe::Refused &&
                   (!disconnectByTTL || now < partner->Source->DataExpiryTime);
      BSV1_ReleaseLock(&partner->Lock);
      same = same && !stays;
    }
    if (!same) {
      BSV1_ReleaseLock(&anchor->sockIOListLock);
      BSV1_ReleaseLock(&anchor->applDefinitionLock);
      continue;
    }
    if (probe == PartnerProbe::Outage)
      TRC(TRC_ERROR, "TCP connection terminated for sock %d due to outage", target.socket);
    else
      TRC(TRC_ERROR, "TCP connection terminated for sock %d due to TTL interval expired", target.socket);
    logDisconnect(anchor, kTCPoutageMessage, partner);
    if (shutdown(target.socket, SHUT_RDWR) != 0) TRC(TRC_ERROR, "shutdown rc %d errno %d", -1, errno);
    partner->Source->DataExpiryTime = now;
    ZEVP_UpdateSourceEntryState(partner->Source, ZEVP_Inactive);
    takeOffline(anchor, caller, partner);
    BSV1_GetLock(&partner->Lock);
    unbind(partner);
    BSV1_ReleaseLock(&partner->Lock);
    BSV1_ReleaseLock(&anchor->sockIOListLock);
    BSV1_ReleaseLock(&anchor->applDefinitionLock);
    disconnected = true;
  }
  return disconnected;
}

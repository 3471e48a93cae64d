#include "metafile_server_task.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_exchange_format.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace {

constexpr char kRPC = 'R';

int unsupported(ProcessEntry* entry, const char* line) {
  TRC(TRC_ERROR, "%s", line);
  zevp::ReportMetaServerStart(entry, true);
  return 0;
}

}  // namespace

namespace zevp {

void ReportMetaServerStart(ProcessEntry* entry, bool failed) {
  if (failed) BSV1_ReleaseLock(&entry->TerminationLock);
  ZEVP_SignalProcessStart(entry, failed ? 1 : 0);
}

void MetaServerDPlog(DPAB* anchor, int number, const char* p1, const char* p2, const char* p3) {
  Routines().sendDPlogMessage(anchor, number, p1, p2, p3, nullptr, nullptr);
}

}  // namespace zevp

int ZEVP_IsMetaServerActive(char transportLetter) {
  if (transportLetter == kRPC) {
    TRC(TRC_ERROR, "*** RPC Transport unsupport");
    return 0;
  }
  sockaddr_in address{};
  // Without address reuse: the server's own UDP socket makes this bind fail.
  int probe = ZEV0_OpenLocalSocket(SOCK_DGRAM, htons(zevp::MetafilePort()), &address, 1);
  if (probe < 0) return 1;
  ZEV0_CloseTheSocket(probe);
  return 0;
}

int ZEVP_MetaServerRPCServerRoutine(DPAB*, ProcessEntry* entry) {
  return unsupported(entry, "*** RPC metafile server not supported");
}

int ZEVP_MetaServerRPCClientRoutine(DPAB*, ProcessEntry* entry) {
  return unsupported(entry, "*** RPC metafile server client not supported");
}

void ZEVP_MetaServerTask(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  entry->threadId = BSV1_ThreadID();
  BSV1_GetLock(&entry->TerminationLock);
  const char* transport = ZEV0_GetEnv("ZEVP_META_TRANSPORT", "I");
  bool rpc = transport[0] == kRPC;
  const char* serverHost = static_cast<const char*>(entry->parameter);
  bool server = serverHost != nullptr && ZEV0_IsOwnHostName(serverHost) &&
                ZEVP_IsMetaServerActive(anchor->transportLetter) == 0;
  TRC(TRC_DETAIL, "Metafile server task started as %s for server host %s", server ? "server" : "client",
      serverHost != nullptr ? serverHost : "(none)");
  int keptEntry;
  if (rpc)
    keptEntry = server ? ZEVP_MetaServerRPCServerRoutine(anchor, entry) : ZEVP_MetaServerRPCClientRoutine(anchor, entry);
  else
    keptEntry = server ? ZEVP_MetaServerSockServerRoutine(anchor, entry) : ZEVP_MetaServerSockClientRoutine(anchor, entry);
  if (keptEntry) {
    BSV1_ReleaseLock(&entry->TerminationLock);
    ZEVP_ReleaseProcessResources(anchor, entry);
  }
  ZEVP_EndThread();
}

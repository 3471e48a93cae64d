#include "select_interrupt.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "statistics.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev/prodspec_items.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace {

int portOffset() {
  const char* offset = ZEV0_QueryProductSpec(ZEV2_DP_PORT_OFFSET);
  return offset != nullptr ? std::atoi(offset) : 0;
}

uint16_t portOf(const char* variable, int base, bool withOffset) {
  const char* value = ZEV0_GetEnv(variable, nullptr);
  if (value != nullptr) return static_cast<uint16_t>(std::atoi(value));
  return static_cast<uint16_t>(base + (withOffset ? portOffset() : 0));
}

void sendToPort(int socket, const char* text, uint16_t port) {
  sockaddr_in address;
  if (!ZEV0_ConvertNameToAddr(ZEV0_LocalHostNameString(), port, &address)) return;
  ZEVP_SendSelectMessage(socket, text, &address);
}

}  // namespace

uint16_t ZEVP_SocketDPport() { return portOf("ZEVP_DP_PORT", 7500, true); }
uint16_t ZEVP_APIserverPort() { return portOf("ZEVP_API_DPAPI_PORT", 7600, true); }
uint16_t ZEVP_MetaServerPort() { return portOf("ZEVP_META_SERVER_PORT", 7800, true); }
uint16_t ZEVP_PostDPport() { return portOf("ZEVP_POST_DP_PORT", 7575, false); }

void ZEVP_SendSelectMessage(int socket, const char* text, const sockaddr_in* address) {
  ssize_t rc = sendto(socket, text, std::strlen(text), 0, reinterpret_cast<const sockaddr*>(address), sizeof *address);
  TRC(TRC_DETAIL, "### sendto rc %d, errno %d, %s[%d]", static_cast<int>(rc), rc < 0 ? errno : 0, text,
      ntohs(address->sin_port));
}

void ZEVP_SendSelectInterrupt(int32_t dpType, const char* text) {
  bool socketPort = dpType == ZEV_DP_SOCK || dpType == ZEV_DP_ASFS;
  bool apiPort = dpType == ZEV_DP_APIS || dpType == ZEV_DP_ASFS;
  bool metaPort = dpType == ZEVP_METAFILE_SERVER_TYPE;
  bool postPort = dpType == ZEV_DP_POST;
  if (!socketPort && !apiPort && !metaPort && !postPort) {
    TRC(TRC_ERROR, "*****Error - invalid input DP Type %d", dpType);
    return;
  }
  TRC(TRC_DETAIL, ">>> Send socket select interrupt, %s", text);
  sockaddr_in local;
  int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  if (socket < 0) {
    TRC(TRC_ERROR, "***** no socket for the select interrupt, errno %d", errno);
    return;
  }
  if (socketPort) sendToPort(socket, text, ZEVP_SocketDPport());
  if (apiPort) sendToPort(socket, text, ZEVP_APIserverPort());
  if (metaPort) sendToPort(socket, text, ZEVP_MetaServerPort());
  if (postPort) sendToPort(socket, text, ZEVP_PostDPport());
  ZEVP_UpdateStatLogSockIO(0, 1);
  ZEV0_CloseTheSocket(socket);
}

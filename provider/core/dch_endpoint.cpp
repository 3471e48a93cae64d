#include "dch_endpoint.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "trc1.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"

TRC_UNIT();

namespace {

constexpr unsigned short kDefaultPort = 1919;
constexpr int kDefaultReplyWait = 30;

// A port number, or 0 when the text does not hold one.
unsigned short portNumber(const char* source, const char* text) {
  char* end = nullptr;
  long port = std::strtol(text, &end, 10);
  if (end != text && port >= 1 && port <= USHRT_MAX) return static_cast<unsigned short>(port);
  TRC(TRC_ERROR, "*** %s <%s> is not a port number, ignored", source, text);
  return 0;
}

unsigned short dchPort() {
  if (const char* value = ZEV0_GetEnv("ZEVA_DCH_PORT", nullptr)) {
    if (unsigned short port = portNumber("ZEVA_DCH_PORT", value)) return port;
  }
  if (const char* item = ZEV0_QueryProductSpec(ZEV2_DCH_PORT_NUMBER)) {
    if (unsigned short port = portNumber("DCH_PORT_NUMBER", item)) return port;
  }
  return kDefaultPort;
}

const char* dchHost() {
  const char* host = ZEV0_GetEnv("ZEVP_DCH_HOST", nullptr);
  if (host == nullptr || host[0] == '\0') host = ZEV0_GetEnv("ZEVA_DCH_HOST", nullptr);
  if (host == nullptr || host[0] == '\0') host = ZEV0_LocalHostNameString();
  return host;
}

}  // namespace

DCHendpoint ZEVP_ReadDCHendpoint() {
  DCHendpoint endpoint{};
  const char* host = dchHost();
  if (std::snprintf(endpoint.host, sizeof endpoint.host, "%s", host) >= static_cast<int>(sizeof endpoint.host))
    TRC(TRC_ERROR, "*** DCH host name longer than %d characters, cut", static_cast<int>(sizeof endpoint.host - 1));
  endpoint.port = dchPort();
  return endpoint;
}

int ZEVP_DCHreplyWait() {
  static const int seconds = [] {
    const char* value = ZEV0_GetEnv("ZEVP_DCH_REPLY_WAIT", nullptr);
    if (value == nullptr) return kDefaultReplyWait;
    long wait = std::strtol(value, nullptr, 10);
    if (wait < 1 || wait > INT_MAX / 1000) {
      TRC(TRC_ERROR, "*** ZEVP_DCH_REPLY_WAIT <%s> out of range, %d taken", value, kDefaultReplyWait);
      return kDefaultReplyWait;
    }
    return static_cast<int>(wait);
  }();
  return seconds;
}

// The DCH settings of the process: host, port, time-out, trap emission and pool size, read
// from the environment once, by the first socket transport constructed.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "bsv1.h"
#include "dch/ipc_sock.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"

TRC_UNIT();

char ipcSock::_envDCHname[256];
unsigned short ipcSock::_envPortNo = 0;
int ipcSock::_envDCHtimeout = 0;
int ipcSock::_envDCHUDPSocks = 0;
short ipcSock::_envVarsInit = 0;
int ipcSock::_envTRAPEMIT = 0;

namespace {

constexpr unsigned short kDefaultPort = 1919;
constexpr int kDefaultTimeout = 30;
constexpr int kDefaultPoolSockets = 32;
// More sockets than this would only use up the process's descriptors.
constexpr int kMaxPoolSockets = 1024;

// A decimal number read the way atoi reads it (text that is not a number gives 0), but
// held within the range of an int.
int decimalSetting(const char* text) {
  long value = strtol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// A port setting, or 0 when the text is not a port number (0 would bind any port).
unsigned short portSetting(const char* source, const char* text) {
  int port = decimalSetting(text);
  if (port >= 1 && port <= USHRT_MAX) return static_cast<unsigned short>(port);
  TRC(TRC_ERROR, "Error: %s <%s> is not a port number, ignored", source, text);
  return 0;
}

unsigned short dchPort() {
  if (const char* value = BSV1_GetEnv("ZEVA_DCH_PORT", 0)) {
    if (unsigned short port = portSetting("ZEVA_DCH_PORT", value)) return port;
  }
  if (const char* item = ZEV0_QueryProductSpec(ZEV2_DCH_PORT_NUMBER)) {
    if (unsigned short port = portSetting("DCH_PORT_NUMBER", item)) return port;
  }
  return kDefaultPort;
}

void dchName(char* name, size_t size) {
  memset(name, 0, size);
  const char* value = BSV1_GetEnv("ZEVA_DCH_ADDR", 0);
  if (value != nullptr && strlen(value) >= size) {
    TRC(TRC_ERROR, "Error: ZEVA_DCH_ADDR longer than %d characters, ignored", static_cast<int>(size - 1));
    value = nullptr;
  }
  if (value == nullptr || value[0] == '\0') value = ZEV0_LocalHostNameString();
  strncpy(name, value, size - 1);
}

// Fewer than one socket would leave every borrower waiting for ever.
int poolSockets() {
  const char* value = BSV1_GetEnv("ZEVA_DCH_UDP_SOCKETS_IN_POOL", 0);
  if (value == nullptr) return kDefaultPoolSockets;
  int count = decimalSetting(value);
  if (count < 1) {
    TRC(TRC_ERROR, "Error: ZEVA_DCH_UDP_SOCKETS_IN_POOL <%s> below 1, %d taken", value, kDefaultPoolSockets);
    return kDefaultPoolSockets;
  }
  if (count > kMaxPoolSockets) {
    TRC(TRC_ERROR, "Error: ZEVA_DCH_UDP_SOCKETS_IN_POOL <%s> above %d, %d taken", value, kMaxPoolSockets,
        kMaxPoolSockets);
    return kMaxPoolSockets;
  }
  return count;
}

}  // namespace

void ipcSock::getEnvVariables() {
  dchName(_envDCHname, sizeof _envDCHname);
  _envPortNo = dchPort();
  const char* timeout = BSV1_GetEnv("ZEVA_DCH_TIMEOUT", 0);
  _envDCHtimeout = timeout != nullptr ? decimalSetting(timeout) : kDefaultTimeout;
  const char* trapEmit = BSV1_GetEnv("ZEVA_DCH_TRAPEMIT", 0);
  _envTRAPEMIT = trapEmit != nullptr && (trapEmit[0] == 'Y' || trapEmit[0] == 'y') ? 1 : 0;
  _envDCHUDPSocks = poolSockets();
  TRC(TRC_DETAIL, "DCH <%s> port %d time-out %d pool %d trap emission %d", _envDCHname, _envPortNo,
      _envDCHtimeout, _envDCHUDPSocks, _envTRAPEMIT);
}

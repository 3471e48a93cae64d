#include "dch_test_settings.h"

#include <cstdlib>
#include <string>

#include "dch/channel_functions.h"
#include "dch_server.h"
#include "free_port.h"
#include "zev0/threads.h"

unsigned short LoopbackDCHPort() {
  static const unsigned short port = [] {
    if (const char* inherited = std::getenv("ZEVA_DCH_PORT"))
      return static_cast<unsigned short>(std::atoi(inherited));
    unsigned short free = FreeLoopbackPort();
    setenv("ZEVA_DCH_PORT", std::to_string(free).c_str(), 1);
    setenv("ZEVA_DCH_ADDR", "127.0.0.1", 1);
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    setenv("ZEVA_DCH_TIMEOUT", "1", 1);
    return free;
  }();
  return port;
}

bool WaitUntilReady(DCHserver& server) {
  if (ZEVA_GetLock(server.readyLock(), &server) != 0) return false;
  for (int waited = 0; server.readyState() == 0 && waited < 5; ++waited)
    ZEV0_ConditionTimedWait(server.readyCond(), server.readyLock(), 1);
  bool ready = server.readyState() == 1;
  ZEVA_ReleaseLock(server.readyLock(), &server);
  return ready;
}

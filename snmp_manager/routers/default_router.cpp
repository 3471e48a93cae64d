#include "default_router.h"

#include <cstdio>
#include <cstring>

#include "debug_switches.h"
#include "network_masks.h"
#include "zev0/child_process.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr char kRouteCommand[] = "/usr/bin/netstat -r >RTINFO";
constexpr char kRouteFile[] = "RTINFO";
constexpr int kLineSize = 256;
constexpr int kAddressSize = 80;

// The gateway's address when the line is a default route that names one.
bool DefaultGateway(const char* line, sockaddr_in* gateway) {
  if (std::strstr(line, "default") == nullptr) return false;
  const char* blank = std::strchr(line, ' ');
  if (blank == nullptr) return false;
  const char* word = blank + std::strspn(blank, " \t");
  char name[kLineSize] = "";
  const size_t length = std::strcspn(word, " \t\r\n");
  if (length == 0 || length >= sizeof name) return false;
  std::memcpy(name, word, length);
  return ZEV0_ConvertNameToAddr(name, 0, gateway) != 0;
}

}  // namespace

char* ZEVS_IdentifyOwnDefaultRouter() {
  const int rc = zev0::RunShellCommand(kRouteCommand);
  if (rc != 0) TRC(TRC_ERROR, "***** %s ended with %d", kRouteCommand, rc);
  FILE* file = std::fopen(kRouteFile, "re");
  if (file == nullptr) return nullptr;
  char line[kLineSize];
  char* result = nullptr;
  sockaddr_in gateway{};
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (!DefaultGateway(line, &gateway)) continue;
    result = static_cast<char*>(ZEV0_GetStorage(kAddressSize));
    if (result != nullptr) {
      std::snprintf(result, kAddressSize, "%s", zevs::DottedAddress(gateway.sin_addr.s_addr).c_str());
      ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Default router address %s", result);
    }
    break;
  }
  std::fclose(file);
  std::remove(kRouteFile);
  return result;
}

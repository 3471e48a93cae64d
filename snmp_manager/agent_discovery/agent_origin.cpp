#include "agent_origin.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ploven_agent_entry.h"
#include "raf_interfaces.h"
#include "trc1.h"
#include "zev0/hostnames.h"

TRC_UNIT();

namespace {

// The room the runtime is given for a caller's name.
constexpr int kCallerNameRoom = 256;
// The version number that agents of the current release send.
constexpr int32_t kCurrentReleaseVersion = 131;

}  // namespace

void ZEVS_RetrieveOriginFromHandle(rpc__handle_t handle, char** host, char** address) {
  *host = nullptr;
  *address = nullptr;
  socket__addr_t caller;
  int callerLength = sizeof caller;
  rpc__status_t status = rpc__s_ok;
  rpc__inq_binding(handle, &caller, &callerLength, &status);
  if (status != rpc__s_ok) {
    TRC(TRC_ERROR, "***** MS host name assumed. rpc__inq_binding failed - %s\n", zevs::RpcStatusText(status).c_str());
    return;
  }
  char name[kCallerNameRoom] = "";
  int nameLength = sizeof name;
  unsigned port = 0;
  rpc__sockaddr_to_name(&caller, callerLength, name, &nameLength, &port, &status);
  if (status != rpc__s_ok) {
    TRC(TRC_ERROR, "***** MS host name assumed. rpc__sockaddr_to_name failed - %s\n", zevs::RpcStatusText(status).c_str());
    return;
  }
  const char* colon = std::strchr(name, ':');
  const char* hostName = colon != nullptr ? colon + 1 : name;
  *host = zevs::CopyAgentText(hostName);
  *address = zevs::DottedAddressOrName(hostName);
}

char* ZEVS_ExtractHostNameFromMS(const char* name) {
  const std::string whole = name != nullptr ? name : "";
  const size_t first = whole.find(':');
  const size_t second = first == std::string::npos ? first : whole.find(':', first + 1);
  const bool twoColons = second != std::string::npos && whole.find(':', second + 1) == std::string::npos;
  std::string host = whole;
  if (first != std::string::npos && second == std::string::npos) {
    host = whole.substr(0, first);
  } else if (twoColons && second != first + 1) {
    host = whole.substr(first + 1, second - first - 1);
  } else if (twoColons) {
    host = whole.substr(0, first);
    const size_t underscore = host.find('_');
    if (underscore != std::string::npos) host.erase(0, underscore + 1);
  }
  return zevs::CopyAgentText(host.c_str());
}

char* ZEVS_CheckAgentVersion(int32_t version) {
  char text[12];
  if (version < 1)
    std::snprintf(text, sizeof text, " ");
  else if (version == kCurrentReleaseVersion)
    std::snprintf(text, sizeof text, "02.00.00");
  else
    std::snprintf(text, sizeof text, "%d", version);
  return zevs::CopyAgentText(text);
}

namespace zevs {

char* DottedAddressOrName(const char* host) {
  sockaddr_in resolved{};
  char dotted[INET_ADDRSTRLEN];
  if (host != nullptr && ZEV0_ConvertNameToAddr(host, 0, &resolved) != 0 &&
      inet_ntop(AF_INET, &resolved.sin_addr, dotted, sizeof dotted) != nullptr)
    return CopyAgentText(dotted);
  return CopyAgentText(host);
}

}  // namespace zevs

// The console's transport: its settings, its UDP socket and the data providers
// found on the target host by asking every console port for its port (GETPORT).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zevpcon {

// The table of data providers found holds this many; later answers are ignored.
constexpr size_t kMaxDataProviders = 63;
// A discovery reply is read into a buffer of this size (with room for a terminator).
constexpr size_t kDiscoveryBufferSize = 1600;
constexpr size_t kHostNameMax = 256;

struct FoundDataProvider {
  int32_t type = -1;  // index into DPtypeString, as the data provider said
  std::string host;   // its host name, or its dotted address when that has no name
  sockaddr_in address{};
};

struct ConsoleTransport {
  char transportLetter = 'I';
  int maxIndex = 8;              // the console ports are base + 0 ... base + maxIndex
  uint16_t basePort = 7700;
  int commandWaitMs = 0;         // ZEVP_CONSOLE_COMMAND_WAIT; 0 when not set
  int discoverySliceMs = 3000;   // one wait for replies
  int discoveryBudgetMs = 15000; // what the waits without a reply may take together
  int socket = -1;
  size_t selected = 0;           // 0: every data provider found, else its number
  std::string targetHost;        // empty: the local host
  std::vector<FoundDataProvider> found;

  ConsoleTransport() = default;
  ~ConsoleTransport();
  ConsoleTransport(const ConsoleTransport&) = delete;
  ConsoleTransport& operator=(const ConsoleTransport&) = delete;
};

// The settings from the environment (ZEVP_DP_TRANSPORT, ZEVP_MAX_DP,
// ZEVP_DPCONSOLE_PORT, ZEVP_CONSOLE_COMMAND_WAIT) and the product specification's
// port offset.
void ReadConsoleSettings(ConsoleTransport* transport);

// The host whose data providers are looked for: the target, else the local host.
std::string TargetHostName(const ConsoleTransport& transport);

// A GETPORT reply: its return code (-1 when it has none), the data provider's type
// (-1 when not given) and its console port (0 when not given or not a port).
struct DiscoveryReply {
  long returnCode = -1;
  int32_t type = -1;
  uint16_t port = 0;
};
DiscoveryReply ParseDiscoveryReply(const std::string& text);

// Opens the socket and finds the data providers of the target host, selecting the
// first one; 1 when at least one answered, else 0.
int InitializeConsoleTransportInterface(ConsoleTransport* transport);

}  // namespace zevpcon

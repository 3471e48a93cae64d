#include "socket_tables.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace {

// The state of a TCP socket that listens (the kernel's TCP_LISTEN).
constexpr char kListening[] = "0A";
constexpr size_t kStateField = 3;
constexpr size_t kQueuesField = 4;

// The fields of each line of the table ("tcp" or "udp") whose local port is the port,
// any address ("sl local_address rem_address st tx_queue:rx_queue ..."; addresses,
// states and queues in hexadecimal).
std::vector<std::vector<std::string>> SocketsOnPort(const std::string& table, unsigned short port) {
  std::vector<std::vector<std::string>> sockets;
  std::ifstream lines("/proc/net/" + table);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (fields.size() <= kQueuesField) continue;
    const size_t colon = fields[1].find(':');
    if (colon != std::string::npos && std::strtoul(fields[1].c_str() + colon + 1, nullptr, 16) == port)
      sockets.push_back(std::move(fields));
  }
  return sockets;
}

}  // namespace

bool TcpSocketInState(unsigned short port, const std::string& state) {
  for (const std::vector<std::string>& fields : SocketsOnPort("tcp", port))
    if (fields[kStateField] == state) return true;
  return false;
}

bool TcpAndUdpServed(unsigned short port) { return UdpPortBound(port) && TcpSocketInState(port, kListening); }

bool UdpPortBound(unsigned short port) { return !SocketsOnPort("udp", port).empty(); }

long UdpReceiveQueue(unsigned short port) {
  const std::vector<std::vector<std::string>> sockets = SocketsOnPort("udp", port);
  if (sockets.empty()) return -1;
  const std::string& queues = sockets.front()[kQueuesField];
  const size_t colon = queues.find(':');
  return colon == std::string::npos ? -1 : static_cast<long>(std::strtoul(queues.c_str() + colon + 1, nullptr, 16));
}

// Requests from any peer, to the DCH server as the agent runs it: each input is a
// series of messages, each sent as a datagram to a server started for that input
// alone. A message is as long as its first word declares when that fits the input;
// otherwise the rest of the input is the last message, its first word set to its
// length (the transport drops a datagram that declares another). After the series a
// request of a second peer must be answered: the server handled everything before it
// and still serves.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dch/dch_api.h"
#include "dch_server.h"
#include "dch_test_settings.h"
#include "trc1.h"
#include "zev0/typed_field.h"

// The action log's own requests are not sent: its threads would outlive the server
// of each input, waiting for replies that no server gives any more.
int dp_online(long* status, long*, const char*, const char*, const char*) {
  *status = 0;
  return 1;
}
int dp_offline(long* status, long) {
  *status = 0;
  return 1;
}
int dp_formatData(long* status, char**, long*, const char*, const void*, long, char) {
  *status = 0;
  return 1;
}
int dp_actionData(long* status, long, short, char** workBuffer, short, short) {
  *status = 0;
  free(*workBuffer);
  *workBuffer = nullptr;
  return 1;
}

namespace {

constexpr int kAnswerWaitMs = 5000;
constexpr size_t kLargestDatagram = 65507;

unsigned short serverPort() {
  static const unsigned short port = [] {
    TRC1_Configure("*=0");
    return LoopbackDCHPort();
  }();
  return port;
}

class Peer {
 public:
  explicit Peer(unsigned short port) : sockFD_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    server_.sin_family = AF_INET;
    server_.sin_port = htons(port);
    server_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  ~Peer() { close(sockFD_); }
  void send(const char* message, size_t length) {
    sendto(sockFD_, message, length, 0, reinterpret_cast<const sockaddr*>(&server_), sizeof server_);
  }
  // libFuzzer's timer signal interrupts the wait: it goes on for the time left.
  bool answered(int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd watched{sockFD_, POLLIN, 0};
      int ready = poll(&watched, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
      if (ready >= 0 || errno != EINTR) return ready == 1;
    }
  }

 private:
  int sockFD_;
  sockaddr_in server_{};
};

void putTotal(char* message, uint32_t total) {
  for (int byte = 0; byte < 4; ++byte) message[byte] = static_cast<char>(total >> (24 - 8 * byte));
}

// The messages of the input, each as the transport accepts it.
std::vector<std::string> messagesOf(const uint8_t* data, size_t size) {
  std::vector<std::string> messages;
  size_t at = 0;
  while (size - at >= DCH_MESSAGE_HEADER_SIZE) {
    uint32_t declared = ZEV0_MessageTotalLength(reinterpret_cast<const char*>(data + at));
    size_t length = declared >= DCH_MESSAGE_HEADER_SIZE && declared <= size - at ? declared : size - at;
    if (length > kLargestDatagram) length = kLargestDatagram;
    std::string message(reinterpret_cast<const char*>(data + at), length);
    putTotal(&message[0], static_cast<uint32_t>(length));
    messages.push_back(message);
    at += length;
  }
  return messages;
}

// An offline of a handle that no store holds: answered -1, after what came before.
std::string syncRequest() {
  char request[32] = {};
  putTotal(request, 22);
  const unsigned char fields[] = {0, 0, 0, 8, 0, 0x10, 0x10, 0x25, 0, 0, 0, 10, 0, 0x80, 0, 0, 0, 0};
  std::memcpy(request + 4, fields, sizeof fields);
  return std::string(request, 22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  unsigned short port = serverPort();
  DCHserver server;
  if (!WaitUntilReady(server)) std::abort();
  Peer hostile(port);
  for (const std::string& message : messagesOf(data, size)) hostile.send(message.data(), message.size());
  Peer witness(port);
  const std::string sync = syncRequest();
  witness.send(sync.data(), sync.size());
  if (!witness.answered(kAnswerWaitMs)) std::abort();  // the server stopped answering
  return 0;
}

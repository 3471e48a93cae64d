// A scripted DCH server for the client's tests: a thread that takes every request datagram
// arriving at the DCH port on 127.0.0.1 and answers it with the datagrams the test queued, in
// the order they were queued. A request with no answer queued gets none. An answer may be
// held back until the test releases it, to keep a caller waiting or to answer too late.
// Messages are built with the protocol's builders.
#pragma once

#include <netinet/in.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedDCH {
 public:
  // Serves 127.0.0.1:port until destroyed.
  explicit ScriptedDCH(unsigned short port);
  ~ScriptedDCH();
  ScriptedDCH(const ScriptedDCH&) = delete;
  ScriptedDCH& operator=(const ScriptedDCH&) = delete;

  bool serving() const { return sockFD_ >= 0; }
  // Forgets the requests and the answers not yet given.
  void reset();

  // The answer to the next request that has none yet: sent at once, or when held, only on
  // release(the request's index).
  void answer(std::vector<std::string> datagrams, bool held = false);
  void answer(const std::string& datagram) { answer(std::vector<std::string>{datagram}); }

  // Waits at most waitMs until count requests have come; false when they did not.
  bool awaitRequests(size_t count, int waitMs = 2000);
  size_t requestCount();
  std::string request(size_t index);
  // The local port of the socket that sent the request.
  unsigned short senderPort(size_t index);
  // Sends the held answer of the request.
  void release(size_t index);
  // Sends a datagram from the DCH port to the sender of the request (a pushed message).
  void sendTo(size_t index, const std::string& datagram);

 private:
  struct Answer {
    std::vector<std::string> datagrams;
    bool held = false;
  };
  struct Request {
    std::string bytes;
    sockaddr_in sender{};
    std::vector<std::string> heldAnswer;
  };

  void serve();
  void send(const std::vector<std::string>& datagrams, const sockaddr_in& to);

  int sockFD_;
  bool stopping_ = false;
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<Answer> answers_;
  std::vector<Request> requests_;
  std::thread thread_;
};

// The test program's DCH server: on first use sets the process's DCH environment (loopback,
// time-out 1 second, a pool of poolSockets; before any transport reads it) and starts the
// server on its port.
ScriptedDCH& TheScriptedDCH(int poolSockets = 2);

// Replies and pushed messages of the server.
std::string StatusReply(int32_t status);
std::string StatusReplyWithHandle(int32_t status, uint32_t handle);
std::string Response(const std::string& text);
std::string StatusNotice(const char* applName, const char* attrGroup, const char* sourceName, uint16_t requestCode);
// The message that ends a client's own wait for rows ("-TERMINATE-").
std::string InterruptMessage();
// A row message of the source with one raw value per text.
std::string RowMessage(const char* sourceName, const std::vector<std::string>& values);

// The message that a builder (char* buffer, size_t capacity) -> length writes.
template <typename Build>
std::string Built(Build build) {
  std::string message(64 * 1024, '\0');
  message.resize(build(&message[0], message.size()));
  return message;
}

// The request code of a request, 0 when it has none.
uint16_t RequestCode(const std::string& request);
// The message cut into datagrams of at most pieceSize bytes.
std::vector<std::string> Datagrams(const std::string& message, size_t pieceSize = 8192);

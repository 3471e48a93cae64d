// A UDP peer on loopback that plays the API data provider or a console for the client
// library's tests and its tools, and listens for the post sender: it keeps every
// datagram it receives and answers each as the test's script says, also in ways a real
// data provider never does (odd bytes, strangers, silence).
#pragma once

#include <netinet/in.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ReceivedRequest {
  std::string bytes;  // as they came, in the network code
  std::string text;   // in the local code
  unsigned short senderPort = 0;
};

struct Answer {
  std::string bytes;          // sent as they are
  bool fromStranger = false;  // from another socket of the host, not the data provider's
};

// A reply text as the data provider sends it: converted to the network code.
Answer Reply(const std::string& localText);
// Bytes as they are, from the responder's socket.
Answer RawReply(const std::string& bytes);
// A reply text from a socket that is not the data provider's.
Answer StrangerReply(const std::string& localText);

// What to send back for a request, in order; nothing is silence.
using ResponderScript = std::function<std::vector<Answer>(const ReceivedRequest&)>;

// The same answers to every request; none: a responder that only listens.
ResponderScript Always(std::vector<Answer> answers);

class ApiResponder {
 public:
  explicit ApiResponder(ResponderScript script);
  ~ApiResponder();
  ApiResponder(const ApiResponder&) = delete;
  ApiResponder& operator=(const ApiResponder&) = delete;

  // False when no port could be bound.
  bool listening() const { return socket_ >= 0; }
  unsigned short port() const { return port_; }
  // Points the library's next session at this responder (host and port variables).
  void pointClientHere() const;
  std::vector<ReceivedRequest> requests() const;
  // The requests once at least `count` came, or all that came within the wait (a
  // sender that does not wait for an answer may end before its datagram is read).
  std::vector<ReceivedRequest> awaitRequests(size_t count, int waitMs) const;

 private:
  void serve();
  void answer(const ReceivedRequest& request, const sockaddr_in& sender);

  ResponderScript script_;
  int socket_ = -1;
  int stranger_ = -1;
  int wake_[2] = {-1, -1};
  unsigned short port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<ReceivedRequest> requests_;
  std::thread thread_;
};

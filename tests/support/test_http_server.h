// An HTTP server of the tests on a free loopback port, which also serves as a
// proxy (a request for an absolute URL is answered like any other). Each
// connection gets one request, whose head is recorded, and the answer the test's
// handler gives for it, byte for byte, on a thread of its own; then the server
// closes the connection. An answer may wait first, send nothing (a dropped
// connection), promise more than it sends (closed mid-answer) or go on sending
// filler until the peer goes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct HTTPrequest {
  std::string method;
  std::string target;   // as sent: a path, or an absolute URL to a proxy
  std::string version;  // "HTTP/1.0" or "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;
  // The value of the header of that name (without regard to case); empty when none.
  std::string header(const std::string& name) const;
};

struct HTTPanswer {
  std::string bytes;       // sent as they are; none: the connection is dropped
  size_t fillerBytes = 0;  // then this many more bytes, until the peer goes
  int delayMs = 0;         // before anything is sent
};

// A complete answer: status line, Content-Length, Connection: close, the extra
// header lines ("Name: value"), then the body.
HTTPanswer Page(int code, const std::string& reason, const std::string& body,
                const std::vector<std::string>& headers = {}, const std::string& version = "HTTP/1.1");

class TestHTTPServer {
 public:
  using Handler = std::function<HTTPanswer(const HTTPrequest&)>;
  // On a free loopback port, or on the port given (a server started again where
  // one was stopped).
  explicit TestHTTPServer(Handler handler, unsigned short port = 0);
  // Stops at once: a waiting answer is cut short, every connection closed.
  ~TestHTTPServer();
  TestHTTPServer(const TestHTTPServer&) = delete;
  TestHTTPServer& operator=(const TestHTTPServer&) = delete;

  bool listening() const { return listener_ >= 0; }
  unsigned short port() const { return port_; }
  // "http://127.0.0.1:<port>" and the path.
  std::string url(const std::string& path) const;
  // The requests received so far, in order.
  std::vector<HTTPrequest> requests() const;

 private:
  void acceptLoop();
  void serve(int connection);
  bool waitUnlessStopped(int delayMs);

  Handler handler_;
  int listener_ = -1;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<HTTPrequest> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

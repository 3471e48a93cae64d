// The management-server port: a listener on 127.0.0.1, whose clients the main loop
// admits, and a thread per client, at most kMaxSessions at once (internal to the
// framework; docs/framework-port.md).
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace raf {

class ManagementPort {
 public:
  static constexpr int kMaxSessions = 4;

  ManagementPort() = default;
  ~ManagementPort() { stop(); }
  ManagementPort(const ManagementPort&) = delete;
  ManagementPort& operator=(const ManagementPort&) = delete;

  // Listens on 127.0.0.1 at the port; false, with an error trace, when it cannot.
  bool start(int port);
  // The listening socket to watch for reading; -1 when not listening.
  int listener() const { return listener_; }
  // Takes the client that the listener has waiting (none: nothing happens).
  void admitClient();
  // Stops listening, tells the clients being served that the framework ends, and waits
  // for their threads.
  void stop();

 private:
  struct Session {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void admit(int client);
  void serve(int client, Session* session);
  void reapSessions();
  std::string readRequestLine(int client, std::string* error);

  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::list<std::unique_ptr<Session>> sessions_;  // only the main loop's thread touches it
};

// How long a client may take to send its request line.
void SetSessionIdleLimit(int milliseconds);
int SessionIdleLimit();

}  // namespace raf

#include "internal/management_port.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "internal/framework_port.h"
#include "internal/port_answers.h"
#include "trc1.h"

TRC_UNIT();

namespace raf {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultIdleMs = 5000;
constexpr int kSendTimeoutSeconds = 5;
constexpr int kAcceptRetryMs = 100;

std::atomic<int> idleLimitMs{kDefaultIdleMs};


// The client gets at most kSendTimeoutSeconds for each part of the answer it does not read.
void limitSending(int client) {
  timeval timeout{kSendTimeoutSeconds, 0};
  setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

int millisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

void SetSessionIdleLimit(int milliseconds) { idleLimitMs.store(milliseconds > 0 ? milliseconds : kDefaultIdleMs); }

int SessionIdleLimit() { return idleLimitMs.load(); }

bool ManagementPort::start(int port) {
  // Not blocking: a client that goes before it is accepted must not hold the main loop.
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  int reuse = 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (listener_ < 0 || setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
      bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 16) != 0 ||
      pipe2(wake_, O_CLOEXEC) != 0) {
    TRC(TRC_ERROR, "Error: the framework cannot listen on 127.0.0.1 port %d: %s; it runs without its port", port,
        std::strerror(errno));
    stop();
    return false;
  }
  TRC(TRC_DETAIL, "The framework listens on 127.0.0.1 port %d", port);
  return true;
}

void ManagementPort::stop() {
  if (wake_[1] >= 0) {
    char wake = 1;
    while (write(wake_[1], &wake, 1) < 0 && errno == EINTR) {
    }
  }
  for (auto& session : sessions_) session->thread.join();
  sessions_.clear();
  for (int* fd : {&listener_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void ManagementPort::admitClient() {
  int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) {
    if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
      TRC(TRC_ERROR, "Error: accept on the framework's port failed: %s", std::strerror(errno));
      poll(nullptr, 0, kAcceptRetryMs);
    }
    return;
  }
  admit(client);
}

void ManagementPort::admit(int client) {
  limitSending(client);
  reapSessions();
  if (sessions_.size() >= static_cast<size_t>(kMaxSessions)) {
    SendWhole(client, ErrorAnswer("busy: " + std::to_string(kMaxSessions) + " clients are served at once"));
    close(client);
    return;
  }
  sessions_.push_back(std::make_unique<Session>());
  Session* session = sessions_.back().get();
  session->thread = std::thread(&ManagementPort::serve, this, client, session);
}

void ManagementPort::reapSessions() {
  for (auto session = sessions_.begin(); session != sessions_.end();) {
    if ((*session)->done.load()) {
      (*session)->thread.join();
      session = sessions_.erase(session);
    } else {
      ++session;
    }
  }
}

void ManagementPort::serve(int client, Session* session) {
  std::string error;
  std::string line = readRequestLine(client, &error);
  SendWhole(client, error.empty() ? AnswerPortRequest(ParsePortRequest(line)) : ErrorAnswer(error));
  // Done before the client sees the end of its answer, so that a client it sends next
  // does not find the session still counted.
  session->done.store(true);
  close(client);
}

// The request line without its line end; error says why there is none (empty when
// the client went away without one, which gets no answer worth sending).
std::string ManagementPort::readRequestLine(int client, std::string* error) {
  std::string line;
  auto deadline = Clock::now() + std::chrono::milliseconds(SessionIdleLimit());
  for (;;) {
    size_t end = line.find('\n');
    if (end != std::string::npos) {
      line.resize(end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (line.size() >= kPortLineLimit) {
      *error = "request line longer than " + std::to_string(kPortLineLimit - 1) + " characters";
      return "";
    }
    pollfd watched[] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int ready = poll(watched, 2, millisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (watched[1].revents != 0) {
      *error = "the framework is shutting down";
      return "";
    }
    if (ready <= 0) {
      *error = "no request line within " + std::to_string(SessionIdleLimit()) + " ms";
      return "";
    }
    char buffer[512];
    ssize_t n = recv(client, buffer, std::min(sizeof buffer, kPortLineLimit - line.size()), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "the request line ended without a line feed";
      return "";
    }
    line.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace raf

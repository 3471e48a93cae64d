// The well-known sockets, the listen loop and its call threads, each started when a
// call finds none waiting (a server that is never called has none).
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bsv1.h"
#include "call_routing.h"
#include "datagram.h"
#include "rpc_server.h"
#include "trc1.h"
#include "well_known_sockets.h"

TRC_UNIT();

namespace {

// A request waiting for a call thread.
struct Job {
  int socket;
  sockaddr_in caller;
  rpc::PacketHeader header;
  std::vector<uint8_t> body;
};

// Requests beyond this many waiting per call thread are dropped, as a full socket
// buffer would drop them.
constexpr size_t kWaitingPerCallThread = 16;

struct ServerState {
  std::mutex mutex;
  std::condition_variable jobsReady;
  std::vector<int> sockets;
  std::deque<Job> jobs;
  bool listening = false;
  bool stopping = false;
  size_t idleCallers = 0;  // call threads waiting for a job (or woken for one)
  int wakeRead = -1;
  int wakeWrite = -1;
};

std::atomic<void (*)()> socketOpened{nullptr};

// Never destroyed: a call thread may outlive static destruction at exit.
ServerState& State() {
  static ServerState* state = new ServerState;
  return *state;
}

void SetStatus(rpc__status_t* status, rpc__status_t value) {
  if (status != nullptr) *status = value;
}

// Wakes the listen loop (it then takes up new sockets or stops); under the mutex.
void WakeListener(ServerState& state) {
  if (state.wakeWrite < 0) return;
  const char byte = 1;
  if (write(state.wakeWrite, &byte, 1) < 0 && errno != EAGAIN)
    TRC(TRC_ERROR, "RPC listener not woken, errno %d", errno);
}

void CloseSockets(ServerState& state) {
  for (int socket : state.sockets) close(socket);
  state.sockets.clear();
}

void ServeCalls(ServerState& state) {
  std::unique_lock<std::mutex> hold(state.mutex);
  for (;;) {
    ++state.idleCallers;
    state.jobsReady.wait(hold, [&] { return state.stopping || !state.jobs.empty(); });
    --state.idleCallers;
    // Calls still waiting when the serving ends are not answered.
    if (state.stopping) return;
    Job job = std::move(state.jobs.front());
    state.jobs.pop_front();
    hold.unlock();
    std::vector<uint8_t> answer = rpc::AnswerRequest(job.header, job.body.data(), job.body.size(), job.caller);
    if (!answer.empty() && sendto(job.socket, answer.data(), answer.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&job.caller), sizeof job.caller) < 0)
      TRC(TRC_ERROR, "RPC answer not sent, errno %d", errno);
    hold.lock();
  }
}

// The call threads of one listen: at most its number, each started when a call comes
// that no waiting thread will take.
class CallThreads {
 public:
  CallThreads(ServerState& state, size_t limit) : state_(state), limit_(limit) {}
  size_t limit() const { return limit_; }
  // After a job is queued, under the state's mutex.
  void addWhenNoneWaits() {
    if (state_.jobs.size() > state_.idleCallers && threads_.size() < limit_)
      threads_.emplace_back(ServeCalls, std::ref(state_));
  }
  // Once the serving is stopping.
  void join() {
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  ServerState& state_;
  const size_t limit_;
  std::vector<std::thread> threads_;
};

void Drop(const sockaddr_in& from, size_t length, const char* reason) {
  char sender[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
  TRC(TRC_ERROR, "RPC datagram of %zu bytes from %s[%u] dropped: %s", length, sender, ntohs(from.sin_port), reason);
}

void ReceiveOne(ServerState& state, int socket, uint8_t* buffer, CallThreads& callers) {
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  ssize_t length =
      recvfrom(socket, buffer, rpc::kMaximumDatagram, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (length < 0) return;
  Job job{socket, from, {}, {}};
  const uint8_t* body = nullptr;
  size_t bodyLength = 0;
  const char* reason = rpc::ParseDatagram(buffer, static_cast<size_t>(length), &job.header, &body, &bodyLength);
  if (reason == nullptr && job.header.type != rpc::PacketType::request) reason = "not a request";
  if (reason != nullptr) return Drop(from, static_cast<size_t>(length), reason);
  job.body.assign(body, body + bodyLength);
  std::lock_guard<std::mutex> hold(state.mutex);
  if (state.jobs.size() >= callers.limit() * kWaitingPerCallThread)
    return Drop(from, static_cast<size_t>(length), "every call thread busy");
  state.jobs.push_back(std::move(job));
  state.jobsReady.notify_one();
  callers.addWhenNoneWaits();
}

void ReceiveUntilStopped(ServerState& state, CallThreads& callers) {
  // Not cleared: only what a datagram brings is touched.
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[rpc::kMaximumDatagram]);
  for (;;) {
    std::vector<pollfd> ready;
    {
      std::lock_guard<std::mutex> hold(state.mutex);
      if (state.stopping) return;
      ready.push_back({state.wakeRead, POLLIN, 0});
      for (int socket : state.sockets) ready.push_back({socket, POLLIN, 0});
    }
    if (poll(ready.data(), ready.size(), -1) < 0) continue;
    if (ready[0].revents != 0) {
      char drained[64];
      while (read(state.wakeRead, drained, sizeof drained) > 0) {
      }
    }
    for (size_t i = 1; i < ready.size(); ++i)
      if (ready[i].revents & POLLIN) ReceiveOne(state, ready[i].fd, buffer.get(), callers);
  }
}

}  // namespace

void rpc__use_family_wk(int family, rpc__if_spec_t* ifspec, socket__addr_t* address, int* addressLength,
                        rpc__status_t* status) {
  if (family != socket__family_internet) return SetStatus(status, rpc__s_invalid_family);
  if (ifspec == nullptr || address == nullptr || addressLength == nullptr)
    return SetStatus(status, rpc__s_invalid_argument);
  uint16_t port = ifspec->port[family];
  if (port == 0) return SetStatus(status, rpc__s_invalid_port);
  sockaddr_in bound{};
  bound.sin_family = AF_INET;
  bound.sin_port = htons(port);
  bound.sin_addr.s_addr = htonl(INADDR_ANY);
  if (const char* host = BSV1_GetEnv("ZEV_RPC_SERVER_ADDRESS", 0); host != nullptr && host[0] != '\0') {
    if (inet_pton(AF_INET, host, &bound.sin_addr) != 1) {
      TRC(TRC_ERROR, "RPC server address %s is not a dotted address", host);
      return SetStatus(status, rpc__s_invalid_argument);
    }
  }
  int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return SetStatus(status, rpc__s_socket_failure);
  // No address re-use: a port another socket holds must be refused.
  if (bind(socket, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
    int error = errno;
    close(socket);
    TRC(TRC_DETAIL, "RPC port %u not bound, errno %d", port, error);
    return SetStatus(status, error == EADDRINUSE ? rpc__s_port_in_use : rpc__s_socket_failure);
  }
  socklen_t length = sizeof bound;
  getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length);
  std::memset(address, 0, sizeof *address);
  address->in = bound;
  *addressLength = sizeof bound;
  ServerState& state = State();
  {
    std::lock_guard<std::mutex> hold(state.mutex);
    state.sockets.push_back(socket);
    WakeListener(state);
  }
  if (void (*hook)() = socketOpened.load()) hook();
  SetStatus(status, rpc__s_ok);
}

namespace rpc {

void SetSocketOpenedHook(void (*hook)()) { socketOpened.store(hook); }

bool WellKnownSocketsOpen() {
  ServerState& state = State();
  std::lock_guard<std::mutex> hold(state.mutex);
  return !state.sockets.empty();
}

}  // namespace rpc

void rpc__listen(int maxCalls, rpc__status_t* status) {
  ServerState& state = State();
  int wake[2];
  {
    std::lock_guard<std::mutex> hold(state.mutex);
    if (state.listening) return SetStatus(status, rpc__s_already_listening);
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return SetStatus(status, rpc__s_socket_failure);
    state.listening = true;
    state.stopping = false;
    state.wakeRead = wake[0];
    state.wakeWrite = wake[1];
  }
  CallThreads callers(state, static_cast<size_t>(std::max(maxCalls, 1)));
  ReceiveUntilStopped(state, callers);
  callers.join();

  std::lock_guard<std::mutex> hold(state.mutex);
  state.jobs.clear();
  CloseSockets(state);
  rpc::DropRegistrations();
  close(state.wakeRead);
  close(state.wakeWrite);
  state.wakeRead = state.wakeWrite = -1;
  state.listening = false;
  SetStatus(status, rpc__s_ok);
}

void rpc__shutdown(rpc__status_t* status) {
  ServerState& state = State();
  std::lock_guard<std::mutex> hold(state.mutex);
  if (state.listening) {
    state.stopping = true;
    state.jobsReady.notify_all();
    WakeListener(state);
  } else {
    CloseSockets(state);
    rpc::DropRegistrations();
  }
  SetStatus(status, rpc__s_ok);
}

#include "api_responder.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "free_port.h"
#include "zevpapi/dp_api.h"

namespace {

int BoundLoopbackSocket(unsigned short port) {
  int descriptor = socket(AF_INET, SOCK_DGRAM, 0);
  if (descriptor < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(descriptor);
    return -1;
  }
  return descriptor;
}

}  // namespace

Answer Reply(const std::string& localText) {
  std::string bytes = localText;
  ZEVP_ConvertBufferToNetwork(bytes.data(), static_cast<int>(bytes.size()));
  return {bytes, false};
}

Answer RawReply(const std::string& bytes) { return {bytes, false}; }

ResponderScript Always(std::vector<Answer> answers) {
  return [answers](const ReceivedRequest&) { return answers; };
}

Answer StrangerReply(const std::string& localText) {
  Answer answer = Reply(localText);
  answer.fromStranger = true;
  return answer;
}

ApiResponder::ApiResponder(ResponderScript script) : script_(std::move(script)) {
  port_ = FreeLoopbackPort();
  socket_ = port_ == 0 ? -1 : BoundLoopbackSocket(port_);
  stranger_ = BoundLoopbackSocket(0);
  if (socket_ < 0 || stranger_ < 0 || pipe(wake_) != 0) return;
  thread_ = std::thread([this] { serve(); });
}

ApiResponder::~ApiResponder() {
  if (thread_.joinable()) {
    char stop = 's';
    (void)!write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (int descriptor : {socket_, stranger_, wake_[0], wake_[1]})
    if (descriptor >= 0) close(descriptor);
}

void ApiResponder::pointClientHere() const {
  setenv("ZEVP_API_DPAPI_HOST", "127.0.0.1", 1);
  setenv("ZEVP_API_DPAPI_PORT", std::to_string(port_).c_str(), 1);
}

std::vector<ReceivedRequest> ApiResponder::requests() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

std::vector<ReceivedRequest> ApiResponder::awaitRequests(size_t count, int waitMs) const {
  std::unique_lock<std::mutex> hold(mutex_);
  arrived_.wait_for(hold, std::chrono::milliseconds(waitMs), [&] { return requests_.size() >= count; });
  return requests_;
}

void ApiResponder::serve() {
  for (;;) {
    pollfd waits[] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) continue;
    if (waits[1].revents != 0) return;
    char datagram[65536];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    ssize_t received = recvfrom(socket_, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (received < 0) continue;
    ReceivedRequest request;
    request.bytes.assign(datagram, static_cast<size_t>(received));
    request.text = request.bytes;
    ZEVP_ConvertBufferToLocal(request.text.data(), static_cast<int>(request.text.size()), 0);
    request.senderPort = ntohs(sender.sin_port);
    {
      std::lock_guard<std::mutex> hold(mutex_);
      requests_.push_back(request);
    }
    arrived_.notify_all();
    answer(request, sender);
  }
}

void ApiResponder::answer(const ReceivedRequest& request, const sockaddr_in& sender) {
  for (const Answer& each : script_(request))
    sendto(each.fromStranger ? stranger_ : socket_, each.bytes.data(), each.bytes.size(), 0,
           reinterpret_cast<const sockaddr*>(&sender), sizeof sender);
}

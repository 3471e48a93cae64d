#include "bare_loops.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "loopback_sockets.h"
#include "raw_dch_peer.h"

namespace {

constexpr size_t kRingWaiting = 4;

}  // namespace

BareServer::BareServer(std::string reply, Order order) : reply_(std::move(reply)), order_(order) {
  if (order_ == Order::handedOverWithRowCopy) {
    consumerSocket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in parked = rawdch::LoopbackAddress(0);
    bind(consumerSocket_, reinterpret_cast<sockaddr*>(&parked), sizeof parked);
    consumer_ = std::thread([this] { consume(); });
  }
  if (order_ != Order::direct) replier_ = std::thread([this] { replyInOrder(); });
  thread_ = std::thread([this] { serve(); });
}

BareServer::~BareServer() {
  stopping_ = true;
  {
    std::lock_guard<std::mutex> lock(ringLock_);
    notFull_.notify_all();
    notEmpty_.notify_all();
  }
  thread_.join();
  if (replier_.joinable()) replier_.join();
  if (consumer_.joinable()) {
    wakeConsumer();
    consumer_.join();
    close(consumerSocket_);
  }
}

// One wait on every socket, then one request of each that has one.
void BareServer::serve() {
  sockets_.serve(stopping_, [this] { answerDatagram(); }, [this](int sockFD) { return answerConnection(sockFD); });
}

// Reads one message by its total length word and answers it.
bool BareServer::answerConnection(int sockFD) {
  char message[65536];
  if (!ReadAll(sockFD, message, 4)) return false;
  uint32_t total = ntohl(*reinterpret_cast<uint32_t*>(message));
  if (total < 4 || total > sizeof message || !ReadAll(sockFD, message + 4, total - 4)) return false;
  if (order_ == Order::direct) return SendAll(sockFD, reply_.data(), reply_.size());
  handOver(Request{sockFD, {}, std::string(message, total)});
  return true;
}

// As the DCH's transport thread puts a message into its ring: it waits while four wait.
void BareServer::handOver(Request request) {
  std::unique_lock<std::mutex> lock(ringLock_);
  notFull_.wait(lock, [this] { return ring_.size() < kRingWaiting || stopping_; });
  if (stopping_) return;
  ring_.push_back(std::move(request));
  lock.unlock();
  notEmpty_.notify_one();
}

// As the DCH's request thread: the copy to the parked consumer goes before the reply.
void BareServer::replyInOrder() {
  sockaddr_in parked{};
  socklen_t length = sizeof parked;
  if (consumerSocket_ >= 0) getsockname(consumerSocket_, reinterpret_cast<sockaddr*>(&parked), &length);
  int copies = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  for (;;) {
    std::unique_lock<std::mutex> lock(ringLock_);
    notEmpty_.wait(lock, [this] { return !ring_.empty() || stopping_; });
    if (ring_.empty()) break;
    Request request = std::move(ring_.front());
    ring_.pop_front();
    lock.unlock();
    notFull_.notify_one();
    if (consumerSocket_ >= 0)
      sendto(copies, request.message.data(), request.message.size(), 0, reinterpret_cast<sockaddr*>(&parked),
             sizeof parked);
    if (request.sockFD >= 0)
      SendAll(request.sockFD, reply_.data(), reply_.size());
    else
      sendto(sockets_.datagrams(), reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&request.sender),
             sizeof request.sender);
  }
  close(copies);
}

// As a standing wait for rows takes them: one receive a row.
void BareServer::consume() {
  char datagram[65536];
  while (recv(consumerSocket_, datagram, sizeof datagram, 0) > 0 && !stopping_) copies_.add();
}

void BareServer::wakeConsumer() {
  sockaddr_in parked{};
  socklen_t length = sizeof parked;
  getsockname(consumerSocket_, reinterpret_cast<sockaddr*>(&parked), &length);
  int waker = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sendto(waker, "end", 3, 0, reinterpret_cast<sockaddr*>(&parked), sizeof parked);
  close(waker);
}

void BareServer::answerDatagram() {
  char datagram[65536];
  sockaddr_in sender{};
  socklen_t length = sizeof sender;
  ssize_t got = recvfrom(sockets_.datagrams(), datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), &length);
  if (got <= 0) return;
  if (order_ == Order::direct)
    sendto(sockets_.datagrams(), reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&sender), length);
  else
    handOver(Request{-1, sender, std::string(datagram, static_cast<size_t>(got))});
}

BareClient::BareClient(unsigned short port, bool tcp)
    : sockFD_(socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0)), tcp_(tcp) {
  sockaddr_in server = rawdch::LoopbackAddress(port);
  if (tcp) NoDelay(sockFD_);
  connect(sockFD_, reinterpret_cast<sockaddr*>(&server), sizeof server);
}

BareClient::~BareClient() { close(sockFD_); }

std::string BareClient::exchange(const std::string& request, size_t replySize) {
  std::string reply(replySize, '\0');
  if (tcp_) {
    if (!SendAll(sockFD_, request.data(), request.size()) || !ReadAll(sockFD_, &reply[0], replySize)) return {};
    return reply;
  }
  if (send(sockFD_, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size()) ||
      recv(sockFD_, &reply[0], replySize, 0) != static_cast<ssize_t>(replySize))
    return {};
  return reply;
}

BareProviderLink::BareProviderLink(unsigned short port) : sockFD_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in server = rawdch::LoopbackAddress(port);
  NoDelay(sockFD_);
  connect(sockFD_, reinterpret_cast<sockaddr*>(&server), sizeof server);
  client_ = std::thread([this] { sendRequests(); });
  receiver_ = std::thread([this] { receiveReplies(); });
}

BareProviderLink::~BareProviderLink() {
  stopping_ = true;
  {
    std::lock_guard<std::mutex> lock(workLock_);
    workCame_.notify_all();
  }
  shutdown(sockFD_, SHUT_RDWR);  // ends the receiver's read
  client_.join();
  receiver_.join();
  close(sockFD_);
}

bool BareProviderLink::exchange(const std::string& request, size_t replySize) {
  if (failed_) return false;
  replySize_ = replySize;
  std::unique_lock<std::mutex> caller(callerLock_);
  done_ = false;
  {
    std::lock_guard<std::mutex> work(workLock_);
    request_ = &request;
  }
  workCame_.notify_one();
  callerWakes_.wait(caller, [this] { return done_; });
  return !failed_;
}

// One request at a time: sent, its reply awaited, its caller woken.
void BareProviderLink::sendRequests() {
  for (;;) {
    const std::string* request;
    {
      std::unique_lock<std::mutex> work(workLock_);
      workCame_.wait(work, [this] { return request_ != nullptr || stopping_; });
      if (stopping_) break;
      request = request_;
      request_ = nullptr;
    }
    {
      std::unique_lock<std::mutex> status(statusLock_);
      replied_ = false;
      if (SendAll(sockFD_, request->data(), request->size()))
        replyCame_.wait(status, [this] { return replied_ || failed_ || stopping_; });
      else
        failed_ = true;
    }
    std::lock_guard<std::mutex> caller(callerLock_);
    done_ = true;
    callerWakes_.notify_one();
  }
  failed_ = true;
  std::lock_guard<std::mutex> caller(callerLock_);
  done_ = true;
  callerWakes_.notify_all();
}

// A reply comes whole in one piece on loopback; anything else ends the link.
void BareProviderLink::receiveReplies() {
  char reply[65536];
  for (;;) {
    ssize_t got = recv(sockFD_, reply, sizeof reply, 0);
    std::lock_guard<std::mutex> status(statusLock_);
    if (got <= 0 || static_cast<size_t>(got) != replySize_) failed_ = true;
    replied_ = true;
    replyCame_.notify_one();
    if (failed_) return;
  }
}

std::string FramedForBareServer(const std::string& bytes) {
  uint32_t length = static_cast<uint32_t>(bytes.size() + 4);
  std::string framed = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                        static_cast<char>(length >> 8), static_cast<char>(length)};
  return framed + bytes;
}

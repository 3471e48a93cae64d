#include "test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "free_port.h"

namespace {

constexpr size_t kLongestHead = 65536;
constexpr int kLookMs = 50;
constexpr int kHeadWaitMs = 5000;

// The request head, up to its empty line; empty when none came.
std::string ReadHead(int connection) {
  std::string head;
  char buffer[4096];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHeadWaitMs);
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kLongestHead &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd ready{connection, POLLIN, 0};
    if (poll(&ready, 1, kLookMs) <= 0) continue;
    ssize_t got = recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    head.append(buffer, static_cast<size_t>(got));
  }
  return head;
}

HTTPrequest ParseHead(const std::string& head) {
  HTTPrequest request;
  std::istringstream lines(head);
  std::string line;
  std::getline(lines, line);
  std::istringstream first(line);
  first >> request.method >> request.target >> request.version;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (line.empty() || colon == std::string::npos) continue;
    size_t value = line.find_first_not_of(' ', colon + 1);
    request.headers.emplace_back(line.substr(0, colon), value == std::string::npos ? "" : line.substr(value));
  }
  return request;
}

bool SendAll(int connection, const char* data, size_t size) {
  while (size > 0) {
    ssize_t sent = send(connection, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

std::string HTTPrequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  return "";
}

HTTPanswer Page(int code, const std::string& reason, const std::string& body, const std::vector<std::string>& headers,
                const std::string& version) {
  std::string bytes = version + " " + std::to_string(code) + " " + reason + "\r\n";
  for (const std::string& header : headers) bytes += header + "\r\n";
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  return HTTPanswer{bytes};
}

TestHTTPServer::TestHTTPServer(Handler handler, unsigned short port) : handler_(std::move(handler)) {
  port_ = port != 0 ? port : FreeLoopbackPort();
  // Not inherited: a child the test starts must not keep the port listening.
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int reuse = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  if (port_ == 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 64) != 0) {
    close(listener_);
    listener_ = -1;
    return;
  }
  acceptor_ = std::thread(&TestHTTPServer::acceptLoop, this);
}

TestHTTPServer::~TestHTTPServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& connection : connections_) connection.join();
  if (listener_ >= 0) close(listener_);
}

std::string TestHTTPServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<HTTPrequest> TestHTTPServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TestHTTPServer::acceptLoop() {
  while (!stopping_) {
    pollfd ready{listener_, POLLIN, 0};
    if (poll(&ready, 1, kLookMs) <= 0) continue;
    int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back(&TestHTTPServer::serve, this, connection);
  }
}

bool TestHTTPServer::waitUnlessStopped(int delayMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopped_.wait_for(lock, std::chrono::milliseconds(delayMs), [this] { return stopping_.load(); });
}

void TestHTTPServer::serve(int connection) {
  std::string head = ReadHead(connection);
  if (!head.empty()) {
    HTTPrequest request = ParseHead(head);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    HTTPanswer answer = handler_(request);
    if (waitUnlessStopped(answer.delayMs) && SendAll(connection, answer.bytes.data(), answer.bytes.size())) {
      const std::string filler(65536, 'x');
      for (size_t left = answer.fillerBytes; left > 0 && !stopping_;) {
        size_t chunk = std::min(left, filler.size());
        if (!SendAll(connection, filler.data(), chunk)) break;
        left -= chunk;
      }
    }
  }
  shutdown(connection, SHUT_RDWR);
  close(connection);
}

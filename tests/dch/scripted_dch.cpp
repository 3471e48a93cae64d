#include "scripted_dch.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "dch_message_parser.h"
#include "dch_messages.h"
#include "sock_test_support.h"

namespace {

constexpr int kPollMs = 20;
constexpr size_t kLargestDatagram = 65536;

}  // namespace

ScriptedDCH::ScriptedDCH(unsigned short port) : sockFD_(OpenLoopbackUdp(port)) {
  if (serving()) thread_ = std::thread([this] { serve(); });
}

ScriptedDCH::~ScriptedDCH() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  if (thread_.joinable()) thread_.join();
  if (serving()) close(sockFD_);
}

void ScriptedDCH::reset() {
  std::lock_guard<std::mutex> guard(lock_);
  answers_.clear();
  requests_.clear();
}

void ScriptedDCH::answer(std::vector<std::string> datagrams, bool held) {
  std::lock_guard<std::mutex> guard(lock_);
  answers_.push_back(Answer{std::move(datagrams), held});
}

bool ScriptedDCH::awaitRequests(size_t count, int waitMs) {
  std::unique_lock<std::mutex> guard(lock_);
  return arrived_.wait_for(guard, std::chrono::milliseconds(waitMs), [&] { return requests_.size() >= count; });
}

size_t ScriptedDCH::requestCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_.size();
}

std::string ScriptedDCH::request(size_t index) {
  std::lock_guard<std::mutex> guard(lock_);
  return index < requests_.size() ? requests_[index].bytes : std::string();
}

unsigned short ScriptedDCH::senderPort(size_t index) {
  std::lock_guard<std::mutex> guard(lock_);
  return index < requests_.size() ? ntohs(requests_[index].sender.sin_port) : 0;
}

void ScriptedDCH::release(size_t index) {
  std::lock_guard<std::mutex> guard(lock_);
  if (index < requests_.size()) send(requests_[index].heldAnswer, requests_[index].sender);
}

void ScriptedDCH::sendTo(size_t index, const std::string& datagram) {
  std::lock_guard<std::mutex> guard(lock_);
  if (index < requests_.size()) send({datagram}, requests_[index].sender);
}

void ScriptedDCH::send(const std::vector<std::string>& datagrams, const sockaddr_in& to) {
  for (const std::string& datagram : datagrams)
    sendto(sockFD_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void ScriptedDCH::serve() {
  std::string datagram(kLargestDatagram, '\0');
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (stopping_) return;
    }
    pollfd watched{sockFD_, POLLIN, 0};
    if (poll(&watched, 1, kPollMs) != 1) continue;
    Request request;
    socklen_t senderLength = sizeof request.sender;
    ssize_t bytes = recvfrom(sockFD_, &datagram[0], datagram.size(), 0, reinterpret_cast<sockaddr*>(&request.sender),
                             &senderLength);
    if (bytes < 0) continue;
    request.bytes.assign(datagram, 0, static_cast<size_t>(bytes));
    std::lock_guard<std::mutex> guard(lock_);
    if (!answers_.empty()) {
      Answer answer = std::move(answers_.front());
      answers_.pop_front();
      if (answer.held)
        request.heldAnswer = std::move(answer.datagrams);
      else
        send(answer.datagrams, request.sender);
    }
    requests_.push_back(std::move(request));
    arrived_.notify_all();
  }
}

ScriptedDCH& TheScriptedDCH(int poolSockets) {
  static ScriptedDCH server(UseLoopbackDCH(poolSockets));
  return server;
}

std::string StatusReply(int32_t status) {
  return Built([&](char* buffer, size_t capacity) { return DCH_BuildStatusReply(buffer, capacity, status); });
}

std::string StatusReplyWithHandle(int32_t status, uint32_t handle) {
  return Built(
      [&](char* buffer, size_t capacity) { return DCH_BuildStatusReplyWithHandle(buffer, capacity, status, handle); });
}

std::string Response(const std::string& text) {
  return Built([&](char* buffer, size_t capacity) {
    return DCH_BuildResponse(buffer, capacity, text.data(), static_cast<uint32_t>(text.size()));
  });
}

std::string StatusNotice(const char* applName, const char* attrGroup, const char* sourceName, uint16_t requestCode) {
  return Built([&](char* buffer, size_t capacity) {
    return DCH_BuildStatusNotice(buffer, capacity, applName, attrGroup, sourceName, requestCode);
  });
}

std::string InterruptMessage() {
  return Built([](char* buffer, size_t capacity) { return DCH_BuildInterrupt(buffer, capacity); });
}

std::string RowMessage(const char* sourceName, const std::vector<std::string>& values) {
  return Built([&](char* buffer, size_t capacity) -> uint32_t {
    DCHmessageBuilder row(buffer, capacity);
    bool built = DCH_AddRowHead(row, sourceName, DCH_SingleRow);
    for (const std::string& value : values)
      built = built && DCH_AddRowValue(row, value.data(), static_cast<uint32_t>(value.size()));
    return built ? row.length() : 0;
  });
}

uint16_t RequestCode(const std::string& request) {
  uint16_t code = 0;
  return DCH_PeekFirstField(request.data(), request.size(), &code) == DCH_requestType ? code : 0;
}

std::vector<std::string> Datagrams(const std::string& message, size_t pieceSize) {
  std::vector<std::string> datagrams;
  for (size_t at = 0; at < message.size(); at += pieceSize) datagrams.push_back(message.substr(at, pieceSize));
  return datagrams;
}

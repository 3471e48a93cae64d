// A data provider whose agent is a raw peer of the test: every request is answered
// 0, and the peer sends action messages no agent of ours would build.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "free_port.h"
#include "loopback_engine.h"
#include "raw_action_requests.h"
#include "raw_dch_peer.h"
#include "running_provider.h"
#include "scratch_directory.h"
#include "zev/dp_types.h"

namespace {

using namespace rawdch;

// The agent's place on a loopback port: takes one connection, answers each request
// with status 0 (an online also with a handle) and keeps the action results.
class RawAgent {
 public:
  RawAgent() : port_(FreeLoopbackPort()) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = LoopbackAddress(port_);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    thread_ = std::thread([this] { serve(); });
  }
  ~RawAgent() {
    stopping_ = true;
    thread_.join();
    close(listener_);
  }
  unsigned short port() const { return port_; }

  // Once the data provider waits for actions: sends the message on its connection.
  bool sendWhenParked(const std::string& message) {
    for (int look = 0; look < 5000 && !parked_; ++look) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::lock_guard<std::mutex> lock(mutex_);
    return parked_ && ::send(connection_, message.data(), message.size(), MSG_NOSIGNAL) ==
                          static_cast<ssize_t>(message.size());
  }
  // The action results (0x1050) received so far, in order.
  std::vector<std::string> results() {
    std::lock_guard<std::mutex> lock(mutex_);
    return results_;
  }

 private:
  bool readExactly(char* bytes, size_t count) {
    size_t got = 0;
    while (got < count && !stopping_) {
      pollfd readable{connection_, POLLIN, 0};
      if (poll(&readable, 1, 20) != 1) continue;
      ssize_t n = recv(connection_, bytes + got, count - got, 0);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    return got == count;
  }

  void serve() {
    while (!stopping_ && connection_ < 0) {
      pollfd acceptable{listener_, POLLIN, 0};
      if (poll(&acceptable, 1, 20) == 1) connection_ = accept(listener_, nullptr, nullptr);
    }
    char head[4];
    while (!stopping_ && readExactly(head, 4)) {
      uint32_t length = Big32(std::string(head, 4), 0);
      if (length < 12 || length > 65536) break;
      std::string message(head, 4);
      message.resize(length);
      if (!readExactly(&message[4], length - 4)) break;
      uint16_t code = Big16(message, 10);
      Message reply;
      reply.u32(kStatus, 0);
      if (code == kOnline) reply.u32(kHandle, 9);
      std::lock_guard<std::mutex> lock(mutex_);
      if (code == kActionResults) results_.push_back(message);
      ::send(connection_, reply.bytes().data(), reply.bytes().size(), MSG_NOSIGNAL);
      if (code == kWaitForAction) parked_ = true;
    }
    if (connection_ >= 0) close(connection_);
  }

  unsigned short port_;
  int listener_ = -1;
  int connection_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> parked_{false};
  std::mutex mutex_;
  std::vector<std::string> results_;
  std::thread thread_;
};

TEST(RawAgentActionTest, AnActionMessageWithoutARequiredFieldIsAnsweredProtoError) {
  UseLoopbackDCHhost();
  RawAgent agent;
  setenv("ZEVA_DCH_PORT", std::to_string(agent.port()).c_str(), 1);
  HeldClock clock;
  ScratchDirectory metafiles("zev_raw_agent");
  RunningDataProvider provider(ZEV_DP_FILE, metafiles.path());

  // Every field but the owner: four of the five counted.
  Message action = Message::Request(kProvideAction);
  action.u16(kActionType, 1).text(kSourceName, "localhost:ACTSGRP00").text(kActionName, "printf").u32(kActionID, 77);
  ASSERT_TRUE(agent.sendWhenParked(action.bytes()));

  std::vector<std::string> results;
  for (int look = 0; look < 5000 && (results = agent.results()).empty(); ++look)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(Big16(results[0], 10), kActionResults);
  std::vector<Field> fields;
  ASSERT_TRUE(SplitFields(results[0], &fields));
  ASSERT_EQ(fields.size(), 3u) << "the status form";
  EXPECT_EQ(Big32(fields[1].value, 0), 77u);
  EXPECT_EQ(Big32(fields[2].value, 0), 3u) << "PROTO_ERROR";
  provider.stop();
}

}  // namespace

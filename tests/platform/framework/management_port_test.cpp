#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "free_port.h"
#include "silent_listener.h"
#include "tool_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadyWaitMs = 10000;
constexpr int kAnswerWaitMs = 10000;

// zevrafhost on a free loopback port: the demo table (Node_Name, Job_Name, Count and
// DV3), subnodes host1 and host2 online and gone offline, the demo command callback.
class RafHost {
 public:
  explicit RafHost(int idleMs = 10000, const std::string& portSetting = "")
      : port_(FreeLoopbackPort()), host_("zevrafhost") {
    std::string setting = portSetting.empty() ? "ZEVA_RAF_PORT=" + std::to_string(port_) : portSetting;
    started_ = host_.start({"--idle-ms", std::to_string(idleMs)}, {setting, "ZEV_TRACE=*=0x80"});
    if (started_) readyLine_ = host_.readLine(kReadyWaitMs);
  }
  ~RafHost() {
    host_.closeInput();
    EXPECT_NE(host_.waitForEnd(kAnswerWaitMs), -1) << "the host did not end";
    EXPECT_EQ(host_.errorText().find("Sanitizer"), std::string::npos) << host_.errorText();
  }

  bool ready() const { return started_ && readyLine_ == "ready " + std::to_string(port_); }
  const std::string& readyLine() const { return readyLine_; }
  int port() const { return port_; }
  std::string errorText() const { return host_.errorText(); }

  // zevraf with -p this port.
  ToolRun zevraf(const std::vector<std::string>& arguments) const {
    std::vector<std::string> words = {"-p", std::to_string(port_)};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return RunTool("zevraf", words);
  }

 private:
  int port_;
  ToolProcess host_;
  bool started_ = false;
  std::string readyLine_;
};

// A client of the port that speaks the line protocol by hand.
class RawClient {
 public:
  explicit RawClient(int port) : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { close(socket_); }

  bool connected() const { return connected_; }
  void send(const std::string& text) { ::send(socket_, text.data(), text.size(), MSG_NOSIGNAL); }
  // True when some answer has come (without waiting).
  bool answered() {
    pollfd readable{socket_, POLLIN, 0};
    return poll(&readable, 1, 0) == 1;
  }
  // All the port says until it closes the connection.
  std::string answer(int waitMs = kAnswerWaitMs) {
    std::string text;
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd readable{socket_, POLLIN, 0};
      if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) != 1) return text + "<no end>";
      char buffer[1024];
      ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
      if (n <= 0) return text;
      text.append(buffer, static_cast<size_t>(n));
    }
  }

 private:
  int socket_;
  bool connected_ = false;
};

const char kTables[] = "DEMOAPP\tDEM0000100\n";

// The host is served while a client of the port is still busy: fast, and exactly.
void expectServedAtOnce(const RafHost& host) {
  auto start = Clock::now();
  ToolRun run = host.zevraf({"tables"});
  EXPECT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_EQ(run.output, kTables);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << "served only after the other client";
}

TEST(ManagementPortTest, ZevrafPrintsSubnodesTablesSamplesAndActionResults) {
  RafHost host;
  ASSERT_TRUE(host.ready()) << host.readyLine() << host.errorText();
  struct Case {
    std::vector<std::string> arguments;
    std::string output;
  } cases[] = {
      {{"subnodes"},
       "host1:DEMOAPP00\tAFFINITY1\tDEMOAPP\t03.00.00\n"
       "host2:DEMOAPP00\tAFFINITY2\tDEMOAPP\t03.01.00\n"},
      {{"tables"}, kTables},
      {{"sample", "DEMOAPP", "DEM0000100"},
       "Node_Name\tJob_Name\tCount\tDV3\n"
       "host1:DEMOAPP00\tbackup nightly\t42\t-7\n"
       "host1:DEMOAPP00\t\t0\t0\n"
       "host2:DEMOAPP00\tline feed\t-2147483648\t32767\n"},
      {{"sample", "DEMOAPP", "DEM0000100", "host2:DEMOAPP00"},
       "Node_Name\tJob_Name\tCount\tDV3\n"
       "host2:DEMOAPP00\tline feed\t-2147483648\t32767\n"},
      // Equality predicates: every one must hold (the second row has an empty job).
      {{"sample", "-w", "DV2=42", "DEMOAPP", "DEM0000100"},
       "Node_Name\tJob_Name\tCount\tDV3\n"
       "host1:DEMOAPP00\tbackup nightly\t42\t-7\n"},
      {{"sample", "-w", "ORIGINNODE=host1:DEMOAPP00", "-w", "DV1=", "DEMOAPP", "DEM0000100"},
       "Node_Name\tJob_Name\tCount\tDV3\n"
       "host1:DEMOAPP00\t\t0\t0\n"},
      {{"action", "host1:DEMOAPP00", "RESULT", "5", "now"}, "5\n"},
      {{"action", "host2:DEMOAPP00", "LOG\tdisk full"}, "0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    ToolRun run = host.zevraf(c.arguments);
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.output, c.output);
  }
}

TEST(ManagementPortTest, ZevrafExitStatusTellsErrorUsageAndSilence) {
  RafHost host;
  ASSERT_TRUE(host.ready()) << host.readyLine();
  struct Case {
    std::vector<std::string> arguments;
    int exitStatus;
    std::string error;
  } cases[] = {
      {{"sample", "DEMOAPP", "NOSUCHTBL0"}, 1, "zevraf: unknown table <DEMOAPP> <NOSUCHTBL0>\n"},
      {{"sample", "DEMOAPP", "DEM0000100", "gone:DEMOAPP00"}, 1, "zevraf: unknown subnode <gone:DEMOAPP00>\n"},
      {{"action", "nohost", "RESULT 1"}, 1, "zevraf: unknown subnode <nohost>\n"},
      {{}, 2, "zevraf: no request\n"},
      {{"bogus"}, 2, "zevraf: unknown request or wrong arguments\n"},
      {{"sample", "DEMOAPP"}, 2, "zevraf: unknown request or wrong arguments\n"},
      {{"sample", "-w", "DV2=1", "DEMOAPP"}, 2, "zevraf: unknown request or wrong arguments\n"},
      {{"sample", "-w", "DV2", "DEMOAPP", "DEM0000100"}, 1,
       "zevraf: usage: sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]\n"},
      {{"action", "host1:DEMOAPP00"}, 2, "zevraf: unknown request or wrong arguments\n"},
      {{"tables", "extra"}, 2, "zevraf: unknown request or wrong arguments\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
    ToolRun run = host.zevraf(c.arguments);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors.substr(0, c.error.size()), c.error);
  }
  for (const char* port : {"0", "65536", "12ab", ""}) {
    SCOPED_TRACE(port);
    EXPECT_EQ(RunTool("zevraf", {"-p", port, "tables"}).exitStatus, 2);
  }
  EXPECT_EQ(RunTool("zevraf", {"tables"}, {"ZEVA_RAF_PORT=x"}).exitStatus, 2);
  ToolRun byVariable = RunTool("zevraf", {"tables"}, {"ZEVA_RAF_PORT=" + std::to_string(host.port())});
  EXPECT_EQ(byVariable.output, kTables);
  ToolRun silence = RunTool("zevraf", {"-p", std::to_string(FreeLoopbackPort()), "tables"});
  EXPECT_EQ(silence.exitStatus, 3);
  EXPECT_NE(silence.errors.find("zevraf: nobody answers on 127.0.0.1 port"), std::string::npos);
}

TEST(ManagementPortTest, BadRequestLinesGetOneErrorLineWhileOthersAreServed) {
  RafHost host;
  ASSERT_TRUE(host.ready()) << host.readyLine();
  RawClient quiet(host.port());
  ASSERT_TRUE(quiet.connected());
  struct Case {
    std::string sent;
    std::string answer;
  } cases[] = {
      {"bogus\n", "ERROR\tunknown request <bogus>\n"},
      {"\n", "ERROR\tunknown request <>\n"},
      {"sample\tDEMOAPP\n", "ERROR\tusage: sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]\n"},
      {"sample\tDEMOAPP\t\n", "ERROR\tusage: sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]\n"},
      {"sample\t-w\tDEMOAPP\tDEM0000100\n", "ERROR\tusage: sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]\n"},
      {"sample\t-w\t=5\tDEMOAPP\tDEM0000100\n", "ERROR\tusage: sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]\n"},
      {"sample\tDEMOAPP\tDEM0000100\t-w\tDV2=0\n", "ERROR\tusage: sample [-w COLUMN=VALUE]... APPL TABLE [SUBNODE]\n"},
      {"action\thost1:DEMOAPP00\tRESULT 2\r\n", "OK\t1\n2\n"},
      {std::string(5000, 'x'), "ERROR\trequest line longer than 4095 characters\n"},
      {std::string(4095, 'x') + "\n", "ERROR\tunknown request <" + std::string(4095, 'x') + ">\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent.substr(0, 20));
    RawClient client(host.port());
    ASSERT_TRUE(client.connected());
    client.send(c.sent);
    EXPECT_EQ(client.answer(), c.answer);
  }
  expectServedAtOnce(host);
  EXPECT_FALSE(quiet.answered()) << "the quiet client is still waited for";
}

TEST(ManagementPortTest, AClientThatSaysNothingIsAnsweredAfterTheIdleLimit) {
  RafHost host(300);
  ASSERT_TRUE(host.ready()) << host.readyLine();
  RawClient quiet(host.port());
  ASSERT_TRUE(quiet.connected());
  quiet.send("tab");  // no line feed
  EXPECT_EQ(quiet.answer(), "ERROR\tno request line within 300 ms\n");
}

TEST(ManagementPortTest, ClientsBeyondThoseServedAtOnceAreTurnedAway) {
  RafHost host;
  ASSERT_TRUE(host.ready()) << host.readyLine();
  std::vector<std::unique_ptr<RawClient>> served;
  for (int i = 0; i < 4; ++i) {
    served.push_back(std::make_unique<RawClient>(host.port()));
    ASSERT_TRUE(served.back()->connected());
  }
  RawClient turnedAway(host.port());
  EXPECT_EQ(turnedAway.answer(), "ERROR\tbusy: 4 clients are served at once\n");
  ToolRun busy = host.zevraf({"tables"});
  EXPECT_EQ(busy.exitStatus, 1);
  EXPECT_EQ(busy.errors, "zevraf: busy: 4 clients are served at once\n");
  served.back()->send("tables\n");
  EXPECT_EQ(served.back()->answer(), std::string("OK\t1\n") + kTables);
  served.clear();
  ToolRun later = host.zevraf({"tables"});
  for (int attempt = 0; attempt < 50 && later.exitStatus != 0; ++attempt) {
    usleep(20000);  // the sessions of the closed clients end on their own threads
    later = host.zevraf({"tables"});
  }
  EXPECT_EQ(later.output, kTables);
}

TEST(ManagementPortTest, ABadOrTakenPortLeavesTheFrameworkRunningWithoutIt) {
  {
    RafHost host(10000, "ZEVA_RAF_PORT=19x");
    EXPECT_EQ(host.readyLine(), "ready 0");
    EXPECT_NE(host.errorText().find("ZEVA_RAF_PORT <19x> does not name a port (1 to 65535)"), std::string::npos)
        << host.errorText();
  }
  SilentListener taken;
  ASSERT_TRUE(taken.listening());
  const unsigned short port = taken.port();
  {
    RafHost host(10000, "ZEVA_RAF_PORT=" + std::to_string(port));
    EXPECT_EQ(host.readyLine(), "ready 0");
    EXPECT_NE(host.errorText().find("cannot listen on 127.0.0.1 port " + std::to_string(port)), std::string::npos)
        << host.errorText();
  }
}

}  // namespace

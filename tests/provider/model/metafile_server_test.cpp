// The metafile server and its client on loopback: two data providers of this
// process, one serving the metafiles of its directory and one fetching what it
// lacks; and each of them against a raw TCP peer that checks the bytes, answers
// in pieces, goes away, or stops reading.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "accepted_registrations.h"
#include "application_entry.h"
#include "data_provider_run.h"
#include "dp_anchor.h"
#include "dp_log_recorder.h"
#include "free_port.h"
#include "metafile_fixture.h"
#include "metafile_hand_over.h"
#include "metafile_io.h"
#include "metafile_server_task.h"
#include "model_dump.h"
#include "process_entry.h"
#include "run_in_child.h"
#include "shutdown_request.h"
#include "stdout_capture.h"
#include "trace_capture.h"
#include "zev0/codepage.h"
#include "zev0/hostnames.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kWaitMs = 5000;
const std::vector<std::string> kBody = {"//APPL Rem", "//NAME Grp E", "//ATTRIBUTES", "A1 G"};

std::string InNetworkCode(std::string text) {
  ZEV0_ConvertDataToNetwork(text.data(), static_cast<int32_t>(text.size()));
  return text;
}

std::string InLocalCode(std::string text) {
  ZEV0_ConvertDataToLocal(text.data(), static_cast<int32_t>(text.size()));
  return text;
}

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Bytes that come on the socket within the time, until `wanted` have come or the
// peer closes; all of them.
std::string ReceiveUpTo(int socket, size_t wanted, int waitMs) {
  std::string bytes;
  auto deadline = steady_clock::now() + milliseconds(waitMs);
  while (bytes.size() < wanted) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    pollfd watched{socket, POLLIN, 0};
    if (left <= 0 || poll(&watched, 1, static_cast<int>(left)) <= 0) break;
    char piece[4096];
    ssize_t received = recv(socket, piece, std::min(sizeof piece, wanted - bytes.size()), 0);
    if (received <= 0) break;
    bytes.append(piece, static_cast<size_t>(received));
  }
  return bytes;
}

// A metafile server written by hand: it listens on the port and talks raw bytes.
class RawMetafileServer {
 public:
  explicit RawMetafileServer(unsigned short port) : listen_(socket(AF_INET, SOCK_STREAM, 0)) {
    int on = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(port);
    EXPECT_EQ(bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listen_, 4), 0);
  }
  ~RawMetafileServer() {
    closeConnection();
    close(listen_);
  }
  // Takes the next connection.
  bool accept(int waitMs) {
    closeConnection();
    pollfd watched{listen_, POLLIN, 0};
    if (poll(&watched, 1, waitMs) <= 0) return false;
    connection_ = ::accept(listen_, nullptr, nullptr);
    return connection_ >= 0;
  }
  // The bytes of one request, as they came.
  std::string request(size_t length) { return ReceiveUpTo(connection_, length, kWaitMs); }
  // Sends the text in the network code, in pieces with a pause after each.
  void reply(const std::vector<std::string>& pieces, int pauseMs = 0) {
    for (const std::string& piece : pieces) {
      std::string bytes = InNetworkCode(piece);
      EXPECT_EQ(send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
      std::this_thread::sleep_for(milliseconds(pauseMs));
    }
  }
  void closeConnection() {
    if (connection_ >= 0) close(connection_);
    connection_ = -1;
  }

 private:
  int listen_;
  int connection_ = -1;
};

// A data provider asking the real server by hand.
class RawMetafileClient {
 public:
  explicit RawMetafileClient(unsigned short port, int receiveBuffer = 0) : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
    if (receiveBuffer > 0) setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address = Loopback(port);
    EXPECT_EQ(connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~RawMetafileClient() { close(socket_); }
  void ask(const std::string& request) {
    std::string bytes = InNetworkCode(request);
    EXPECT_EQ(send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  std::string reply(size_t length, int waitMs = kWaitMs) { return InLocalCode(ReceiveUpTo(socket_, length, waitMs)); }

 private:
  int socket_;
};

class MetafileServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every socket of the engine binds the address of this name: loopback.
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    ZEV0_LocalHostNameString();
    port_ = FreeLoopbackPort();
    ASSERT_NE(port_, 0);
    setenv("ZEVP_META_SERVER_PORT", std::to_string(port_).c_str(), 1);
    setenv("ZEVP_META_IO_WAIT", "2", 1);
  }

  // The task as the data provider's environment starts it; true when it reported a good start.
  static bool StartTask(DPAB* anchor, const char* serverHost) {
    ProcessEntry* entry = nullptr;
    if (ZEVP_CreateProcess(anchor, -1, const_cast<char*>(serverHost), ZEVP_MetaServerTask, 1, &entry) != 1)
      return false;
    return ZEVP_AwaitProcessStart(entry) == 0;
  }
  static bool Listening(DPAB* anchor) {
    return WaitUntil([anchor] { return anchor->metaServerListening.load() == 1; });
  }

  // The records of a fetched metafile, read whole.
  static std::vector<std::string> Fetch(DPAB* anchor, const char* name, size_t keep = SIZE_MAX) {
    std::vector<std::string> records;
    void* metafile = ZEVP_OpenMetaFile(anchor, name, 0);
    if (metafile == nullptr) return {"<none>"};
    char record[256];
    while (records.size() < keep && ZEVP_ReadMetaFile(anchor, metafile, record, sizeof record) != nullptr)
      records.push_back(record);
    EXPECT_EQ(ZEVP_CloseMetaFile(anchor, metafile), 0);
    return records;
  }

  // A client data provider connected to a raw server on the port, named by its
  // address so that it does not take the port itself.
  void connectToRawServer() {
    raw_ = std::make_unique<RawMetafileServer>(port_);
    client_ = std::make_unique<MetafileFixture>();
    ASSERT_TRUE(StartTask(client_->anchor(), "127.0.0.1"));
    ASSERT_TRUE(raw_->accept(kWaitMs));
    ASSERT_EQ(log_.waitFor(48).number, 48);
  }
  void TearDown() override {
    client_.reset();
    raw_.reset();
  }

  // Declared first: the clock outlives the data providers, whose shut-down waits with it.
  ScaledClock clock_;
  DPlogRecorder log_;
  unsigned short port_ = 0;
  std::unique_ptr<RawMetafileServer> raw_;
  std::unique_ptr<MetafileFixture> client_;
};

TEST_F(MetafileServerTest, ASecondDataProviderFindsThePortTakenAndFetchesWhatOnlyTheServerHas) {
  MetafileFixture server;
  server.write("remote.mdl", kBody);
  ASSERT_TRUE(StartTask(server.anchor(), "localhost"));
  ASSERT_TRUE(Listening(server.anchor()));
  EXPECT_EQ(ZEVP_IsMetaServerActive('I'), 1);

  MetafileFixture client;
  ASSERT_TRUE(StartTask(client.anchor(), "localhost"));
  EXPECT_EQ(log_.waitFor(48), (DPlogMessage{48, {"localhost"}, true}));
  EXPECT_EQ(client.anchor()->metaServerListening.load(), 0) << "the second is a client";

  AcceptedRegistrations registrations;
  MetafileFixture::Parse parse = client.parse("remote.mdl", 0);
  EXPECT_TRUE(parse.output.empty());
  EXPECT_EQ(DumpModel(parse.application),
            (std::vector<std::string>{"APPL Rem", "  GROUP Grp E ttl=0 sources=1 attrs=1/1",
                                      "    SOURCE B node=localhost delim=' '", "      ATTR A1 G 4/2147483647"}));
  EXPECT_EQ(log_.waitFor(44), (DPlogMessage{44, {"remote.mdl", "4", "localhost"}, true}));
  DPlogMessage accepted = log_.waitFor(40);
  ASSERT_EQ(accepted.inserts.size(), 3u);
  EXPECT_EQ(accepted.inserts[0], "localhost");
  EXPECT_EQ(accepted.inserts[1], "127.0.0.1");
  EXPECT_EQ(log_.waitFor(42), (DPlogMessage{42, {"localhost", "remote.mdl"}, true}));
  for (const DPlogMessage& message : log_.messages()) EXPECT_TRUE(message.anchorGiven) << message.number;
}

// Descriptors above 1023 are served like any other.
TEST_F(MetafileServerTest, ServerAndClientWorkOnDescriptorsAbove1023) {
  RunInChild([this] {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max < 1200) GTEST_SKIP() << "no room for descriptors above 1023";
    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    std::vector<int> taken;
    while (taken.empty() || (taken.back() >= 0 && taken.back() < 1100)) taken.push_back(dup(STDERR_FILENO));
    ASSERT_GE(taken.back(), 1100);
    MetafileFixture server;
    server.write("remote.mdl", kBody);
    ASSERT_TRUE(StartTask(server.anchor(), "localhost"));
    ASSERT_TRUE(Listening(server.anchor()));
    MetafileFixture client;
    ASSERT_TRUE(StartTask(client.anchor(), "localhost"));
    ASSERT_EQ(log_.waitFor(48).number, 48);
    EXPECT_EQ(Fetch(client.anchor(), "remote.mdl").size(), 4u);
    for (int descriptor : taken) close(descriptor);
  });
}

// The request goes as "GETMETA " and the name in the network code; a reply that
// comes in pieces is read whole; "1" or no records fail the fetch; a fetch
// closed before its end lets the next one proceed.
TEST_F(MetafileServerTest, TheClientSpeaksTheWireFormatToARawServer) {
  ASSERT_NO_FATAL_FAILURE(connectToRawServer());
  RawMetafileServer& raw = *raw_;
  MetafileFixture& client = *client_;

  std::thread peer([&] {
    EXPECT_EQ(raw.request(15), InNetworkCode("GETMETA seg.mdl"));
    raw.reply({"0 \n2", " \nfirst li", "ne\nsecond line\n"}, 100);
    EXPECT_EQ(raw.request(13), InNetworkCode("GETMETA gone1"));
    raw.reply({"1 \n"});
    EXPECT_EQ(raw.request(13), InNetworkCode("GETMETA gone2"));
    raw.reply({"0 \n0 \n"});
    for (int fetch = 0; fetch < 2; ++fetch) {
      EXPECT_EQ(raw.request(15), InNetworkCode("GETMETA two.mdl"));
      raw.reply({"0 \n2 \none\ntwo\n"});
    }
  });
  EXPECT_EQ(Fetch(client.anchor(), "seg.mdl"), (std::vector<std::string>{"first line", "second line"}));
  StdoutCapture output;
  EXPECT_EQ(Fetch(client.anchor(), "gone1"), std::vector<std::string>{"<none>"});
  EXPECT_EQ(Fetch(client.anchor(), "gone2"), std::vector<std::string>{"<none>"});
  EXPECT_EQ(output.takeLines(), (std::vector<std::string>{"ZEVPV01E Definition Error: File not found gone1",
                                                          "ZEVPV01E Definition Error: File not found gone2"}));
  EXPECT_EQ(Fetch(client.anchor(), "two.mdl", 1), std::vector<std::string>{"one"});
  EXPECT_EQ(Fetch(client.anchor(), "two.mdl"), (std::vector<std::string>{"one", "two"}));
  peer.join();

  // A name that does not fit the request is not sent at all.
  TraceCapture trace("*=0x80");
  EXPECT_EQ(Fetch(client.anchor(), (std::string(250, 'n') + ".mdl").c_str()), std::vector<std::string>{"<none>"});
  EXPECT_TRUE(trace.contains("too long for a metafile request, not sent"));

  // Nor is a request without a name, which no server answers: it is answered at once.
  auto began = steady_clock::now();
  EXPECT_EQ(Fetch(client.anchor(), "  "), std::vector<std::string>{"<none>"});
  EXPECT_FALSE(zevp::FetchMetafile(client.anchor(), client.anchor()->metafileExchange, nullptr));
  EXPECT_LT(steady_clock::now() - began, milliseconds(1000)) << "ZEVP_META_IO_WAIT is 2 seconds";
  EXPECT_EQ(trace.count("*** invlide request. Metafaile name unspecified"), 2);
}

// A reply whose records have not all come within the reply wait gives nothing,
// not the records that came.
TEST_F(MetafileServerTest, AReplyThatDoesNotComeWholeFailsTheFetch) {
  ASSERT_NO_FATAL_FAILURE(connectToRawServer());
  RawMetafileServer& raw = *raw_;
  MetafileFixture& client = *client_;
  std::thread peer([&] {
    EXPECT_EQ(raw.request(16), InNetworkCode("GETMETA part.mdl"));
    raw.reply({"0 \n3 \nfirst\nsecond\n"});
  });
  TraceCapture trace("*=0x80");
  auto began = steady_clock::now();
  EXPECT_EQ(Fetch(client.anchor(), "part.mdl"), std::vector<std::string>{"<none>"});
  EXPECT_GE(steady_clock::now() - began, milliseconds(1900)) << "ZEVP_META_IO_WAIT is 2 seconds";
  EXPECT_TRUE(trace.contains("*** metafile reply incomplete within 2 seconds"));
  EXPECT_TRUE(trace.contains("Status->-3"));
  peer.join();
}

// A data provider that shuts down does not wait out the reply wait of a fetch: the
// start, which waits for the fetch, would wait with it.
TEST_F(MetafileServerTest, AFetchIsGivenUpOnceShutDownIsRequested) {
  RunInChild([this] {
    setenv("ZEVP_META_IO_WAIT", "20", 1);  // far beyond the time the test allows
    RawMetafileServer raw(port_);
    MetafileFixture client;
    ASSERT_TRUE(StartTask(client.anchor(), "127.0.0.1"));
    ASSERT_TRUE(raw.accept(kWaitMs));
    ASSERT_EQ(log_.waitFor(48).number, 48);
    std::thread peer([&] {
      EXPECT_EQ(raw.request(16), InNetworkCode("GETMETA slow.mdl"));
      zevp::RequestShutdownOfEveryDP();
    });
    TraceCapture trace("*=0x80");
    auto began = steady_clock::now();
    EXPECT_EQ(Fetch(client.anchor(), "slow.mdl"), std::vector<std::string>{"<none>"});
    EXPECT_LT(steady_clock::now() - began, milliseconds(kWaitMs));
    EXPECT_TRUE(trace.contains("*** metafile reply not awaited: the data provider is ending"));
    peer.join();
  });
}

TEST_F(MetafileServerTest, AServerThatGoesAwayIsReportedAndConnectedAgain) {
  ASSERT_NO_FATAL_FAILURE(connectToRawServer());
  RawMetafileServer& raw = *raw_;
  MetafileFixture& client = *client_;
  std::thread peer([&] {
    EXPECT_EQ(raw.request(16), InNetworkCode("GETMETA lost.mdl"));
    raw.closeConnection();
    // After its pause the client connects again, and is served.
    ASSERT_TRUE(raw.accept(kWaitMs));
    EXPECT_EQ(raw.request(15), InNetworkCode("GETMETA two.mdl"));
    raw.reply({"0 \n2 \none\ntwo\n"});
  });
  TraceCapture trace("*=0x80");
  EXPECT_EQ(Fetch(client.anchor(), "lost.mdl"), std::vector<std::string>{"<none>"});
  EXPECT_TRUE(trace.contains("Status->-2"));
  EXPECT_EQ(log_.waitFor(50), (DPlogMessage{50, {}, true}));
  ASSERT_TRUE(WaitUntil([&] { return log_.count(48) == 2; }));
  EXPECT_EQ(Fetch(client.anchor(), "two.mdl"), (std::vector<std::string>{"one", "two"}));
  peer.join();
}

// The server answers "1" for every name that is not a metafile of its directory,
// in whatever way the name tries to leave it.
TEST_F(MetafileServerTest, TheServerServesItsMetafileDirectoryOnly) {
  MetafileFixture elsewhere;
  std::string outside = elsewhere.write("outside.mdl", kBody);
  MetafileFixture server;
  server.write("inside.mdl", kBody);
  server.write("blank.mdl", {"", "", ""});
  ASSERT_TRUE(StartTask(server.anchor(), "localhost"));
  ASSERT_TRUE(Listening(server.anchor()));
  std::string sibling = outside.substr(outside.rfind('/', outside.size() - 13));  // "/zev_metafiles_X/outside.mdl"
  RawMetafileClient client(port_);
  StdoutCapture output;
  for (const std::string& name :
       {outside, server.directory() + ".." + sibling, "sub/../.." + sibling, std::string("&mem"), std::string("blank"),
        std::string("absent")}) {
    SCOPED_TRACE(name);
    client.ask("GETMETA " + name);
    EXPECT_EQ(client.reply(3), "1 \n");
    DPlogMessage notFound = log_.waitFor(45);
    EXPECT_EQ(notFound.inserts.at(0), name);
    log_.clear();
  }
  client.ask("GETMETA " + server.directory() + "inside.mdl");
  std::string expected = "0 \n4 \n//APPL Rem\n//NAME Grp E\n//ATTRIBUTES\nA1 G\n";
  EXPECT_EQ(client.reply(expected.size()), expected);
  client.ask("   ");
  client.ask("FETCH inside");
  EXPECT_EQ(client.reply(1, 300), "") << "what is not a request gets no answer";
}

// A client that stops reading its reply holds the server no longer than the
// reply wait: its connection is dropped and the next client is served.
TEST_F(MetafileServerTest, AClientThatStopsReadingIsDropped) {
  // The server's send buffer grows at most to the third figure of tcp_wmem; the reply
  // is half as big again, in lines of 100 bytes, so it can never all be taken.
  size_t sendBufferMax = 4 * 1024 * 1024;
  std::ifstream wmem("/proc/sys/net/ipv4/tcp_wmem");
  size_t low = 0, usual = 0, most = 0;
  if (wmem >> low >> usual >> most && most > 0) sendBufferMax = most;
  MetafileFixture server;
  std::vector<std::string> big(sendBufferMax * 3 / 2 / 100, std::string(99, 'x'));
  server.write("big.mdl", big);
  server.write("small.mdl", {"only"});
  ASSERT_TRUE(StartTask(server.anchor(), "localhost"));
  ASSERT_TRUE(Listening(server.anchor()));

  RawMetafileClient stuck(port_, 4096);
  stuck.ask("GETMETA big.mdl");
  ASSERT_EQ(log_.waitFor(42).inserts.at(1), "big.mdl");
  RawMetafileClient next(port_);
  next.ask("GETMETA small.mdl");
  // The big reply is read and sent first: the wait is the server's reply wait and more.
  EXPECT_EQ(next.reply(11, 30000), "0 \n1 \nonly\n");
  EXPECT_EQ(log_.waitFor(45).inserts.at(0), "big.mdl");
  EXPECT_EQ(log_.waitFor(41).number, 41);
}

}  // namespace

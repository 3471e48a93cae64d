// A hostile peer against the DCH server in its host program: the test's thread
// sends random and truncated requests over UDP and TCP (whole, cut short, stalled in
// mid-message, or closed in mid-message) for a bounded time, while a well-behaved
// data provider sends rows and a consumer takes them and asks for texts. Every
// well-behaved request is answered, before, during and after, and the server's
// memory does not grow when the same hostile spell comes again.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "dch/dch_api.h"
#include "dch_road_fixture.h"
#include "hostile_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
using rawdch::Group;

// A spell sends the same messages every time (the same seed), so that what it leaves
// in the store the first time is all it can leave: growth after it is a leak.
constexpr int kMessagesPerSpell = 2000;
constexpr auto kPauseBetweenMessages = std::chrono::microseconds(500);
constexpr int kPatientWaitMs = 8000;
constexpr auto kLongestSpell = std::chrono::seconds(10);
constexpr int kHostileConnections = 8;  // of the server's 64
constexpr unsigned kSeed = 20261209;
// What the host's heap may grow by when the spell comes again: a few waiters of the
// hostile peer's new socket, far less than the requests to park it that a spell sends
// (some 400).
constexpr long kGrowthLimitBytes = 16 * 1024;

const Group kGroup{"G1", "group one", 'P', 300, kNameAndCount};

// The requests a well-behaved peer sends, to cut and spoil; those that would park
// the hostile peer for rows, or take a source offline, name what is its own.
std::vector<std::string> ValidRequests() {
  rawdch::Message row = rawdch::DataRequest(1, 0x11);
  row.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "x").text(rawdch::kAttrName, "CNT");
  row.u32(rawdch::kAttrValue, 1);
  return {rawdch::RegisterRequest("EVIL", "help", {kGroup}),
          rawdch::OnlineRequest("EVIL", "G1", "HOST"),
          rawdch::OfflineRequest(0x7EEE0001),
          rawdch::UnregisterRequest("EVIL"),
          row.bytes(),
          rawdch::GetRequest(rawdch::kGetAppl, "APPL"),
          rawdch::GetRequest(rawdch::kGetAttrInfo, "APPL"),
          rawdch::WaitOnDataRequest("EVIL", "G1", 1),
          rawdch::WaitForStatusRequest(1)};
}

// Random bytes, a valid request with bytes spoiled, one cut short (the total length
// word sometimes fixed to what is sent), or a well-formed request that parks the
// hostile peer for an application that never comes.
class HostileRequests {
 public:
  HostileRequests() : bytes_(kSeed, ValidRequests()) {}

  std::string next() {
    std::string bytes;
    switch (pick(5)) {
      case 4:  // a well-formed request for an application that does not exist
        return pick(2) == 0 ? rawdch::GetRequest(rawdch::kGetAttrInfo, randomName())
                            : rawdch::WaitOnDataRequest(randomName(), "G1", 1);
      case 0:
        bytes = bytes_.random(300);
        break;
      case 1:
        bytes = bytes_.spoiled();
        break;
      default:
        bytes = bytes_.truncated();
        break;
    }
    if (bytes.size() >= 4 && pick(2) == 0) {
      uint32_t total = static_cast<uint32_t>(bytes.size());
      for (int at = 0; at < 4; ++at) bytes[at] = static_cast<char>(total >> (24 - 8 * at));
    }
    return bytes;
  }
  std::string randomName() {
    std::string name(3 + pick(18), 'A');
    for (char& letter : name) letter = static_cast<char>('A' + pick(26));
    return name;
  }
  size_t pick(size_t below) { return bytes_.pick(below); }

 private:
  HostileBytes bytes_;
};

// One spell of the hostile peer: datagrams, and a few TCP connections that are written
// to, left hanging in mid-message, or closed. The test's own thread runs it, not a
// forked child: a child of this threaded process that allocated could wait for ever on
// an allocator lock that the well-behaved peer's thread held at the fork (the
// sanitizers' allocators are not made safe across it).
void HostileSpell(unsigned short port) {
  HostileRequests hostile;
  int datagrams = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in server = rawdch::LoopbackAddress(port);
  std::vector<int> connections;
  auto end = Clock::now() + kLongestSpell;
  for (int sent = 0; sent < kMessagesPerSpell && Clock::now() < end; ++sent) {
    std::string bytes = hostile.next();
    sendto(datagrams, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&server), sizeof server);
    if (connections.size() < kHostileConnections) {
      int connection = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (connect(connection, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0)
        connections.push_back(connection);
      else
        close(connection);
    }
    if (connections.empty()) continue;
    size_t which = hostile.pick(connections.size());
    send(connections[which], bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (hostile.pick(8) == 0) {
      close(connections[which]);
      connections.erase(connections.begin() + static_cast<long>(which));
    }
    std::this_thread::sleep_for(kPauseBetweenMessages);
  }
  for (int connection : connections) close(connection);
  close(datagrams);
}

class HostilePeerTest : public DCHroadTest {};

TEST_F(HostilePeerTest, WellBehavedPeersAreServedThroughoutAndTheServerDoesNotGrow) {
  rawdch::TcpPeer provider(port());
  ASSERT_NO_FATAL_FAILURE(registerApplication(provider, "APPL", {kGroup}));
  uint32_t handle = online(provider, "APPL", "G1", "HOST1");
  RowWaiter consumer("APPL", "G1");
  ASSERT_TRUE(consumer.parked());
  syncWithServer();

  // The well-behaved pair keeps working while the hostile peer runs.
  std::atomic<bool> hostileDone{false};
  std::atomic<int> rowsAnswered{0}, rowsRefused{0}, rowsTaken{0}, textsRight{0}, textsWrong{0};
  // Its requests queue behind the hostile ones: they are given time, as they must be
  // answered, not answered soon.
  std::thread wellBehaved([&] {
    for (uint32_t count = 0; !hostileDone.load(); ++count) {
      rawdch::Message row = rawdch::DataRequest(handle, 0x11);
      row.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "good");
      row.text(rawdch::kAttrName, "CNT").u32(rawdch::kAttrValue, count);
      rawdch::StatusReply reply = provider.exchange(row.bytes(), kPatientWaitMs);
      (reply.valid && reply.status == 0 ? rowsAnswered : rowsRefused)++;
      if (!consumer.next(kPatientWaitMs).empty()) ++rowsTaken;
      int length = 0;
      char* text = nullptr;
      bool right = dc_getApplications(&length, &text, "APPL", kPatientWaitMs / 1000) == 0 &&
                   std::string(text, static_cast<size_t>(length)) == "APPL,G1,P,300:;";
      free(text);
      (right ? textsRight : textsWrong)++;
    }
  });
  HostileSpell(port());
  long afterFirst = host().heapBytes(kAnswerWaitMs);
  HostileSpell(port());
  long afterSecond = host().heapBytes(kAnswerWaitMs);
  hostileDone = true;
  wellBehaved.join();

  EXPECT_GT(rowsAnswered.load(), 0);
  EXPECT_EQ(rowsRefused.load(), 0);
  EXPECT_EQ(rowsTaken.load(), rowsAnswered.load());
  EXPECT_GT(textsRight.load(), 0);
  EXPECT_EQ(textsWrong.load(), 0);
  ASSERT_GT(afterFirst, 0);
  EXPECT_LT(afterSecond - afterFirst, kGrowthLimitBytes) << afterFirst << " bytes after the first spell";

  // Afterwards: every kind of peer is still answered.
  syncWithServer();
  EXPECT_EQ(sendNameAndCount(provider, handle, "after", 1), 0);
  EXPECT_FALSE(consumer.next(kAnswerWaitMs).empty());
  EXPECT_EQ(Text(dc_getApplAttributes, "APPL"), "G1,NAME,D,8:CNT,C,4:;");
  rawdch::TcpPeer newcomer(port());
  EXPECT_EQ(online(newcomer, "APPL", "G1", "HOST2") != 0, true);
}

}  // namespace

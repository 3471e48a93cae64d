// The DCH channel under load, as the agent runs it: the server in this process, and
// many threads of the same process calling the exported functions through a pool of
// two UDP sockets, beside a standing wait for rows, a standing wait for status
// notices, and the action log, whose online, offline and rows go through the same
// pool. Data providers are raw TCP peers. Every call must come back with its own
// reply: each worker asks about an application of its own, and a handle answered to
// one online is never answered to another.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dch/dch_api.h"
#include "dch_server.h"
#include "dch_test_settings.h"
#include "raw_dch_peer.h"
#include "zev/action_codes.h"

namespace {

using rawdch::Group;
using rawdch::TcpPeer;
using Clock = std::chrono::steady_clock;

constexpr int kWorkers = 12;
constexpr int kRoundsPerWorker = 25;
constexpr int kApplications = 4;
constexpr int kReplyWaitMs = 5000;
constexpr short kGetWaitSeconds = 5;
constexpr unsigned kWatchdogSeconds = 60;
constexpr char kNameAndCount[] = "NAME,D,8, ,the name;CNT,C,4, ,a count;";

std::string ApplName(int index) { return "APP" + std::to_string(index); }
std::string GroupName(int index) { return "G" + std::to_string(index); }
std::string HelpText(int index) { return "help of " + ApplName(index); }

// The settings are read once per process, by the first transport.
unsigned short StressPort() {
  setenv("ZEVA_DCH_UDP_SOCKETS_IN_POOL", "2", 1);
  return LoopbackDCHPort();
}

// One data provider over TCP: registers, brings sources online, sends rows; each
// request waits for its status, as the data-provider core does.
class Provider {
 public:
  explicit Provider(unsigned short port) : peer_(port) {}
  bool connected() const { return peer_.connected(); }

  int32_t registerApplication(const std::string& applName, const std::string& help, const std::vector<Group>& groups) {
    return statusOf(rawdch::RegisterRequest(applName, help, groups));
  }
  uint32_t online(const std::string& applName, const std::string& attrGroup, const std::string& sourceName) {
    rawdch::StatusReply reply = peer_.exchange(rawdch::OnlineRequest(applName, attrGroup, sourceName), kReplyWaitMs);
    return reply.valid && reply.hasHandle && reply.status == 0 ? reply.handle : 0;
  }
  int32_t offline(uint32_t handle) { return statusOf(rawdch::OfflineRequest(handle)); }
  int32_t row(uint32_t handle, uint32_t count) {
    rawdch::Message request = rawdch::DataRequest(handle, 0x11);
    request.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "rows");
    request.text(rawdch::kAttrName, "CNT").u32(rawdch::kAttrValue, count);
    return statusOf(request.bytes());
  }

 private:
  int32_t statusOf(const std::string& request) {
    rawdch::StatusReply reply = peer_.exchange(request, kReplyWaitMs);
    return reply.valid ? reply.status : INT32_MIN;
  }

  TcpPeer peer_;
};

// What the workers saw, checked at the end.
struct Findings {
  std::mutex lock;
  std::set<long> handles;
  std::vector<std::string> faults;
  std::atomic<int> calls{0};

  void fault(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock);
    if (faults.size() < 20) faults.push_back(what);
  }
  // False when another online was answered with the same handle.
  bool freshHandle(long handle) {
    std::lock_guard<std::mutex> guard(lock);
    return handles.insert(handle).second;
  }
};

std::string TextOf(int (*verb)(int*, char**, const char*, short), const std::string& applName) {
  int length = 0;
  char* text = nullptr;
  int result = verb(&length, &text, applName.c_str(), kGetWaitSeconds);
  std::string answer = result == 0 && text != nullptr ? std::string(text, static_cast<size_t>(length)) : "<none>";
  free(text);
  return answer;
}

// One round of a worker: its application's texts, an online of its own source, a row
// with the handle that came back, and the offline of that handle.
void WorkerRound(int worker, int round, Findings& findings) {
  int index = worker % kApplications;
  const std::string appl = ApplName(index);
  const std::string group = GroupName(index);
  const std::string where = "worker " + std::to_string(worker) + " round " + std::to_string(round) + ": ";

  std::string expected[] = {appl + "," + group + ",P,300:;",
                            HelpText(index) + "," + group + ",group,NAME,the name, ,CNT,a count, :;",
                            group + ",NAME,D,8:CNT,C,4:;"};
  std::string answered[] = {TextOf(dc_getApplications, appl), TextOf(dc_getApplHelp, appl),
                            TextOf(dc_getApplAttributes, appl)};
  for (int text = 0; text < 3; ++text)
    if (answered[text] != expected[text]) findings.fault(where + "text " + answered[text] + " for " + appl);

  long status = -1;
  long handle = 0;
  std::string source = "W" + std::to_string(worker);
  if (dp_online(&status, &handle, appl.c_str(), group.c_str(), source.c_str()) != 0 || status != 0) {
    findings.fault(where + "online status " + std::to_string(status));
    return;
  }
  if (!findings.freshHandle(handle)) findings.fault(where + "handle " + std::to_string(handle) + " answered twice");

  char* work = nullptr;
  long size = 0;
  int32_t count = round;
  if (dp_formatData(&status, &work, &size, "NAME", source.data(), static_cast<long>(source.size()), 'D') != 0 ||
      dp_formatData(&status, &work, &size, "CNT", &count, sizeof count, 'C') != 0) {
    findings.fault(where + "row not formatted");
    free(work);
    return;
  }
  if (dp_data(&status, handle, DCH_SingleRow, &work) != 0 || status != 0)
    findings.fault(where + "row status " + std::to_string(status) + " for handle " + std::to_string(handle));
  if (dp_offline(&status, handle) != 0 || status != 0)
    findings.fault(where + "offline status " + std::to_string(status) + " for handle " + std::to_string(handle));
  findings.calls += 8;
}

class DCHchannelStressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    alarm(kWatchdogSeconds);  // a call that never returns ends the program, not the run
    server_ = std::make_unique<DCHserver>();
    ASSERT_TRUE(WaitUntilReady(*server_));
    DCH_api_init();
  }
  void TearDown() override {
    server_.reset();
    DCH_api_destroy();
    alarm(0);
  }

  unsigned short port_ = StressPort();
  std::unique_ptr<DCHserver> server_;
};

TEST_F(DCHchannelStressTest, EveryCallThroughASmallPoolGetsItsOwnReply) {
  Provider registrar(port_);
  ASSERT_TRUE(registrar.connected());
  for (int index = 0; index < kApplications; ++index) {
    Group group{GroupName(index), "group", 'P', 300, kNameAndCount};
    ASSERT_EQ(registrar.registerApplication(ApplName(index), HelpText(index), {group}), 0);
    ASSERT_NE(registrar.online(ApplName(index), GroupName(index), "FIRST"), 0u);  // the texts are there from now
  }
  Group rows{"ROWS", "rows", 'P', 300, kNameAndCount};
  ASSERT_EQ(registrar.registerApplication("STRESS", "rows", {rows}), 0);
  Group dpLog{"DPLOG", "log", 'E', 300, "Message,D,256, , ;"};
  Group actionLog{"ACTION", "action log", 'E', 300,
                  "Action_Type,D,16, , ;Action_Owner,D,64, , ;Action_Node,D,32, , ;Action_Name,D,256, , ;"
                  "Action_Parms,D,1024, , ;Action_Status,D,64, , ;Action_Result,D,256, , ;Action_ID,C,4, , ;"};
  ASSERT_EQ(registrar.registerApplication("DVAGENT", "agent", {dpLog, actionLog}), 0);

  std::atomic<bool> workersDone{false};

  // A standing wait for rows, fed by a data provider of its own.
  DCHclient* rowWait = dc_waitOnDataInitialize("STRESS", "ROWS");
  ASSERT_NE(rowWait, nullptr);
  std::atomic<int> rowsTaken{0};
  std::atomic<int> strangeRows{0};
  std::thread rowWaiter([&] {
    char buffer[4096];
    while (dc_waitOnData(rowWait, buffer, sizeof buffer) == 0) {
      if (std::string(buffer, std::min<size_t>(rawdch::Big32(std::string(buffer, 4), 0), sizeof buffer))
              .find(rawdch::ToNetworkCode("ROWSRC")) == std::string::npos)
        ++strangeRows;
      ++rowsTaken;
    }
  });
  std::thread rowFeeder([&] {
    Provider feeder(port_);
    uint32_t handle = feeder.online("STRESS", "ROWS", "ROWSRC");
    for (uint32_t count = 0; handle != 0 && !workersDone.load(); ++count) feeder.row(handle, count);
  });

  // A standing wait for status notices; it ends with the notice of the source LAST.
  DCHclient* statusWait = dc_waitForDPStatusInitialize();
  ASSERT_NE(statusWait, nullptr);
  std::atomic<int> notices{0};
  std::atomic<bool> heardLast{false};
  std::thread statusWaiter([&] {
    while (const char* notice = dc_waitForDPStatus(statusWait)) {
      ++notices;
      if (std::strstr(notice, ",LAST,") != nullptr) break;
    }
    heardLast = true;
  });

  // The action log: brought online and offline again and again by the data providers'
  // log, with automation actions routed to it in between.
  std::thread actionLogCycler([&] {
    Provider logger(port_);
    for (long actionID = 1; !workersDone.load(); ++actionID) {
      uint32_t handle = logger.online("DVAGENT", "DPLOG", "HOST1");
      dc_provideAction(ZEV_ACTION_AUTOMATION, "owner", "localhost:node", "src:APPL00", "restart", actionID, nullptr);
      if (handle != 0) logger.offline(handle);
    }
  });

  Findings findings;
  std::vector<std::thread> workers;
  for (int worker = 0; worker < kWorkers; ++worker)
    workers.emplace_back([worker, &findings] {
      for (int round = 0; round < kRoundsPerWorker; ++round) WorkerRound(worker, round, findings);
    });
  for (std::thread& worker : workers) worker.join();
  workersDone = true;
  actionLogCycler.join();
  rowFeeder.join();

  dc_waitOnDataCancel(rowWait);
  rowWaiter.join();
  dc_waitOnDataDestroy(rowWait);
  // A notice may be lost to a full socket: LAST comes again until it is heard.
  for (auto deadline = Clock::now() + std::chrono::seconds(10); !heardLast.load() && Clock::now() < deadline;) {
    uint32_t handle = registrar.online(ApplName(0), GroupName(0), "LAST");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    registrar.offline(handle);
  }
  ASSERT_TRUE(heardLast.load());
  statusWaiter.join();
  dc_waitForDPStatusDestroy(statusWait);

  EXPECT_EQ(findings.faults, std::vector<std::string>{});
  EXPECT_EQ(findings.calls.load(), kWorkers * kRoundsPerWorker * 8);
  EXPECT_EQ(findings.handles.size(), static_cast<size_t>(kWorkers * kRoundsPerWorker));
  EXPECT_GT(rowsTaken.load(), 0);
  EXPECT_EQ(strangeRows.load(), 0);
  EXPECT_GT(notices.load(), 0);
}

}  // namespace

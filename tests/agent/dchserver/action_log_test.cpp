// The action log against a scripted DCH server on loopback: a UDP socket of this test
// that stands where the agent's own server would, records every request the log's
// dp_* verbs send and answers them as each test says. Time runs on a ManualClock.
#include "action_log.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "action_log_rate.h"
#include "dch/channel_functions.h"
#include "dch/dch_protocol.h"
#include "manual_clock.h"
#include "trace_capture.h"
#include "zev/action_codes.h"
#include "zev0/threads.h"
#include "zev0/typed_field.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kWait = 3s;
constexpr long kHandle = 4242;

// The status reply, written out by hand: total 14, one DCH_status field.
std::string StatusReply(uint32_t status) {
  unsigned char bytes[] = {0, 0, 0, 14, 0, 0, 0, 10, 0, 0x11, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) bytes[10 + i] = static_cast<unsigned char>(status >> (24 - 8 * i));
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

// The reply to an online: total 24, DCH_status then DCH_handle.
std::string OnlineReply(uint32_t status, uint32_t handle) {
  std::string reply = StatusReply(status);
  reply[3] = 24;
  unsigned char handleField[] = {0, 0, 0, 10, 0, 0x80, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) handleField[6 + i] = static_cast<unsigned char>(handle >> (24 - 8 * i));
  return reply + std::string(reinterpret_cast<char*>(handleField), sizeof handleField);
}

struct Request {
  uint16_t code = 0;
  std::string bytes;
};

uint16_t RequestCode(const std::string& bytes) {
  return bytes.size() >= 12 ? static_cast<uint16_t>((static_cast<unsigned char>(bytes[10]) << 8) |
                                                    static_cast<unsigned char>(bytes[11]))
                            : 0;
}

// One row of the action log as the scripted server received it.
struct Row {
  uint32_t handle = 0;
  uint16_t controlField = 0;
  std::vector<std::pair<std::string, std::string>> texts;  // attribute name and text value
  int32_t actionID = -1;

  std::string text(const std::string& name) const {
    for (const auto& attribute : texts)
      if (attribute.first == name) return attribute.second;
    return "(absent)";
  }
  // "A<id>" for a routed action (status still UNKNOWN), "R<id>" for a result.
  std::string kind() const { return (text("Action_Status") == "UNKNOWN" ? "A" : "R") + std::to_string(actionID); }
};

Row ParseRow(std::string bytes) {
  Row row;
  DataFieldReader reader(bytes.data(), bytes.size());
  char* value;
  uint32_t length;
  reader.next(&value, &length);  // the request code
  if (reader.next(&value, &length) == DCH_handle && length == 4) std::memcpy(&row.handle, value, 4);
  if (reader.next(&value, &length) == DCH_controlField && length == 2) std::memcpy(&row.controlField, value, 2);
  while (reader.next(&value, &length) == DCH_attrName) {
    std::string name(value, length);
    const char letter = name == "Action_ID" ? 'C' : 'D';
    if (reader.next(&value, &length, &letter) != DCH_attrValue) break;
    if (letter == 'C' && length == 4)
      std::memcpy(&row.actionID, value, 4);
    else
      row.texts.emplace_back(name, std::string(value, length));
  }
  return row;
}

// The texts of a request's fields after its request code.
std::vector<std::string> RequestTexts(std::string bytes) {
  std::vector<std::string> texts;
  DataFieldReader reader(bytes.data(), bytes.size());
  char* value;
  uint32_t length;
  reader.next(&value, &length);
  while (reader.next(&value, &length) != 0) texts.emplace_back(value, length);
  return texts;
}

// Started once per process: the DCH settings are read by the first transport.
class ScriptedServer {
 public:
  static ScriptedServer& instance() {
    static ScriptedServer* server = new ScriptedServer;
    return *server;
  }

  // Replies to come: to an online, status and handle; onlines and data requests are
  // answered at once or held until release(), and the next `drop` data requests not at all.
  void answerOnline(uint32_t status, uint32_t handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    onlineReply_ = OnlineReply(status, handle);
  }
  void answerOthersWith(uint32_t status) {
    std::lock_guard<std::mutex> guard(mutex_);
    otherReply_ = StatusReply(status);
  }
  void hold(bool holding) {
    std::lock_guard<std::mutex> guard(mutex_);
    holding_ = holding;
  }
  void dropNextData(int count) {
    std::lock_guard<std::mutex> guard(mutex_);
    dataToDrop_ = count;
  }
  void release() {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const auto& reply : held_) send(reply.first, reply.second);
    held_.clear();
  }
  void reset() {
    release();
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.clear();
    holding_ = false;
    dataToDrop_ = 0;
    onlineReply_ = OnlineReply(0, 77);
    otherReply_ = StatusReply(0);
  }

  // The first `count` requests of this code, or what came of them in time.
  std::vector<Request> waitFor(uint16_t code, size_t count, std::chrono::milliseconds wait = kWait) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<Request> found;
    arrived_.wait_for(lock, wait, [&] {
      found.clear();
      for (const Request& request : requests_)
        if (request.code == code) found.push_back(request);
      return found.size() >= count;
    });
    return found;
  }
  std::vector<Row> rows(size_t count, std::chrono::milliseconds wait = kWait) {
    std::vector<Row> rows;
    for (const Request& request : waitFor(DCH_dp_data, count, wait)) rows.push_back(ParseRow(request.bytes));
    return rows;
  }

 private:
  ScriptedServer() : sockFD_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(sockFD_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(sockFD_, reinterpret_cast<sockaddr*>(&address), &length);
    setenv("ZEVA_DCH_PORT", std::to_string(ntohs(address.sin_port)).c_str(), 1);
    setenv("ZEVA_DCH_ADDR", "127.0.0.1", 1);
    setenv("ZEVA_DCH_TIMEOUT", "3", 1);
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    ZEV0_InitializeMutex(ZEVA_GetEnvVarsInitLock());
    reset();
    std::thread([this] { serve(); }).detach();
  }

  void serve() {
    for (;;) {
      char datagram[65536];
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      ssize_t got = recvfrom(sockFD_, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got <= 0) continue;
      Request request{RequestCode(std::string(datagram, static_cast<size_t>(got))),
                      std::string(datagram, static_cast<size_t>(got))};
      std::lock_guard<std::mutex> guard(mutex_);
      requests_.push_back(request);
      std::string reply = request.code == DCH_dp_online ? onlineReply_
                          : request.code == DCH_dp_data ? StatusReply(0)
                                                        : otherReply_;
      bool holdable = request.code == DCH_dp_online || request.code == DCH_dp_data;
      if (request.code == DCH_dp_data && dataToDrop_ > 0)
        --dataToDrop_;
      else if (holding_ && holdable)
        held_.emplace_back(reply, from);
      else
        send(reply, from);
      arrived_.notify_all();
    }
  }

  void send(const std::string& reply, const sockaddr_in& to) const {
    sendto(sockFD_, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }

  int sockFD_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Request> requests_;
  std::vector<std::pair<std::string, sockaddr_in>> held_;
  std::string onlineReply_;
  std::string otherReply_;
  bool holding_ = false;
  int dataToDrop_ = 0;
};

template <typename Condition>
bool Eventually(Condition condition) {
  for (auto deadline = Clock::now() + kWait; Clock::now() < deadline; std::this_thread::sleep_for(5ms))
    if (condition()) return true;
  return condition();
}

std::vector<std::string> Kinds(const std::vector<Row>& rows) {
  std::vector<std::string> kinds;
  for (const Row& row : rows) kinds.push_back(row.kind());
  return kinds;
}

// --- The source name -------------------------------------------------------------

TEST(ActionLogSourceNameTest, IsTheShortHostNameFollowedByACT) {
  const std::string longName(40, 'h');
  const struct {
    const char* hostName;
    std::string sourceName;
  } cases[] = {
      {"node1.example.com", "node1ACT"},
      {"node1", "node1ACT"},
      {nullptr, "ACT"},
      {"", "ACT"},
      // Cut so that the source name stays within the 32 characters of the DCH.
      {longName.c_str(), std::string(29, 'h') + "ACT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hostName != nullptr ? c.hostName : "(null)");
    char name[actionTable::kSourceNameSize];
    actionLogSourceName(c.hostName, name);
    EXPECT_EQ(name, c.sourceName);
  }
  TraceCapture capture("*=0x80");
  char name[actionTable::kSourceNameSize];
  actionLogSourceName(nullptr, name);
  EXPECT_TRUE(capture.contains("Error: ZEV0_LocalHostNameString failed for Action table."));
}

// --- The rate limit ----------------------------------------------------------------

class ActionLogRateTest : public ::testing::Test {
 protected:
  static constexpr unsigned long kStart = 1000000;

  ActionLogRateTest() {
    table_.setLastAddTime(kStart);
    table_.setLastCheckTime(kStart);
  }

  // Whether a routed action with this ID at this time is logged.
  bool routedIsLogged(long actionID, unsigned long at) {
    ActionInfo_t record{};
    record.requestType = ActionInfo_t::kActionRouted;
    record.actionID = actionID;
    record.actionType = ZEV_ACTION_AUTOMATION;
    entries_.push_back(std::make_unique<actionTableEntry>(record));
    applyActionLogRate(table_, *entries_.back(), ActionInfo_t::kActionRouted, at);
    return entries_.back()->getActionLogging() == 1;
  }

  actionTable table_;
  std::vector<std::unique_ptr<actionTableEntry>> entries_;
};

TEST_F(ActionLogRateTest, TenActionsInUnderAHundredSecondsStopLoggingUntilTheRateDrops) {
  for (long id = 1; id <= 9; ++id) EXPECT_TRUE(routedIsLogged(id, kStart + id)) << id;
  EXPECT_FALSE(routedIsLogged(10, kStart + 99)) << "99 seconds since the last check";
  EXPECT_FALSE(routedIsLogged(11, kStart + 150)) << "51 seconds after the last action";
  EXPECT_FALSE(routedIsLogged(12, kStart + 210)) << "a pause of 60 seconds is not enough";
  EXPECT_TRUE(routedIsLogged(13, kStart + 271)) << "a pause of 61 seconds enables logging";
  EXPECT_EQ(table_.getLastCheckTime(), kStart + 99);
}

TEST_F(ActionLogRateTest, TheCheckAtEveryTenthActionEnablesAfterAHundredSeconds) {
  EXPECT_FALSE(routedIsLogged(10, kStart + 10));
  for (long id = 11; id <= 19; ++id) EXPECT_FALSE(routedIsLogged(id, kStart + 10 + 5 * (id - 10))) << id;
  EXPECT_TRUE(routedIsLogged(20, kStart + 110)) << "100 seconds since the check at 10";
  EXPECT_TRUE(routedIsLogged(21, kStart + 111));
}

TEST_F(ActionLogRateTest, AResultKeepsTheFlagOfItsAction) {
  EXPECT_FALSE(routedIsLogged(10, kStart));
  actionTableEntry& unlogged = *entries_.back();
  applyActionLogRate(table_, unlogged, ActionInfo_t::kActionResult, kStart + 500);
  EXPECT_EQ(unlogged.getActionLogging(), 0);
  EXPECT_EQ(table_.getLastAddTime(), kStart) << "results do not count as actions";
  EXPECT_FALSE(routedIsLogged(11, kStart + 1));
}

// --- Applying records ------------------------------------------------------------------

ActionInfo_t ResultRecord(long actionID, long status, const char* results) {
  ActionInfo_t record{};
  record.requestType = ActionInfo_t::kActionResult;
  record.actionID = actionID;
  record.actionStatus = status;
  std::snprintf(record.actionResults, sizeof record.actionResults, "%s", results);
  return record;
}

// The test thread is the action log's thread here.
class UpdateActionTableTest : public ::testing::Test {
 protected:
  UpdateActionTableTest() { table_.actionLogStarted(); }
  ~UpdateActionTableTest() override { table_.actionLogStopped(); }

  actionTable table_;
};

TEST_F(UpdateActionTableTest, ARoutedActionBecomesAnEntryAndItsResultUpdatesIt) {
  ASSERT_EQ(table_.addEntry(ZEV_ACTION_AUTOMATION, "Sit_A", "hostA:SUB", "restart", 7, nullptr), 0);
  EXPECT_EQ(updateActionTable(&table_), 0);
  actionTableEntry* entry = table_.latest();
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(table_.requestType(), ActionInfo_t::kActionRouted);
  EXPECT_EQ(table_.noOfElements(), 1);
  EXPECT_EQ(entry->actionID(), 7);
  EXPECT_STREQ(entry->actionOwner(), "Sit_A");
  EXPECT_EQ(entry->actionStatus(), ZEV_ACTION_STATUS_UNKNOWN);
  EXPECT_EQ(entry->controlField(), DCH_SingleRow);
  EXPECT_EQ(entry->getActionLogging(), 1);
  EXPECT_EQ(table_.getActionStatus(7), ZEV_ACTION_STATUS_UNKNOWN);

  ASSERT_EQ(table_.recordActionResults(7, ZEV_ACTION_EXEC_ERROR, "exit 2"), 0);
  EXPECT_EQ(updateActionTable(&table_), 0);
  EXPECT_EQ(table_.latest(), entry);
  EXPECT_EQ(table_.requestType(), ActionInfo_t::kActionResult);
  EXPECT_EQ(table_.getActionStatus(7), ZEV_ACTION_EXEC_ERROR);
  EXPECT_STREQ(entry->actionResults(), "exit 2");
}

TEST_F(UpdateActionTableTest, AResultForAnActionNotInTheTableChangesNothing) {
  ASSERT_EQ(table_.addEntry(ZEV_ACTION_AUTOMATION, "Sit_A", "SUB", "restart", 7, nullptr), 0);
  ASSERT_EQ(updateActionTable(&table_), 0);
  actionTableEntry* entry = table_.latest();
  ASSERT_EQ(table_.cb_put_data(ResultRecord(8, 0, "done")), 0);
  EXPECT_EQ(updateActionTable(&table_), 1);
  EXPECT_EQ(table_.latest(), entry);
  EXPECT_EQ(table_.requestType(), ActionInfo_t::kActionRouted);
  EXPECT_EQ(entry->actionStatus(), ZEV_ACTION_STATUS_UNKNOWN);
  EXPECT_EQ(table_.noOfElements(), 1);
}

// Every data provider of the host is sent the action: the answers of those without the
// node's source do not end it before the one that has the source answers.
TEST_F(UpdateActionTableTest, RegressionNoSourceAnswersWaitForTheOtherDataProvidersOfTheHost) {
  const struct {
    const char* what;
    std::vector<long> answers;
    long logged;          // the status of the answer that ends the action
    size_t endingAnswer;  // the answer that is logged
  } cases[] = {
      {"the owner answers last", {ZEV_ACTION_SOURCE_OFFLINE, ZEV_ACTION_SOURCE_OFFLINE, 0}, 0, 2},
      {"the owner answers first", {0, ZEV_ACTION_SOURCE_OFFLINE, ZEV_ACTION_SOURCE_OFFLINE}, 0, 0},
      {"nobody has the source", {ZEV_ACTION_SOURCE_OFFLINE, ZEV_ACTION_SOURCE_OFFLINE, ZEV_ACTION_SOURCE_OFFLINE},
       ZEV_ACTION_SOURCE_OFFLINE, 2},
  };
  long actionID = 20;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ++actionID;
    ASSERT_EQ(table_.addEntry(ZEV_ACTION_AUTOMATION, "SNMP Control", "hostA:SYS00", "SNMP", actionID, nullptr, 3), 0);
    ASSERT_EQ(updateActionTable(&table_), 0);
    for (size_t i = 0; i < c.answers.size(); ++i) {
      ASSERT_EQ(table_.recordActionResults(actionID, c.answers[i], c.answers[i] == 0 ? "started" : nullptr), 0);
      EXPECT_EQ(updateActionTable(&table_), i == c.endingAnswer ? 0 : 1) << "answer " << i;
    }
    EXPECT_EQ(table_.getActionStatus(actionID), c.logged);
  }
}

TEST_F(UpdateActionTableTest, ARecordOfAnotherKindIsAnError) {
  TraceCapture capture("*=0x80");
  ActionInfo_t record = ResultRecord(1, 0, "");
  record.requestType = 3;
  ASSERT_EQ(table_.cb_put_data(record), 0);
  EXPECT_EQ(updateActionTable(&table_), 2);
  EXPECT_TRUE(capture.contains("Error: requestType<3> not valid"));
  EXPECT_EQ(table_.noOfElements(), 0);
}

// --- The threads against the scripted server -----------------------------------

class ActionLogThreadTest : public ::testing::Test {
 protected:
  ActionLogThreadTest() : server_(ScriptedServer::instance()) {
    server_.reset();
    table_ = std::make_shared<actionTable>();
    table_->handle(kHandle);
  }
  // The logging thread stops before the clock goes; a thread of the log that still
  // waits for its reply keeps its share of the table.
  ~ActionLogThreadTest() override {
    server_.release();
    if (table_ != nullptr) table_->closeRing();
    table_.reset();
  }

  void startLogging() { ASSERT_EQ(doActionData(table_.get()), 0); }
  void route(long actionID, const char* parms = nullptr) {
    ASSERT_EQ(table_->addEntry(ZEV_ACTION_AUTOMATION, "Sit_A", "hostA:SUB", "restart", actionID, parms), 0);
  }
  void result(long actionID, long status = ZEV_ACTION_SUCCESS, const char* text = nullptr) {
    ASSERT_EQ(table_->recordActionResults(actionID, status, text), 0);
  }
  // The number of entries, read under the table's lock as the logging thread changes it.
  int entries() {
    if (ZEVA_GetLock(table_->lock(), this) != 0) return -1;
    int count = table_->noOfElements();
    ZEVA_ReleaseLock(table_->lock(), this);
    return count;
  }
  bool holds(long actionID) {
    if (ZEVA_GetLock(table_->lock(), this) != 0) return false;
    bool held = table_->findEntry(actionID) != nullptr;
    ZEVA_ReleaseLock(table_->lock(), this);
    return held;
  }

  ManualClock clock_;
  ScriptedServer& server_;
  std::shared_ptr<actionTable> table_;
};

TEST_F(ActionLogThreadTest, OnlineBringsTheLogsSourceOnlineAndKeepsItsHandle) {
  server_.answerOnline(0, 77);
  ASSERT_EQ(doActionOnline(table_), 0);
  std::vector<Request> online = server_.waitFor(DCH_dp_online, 1);
  ASSERT_EQ(online.size(), 1u);
  EXPECT_EQ(RequestTexts(online[0].bytes), (std::vector<std::string>{"DVAGENT", "ACTION", "localhostACT"}));
  EXPECT_TRUE(Eventually([&] { return table_->handle() == 77; }));
  EXPECT_STREQ(table_->sourceName(), "localhostACT");
}

TEST_F(ActionLogThreadTest, AFailedOnlineLeavesTheHandleAsItWas) {
  TraceCapture capture("*=0x80");
  server_.answerOnline(4, 0);
  ASSERT_EQ(doActionOnline(table_), 0);
  EXPECT_TRUE(
      Eventually([&] { return capture.contains("Error: dp_online failed for Action table. ERROR<0> STATUS<4>"); }));
  EXPECT_EQ(table_->handle(), kHandle);
}

TEST_F(ActionLogThreadTest, OfflineTakesTheHandleOffline) {
  TraceCapture capture("*=0x80");
  server_.answerOthersWith(2);
  ASSERT_EQ(doActionOffline(table_), 0);
  std::vector<Request> offline = server_.waitFor(DCH_dp_offline, 1);
  ASSERT_EQ(offline.size(), 1u);
  EXPECT_EQ(offline[0].bytes.substr(18, 4), std::string("\x00\x00\x10\x92", 4)) << "handle 4242";
  EXPECT_TRUE(Eventually(
      [&] { return capture.contains("Error: dp_offline failed for Action table. HANDLE<4242> ERROR<0> STATUS<2>"); }));
}

// The fault: the server freed the table while the online and offline threads, still
// waiting for their replies, were to use it.
TEST_F(ActionLogThreadTest, RegressionOnlineAndOfflineOutliveTheTablesOwner) {
  table_->handle(0);
  server_.hold(true);
  ASSERT_EQ(doActionOnline(table_), 0);
  ASSERT_EQ(server_.waitFor(DCH_dp_online, 1).size(), 1u);
  ASSERT_EQ(doActionOffline(table_), 0);
  std::weak_ptr<actionTable> lingering = table_;
  table_->closeRing();
  table_.reset();
  EXPECT_FALSE(lingering.expired()) << "the threads keep the table";
  server_.release();
  std::vector<Request> offline = server_.waitFor(DCH_dp_offline, 1);
  ASSERT_EQ(offline.size(), 1u);
  EXPECT_EQ(offline[0].bytes.substr(18, 4), std::string("\x00\x00\x00\x4d", 4)) << "handle 77";
  EXPECT_TRUE(Eventually([&] { return lingering.expired(); })) << "the last thread frees it";
}

// The fault: an offline or a row that came right after the online used the handle from
// before it, as the online's answer had not come yet.
TEST_F(ActionLogThreadTest, RegressionOfflineAndRowsWaitForTheOnlineInProgress) {
  table_->handle(0);
  server_.hold(true);
  ASSERT_EQ(doActionOnline(table_), 0);
  ASSERT_EQ(server_.waitFor(DCH_dp_online, 1).size(), 1u);
  startLogging();
  route(1);
  ASSERT_EQ(doActionOffline(table_), 0);
  EXPECT_EQ(server_.waitFor(DCH_dp_offline, 1, 200ms).size(), 0u);
  EXPECT_EQ(server_.rows(1, 10ms).size(), 0u);
  server_.hold(false);
  server_.release();
  std::vector<Request> offline = server_.waitFor(DCH_dp_offline, 1);
  ASSERT_EQ(offline.size(), 1u);
  EXPECT_EQ(offline[0].bytes.substr(18, 4), std::string("\x00\x00\x00\x4d", 4)) << "handle 77";
  std::vector<Row> rows = server_.rows(1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].handle, 77u);
}

TEST_F(ActionLogThreadTest, EachActionAndEachResultIsOneRowOfTheEightAttributes) {
  startLogging();
  route(7);
  result(7, -3, "exit 3");
  std::vector<Row> rows = server_.rows(2);
  ASSERT_EQ(rows.size(), 2u);
  const std::vector<std::pair<std::string, std::string>> routed = {
      {"Action_Type", "AUTOMATION"}, {"Action_Owner", "Sit_A"}, {"Action_Node", "hostA:SUB"},
      {"Action_Name", "restart"},    {"Action_Parms", " "},     {"Action_Status", "UNKNOWN"},
      {"Action_Result", " "}};
  EXPECT_EQ(rows[0].texts, routed);
  EXPECT_EQ(rows[0].actionID, 7);
  EXPECT_EQ(rows[0].handle, static_cast<uint32_t>(kHandle));
  EXPECT_EQ(rows[0].controlField, DCH_SingleRow);
  EXPECT_EQ(rows[1].text("Action_Status"), "INPUTPARM_ERROR 3");
  EXPECT_EQ(rows[1].text("Action_Result"), "exit 3");
  EXPECT_EQ(rows[1].actionID, 7);
  // The result is the last the log hears of the action.
  EXPECT_TRUE(Eventually([&] { return entries() == 0; }));
}

TEST_F(ActionLogThreadTest, AResultForAnUnknownActionWritesNoRow) {
  startLogging();
  result(99);
  route(8, "-f now");
  std::vector<Row> rows = server_.rows(1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].kind(), "A8");
  EXPECT_EQ(rows[0].text("Action_Parms"), "-f now");
  EXPECT_EQ(server_.rows(2, 200ms).size(), 1u);
}

// The entry's status moves from UNKNOWN to the reported one; once the result has been
// logged the entry goes, and the table knows the action no more.
TEST_F(ActionLogThreadTest, TheEntrysStatusMovesWithItsResultUntilTheResultIsLogged) {
  startLogging();
  route(5);
  ASSERT_EQ(server_.rows(1).size(), 1u);
  EXPECT_EQ(table_->getActionStatus(5), ZEV_ACTION_STATUS_UNKNOWN);
  EXPECT_TRUE(holds(5));
  server_.hold(true);
  result(5, ZEV_ACTION_DP_ERROR, "no worker");
  ASSERT_EQ(server_.rows(2).size(), 2u);
  EXPECT_EQ(table_->getActionStatus(5), ZEV_ACTION_DP_ERROR) << "while its row is on its way";
  server_.release();
  EXPECT_TRUE(Eventually([&] { return !holds(5); }));
  EXPECT_EQ(table_->getActionStatus(5), ZEV_ACTION_STATUS_UNKNOWN);
}

TEST_F(ActionLogThreadTest, ARowThatTimesOutIsOnlyAWarning) {
  TraceCapture capture("*=0x80");
  startLogging();
  server_.dropNextData(1);
  route(1);
  route(2);
  std::vector<Row> rows = server_.rows(2);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Kinds(rows), (std::vector<std::string>{"A1", "A2"}));
  EXPECT_TRUE(capture.contains("actionID <1> timed out."));
  EXPECT_FALSE(capture.contains("failed."));
}

TEST_F(ActionLogThreadTest, AnUpdateErrorEndsTheLoggingThread) {
  TraceCapture capture("*=0x80");
  startLogging();
  ActionInfo_t record = ResultRecord(1, 0, "");
  record.requestType = 3;
  ASSERT_EQ(table_->cb_put_data(record), 0);
  EXPECT_TRUE(Eventually([&] { return capture.contains("Error: updateActionTable returned: 2"); }));
  route(1);  // nobody takes it
  EXPECT_EQ(server_.rows(1, 300ms).size(), 0u);
}

// The rate limit, with rows as witnesses: records are applied in order, so the row of
// a logged result shows that the records before it were applied at the time then.
TEST_F(ActionLogThreadTest, TheRateLimitRunsOnTheClock) {
  startLogging();
  for (long id = 1; id <= 9; ++id) route(id);
  ASSERT_EQ(server_.rows(9).size(), 9u);
  route(10);  // ten actions in no time: the check disables logging
  route(11);
  result(5);
  ASSERT_EQ(server_.rows(10).size(), 10u);
  clock_.advance(50);
  route(12);  // a pause of 50 seconds changes nothing
  result(6);
  ASSERT_EQ(server_.rows(11).size(), 11u);
  clock_.advance(50);
  for (long id = 13; id <= 19; ++id) route(id);
  route(20);  // 100 seconds since the check at 10: logging again
  ASSERT_EQ(server_.rows(12).size(), 12u);
  result(10);  // the result of an action that was not logged is not logged
  result(20);
  ASSERT_EQ(server_.rows(13).size(), 13u);
  EXPECT_FALSE(holds(10)) << "its entry still goes";
  clock_.advance(1);
  for (long id = 21; id <= 29; ++id) route(id);
  ASSERT_EQ(server_.rows(22).size(), 22u);
  route(30);  // one second since the check at 20
  result(21);
  ASSERT_EQ(server_.rows(23).size(), 23u);
  clock_.advance(61);
  route(31);  // a pause of more than a minute
  std::vector<Row> rows = server_.rows(24);
  std::vector<std::string> expected = {"A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9", "R5", "R6", "A20", "R20"};
  for (long id = 21; id <= 29; ++id) expected.push_back("A" + std::to_string(id));
  expected.insert(expected.end(), {"R21", "A31"});
  EXPECT_EQ(Kinds(rows), expected);
  EXPECT_EQ(server_.rows(25, 200ms).size(), 24u);
}

}  // namespace

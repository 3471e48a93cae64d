// The data provider's DCH link against the agent's real DCH server in its host
// program on loopback: the requests as they go out at the transport's send slot,
// the server's statuses and handles as they come back, a request cut short and
// sent again, a server that goes away, the fall-back to UDP, and an action pushed
// to the data provider. The models come from small metafiles; a stand-in plays
// the DCH client thread; consumers use the channel library's verbs.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "action_entry.h"
#include "action_replies.h"
#include "application_entry.h"
#include "attribute_entry.h"
#include "dch/dch_api.h"
#include "dch_endpoint.h"
#include "dch_message_parser.h"
#include "dch_requests.h"
#include "dp_anchor.h"
#include "provider_road_fixture.h"
#include "routine_overrides.h"
#include "send_slot_recorder.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trace_capture.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using Request = void (*)(SourceEntry*, DCHcomm*);

// Application Abc: two groups of a source on this host each. Xyz is never registered.
const std::vector<std::string> kAbc = {"//APPL Abc",        "//NAME Grp P 60",   "//SOURCE BASE one",
                                       "//ATTRIBUTES ';'",  "Name D 8",          "Cnt C",
                                       "//NAME Grp2 P 60",  "//SOURCE BASE two", "//ATTRIBUTES ';'",
                                       "Name D 8",          "Cnt C"};
const std::vector<std::string> kXyz = {"//APPL Xyz", "//NAME Grp P 60", "//ATTRIBUTES ';'", "Name D 8"};

// Key and atomic, % as G, Z as D, a K attribute and one kept out of the row, an
// attribute without enumeration and help, and a group never registered.
const std::vector<std::string> kReg = {"//APPL Reg @hi",     "//NAME Keys K 120 @g", "//ATTRIBUTES ';'",
                                       "Host D 8 KEY ATOMIC @h", "Load % 4",            "Skip K 4",
                                       "-Hid D 4",           "Cnt C",                "Last Z 4",
                                       "//NAME ~Hidden P 60", "//ATTRIBUTES ';'",     "X D 4"};

// Bytes from hex digits; blanks are for reading.
std::string Hex(const char* hex) { return rawdch::Hex(hex); }

// Hand-written from the wire format: texts in EBCDIC ("Reg" D9 85 87, "Keys" D2 85
// A8 A2, "localhost" 93 96 83 81 93 88 96 A2 A3).
const std::string kRegisterReg = Hex(
    "0000007A"
    "00000008 0010 1010"
    "00000009 0020 D98587"
    "00000008 0090 8889"
    "0000000A 0022 D285A8A2"
    "00000007 0090 87"
    "00000007 0030 D2"
    "0000000A 0040 00000078"
    "0000003B 0060"
    "  7C5BC896A2A3 6B C4 6B F8 6B 40 6B 88 5E"  // @$Host,D,8, ,h;
    "  D3968184 6B C7 6B F4 6B 40 6B 40 5E"      // Load,G,4, , ;
    "  C395A3 6B C3 6B F4 6B 40 6B 40 5E"        // Cnt,C,4, , ;
    "  D381A2A3 6B C4 6B F4 6B 40 6B 40 5E");    // Last,D,4, , ;
const std::string kOnlineReg = Hex(
    "0000002E 00000008 0010 1015 00000009 0020 D98587 0000000A 0022 D285A8A2"
    "0000000F 0021 939683819388 96A2A3");
const std::string kWaitForAutomation = Hex("00000023 00000008 0010 1040 00000008 0100 0001 0000000F 0021 93968381938896A2A3");
const std::string kOfflineOfHandle5 = Hex("00000016 00000008 0010 1025 0000000A 0080 00000005");
// The data head with the control value 0x10 and no pairs: the handle goes at byte 18.
std::string ClearRow(uint32_t handle) {
  std::string bytes = Hex("0000001E 00000008 0010 1030 0000000A 0080 00000000 00000008 0070 0010");
  for (int i = 0; i < 4; ++i) bytes[18 + i] = static_cast<char>(handle >> (24 - 8 * i));
  return bytes;
}

// What the automation server was handed, copied out of the receive buffer.
struct HandedAction {
  int fieldCount = 0;
  uint16_t type = 0;
  uint32_t id = 0;
  std::string owner, node, name, parms;
};
std::mutex handedMutex;
std::condition_variable handedChanged;
std::vector<HandedAction> handed;

std::string Text(const DCHview& view) { return std::string(view.data, view.length); }

void RecordAction(DPAB*, const DCHactionMessage* action) {
  std::lock_guard<std::mutex> lock(handedMutex);
  handed.push_back({action->fieldCount, action->actionType, action->actionID, Text(action->owner), Text(action->node),
                    Text(action->name), Text(action->parms)});
  handedChanged.notify_all();
}

// A stop signal takes effect as the process's threads are next scheduled: waits
// until each of them is stopped.
bool WaitUntilStopped(pid_t pid) {
  auto deadline = steady_clock::now() + milliseconds(kAnswerWaitMs);
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  while (steady_clock::now() < deadline) {
    bool allStopped = true;
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
      std::ifstream stat(task.path() / "stat");
      std::string line;
      std::getline(stat, line);
      size_t state = line.rfind(')');
      allStopped = allStopped && state != std::string::npos && state + 2 < line.size() && line[state + 2] == 'T';
    }
    if (allStopped) return true;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return false;
}

// True once the receive thread of the block has ended, within the answer time.
bool ReceiveTaskEnds(DCHcomm* comm) {
  auto deadline = steady_clock::now() + milliseconds(kAnswerWaitMs);
  for (;;) {
    pthread_mutex_lock(&comm->ReceiveReadyMutex);
    bool running = comm->ReceiveTaskRunning != 0;
    pthread_mutex_unlock(&comm->ReceiveReadyMutex);
    if (!running) return true;
    if (steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
}

class DCHlinkTest : public ProviderRoadTest {
 protected:
  DCHlinkTest() : ProviderRoadTest(PerformRequestOfState) {}
  void SetUp() override {
    ProviderRoadTest::SetUp();
    if (HasFatalFailure()) return;
    // A test that hangs is cut short by the fixture's alarm, silently: say first where
    // the host had got to.
    watchdog_ = std::thread([this, ended = testEnded_.get_future()] {
      if (ended.wait_for(std::chrono::seconds(kHangReportSeconds)) == std::future_status::ready) return;
      std::fprintf(stderr, "The test still runs after %d seconds; the host's trace:\n%s", kHangReportSeconds,
                   host().traceText().c_str());
      std::fflush(stderr);
    });
    abc_ = parse("abc.mdl", kAbc);
    xyz_ = parse("xyz.mdl", kXyz);
    ASSERT_TRUE(abc_ != nullptr && xyz_ != nullptr);
  }
  // The client's receive task reads the transport table from its start.
  void beforeClientStarts() override { wire_ = std::make_unique<SendSlotRecorder>(anchor()); }
  void TearDown() override {
    stopClient();
    wire_.reset();
    testEnded_.set_value();
    if (watchdog_.joinable()) watchdog_.join();
    ProviderRoadTest::TearDown();
  }

  // A request on the client thread; the status it left.
  int32_t request(Request send, SourceEntry* source) {
    client().run([&](DCHcomm* comm) { send(source, comm); });
    return client().status();
  }
  int32_t waitForAction(SourceEntry* source, int type) {
    client().run([&](DCHcomm* comm) { ZEVP_DoDPwaitForAction(source, comm, type); });
    return client().status();
  }

  static void SetRow(SourceEntry* source, const char* name, int32_t count) {
    AttributeEntry* nameAttribute = source->FirstAttribute;
    AttributeEntry* countAttribute = nameAttribute->next;
    std::memcpy(nameAttribute->Value(), name, std::strlen(name));
    nameAttribute->ActualValSize = static_cast<uint16_t>(std::strlen(name));
    std::memcpy(countAttribute->Value(), &count, sizeof count);
    countAttribute->ActualValSize = sizeof count;
  }

  static constexpr int kHangReportSeconds = 20;
  std::promise<void> testEnded_;
  std::thread watchdog_;
  ApplicationEntry* abc_ = nullptr;
  ApplicationEntry* xyz_ = nullptr;
  std::unique_ptr<SendSlotRecorder> wire_;
};

TEST_F(DCHlinkTest, RequestsGoOutAsTheWireFormatSays) {
  ApplicationEntry* reg = parse("reg.mdl", kReg);
  ASSERT_NE(reg, nullptr);
  SourceEntry* keys = SourceOf(reg, 0);
  ASSERT_STREQ(keys->pSourceNodeName, "localhost");

  EXPECT_EQ(request(ZEVP_DoDPregister, keys), 0);
  EXPECT_EQ(wire_->last(), kRegisterReg);
  EXPECT_EQ(request(ZEVP_DoDPonline, keys), 0);
  EXPECT_EQ(wire_->last(), kOnlineReg);
  EXPECT_EQ(waitForAction(keys, ZEVP_ACTION_AUTOMATION), 0);
  EXPECT_EQ(wire_->last(), kWaitForAutomation);

  keys->DataSequence = DCH_EndSampleSet;
  EXPECT_EQ(request(ZEVP_DoDPdata, keys), 0);
  EXPECT_EQ(wire_->last(), ClearRow(keys->DCHhandle)) << "a clear row goes without pairs";

  size_t sent = wire_->messages().size();
  keys->DataSequence = DCH_SingleRow;
  TraceCapture trace("*=0xff");
  EXPECT_EQ(request(ZEVP_DoDPdata, keys), 0);
  EXPECT_EQ(wire_->messages().size(), sent) << "a row without values is not sent";
  EXPECT_TRUE(trace.contains(">>>>>dp_data bypassed. No attribute loaded to transfer"));

  keys->DCHhandle = 5;
  request(ZEVP_DoDPoffline, keys);
  EXPECT_EQ(wire_->last(), kOfflineOfHandle5);
}

TEST_F(DCHlinkTest, TheServersStatusesAndHandlesReachTheLinkAndTheSource) {
  SourceEntry* one = SourceOf(abc_, 0);
  SourceEntry* two = SourceOf(abc_, 1);
  SourceEntry* stranger = SourceOf(xyz_, 0);
  SetRow(one, "abc", 1);
  SetRow(two, "def", 2);
  uint32_t firstHandle = 0;
  const struct {
    const char* name;
    std::function<int32_t()> request;
    int32_t status;
  } steps[] = {
      {"register", [&] { return request(ZEVP_DoDPregister, one); }, 0},
      {"register again", [&] { return request(ZEVP_DoDPregister, one); }, 1},
      {"online", [&] { return request(ZEVP_DoDPonline, one); }, 0},
      {"online of a second source", [&] { return request(ZEVP_DoDPonline, two); }, 0},
      {"online of an application never registered", [&] { return request(ZEVP_DoDPonline, stranger); }, 4},
      {"data", [&] { return request(ZEVP_DoDPdata, one); }, 0},
      {"data of a handle the server does not know",
       [&] {
         firstHandle = one->DCHhandle;
         one->DCHhandle = 0x7FFF0000;
         int32_t status = request(ZEVP_DoDPdata, one);
         one->DCHhandle = firstHandle;
         return status;
       },
       2},
      {"offline", [&] { return request(ZEVP_DoDPoffline, one); }, 0},
      {"unregister while a source is online", [&] { return request(ZEVP_DoDPunregister, one); }, 3},
      {"offline of the second source", [&] { return request(ZEVP_DoDPoffline, two); }, 0},
      {"unregister", [&] { return request(ZEVP_DoDPunregister, one); }, 0},
  };
  uint32_t secondHandle = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    EXPECT_EQ(step.request(), step.status);
    if (std::strcmp(step.name, "online") == 0) {
      EXPECT_NE(one->DCHhandle, 0u);
      EXPECT_EQ(one->DCHhandle, client().handle());
    }
    if (std::strcmp(step.name, "online of a second source") == 0) {
      secondHandle = two->DCHhandle;
      EXPECT_NE(secondHandle, 0u);
      EXPECT_NE(secondHandle, one->DCHhandle);
    }
    if (std::strcmp(step.name, "online of an application never registered") == 0) {
      EXPECT_EQ(stranger->DCHhandle, 0u);
    }
  }
  EXPECT_NE(firstHandle, 0u);
  EXPECT_EQ(one->DCHhandle, 0u) << "offline gives the handle back";
  EXPECT_EQ(two->DCHhandle, 0u);
}

// The values of a row as they went: attribute name and value text.
std::vector<std::pair<std::string, std::string>> RowPairs(const std::string& request) {
  std::vector<rawdch::Field> fields;
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!rawdch::SplitFields(request, &fields)) return pairs;
  for (size_t i = 3; i + 1 < fields.size(); i += 2)
    pairs.emplace_back(rawdch::FromNetworkCode(fields[i].value), fields[i + 1].value);
  return pairs;
}

TEST_F(DCHlinkTest, RowValuesGoAtMostAtTheirDeclaredSize) {
  ApplicationEntry* own = parse("own.mdl", {"//APPL Own", "//NAME Lead P 60", "//ATTRIBUTES ';'",
                                            "_DataSourceName D 12", "Name D 8", "Cnt C", "_LocalTimeStamp D 8",
                                            "//NAME Tail P 60", "//ATTRIBUTES ';'", "Name D 8", "_DataSourceName D 4"});
  ASSERT_NE(own, nullptr);
  SourceEntry* lead = SourceOf(own, 0);
  SourceEntry* tail = SourceOf(own, 1);
  ASSERT_EQ(request(ZEVP_DoDPregister, lead), 0);
  ASSERT_EQ(request(ZEVP_DoDPonline, lead), 0);
  ASSERT_EQ(request(ZEVP_DoDPonline, tail), 0);

  // A value longer than its attribute (as a partner may leave it) and a counter
  // of a size no number has.
  AttributeEntry* name = lead->FirstAttribute->next;
  std::memcpy(name->Value(), "abcdefgh", 8);
  name->ActualValSize = 12;
  AttributeEntry* count = name->next;
  count->ActualValSize = 3;
  TraceCapture trace("*=0x80");
  EXPECT_EQ(request(ZEVP_DoDPdata, lead), 0);
  auto pairs = RowPairs(wire_->last());
  ASSERT_EQ(pairs.size(), 2u) << "no own value before an ordinary one, no counter of 3 bytes";
  EXPECT_EQ(pairs[0], std::make_pair(std::string("Name"), rawdch::ToNetworkCode("abcdefgh")));
  EXPECT_EQ(pairs[1].first, "_LocalTimeStamp");
  EXPECT_EQ(pairs[1].second.size(), 8u) << "the 16-character stamp cut to its attribute";
  EXPECT_TRUE(trace.contains("*** attribute Cnt of type C holds 3 bytes, not sent"));

  std::memcpy(tail->FirstAttribute->Value(), "xy", 2);
  tail->FirstAttribute->ActualValSize = 2;
  EXPECT_EQ(request(ZEVP_DoDPdata, tail), 0);
  pairs = RowPairs(wire_->last());
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[1], std::make_pair(std::string("_DataSourceName"), rawdch::ToNetworkCode("loca")));
}

TEST_F(DCHlinkTest, ShortRequestThatDoesNotFitItsBufferIsNotSent) {
  SourceEntry* one = SourceOf(abc_, 0);
  ASSERT_EQ(request(ZEVP_DoDPregister, one), 0);
  char* node = one->pSourceNodeName;
  std::string longName(600, 'n');
  one->pSourceNodeName = longName.data();
  size_t sent = wire_->messages().size();
  TraceCapture trace("*=0x80");
  EXPECT_EQ(request(ZEVP_DoDPonline, one), -1);
  EXPECT_EQ(waitForAction(one, ZEVP_ACTION_RULE), -1);
  one->pSourceNodeName = node;
  EXPECT_EQ(wire_->messages().size(), sent);
  EXPECT_TRUE(trace.contains("*** dp_online request does not fit the 512-byte request buffer"));
}

TEST_F(DCHlinkTest, ApplicationWithoutRegisteredGroupSendsNothing) {
  ApplicationEntry* hidden = parse("hid.mdl", {"//APPL Hid", "//NAME ~Inv P 60", "//ATTRIBUTES ';'", "X D 4"});
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(request(ZEVP_DoDPregister, SourceOf(hidden, 0)), -1);
  hidden->SNMPapplication = 1;  // its groups may come later
  hidden->FirstTable->RegistrationCount = 3;
  EXPECT_EQ(request(ZEVP_DoDPregister, SourceOf(hidden, 0)), 0);
  EXPECT_TRUE(wire_->messages().empty());
}

TEST_F(DCHlinkTest, ACutRequestIsAnsweredSevenAndGoesAgainWhole) {
  SourceEntry* one = SourceOf(abc_, 0);
  ASSERT_EQ(request(ZEVP_DoDPregister, one), 0);
  ASSERT_EQ(request(ZEVP_DoDPonline, one), 0);
  RowWaiter rows("Abc", "Grp");
  syncWithServer();
  ASSERT_TRUE(rows.parked());

  SetRow(one, "abc", 42);
  wire_->cutNextTo(20);
  EXPECT_EQ(request(ZEVP_DoDPdata, one), 0);
  std::vector<std::string> sent = wire_->messages();
  ASSERT_GE(sent.size(), 2u);
  const std::string& cut = sent[sent.size() - 2];
  const std::string& whole = sent.back();
  EXPECT_EQ(cut.size(), 20u);
  EXPECT_GT(whole.size(), 20u);
  EXPECT_EQ(whole.substr(0, 20), cut);

  Row row;
  ASSERT_TRUE(ReadRow(rows.next(kAnswerWaitMs), &row));
  ASSERT_EQ(row.values.size(), 2u);
  EXPECT_EQ(row.values[0], "abc");
  EXPECT_EQ(CounterValue(row.values[1]), 42);
  EXPECT_EQ(rows.next(kSilenceMs), "") << "the row came once";
}

TEST_F(DCHlinkTest, AServerThatGoesAwayEndsTheWaitingRequestAndANewHostTakesTheNextConnect) {
  SourceEntry* one = SourceOf(abc_, 0);
  ASSERT_EQ(request(ZEVP_DoDPregister, one), 0);
  ASSERT_EQ(kill(host().pid(), SIGSTOP), 0);
  ASSERT_TRUE(WaitUntilStopped(host().pid()));
  std::future<int32_t> waiting = std::async(std::launch::async, [&] { return request(ZEVP_DoDPunregister, one); });
  EXPECT_EQ(waiting.wait_for(milliseconds(kSilenceMs)), std::future_status::timeout) << "the request waits";
  ASSERT_EQ(kill(host().pid(), SIGKILL), 0);
  host().waitForEnd(kAnswerWaitMs);

  EXPECT_EQ(waiting.get(), -3);
  EXPECT_EQ(client().socket(), 0);
  EXPECT_TRUE(ReceiveTaskEnds(client().comm()));

  ASSERT_TRUE(host().startReady()) << host().failure();
  EXPECT_EQ(request(ZEVP_DoDPregister, one), 0) << "connected again to the new host";
  EXPECT_EQ(client().connectionState(), ZEVP_DCH_OVER_TCP);
}

TEST_F(DCHlinkTest, WithNobodyListeningTheLinkGoesOverUDP) {
  stopClient();
  ASSERT_NE(host().terminate(kAnswerWaitMs), -1);
  TraceCapture trace("*=0x80");
  auto began = steady_clock::now();
  startClient();
  EXPECT_LT(steady_clock::now() - began, milliseconds(1000)) << "a refused connect is known at once";
  EXPECT_TRUE(trace.contains("TCP connection failed. DCH TCP not available, errno 111"));
  EXPECT_EQ(client().connectionState(), ZEVP_DCH_OVER_UDP);
  EXPECT_NE(client().socket(), 0);

  SourceEntry* one = SourceOf(abc_, 0);
  EXPECT_EQ(request(ZEVP_DoDPregister, one), -2) << "no reply within ZEVP_DCH_REPLY_WAIT";
  ASSERT_TRUE(host().startReady()) << host().failure();
  EXPECT_EQ(request(ZEVP_DoDPregister, one), 0) << "a register datagram answered";
  EXPECT_EQ(client().connectionState(), ZEVP_DCH_OVER_UDP);
}

// The fault: the receive thread's wait for a datagram, begun before a request was sent,
// timed the request out when it ended, so that a request sent late in it had as little
// as nothing of the reply wait; a host that answered within the wait had its answer
// dropped and a registration was deferred. Here the request goes three quarters into
// the first wait, which began as the receive thread started, with nobody to answer.
TEST_F(DCHlinkTest, RegressionARequestSentLateInTheReceivesWaitHasTheWholeReplyWait) {
  stopClient();
  ASSERT_NE(host().terminate(kAnswerWaitMs), -1);
  startClient();
  ASSERT_EQ(client().connectionState(), ZEVP_DCH_OVER_UDP);
  const milliseconds replyWait(ZEVP_DCHreplyWait() * 1000);
  std::this_thread::sleep_for(replyWait * 3 / 4);
  auto sent = steady_clock::now();
  EXPECT_EQ(request(ZEVP_DoDPregister, SourceOf(abc_, 0)), -2);
  auto waited = std::chrono::duration_cast<milliseconds>(steady_clock::now() - sent);
  // Give or take the millisecond rounding of the send time and of the socket wait.
  EXPECT_GE(waited.count(), (replyWait - milliseconds(5)).count());
  ASSERT_TRUE(host().startReady()) << host().failure();  // the fixture ends it
}

// The answer to an action (0x1050): its ID, its status and, in the result form, the
// result text in the network code.
TEST_F(DCHlinkTest, ActionRepliesGoOutAsTheWireFormatSays) {
  SourceEntry* reply = ZEVP_NewActionReplySource(nullptr);
  ActionEntry* action = ZEVP_AllocateActionEntry(anchor());
  reply->CurrentAction = action;
  auto answer = [&] { client().run([&](DCHcomm* comm) { ZEVP_ProvideActionReply(reply, comm); }); };

  action->ActionID = 42;
  action->ActionStatus = -256;
  answer();
  EXPECT_EQ(wire_->last(), rawdch::Hex("00 00 00 20  00 00 00 08 00 10 10 50  00 00 00 0A 01 20 00 00 00 2A"
                                       "  00 00 00 0A 00 11 FF FF FF 00"));

  action->ActionStatus = 0;
  action->ActionResult = ZEVP_CopyActionText("a;b;c", 5);
  answer();
  EXPECT_EQ(wire_->last(), rawdch::Hex("00 00 00 2B  00 00 00 08 00 10 10 50  00 00 00 0A 01 20 00 00 00 2A"
                                       "  00 00 00 0A 00 11 00 00 00 00  00 00 00 0B 01 40 81 5E 82 5E 83"));
  EXPECT_EQ(action->ActionResult, nullptr) << "the result text goes with its send";

  answer();
  EXPECT_EQ(wire_->last().size(), 32u) << "status 0 without a result: no result field";

  size_t sent = wire_->messages().size();
  action->ActionID = 0;
  answer();
  EXPECT_EQ(wire_->messages().size(), sent) << "an action without ID cannot be named to the agent";
  ZEVP_FreeActionReplySource(anchor(), &reply);
}

TEST_F(DCHlinkTest, AnActionForTheSourcesHostReachesTheAutomationServer) {
  RoutineOverrides overrides;
  overrides.routines().provideAction = RecordAction;
  handed.clear();
  SourceEntry* one = SourceOf(abc_, 0);
  ASSERT_EQ(request(ZEVP_DoDPregister, one), 0);
  ASSERT_EQ(waitForAction(one, ZEVP_ACTION_AUTOMATION), 0);
  ASSERT_EQ(dc_provideAction(1, "Sit_A", "localhost:Abc", "localhost:APL00", "restart", 21, nullptr), 0);
  ASSERT_EQ(dc_provideAction(1, "Sit_B", "localhost:Abc", "localhost:APL00", "reload", 22, "-now"), 0);

  std::unique_lock<std::mutex> lock(handedMutex);
  ASSERT_TRUE(handedChanged.wait_for(lock, milliseconds(kAnswerWaitMs), [] { return handed.size() == 2; }));
  EXPECT_EQ(handed[0].fieldCount, 5);
  EXPECT_EQ(handed[0].type, 1);
  EXPECT_EQ(handed[0].id, 21u);
  EXPECT_EQ(handed[0].owner, "Sit_A");
  EXPECT_EQ(handed[0].node, "localhost:Abc");
  EXPECT_EQ(handed[0].name, "restart");
  EXPECT_EQ(handed[0].parms, "");
  EXPECT_EQ(handed[1].fieldCount, 5);
  EXPECT_EQ(handed[1].parms, "-now");
}

}  // namespace

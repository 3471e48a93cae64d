// The DCH client routine in a FILE data provider started as the agent starts one,
// against the agent's DCH server in its host program on loopback: the built-in
// log application and a metafile's application registered and online, rows of a
// source that the test thread owns (as a file server will) reaching a parked
// consumer, a host that restarts between two rows, a start with nobody
// listening, delayed offlines, orders that are no requests, and the shut-down.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "application_entry.h"
#include "dch_client_routine.h"
#include "dch_comm.h"
#include "dch_work_queue.h"
#include "dch_road_fixture.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "hand_built_model.h"
#include "metafile_parser.h"
#include "model_release.h"
#include "process_entry.h"
#include "routine_overrides.h"
#include "running_provider.h"
#include "stdout_capture.h"
#include "source_entry.h"
#include "table_entry.h"
#include "text_patterns.h"
#include "trace_capture.h"
#include "zev/dp_types.h"
#include "zev0/hostnames.h"

namespace {

using std::chrono::steady_clock;

constexpr int kOnline = 0x1015;
constexpr int kOffline = 0x1025;

// Two groups with a time to live, each with a source on this host.
const std::vector<std::string> kAbc = {"//APPL Abc",       "//NAME Grp P 60",  "//SOURCE BASE one", "//ATTRIBUTES ';'",
                                       "Name D 8",         "Text D 16",        "//NAME Grp2 P 60",  "//SOURCE BASE two",
                                       "//ATTRIBUTES ';'", "Name D 8"};

std::string Notice(const std::string& appl, const std::string& group, const std::string& source, int code) {
  return appl + "," + group + "," + source + "," + std::to_string(code);
}

bool WaitFor(const std::function<bool()>& condition, int seconds = 10) {
  auto deadline = steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The next notice of an application (the agent's own action log has notices too),
// of one request code when one is given; empty when none came within the time. The
// waiter is spent after a time-out.
std::string NextOf(StatusWaiter& status, const std::string& application, int waitMs, int code = 0) {
  auto deadline = steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now()).count();
    std::string notice = status.next(static_cast<int>(std::max<long>(left, 0)));
    bool ofCode = code == 0 || (notice.size() > 4 && notice.compare(notice.size() - 4, 4, std::to_string(code)) == 0);
    if (notice.empty() || (notice.rfind(application + ",", 0) == 0 && ofCode)) return notice;
  }
}

// The sources whose copies wait on the delayed-offline queue, in order.
std::vector<SourceEntry*> OfflineCopies(DPAB* anchor) {
  std::vector<SourceEntry*> copied;
  BSV1_GetLock(&anchor->offlineQueueLock);
  for (SourceEntry* copy = anchor->delayedOfflineQueue; copy != nullptr; copy = copy->NextInOfflineQueue)
    copied.push_back(copy->CopiedFrom);
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  return copied;
}

// The DCH client's connection state, read as the link changes it.
int32_t ConnectionStateOf(DPAB* anchor) {
  DCHcomm* link = anchor->dchLink.load();
  BSV1_GetLock(&link->SendLock);
  int32_t state = link->ConnectionState;
  BSV1_ReleaseLock(&link->SendLock);
  return state;
}

// The position of a text in the trace, or npos.
size_t Where(const std::string& trace, const std::string& text, size_t from = 0) { return trace.find(text, from); }

class DCHclientRoutineTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    if (HasFatalFailure()) return;
    setenv("ZEVP_DCH_HOST", "127.0.0.1", 1);
    setenv("ZEV_DP_HOSTNAME", "localhost", 1);
    setenv("ZEVP_DCH_REPLY_WAIT", "1", 1);
    ZEV0_LocalHostNameString();
    char pattern[] = "/tmp/zev_dchclient_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = std::string(pattern) + "/";
    std::ofstream file(directory_ + "abc.mdl");
    for (const std::string& line : kAbc) file << line << "\n";
  }
  void TearDown() override {
    provider_.reset();
    std::filesystem::remove_all(directory_);
    DCHroadTest::TearDown();
  }

  // A FILE data provider with its log online.
  DPAB* start() {
    provider_ = std::make_unique<RunningDataProvider>(ZEV_DP_FILE, directory_);
    EXPECT_TRUE(provider_->waitForLogOnline());
    return provider_->anchor();
  }
  // The application of abc.mdl, loaded and registered through the model.
  ApplicationEntry* load(DPAB* anchor) {
    int definitionError = 0, alreadyLoaded = 0;
    return ZEVP_ConstructApplDataModel(anchor, "abc.mdl", 0, &definitionError, &alreadyLoaded, 0, 1);
  }
  static SourceEntry* SourceOf(ApplicationEntry* application, int group) {
    TableEntry* table = application->FirstTable;
    for (int i = 0; i < group && table != nullptr; ++i) table = table->next;
    return table != nullptr ? table->FirstSource : nullptr;
  }
  static std::string LogSourceName(DPAB* anchor) { return anchor->logSource.load()->pSourceNodeName; }

  // One row of the source to a consumer parked for it: its values.
  std::vector<std::string> sendRow(SourceOwner& owner, SourceEntry* source, const std::string& name) {
    RowWaiter rows("Abc", "Grp");
    syncWithServer();
    EXPECT_TRUE(rows.parked());
    SetAttributeValue(source, "Name", name);
    SetAttributeValue(source, "Text", name + " text");
    EXPECT_EQ(owner.order(source, ZEVP_Output), ZEVP_Active);
    Row row;
    if (!ReadRow(rows.next(kAnswerWaitMs), &row)) return {};
    return row.values;
  }

  HeldClock clock_;
  std::string directory_;
  std::unique_ptr<RunningDataProvider> provider_;
};

TEST_F(DCHclientRoutineTest, TheLogAndAMetafilesApplicationGoOnlineAndAnOwnedSourcesRowsReachTheConsumer) {
  StatusWaiter status;
  syncWithServer();
  TraceCapture trace("*=0x90 storage=0x80");
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  EXPECT_EQ(NextOf(status, "DVAGENT", kAnswerWaitMs), Notice("DVAGENT", "DPLOG", LogSourceName(anchor), kOnline));

  ApplicationEntry* abc = load(anchor);
  ASSERT_NE(abc, nullptr);
  SourceEntry* one = SourceOf(abc, 0);
  EXPECT_EQ(ZEVP_SourceStateOf(one), ZEVP_Ready) << "registered";
  SourceOwner owner(anchor);
  EXPECT_EQ(owner.order(one, ZEVP_Ready), ZEVP_Active);
  EXPECT_EQ(NextOf(status, "ABC", kAnswerWaitMs), Notice("ABC", "GRP", "localhost", kOnline));
  EXPECT_TRUE(trace.contains("Automation enabled for subnode localhost"));
  EXPECT_TRUE(trace.contains("Rule enabled for subnode localhost"));

  EXPECT_EQ(sendRow(owner, one, "alpha"), (std::vector<std::string>{"alpha", "alpha text"}));
  EXPECT_EQ(sendRow(owner, one, "beta"), (std::vector<std::string>{"beta", "beta text"}));
}

// The registration works on the whole application under the model's locks, which come
// before a source's: copies of a group's attribute list, made as it is parsed, take a
// source's lock under the group's. Under ThreadSanitizer the two orders meet here.
TEST_F(DCHclientRoutineTest, AGroupOfTwoSourcesIsRegisteredUnderTheModelsLockOrder) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  std::ofstream(directory_ + "two.mdl") << "//APPL Two\n//NAME Grp P 60\n//SOURCE BASE one\n//SOURCE BASE two\n"
                                           "//ATTRIBUTES ';'\nName D 8\n";
  int definitionError = 0, alreadyLoaded = 0;
  ApplicationEntry* two = ZEVP_ConstructApplDataModel(anchor, "two.mdl", 0, &definitionError, &alreadyLoaded, 0, 1);
  ASSERT_NE(two, nullptr);
  SourceEntry* first = two->FirstTable->FirstSource;
  ASSERT_NE(first->next, nullptr);
  EXPECT_EQ(ZEVP_SourceStateOf(first), ZEVP_Ready) << "registered";
  EXPECT_EQ(ZEVP_SourceStateOf(first->next), ZEVP_Ready);
  EXPECT_NE(first->next->FirstAttribute, nullptr) << "the second source has its copy of the attributes";
}

// The row of one log message as the consumer receives it.
struct LogRow {
  std::string time, name, type, category, text, version;
};
bool ReadLogRow(const std::string& message, LogRow* row) {
  Row raw;
  if (!ReadRow(message, &raw) || raw.values.size() != 6) return false;
  *row = {raw.values[0], raw.values[1], raw.values[2], raw.values[3], raw.values[4], raw.values[5]};
  return true;
}
std::string Trimmed(const std::string& text) { return text.substr(0, text.find_last_not_of(' ') + 1); }

TEST_F(DCHclientRoutineTest, LogMessagesArriveAsRowsOfTheLogApplication) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  // The automation server's own message ("DP automation server active") goes before the test's.
  ASSERT_TRUE(WaitFor([anchor] {
    BSV1_GetLock(&anchor->heldActionLock);
    bool serving = anchor->automationServerEntry != nullptr;
    BSV1_ReleaseLock(&anchor->heldActionLock);
    return serving;
  }));
  ASSERT_TRUE(WaitFor([anchor] { return !zevp::DPlogQueued(anchor) && ZEVP_SourceStateOf(anchor->logSource) == ZEVP_Active; }));
  RowWaiter rows("DVAgent", "DPLOG");
  syncWithServer();
  ASSERT_TRUE(rows.parked());
  // Sends a message and takes its row and what was printed (gtest prints there too:
  // the checks come after).
  std::vector<std::string> printed;
  auto send = [&](int32_t number, const char* insert, LogRow* row) {
    StdoutCapture out;
    ZEVP_SendDPlogMessage(number == 0 ? nullptr : anchor, number, insert);
    bool read = ReadLogRow(rows.next(kAnswerWaitMs), row);
    // The automation server's message may have left the log queue and still be on
    // its way to the agent when the test parked: its row comes first then.
    if (read && row->text == "DP automation server active") read = ReadLogRow(rows.next(kAnswerWaitMs), row);
    printed = out.takeLines();

    return read;
  };

  LogRow row;
  ASSERT_TRUE(send(0, nullptr, &row));  // as the console service will at start, without an anchor
  EXPECT_EQ(Trimmed(row.category), "SYSTEM");
  EXPECT_EQ(row.text, "DP ready");
  EXPECT_TRUE(MatchesPattern(row.time, R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d \d\d\d)")) << row.time;
  EXPECT_EQ(row.name, LogSourceName(anchor));
  EXPECT_EQ(row.type, "FILE");
  EXPECT_EQ(row.version, "ZEV350");
  EXPECT_EQ(printed, std::vector<std::string>{"DP ready"});

  ASSERT_TRUE(send(18, "in.log", &row));  // two at signs, one insert
  EXPECT_EQ(Trimmed(row.category), "INFO");
  EXPECT_EQ(row.text, "File in.log does not exist. Monitoring delayed for attribute group ?, wait for file creation...");
  EXPECT_TRUE(printed.empty()) << "only SYSTEM messages are printed";

  std::string longName(300, 'f');
  ASSERT_TRUE(send(17, longName.c_str(), &row));
  ASSERT_EQ(row.text.size(), 256u) << "DP_Log_Text's size";
  EXPECT_EQ(row.text.substr(0, 30), "Monitoring for file ffffffffff");
  EXPECT_EQ(row.text.substr(253), "...");
}

// A DCH client that starts when the test lets it.
std::promise<void>* clientGate = nullptr;
void GatedClient(ProcessEntry* entry) {
  clientGate->get_future().wait();
  ZEVP_DCHclientRoutine(entry);
}

TEST_F(DCHclientRoutineTest, RequestsQueuedBeforeTheClientRunsAreCarriedOutOnceItRuns) {
  std::promise<void> gate;
  clientGate = &gate;
  RoutineOverrides overrides;
  overrides.routines().dchClientRoutine = GatedClient;
  provider_ = std::make_unique<RunningDataProvider>(ZEV_DP_FILE, directory_);
  ASSERT_TRUE(WaitFor([] {
    DPAB* anchor = Main_DPAB.load();
    if (anchor == nullptr) return false;
    BSV1_GetLock(&anchor->dchWaitQueueLock);
    bool waiting = anchor->dchWaitQueue != nullptr;
    BSV1_ReleaseLock(&anchor->dchWaitQueueLock);
    return waiting;
  })) << "the log application's registration waits for the client";
  auto opened = steady_clock::now();
  gate.set_value();
  EXPECT_TRUE(provider_->waitForLogOnline());
  EXPECT_LT(steady_clock::now() - opened, std::chrono::seconds(5)) << "its requester was woken";
  provider_.reset();
  clientGate = nullptr;
}

TEST_F(DCHclientRoutineTest, AHostStartedAgainBetweenTwoRowsIsSynchronisedAndGetsTheRowWithoutTheOwner) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  ApplicationEntry* abc = load(anchor);
  ASSERT_NE(abc, nullptr);
  SourceEntry* one = SourceOf(abc, 0);
  SourceOwner owner(anchor);
  ASSERT_EQ(owner.order(one, ZEVP_Ready), ZEVP_Active);
  ASSERT_EQ(sendRow(owner, one, "before").size(), 2u);

  ASSERT_TRUE(WaitFor([anchor] { return !zevp::DPlogQueued(anchor); }));
  {
    TraceCapture ending("*=0x90 storage=0x80");
    ASSERT_NE(host().terminate(kAnswerWaitMs), -1);
    ASSERT_TRUE(WaitFor([&ending] { return ending.contains(">>>>> DCH inbound data receive process ended"); }))
        << "the receive thread saw the host go";
  }
  ASSERT_TRUE(host().startReady()) << host().failure();
  TraceCapture trace("*=0x90 storage=0x80");
  EXPECT_EQ(sendRow(owner, one, "after"), (std::vector<std::string>{"after", "after text"}));

  std::string lines = trace.take();
  size_t sync = Where(lines, "*** dp_data failed. DCH synchronization required");
  size_t reRegister = Where(lines, ">>>>>redrive dp_register", sync);
  size_t registered = Where(lines, ">>>>> dp_register completed", reRegister);
  size_t online = Where(lines, ">>>>> dp_online completed", registered);
  size_t redrive = Where(lines, ">>>>>redrive dp_data that initiated reconnection", online);
  size_t sent = Where(lines, "dp_data completed", redrive);
  size_t woken = Where(lines, ">>>>>Notify task", sync);
  ASSERT_NE(sent, std::string::npos) << lines;
  EXPECT_GT(woken, sent) << "the owner is woken once, after the data request sent again";
}

TEST_F(DCHclientRoutineTest, StartedWithNobodyListeningItRegistersByDatagramThenTakesTCP) {
  ASSERT_NE(host().terminate(kAnswerWaitMs), -1);
  TraceCapture trace("*=0x90 storage=0x80");
  provider_ = std::make_unique<RunningDataProvider>(ZEV_DP_FILE, directory_);
  DPAB* anchor = provider_->anchor();
  ASSERT_NE(anchor, nullptr);
  ASSERT_NE(anchor->logSource.load(), nullptr);
  EXPECT_EQ(ZEVP_SourceStateOf(anchor->logSource), ZEVP_Pending) << "the registration got no answer";
  EXPECT_EQ(ConnectionStateOf(anchor), ZEVP_DCH_OVER_UDP);

  ASSERT_TRUE(host().startReady()) << host().failure();
  clock_.advance(61);  // the periodic task retries the registration, by datagram
  EXPECT_TRUE(WaitFor([anchor] { return ZEVP_SourceStateOf(anchor->logSource) == ZEVP_Ready; }));
  EXPECT_TRUE(WaitFor([anchor] { return ConnectionStateOf(anchor) == ZEVP_DCH_OVER_TCP; }));
  clock_.advance(61);  // and then its online, over TCP
  EXPECT_TRUE(WaitFor([anchor] { return ZEVP_SourceStateOf(anchor->logSource) == ZEVP_Active; }));
  std::string lines = trace.take();
  EXPECT_NE(Where(lines, "TCP connect successful. DCH TCP available", Where(lines, ">>>>> dp_register completed")),
            std::string::npos);
}

TEST_F(DCHclientRoutineTest, AnInactiveSourceStaysOnlineUntilItsRowsExpire) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  ApplicationEntry* abc = load(anchor);
  ASSERT_NE(abc, nullptr);
  SourceEntry* one = SourceOf(abc, 0);
  SourceEntry* two = SourceOf(abc, 1);
  SourceOwner owner(anchor);
  for (SourceEntry* source : {one, two}) {
    ASSERT_EQ(owner.order(source, ZEVP_Ready), ZEVP_Active);
    SetAttributeValue(source, "Name", "row");
    ASSERT_EQ(owner.order(source, ZEVP_Output), ZEVP_Active);
  }
  AddKeyList(two);  // rows kept for the agent, which its offline drops
  StatusWaiter status;
  syncWithServer();
  TraceCapture trace("*=0x90 storage=0x80");
  EXPECT_EQ(owner.order(one, ZEVP_Inactive), ZEVP_Ready);
  EXPECT_EQ(owner.order(one, ZEVP_Ready), ZEVP_Active) << "back before its rows expired";
  EXPECT_TRUE(trace.contains(">>>>>dp_online bypassed. Data TTL has not expired"));
  EXPECT_EQ(OfflineCopies(anchor), std::vector<SourceEntry*>{});

  EXPECT_EQ(owner.order(one, ZEVP_Inactive), ZEVP_Ready);
  EXPECT_EQ(owner.order(one, ZEVP_Inactive), ZEVP_Ready);
  EXPECT_TRUE(trace.contains("already on delay offline queue"));
  EXPECT_EQ(owner.order(two, ZEVP_Inactive), ZEVP_Ready);
  EXPECT_EQ(OfflineCopies(anchor), (std::vector<SourceEntry*>{one, two})) << "one copy each";
  EXPECT_FALSE(trace.contains("Sending dp_offline request")) << "the agent saw no source go";

  trace.take();
  clock_.advance(61);
  std::vector<std::string> offlines{NextOf(status, "ABC", kAnswerWaitMs, kOffline),
                                    NextOf(status, "ABC", kAnswerWaitMs, kOffline)};
  std::sort(offlines.begin(), offlines.end());
  EXPECT_EQ(offlines, (std::vector<std::string>{Notice("ABC", "GRP", "localhost", kOffline),
                                                Notice("ABC", "GRP2", "localhost", kOffline)}));
  EXPECT_TRUE(WaitFor([anchor] { return OfflineCopies(anchor).empty(); }));
  BSV1_GetLock(&two->DataLock);
  EXPECT_EQ(two->SavedRows, nullptr) << "freed once, by the copy's offline, and no longer referred to";
  BSV1_ReleaseLock(&two->DataLock);
  std::string lines = trace.take();
  size_t first = Where(lines, "Enqueue delayed dp_offline");
  size_t cycle = Where(lines, "Scan waits on activity", first);
  size_t second = Where(lines, "Enqueue delayed dp_offline", first + 1);
  ASSERT_NE(second, std::string::npos) << lines;
  EXPECT_LT(cycle, second) << "one a cycle";
}

// The fault: the release of an application freed a delayed-offline copy whose offline was
// on the DCH client's queue already; the client then served freed storage and dropped the
// rows of a freed source. Here the client is held at the copy's lock while the release runs.
TEST_F(DCHclientRoutineTest, RegressionAReleaseWaitsForTheCopyWhoseOfflineTheClientHas) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  ApplicationEntry* abc = load(anchor);
  ASSERT_NE(abc, nullptr);
  SourceEntry* one = SourceOf(abc, 0);
  SourceOwner owner(anchor);
  ASSERT_EQ(owner.order(one, ZEVP_Ready), ZEVP_Active);
  SetAttributeValue(one, "Name", "row");
  ASSERT_EQ(owner.order(one, ZEVP_Output), ZEVP_Active);
  ASSERT_EQ(owner.order(one, ZEVP_Inactive), ZEVP_Ready);
  BSV1_GetLock(&anchor->offlineQueueLock);
  SourceEntry* copy = anchor->delayedOfflineQueue;
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  ASSERT_NE(copy, nullptr);

  TraceCapture trace("*=0x90 storage=0x80");
  BSV1_GetLock(&copy->EntryLock);
  clock_.advance(61);
  ASSERT_TRUE(WaitFor([copy] { return ZEVP_IsDCHenqueued(copy) != 0; })) << "the periodic task orders its offline";
  std::thread release([anchor, abc] { ZEVP_ReleaseApplResources(anchor, abc, 1); });
  auto unchained = [anchor, abc] {
    BSV1_GetLock(&anchor->applicationListLock);
    bool listed = false;
    for (ApplicationEntry* application = anchor->applications; application != nullptr; application = application->next)
      listed = listed || application == abc;
    BSV1_ReleaseLock(&anchor->applicationListLock);
    return !listed;
  };
  EXPECT_TRUE(WaitFor(unchained));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // on to the copies
  BSV1_ReleaseLock(&copy->EntryLock);
  release.join();
  EXPECT_EQ(trace.count("Releasing resources for source entry"), 1) << "the client freed it";
  EXPECT_EQ(OfflineCopies(anchor), std::vector<SourceEntry*>{});
}

TEST_F(DCHclientRoutineTest, OrdersThatAreNoRequestsAreFinishedAtOnce) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  ApplicationEntry* abc = load(anchor);
  ASSERT_NE(abc, nullptr);
  SourceEntry* one = SourceOf(abc, 0);
  SourceOwner owner(anchor);
  // The log's rows of the load are sent: from now on nothing else goes to the agent.
  ASSERT_TRUE(WaitFor([anchor] { return !zevp::DPlogQueued(anchor) && ZEVP_SourceStateOf(anchor->logSource) == ZEVP_Active; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::pair<int32_t, const char*> cases[] = {
      {ZEVP_NoState, "*** Invalid source state 0, ignored"},
      {ZEVP_Connected, "*** Invalid source state 2, ignored"},
      {ZEVP_Pending, "*** Invalid source state 4, ignored"},
      {13, "*** Invalid source state 13, ignored"},
      {-1, "*** Invalid source state -1, ignored"},
      {ZEVP_Initial, "*** Logic error. Source in Initial state, ignored"},
      {ZEVP_Active, "*** Logic error. Source in Active state, ignored"},
      {ZEVP_Input, "*** Logic error. Source in Input state, ignored"},
      {ZEVP_Action, "*** Logic error. Source in Action state, ignored"},
  };
  for (const auto& [state, line] : cases) {
    SCOPED_TRACE(line);
    TraceCapture trace("*=0x90 storage=0x80");
    auto begun = steady_clock::now();
    EXPECT_EQ(owner.order(one, state), state);
    EXPECT_LT(steady_clock::now() - begun, std::chrono::seconds(5)) << "woken, not found at the next look";
    EXPECT_TRUE(trace.contains(line));
    EXPECT_FALSE(trace.contains("Sending request")) << "no request";
  }
}

TEST_F(DCHclientRoutineTest, ShutDownTakesTheLogOfflineUnregistersAndEndsAfterTheReceiveThread) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  ApplicationEntry* abc = load(anchor);
  ASSERT_NE(abc, nullptr);
  std::string logSource = LogSourceName(anchor);
  StatusWaiter status;
  syncWithServer();
  TraceCapture trace("*=0x90 storage=0x80");
  auto begun = steady_clock::now();
  provider_->stop();
  EXPECT_LT(steady_clock::now() - begun, std::chrono::seconds(10));
  EXPECT_EQ(Main_DPAB.load(), nullptr) << "every thread ended, the anchor released";
  std::string notice;
  do {
    notice = NextOf(status, "DVAGENT", kAnswerWaitMs, kOffline);
  } while (!notice.empty() && notice != Notice("DVAGENT", "DPLOG", logSource, kOffline));
  EXPECT_EQ(notice, Notice("DVAGENT", "DPLOG", logSource, kOffline));

  std::string lines = trace.take();
  EXPECT_NE(Where(lines, "dp_unregister completed"), std::string::npos);
  EXPECT_EQ(Where(lines, "dp_unregister failed"), std::string::npos);
  size_t receiveEnded = Where(lines, ">>>>> DCH inbound data receive process ended");
  size_t clientEnded = Where(lines, ">>>>> DCH client process ended");
  ASSERT_NE(clientEnded, std::string::npos);
  EXPECT_LT(receiveEnded, clientEnded);
  EXPECT_FALSE(trace.contains("threads did not end"));
}

}  // namespace

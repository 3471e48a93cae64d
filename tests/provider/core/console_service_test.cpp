// The console of a FILE data provider started as the agent starts one, against the
// agent's DCH server in its host program on loopback: a raw UDP client on its console
// port, commands from actions on the test's threads, a registration held back to
// keep a command in progress, and the shut-down.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "console_action.h"
#include "console_area.h"
#include "console_client.h"
#include "console_socket.h"
#include "dch_road_fixture.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "bare_anchor.h"
#include "eventually.h"
#include "loopback_engine.h"
#include "model_records.h"
#include "process_entry.h"
#include "raf.h"
#include "routine_overrides.h"
#include "running_provider.h"
#include "stdout_capture.h"
#include "trace_capture.h"
#include "zev/dp_types.h"

namespace {

// How long one GETPORT of the wait for a console is given.
constexpr int kDiscoveryTryMs = 1500;
constexpr int kReplyWaitMs = 5000;

// Holds the registration of the application LATE until the test lets it go: the
// command that loads it stays in progress meanwhile.
class HeldRegistration {
 public:
  HeldRegistration() {
    current_ = this;
    overrides_.routines().queueAndWaitDCHstatus = Queue;
  }
  ~HeldRegistration() {
    release();
    current_ = nullptr;
  }
  bool waitUntilHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(kReplyWaitMs), [this] { return held_; });
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    wake_.notify_all();
  }

 private:
  static void Queue(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
    HeldRegistration* self = current_;
    bool late = source->Table != nullptr && std::string(source->Table->Application->ApplName) == "LATE";
    if (self != nullptr && late && ZEVP_SourceStateOf(source) == ZEVP_Register) {
      std::unique_lock<std::mutex> lock(self->mutex_);
      self->held_ = true;
      self->wake_.notify_all();
      self->wake_.wait(lock, [self] { return self->released_; });
    }
    ZEVP_QueueAndWaitDCHstatus(anchor, caller, source);
  }

  static HeldRegistration* current_;
  RoutineOverrides overrides_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool held_ = false;
  bool released_ = false;
};

HeldRegistration* HeldRegistration::current_ = nullptr;

class ConsoleServiceTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    if (HasFatalFailure()) return;
    UseLoopbackDCHhost();
    char pattern[] = "/tmp/zev_console_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = std::string(pattern) + "/";
    std::ofstream(directory_ + "ZEVPCNFG") << "* the metafiles imported\n";
    write("m1.mdl", {"//APPL ONE", "//NAME GRP P 60", "//ATTRIBUTES ';'", "Name D 8"});
    write("late.mdl", {"//APPL LATE", "//NAME GRP P 60", "//ATTRIBUTES ';'", "Name D 8"});
    write("bad.mdl", {"//APPL BAD", "//NAME GRP P 60"});
  }
  void TearDown() override {
    if (held_ != nullptr) held_->release();
    provider_.reset();
    held_.reset();
    zevp::SetConsoleInterimMs(15000);
    std::filesystem::remove_all(directory_);
    DCHroadTest::TearDown();
  }

  void write(const std::string& name, const std::vector<std::string>& lines) {
    std::ofstream file(directory_ + name);
    for (const std::string& line : lines) file << line << "\n";
  }

  // A FILE data provider whose console answers.
  DPAB* start() {
    provider_ = std::make_unique<RunningDataProvider>(ZEV_DP_FILE, directory_, RunningDataProvider::Console::Served);
    DPAB* anchor = provider_->anchor();
    port_ = ZEVP_ConsolePortOf(ZEV_DP_FILE);
    // A client of its own, which takes the late answers (and busy ones) to its tries with
    // it. A try waits longer than the console's pause after each command, so that tries
    // do not queue up behind each other.
    ConsoleClient discovery;
    EXPECT_TRUE(Eventually(
        [&] { return discovery.exchange(port_, "GETPORT", kDiscoveryTryMs).rfind("0 ", 0) == 0; }, kReplyWaitMs))
        << "the console answers";
    return anchor;
  }
  std::string ask(const std::string& command) { return client_.exchange(port_, command, kReplyWaitMs); }

  HeldClock clock_;
  std::unique_ptr<HeldRegistration> held_;
  std::string directory_;
  std::unique_ptr<RunningDataProvider> provider_;
  ConsoleClient client_;
  unsigned short port_ = 0;
};

TEST_F(ConsoleServiceTest, AtStartTheConsoleSaysItIsActiveAndTellsItsPort) {
  raf::TakeConsoleMessages();
  StdoutCapture output;
  start();
  EXPECT_EQ(ask("GETPORT"), "0 1 " + std::to_string(port_));
  std::vector<std::string> lines;
  EXPECT_TRUE(Eventually(
      [&] {
        for (const std::string& line : output.takeLines()) lines.push_back(line);
        return std::find(lines.begin(), lines.end(), "DP ready") != lines.end();
      },
      kReplyWaitMs));
  auto active = std::find(lines.begin(), lines.end(), "DP console interface active");
  EXPECT_NE(active, lines.end());
  EXPECT_LT(active, std::find(lines.begin(), lines.end(), "DP ready"));
  std::vector<raf::ConsoleMessage> messages = raf::TakeConsoleMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "FILE DP Active! Initialization completed successfully.");
  EXPECT_EQ(messages[0].category, "SystemStatus");
  EXPECT_EQ(messages[0].severity, "Status");
}

TEST_F(ConsoleServiceTest, EveryBadCommandIsAnsweredAndTheConsoleAnswersOn) {
  start();
  const std::string longName(1500, 'm');
  const std::pair<std::string, std::string> cases[] = {
      {"", "1 "},
      {"     ", "1 "},
      {std::string(1600, 'A'), "1 "},  // one byte more than a command holds: cut, never overrun
      {"\x01\x02\x7f garbage", "1 "},
      {"SET host", "1 "},
      {"VALIDATE m1.mdl", "1 "},
      {"UNPACK m1.mdl", "1 "},
      {"check m1.mdl", "3 "},  // the default product has metafile commands
      {"CHECK zev", "4 "},
      {"SHOW nothere", "3 "},
      {"SHOW", "3 "},
      {"SHOW " + longName, "3 "},
      {"DELETE " + longName, "3 "},
      {"REFRESH " + longName, "3 "},
      {"ACCEPT " + longName, "3 "},
      {"IMPORT " + longName, "8 "},
      {"IMPORT", "8 "},
      {"IMPORT missing.mdl", "8 "},
      {"IMPORT bad.mdl", "5 "},
      {"PING", "10 "},
      {"TRAPCNFG", "10 "},
      {"LOADLIST nodes.lst", "10 "},
  };
  for (const auto& [command, reply] : cases) {
    SCOPED_TRACE(command.substr(0, 40));
    EXPECT_EQ(ask(command), reply);
  }
  EXPECT_EQ(ask("list"), "0 ZEV ") << "the built-in log application alone";
}

// An IMPORT whose registration is held: another client is told "busy" with the
// command in progress, as often as it asks; the IMPORT's client hears "still
// running" each interim period and then its reply.
TEST_F(ConsoleServiceTest, ACommandInProgressMakesOthersBusyAndItsClientHearsItStillRuns) {
  zevp::SetConsoleInterimMs(50);
  held_ = std::make_unique<HeldRegistration>();
  DPAB* anchor = start();
  ASSERT_TRUE(client_.send(port_, "IMPORT late.mdl"));
  ASSERT_TRUE(held_->waitUntilHeld());
  ConsoleClient other;
  for (int n = 0; n < 10; ++n) ASSERT_TRUE(other.send(port_, "LIST"));
  for (int n = 0; n < 10; ++n) EXPECT_EQ(other.receive(kReplyWaitMs), "7 3") << n;
  EXPECT_EQ(client_.receive(kReplyWaitMs), "99 ");
  EXPECT_EQ(client_.receive(kReplyWaitMs), "99 ");

  // A command from an action waits until the client's command has finished.
  auto action = std::async(std::launch::async, [anchor] {
    return zevp::RunConsoleCommandFromAction(anchor, "CHECK late.mdl");
  });
  EXPECT_EQ(action.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  held_->release();
  std::string reply;
  while ((reply = client_.receive(kReplyWaitMs)) == "99 ") {
  }
  EXPECT_EQ(reply, "0 ");
  ASSERT_EQ(action.wait_for(std::chrono::milliseconds(kReplyWaitMs)), std::future_status::ready);
  zevp::ConsoleActionOutcome checked = action.get();
  EXPECT_EQ(checked.status, 0) << "CHECK answered 13, which an action carries in its (empty) text";
  EXPECT_EQ(checked.text, "");
  EXPECT_EQ(ask("LIST"), "0 ZEV " + directory_ + "late.mdl ");
}

TEST_F(ConsoleServiceTest, ConsoleCommandsFromActionsGetTheirStatusAndResultText) {
  TraceCapture trace("*=0x90 storage=0x80");
  DPAB* anchor = start();
  const struct {
    const char* command;
    int32_t status;
    const char* text;
  } cases[] = {
      {"SHOW m1.mdl", -1, "Input console command invalid."},
      {"list", -1, "Input console command invalid."},
      {"BOGUS m1.mdl", -1, "Input console command invalid."},
      {"IMPORT", -1, "Required input parameter file name not specified"},
      {"  DELETE  ", -1, "Required input parameter file name not specified"},
      {"LOADLIST", -1, "Required input parameter file name not specified"},
      {"DELETE m1.mdl", 0, "Delete failed. Specified application not defined."},
      {"REFRESH m1.mdl", 0, "Refresh failed. Specified application not defined."},
      {"IMPORT missing.mdl", 0, "Command failed. Metafile not found."},
      {"IMPORT bad.mdl", 0, "Import failed, metafile definition error."},
      {"IMPORT m1.mdl", 0, "Import successfully completed for m1.mdl"},
      {"IMPORT m1.mdl", 0, "m1.mdl already defined. Use REFRESH command to reload data definition."},
      {"IMPORT ONE", 0, "ONE already defined. Use REFRESH command to reload data definition."},
      {"REFRESH m1.mdl", 0, "Refresh successful."},
      {"DELETE ONE", 0, "Delete successful."},
      {"DELETE m1.mdl", 0, "Delete failed. Specified application not defined."},
      {"GETPORT", 0, ""},
      {"TRAPCNFG", 0, "Load SNMP traps configuration command rejected by Non-SNMP DP."},
      {"LOADCOMM", 0, "Load SNMP agent community name command rejected by Non-SNMP DP."},
      {"LOADLIST nodes.lst", 0, "Load SNMP managed node list command rejected by Non-SNMP DP."},
      {"SET host", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    zevp::ConsoleActionOutcome outcome = zevp::RunConsoleCommandFromAction(anchor, c.command);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.text, c.text);
  }
  // Refused commands and those the loaded applications answer never reach the service.
  EXPECT_EQ(trace.count(">>>>>Signal console command task for processing action command"), 10);
  EXPECT_EQ(ask("LIST"), "0 ZEV ");
}

// SHOW of a large application: its segments one datagram each, the first after the
// status, the last headed 3.
TEST_F(ConsoleServiceTest, ShowOfALargeApplicationComesInDatagramsHeadedOneZeroAndThree) {
  std::vector<std::string> lines = {"//APPL WIDE", "//NAME GRP P 60", "//ATTRIBUTES ';'"};
  for (int n = 0; n < 60; ++n) lines.push_back("Attribute_number_" + std::to_string(n) + " D 32");
  write("wide.mdl", lines);
  start();
  EXPECT_EQ(ask("IMPORT wide.mdl"), "0 ");
  ASSERT_TRUE(client_.send(port_, "SHOW wide.mdl"));
  std::vector<std::string> datagrams;
  for (std::string datagram = client_.receive(kReplyWaitMs); !datagram.empty(); datagram = client_.receive(300))
    datagrams.push_back(datagram);
  ASSERT_GE(datagrams.size(), 3u);
  EXPECT_EQ(datagrams.front().substr(0, 4), "0 1 ");
  std::string records = datagrams.front().substr(4);
  for (size_t n = 1; n < datagrams.size(); ++n) {
    EXPECT_EQ(datagrams[n].substr(0, 2), n + 1 == datagrams.size() ? "3 " : "0 ") << n;
    records += datagrams[n].substr(2);
  }
  std::string expected = "0;" + directory_ + "wide.mdl;1;WIDE;2;GRP;Poll Data TTL=60;3;API;-;";
  for (int n = 0; n < 60; ++n) expected += "4;Attribute_number_" + std::to_string(n) + ";Display Type Max Size 32;";
  EXPECT_EQ(records, expected);
}

// An action that waits to hand its command over gives up when the data provider is
// shut down meanwhile, or when the shut-down tells its thread (an action worker,
// counted among the data provider's threads) to end: the console may be carrying
// out the SHUTDOWN that waits for that thread.
struct ActionThread {
  DPAB* anchor;
  std::promise<zevp::ConsoleActionOutcome> outcome;
  ProcessEntry* entry = nullptr;
};

void RunCheckAction(ProcessEntry* entry) {
  auto* action = static_cast<ActionThread*>(entry->parameter);
  action->outcome.set_value(zevp::RunConsoleCommandFromAction(action->anchor, "CHECK late.mdl"));
  ZEVP_ReleaseProcessResources(action->anchor, entry);
  ZEVP_EndThread();
}

TEST_F(ConsoleServiceTest, AnActionWaitingForTheConsoleGivesUpAtShutdown) {
  for (bool byThread : {false, true}) {
    SCOPED_TRACE(byThread ? "the worker told to end" : "the data provider's shut-down flag");
    held_ = std::make_unique<HeldRegistration>();
    DPAB* anchor = start();
    ASSERT_TRUE(client_.send(port_, "IMPORT late.mdl"));
    ASSERT_TRUE(held_->waitUntilHeld());
    ActionThread action{anchor, {}, nullptr};
    std::future<zevp::ConsoleActionOutcome> outcome = action.outcome.get_future();
    ASSERT_TRUE(ZEVP_CreateProcess(anchor, -1, &action, RunCheckAction, 0, &action.entry));
    EXPECT_EQ(outcome.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    if (byThread) {
      // As the shut-down does, under the list lock: the thread's release waits for it.
      BSV1_GetLock(&anchor->processListLock);
      TellToEnd(action.entry);
      BSV1_ReleaseLock(&anchor->processListLock);
    } else {
      anchor->shutdownFlag = 1;
    }
    ASSERT_EQ(outcome.wait_for(std::chrono::milliseconds(kReplyWaitMs)), std::future_status::ready);
    zevp::ConsoleActionOutcome given = outcome.get();
    EXPECT_EQ(given.status, -1);
    EXPECT_EQ(given.text, "Console to DP communication unsuccessful. Command not processed.");
    held_->release();
    provider_.reset();
    held_.reset();
  }
}

// In the agent, which raises its open-file limit, the console socket may be numbered
// above what a select set holds.
TEST_F(ConsoleServiceTest, AConsoleSocketNumberedAbove1023IsServed) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  ASSERT_GE(limit.rlim_max, 1200u) << "the hard limit of open files";
  rlimit raised = limit;
  raised.rlim_cur = limit.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  std::vector<int> taken;
  while (taken.empty() || taken.back() < 1100) taken.push_back(open("/dev/null", O_RDONLY));
  start();
  EXPECT_EQ(ask("GETPORT"), "0 1 " + std::to_string(port_));
  EXPECT_GT(Main_DPAB.load()->consoleArea.load()->consoleSocket, 1023);
  for (int descriptor : taken) close(descriptor);
  setrlimit(RLIMIT_NOFILE, &limit);
}

TEST_F(ConsoleServiceTest, ShutdownFromAnActionReturnsAtOnceAndTheDataProviderEnds) {
  DPAB* anchor = start();
  zevp::ConsoleActionOutcome outcome = zevp::RunConsoleCommandFromAction(anchor, "SHUTDOWN");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.text, "DP shutdown completed.");
  EXPECT_TRUE(Eventually([] { return Main_DPAB.load() == nullptr; }, 10000)) << "the data provider ended";
}

// A shut-down from outside the console (here the main anchor's) wakes the service,
// which ends the data provider as SHUTDOWN does, and its IO thread at once: not
// after the IO thread's interim wait.
TEST_F(ConsoleServiceTest, AShutdownFromOutsideEndsTheConsoleAtOnce) {
  start();
  auto begun = std::chrono::steady_clock::now();
  provider_->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
  EXPECT_EQ(Main_DPAB.load(), nullptr) << "released";
}

TEST_F(ConsoleServiceTest, ShutdownIsAnsweredAndEndsTheDataProvider) {
  start();
  EXPECT_EQ(ask("shutdown"), "0 ");
  EXPECT_TRUE(Eventually([] { return Main_DPAB.load() == nullptr; }, 10000)) << "the data provider ended";
  EXPECT_EQ(client_.exchange(port_, "LIST", 300), "") << "no console any more";
}

}  // namespace

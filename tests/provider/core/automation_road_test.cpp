// The automation server and its workers in a FILE data provider started as the agent
// starts one, against the agent's DCH server in its host program on loopback: the
// actions come from a consumer (dc_provideAction), and their statuses are asked for
// at the data provider's DCH client as it sends them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "action_entry.h"
#include "action_worker.h"
#include "application_entry.h"
#include "automation_server.h"
#include "data_provider_run.h"
#include "action_replies.h"
#include "dch/dch_api.h"
#include "dch_road_fixture.h"
#include "dp_anchor.h"
#include "dp_log_recorder.h"
#include "loopback_engine.h"
#include "metafile_parser.h"
#include "process_entry.h"
#include "refused_thread_starts.h"
#include "routine_overrides.h"
#include "running_provider.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "table_entry.h"
#include "zev/action_codes.h"
#include "zev/dp_types.h"

namespace {

constexpr char kNode[] = "localhost:ACTSGRP00";
constexpr char kSubnode[] = "localhost:ACTS00";

// The automation server of the next data provider starts only once the gate opens.
std::atomic<bool> serverGateOpen{true};

void GatedAutomationServer(ProcessEntry* entry) {
  while (!serverGateOpen && entry->terminationFlag == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ZEVP_AutomationServer(entry);
}

// The answers the DCH client sends, by action ID, as it sends them.
struct Answer {
  long status = ZEV_ACTION_STATUS_UNKNOWN;
  std::string result = "<none>";
};
std::mutex answersMutex;
std::map<uint32_t, Answer> answers;

void RecordedReply(SourceEntry* source, DCHcomm* comm) {
  if (const ActionEntry* action = source->CurrentAction) {
    std::lock_guard<std::mutex> lock(answersMutex);
    answers[action->ActionID] = Answer{action->ActionStatus, action->ActionResult != nullptr ? action->ActionResult : "<none>"};
  }
  ZEVP_ProvideActionReply(source, comm);
}

class AutomationRoadTest : public DCHroadTest {
 protected:
  AutomationRoadTest() {
    gated_.routines().automationServer = GatedAutomationServer;
    gated_.routines().provideActionReply = RecordedReply;
    std::lock_guard<std::mutex> lock(answersMutex);
    answers.clear();
  }
  void SetUp() override {
    DCHroadTest::SetUp();
    if (HasFatalFailure()) return;
    UseLoopbackDCHhost();
    scratch_.write("acts.mdl", "//APPL Acts\n//NAME Grp P 60\n//SOURCE BASE one\n//ATTRIBUTES ';'\nName D 8\n");
    // Commands write their output files into the working directory.
    ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
    ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
  }
  void TearDown() override {
    provider_.reset();
    EXPECT_EQ(chdir(previous_), 0);
    serverGateOpen = true;
    DCHroadTest::TearDown();
  }

  // A FILE data provider whose source of Acts/Grp is online and takes actions.
  DPAB* start() {
    provider_ = std::make_unique<RunningDataProvider>(ZEV_DP_FILE, scratch_.path());
    EXPECT_TRUE(provider_->waitForLogOnline());
    DPAB* anchor = provider_->anchor();
    int definitionError = 0, alreadyLoaded = 0;
    ApplicationEntry* acts = ZEVP_ConstructApplDataModel(anchor, "acts.mdl", 0, &definitionError, &alreadyLoaded, 0, 1);
    EXPECT_NE(acts, nullptr);
    source_ = acts->FirstTable->FirstSource;
    owner_ = std::make_unique<SourceOwner>(anchor);
    EXPECT_EQ(owner_->order(source_, ZEVP_Ready), ZEVP_Active);
    syncWithServer();
    return anchor;
  }

  static void send(uint32_t id, const char* name, const char* parms, const char* node = kNode,
                   const char* owner = "Sit_A") {
    ASSERT_EQ(dc_provideAction(ZEV_ACTION_AUTOMATION, owner, node, kSubnode, name, id, parms), 0);
  }
  // The action's answer once the data provider has sent it; status 1 when none came in time.
  static Answer answerOf(uint32_t id) {
    Answer answer;
    WaitUntil([&] {
      std::lock_guard<std::mutex> lock(answersMutex);
      auto found = answers.find(id);
      if (found != answers.end()) answer = found->second;
      return found != answers.end();
    });
    return answer;
  }
  static long statusOf(uint32_t id) { return answerOf(id).status; }
  static bool answered(uint32_t id) {
    std::lock_guard<std::mutex> lock(answersMutex);
    return answers.count(id) != 0;
  }
  static std::vector<int32_t> WorkerStatuses(DPAB* anchor) {
    std::vector<int32_t> statuses;
    BSV1_GetLock(&anchor->actionWorkerListLock);
    for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker)
      statuses.push_back(worker->ActionWorkerStatus);
    BSV1_ReleaseLock(&anchor->actionWorkerListLock);
    return statuses;
  }
  // The number of workers once every one is idle; 0 when they did not become idle.
  static size_t IdleWorkers(DPAB* anchor) {
    size_t count = 0;
    WaitUntil([&] {
      std::vector<int32_t> statuses = WorkerStatuses(anchor);
      bool idle = std::all_of(statuses.begin(), statuses.end(), [](int32_t s) { return s == ZEVP_WORKER_IDLE; });
      count = idle ? statuses.size() : 0;
      return idle;
    });
    return count;
  }

  HeldClock clock_;
  ScratchDirectory scratch_{"zev_automation_road"};
  char previous_[4096] = {};
  RoutineOverrides gated_;
  DPlogRecorder log_;
  std::unique_ptr<RunningDataProvider> provider_;
  std::unique_ptr<SourceOwner> owner_;
  SourceEntry* source_ = nullptr;
};

TEST_F(AutomationRoadTest, TheDataProvidersAnswers) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  EXPECT_EQ(log_.waitFor(59).number, 59) << "DP automation server active";
  struct Case {
    const char* what;
    const char* name;
    const char* parms;
    const char* node;
    long status;
  };
  const Case cases[] = {
      {"a command", "printf", "'%s\\n' a b c", kNode, 0},
      {"a command that fails", "false", nullptr, kNode, -256},
      {"a node without an active source here", "printf", "x", "localhost:ACTSOTHER00", ZEV_ACTION_SOURCE_OFFLINE},
      {"a trap without a destination", "TRAPEMIT", "x", kNode, 14},
  };
  uint32_t id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    send(++id, c.name, c.parms, c.node);
    EXPECT_EQ(statusOf(id), c.status);
  }
  EXPECT_EQ(answerOf(101).result, "a;b;c");
  DPlogMessage completed = log_.waitFor(61);
  EXPECT_EQ(completed.inserts, (std::vector<std::string>{"Situation/Policy", "Sit_A", "0", "a;b;c"}));
  DPlogMessage begun = log_.waitFor(62);
  EXPECT_EQ(begun.inserts, (std::vector<std::string>{"Situation/Policy", "Sit_A", "printf", "'%s\\n' a b c", "DP"}));
}

TEST_F(AutomationRoadTest, WithoutAWorkerThreadTheAgentHearsDPerrorAndTheEntryIsFreeAgain) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  {
    RefusedThreadStarts refused;
    send(7, "printf", "x");
    EXPECT_EQ(statusOf(7), ZEV_ACTION_DP_ERROR);
    EXPECT_EQ(refused.refused(), 1);
  }
  EXPECT_TRUE(WaitUntil([anchor] {
    BSV1_GetLock(&anchor->actionListLock);
    bool free = true;
    for (ActionEntry* entry = anchor->actionEntries; entry != nullptr; entry = entry->NextEntry)
      free = free && entry->InUse == 0;
    BSV1_ReleaseLock(&anchor->actionListLock);
    return free;
  }));
  send(8, "printf", "x");
  EXPECT_EQ(statusOf(8), 0) << "threads again: a worker again";
}

// A command that runs long holds its worker only: other actions are performed on other
// workers, rows go on, and workers that have finished are taken again in list order.
TEST_F(AutomationRoadTest, ALongCommandHoldsItsWorkerOnly) {
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  const std::string gate = scratch_.file("gate");
  ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
  send(10, "cat", gate.c_str());
  for (uint32_t id : {11u, 12u, 13u}) send(id, "printf", "burst");
  for (uint32_t id : {11u, 12u, 13u}) EXPECT_EQ(statusOf(id), 0) << id;
  EXPECT_FALSE(answered(10)) << "still running";

  RowWaiter rows("Acts", "Grp");
  syncWithServer();
  SetAttributeValue(source_, "Name", "flowing");
  EXPECT_EQ(owner_->order(source_, ZEVP_Output), ZEVP_Active);
  EXPECT_FALSE(rows.next(kAnswerWaitMs).empty()) << "rows keep flowing";

  std::ofstream(gate) << "opened\n";
  EXPECT_EQ(statusOf(10), 0);
  // One worker for the long command and at least one for the burst: a busy machine
  // may have needed more, since each action takes an idle worker or makes one.
  size_t workers = IdleWorkers(anchor);
  ASSERT_GE(workers, 2u);

  for (uint32_t id : {21u, 22u, 23u, 24u}) {
    send(id, "printf", "again");
    EXPECT_EQ(statusOf(id), 0) << id;
    ASSERT_EQ(IdleWorkers(anchor), workers) << "action " << id << " took a worker of the list";
  }

  ASSERT_EQ(mkfifo(scratch_.file("gate2").c_str(), 0600), 0);
  send(30, "cat", scratch_.file("gate2").c_str());
  std::vector<int32_t> firstWorking(workers, ZEVP_WORKER_IDLE);
  firstWorking[0] = ZEVP_WORKER_WORKING;
  EXPECT_TRUE(WaitUntil([&] { return WorkerStatuses(anchor) == firstWorking; })) << "the first of the list";
  std::ofstream(scratch_.file("gate2")) << "opened\n";
  EXPECT_EQ(statusOf(30), 0);
}

TEST_F(AutomationRoadTest, AnActionSentBeforeTheAutomationServerRunsIsPerformedOnceItDoes) {
  serverGateOpen = false;
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  send(5, "printf", "held");
  EXPECT_TRUE(WaitUntil([anchor] {
    BSV1_GetLock(&anchor->heldActionLock);
    bool held = anchor->heldActions != nullptr;
    BSV1_ReleaseLock(&anchor->heldActionLock);
    return held;
  }));
  EXPECT_FALSE(answered(5));
  serverGateOpen = true;
  EXPECT_EQ(statusOf(5), 0);
}

}  // namespace

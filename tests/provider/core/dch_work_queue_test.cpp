// Handing sources to the DCH client: the wait queue before the client runs and
// its hand-over, the client's work list, the requester's wait, the delayed-offline
// queue and the state setter. Sources come from a small metafile.
#include "dch_work_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "application_entry.h"
#include "dch_client_player.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "eventually.h"
#include "gated_clock.h"
#include "manual_clock.h"
#include "metafile_fixture.h"
#include "process_entry.h"
#include "routine_overrides.h"
#include "send_slot_recorder.h"
#include "table_entry.h"
#include "trace_capture.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// One group with four sources of two attributes each.
const std::vector<std::string> kFourSources = {
    "//APPL Abc",          "//NAME Grp P 60",  "//SOURCE BASE one", "//SOURCE BASE two", "//SOURCE BASE three",
    "//SOURCE BASE four", "//ATTRIBUTES ';'", "Name D 8",          "Count C 4",
};

class DCHworkQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    models_.write("abc.mdl", kFourSources);
    MetafileFixture::Parse parse = models_.parse("abc.mdl");
    ASSERT_NE(parse.application, nullptr);
    for (SourceEntry* source = parse.application->FirstTable->FirstSource; source != nullptr; source = source->next)
      sources_.push_back(source);
    ASSERT_EQ(sources_.size(), 4u);
  }
  void TearDown() override {
    anchor()->dchClientEntry = nullptr;
    anchor()->dchWaitQueue = nullptr;
    for (ProcessEntry* entry : entries_) ZEVP_DestroyProcessEntry(entry);
  }

  DPAB* anchor() const { return models_.anchor(); }
  SourceEntry* source(int i) const { return sources_[static_cast<size_t>(i)]; }

  // A DCH client entry without a thread: what is enqueued stays on its list.
  ProcessEntry* publishIdleClient() {
    ProcessEntry* client = newEntry();
    anchor()->dchClientEntry = client;
    return client;
  }
  ProcessEntry* newEntry() {
    entries_.push_back(ZEVP_InitializeProcessEntry(anchor()));
    return entries_.back();
  }

  static std::vector<SourceEntry*> Chain(SourceEntry* head) {
    std::vector<SourceEntry*> chain;
    for (SourceEntry* source = head; source != nullptr && chain.size() < 10; source = source->NextInDCHqueue)
      chain.push_back(source);
    return chain;
  }

  MetafileFixture models_;
  std::vector<SourceEntry*> sources_;
  std::vector<ProcessEntry*> entries_;
};

TEST_F(DCHworkQueueTest, BeforeTheClientRunsSourcesWaitOnceEach) {
  // The owner's entry keeps its own thread id, so the owner still finds it.
  ProcessEntry* owner = newEntry();
  owner->threadId = 4242;
  source(0)->OwningTask = owner;
  ZEVP_EnqueueSourceToDCH(anchor(), source(0));
  EXPECT_EQ(owner->threadId, 4242u);
  int32_t numbered = source(0)->DCHrequestSeqNumber;
  ZEVP_EnqueueSourceToDCH(anchor(), source(1));
  ZEVP_EnqueueSourceToDCH(anchor(), source(0));
  EXPECT_EQ(Chain(anchor()->dchWaitQueue), (std::vector<SourceEntry*>{source(0), source(1)}));
  EXPECT_EQ(source(0)->DCHrequestSeqNumber, numbered) << "a second enqueue numbers nothing";
  EXPECT_EQ(source(1)->DCHrequestSeqNumber, numbered + 1);
  EXPECT_EQ(ZEVP_IsDCHenqueued(source(0)), 0);
  EXPECT_EQ(ZEVP_IsDCHenqueued(source(1)), 0);
}

TEST_F(DCHworkQueueTest, SourceAlreadyEnqueuedLeavesListAndNumberAlone) {
  ProcessEntry* client = publishIdleClient();
  ZEVP_EnqueueSourceToDCH(anchor(), source(0));
  ASSERT_EQ(ZEVP_IsDCHenqueued(source(0)), 1);
  int32_t numbered = ZEVP_CurrentDCHrequestSeqNumber();
  TraceCapture trace("*=0xff");
  ZEVP_EnqueueSourceToDCH(anchor(), source(0));
  EXPECT_EQ(Chain(client->workQueue), std::vector<SourceEntry*>{source(0)});
  EXPECT_EQ(ZEVP_CurrentDCHrequestSeqNumber(), numbered);
  EXPECT_TRUE(trace.contains("bypassed. Already enqueued or DCH work in process"));
}

TEST_F(DCHworkQueueTest, HandOverEnqueuesEachWaitingSourceItselfAndWaitingSourcesGoFirst) {
  ZEVP_EnqueueSourceToDCH(anchor(), source(0));
  ZEVP_EnqueueSourceToDCH(anchor(), source(1));
  ProcessEntry* client = publishIdleClient();
  // One of the waiting sources again, now that the client runs: it is not chained twice.
  ZEVP_EnqueueSourceToDCH(anchor(), source(2));
  ZEVP_EnqueueSourceToDCH(anchor(), source(1));
  EXPECT_EQ(anchor()->dchWaitQueue, nullptr);
  EXPECT_EQ(Chain(client->workQueue), (std::vector<SourceEntry*>{source(0), source(1), source(2)}));
  for (int i : {0, 1, 2}) EXPECT_EQ(ZEVP_IsDCHenqueued(source(i)), 1) << i;

  client->workQueue = nullptr;
  for (int i : {0, 1, 2}) ZEVP_SetDCHenqueued(source(i), 0);
  anchor()->dchClientEntry = nullptr;
  ZEVP_EnqueueSourceToDCH(anchor(), source(3));
  anchor()->dchClientEntry = client;
  ZEVP_EnqueueWaitingDCHrequests(anchor());
  EXPECT_EQ(Chain(client->workQueue), std::vector<SourceEntry*>{source(3)});
  EXPECT_EQ(anchor()->dchWaitQueue, nullptr);
}

TEST_F(DCHworkQueueTest, HandOverWithoutClientLeavesTheWaitQueue) {
  ZEVP_EnqueueSourceToDCH(anchor(), source(0));
  ZEVP_EnqueueWaitingDCHrequests(anchor());
  EXPECT_EQ(Chain(anchor()->dchWaitQueue), std::vector<SourceEntry*>{source(0)});
}

// Batch mode: every request is finished at once with status 0 and the transport is
// never touched; the owner of the source is woken when its request is done.
TEST_F(DCHworkQueueTest, RequesterIsWokenWhenTheClientHasFinishedItsRequest) {
  ManualClock clock;
  anchor()->batchMode = 1;
  RoutineOverrides overrides;
  static std::atomic<int> batchRecords{0};
  batchRecords = 0;
  overrides.routines().outputBatchDataRecord = [](SourceEntry*) { ++batchRecords; };
  SendSlotRecorder wire(anchor());
  DCHclientPlayer client(anchor());
  ProcessEntry* requester = newEntry();
  for (SourceEntry* source : sources_) source->OwningTask = requester;

  const int32_t orders[] = {ZEVP_Register, ZEVP_Ready, ZEVP_Output, ZEVP_Inactive, ZEVP_Unregister};
  auto began = steady_clock::now();
  for (int32_t order : orders) {
    SCOPED_TRACE(StateString[order]);
    ZEVP_UpdateSourceEntryState(source(0), order);
    ZEVP_QueueAndWaitDCHstatus(anchor(), requester, source(0));
    EXPECT_EQ(ZEVP_IsDCHenqueued(source(0)), 0);
    EXPECT_EQ(client.status(), 0);
  }
  EXPECT_LT(steady_clock::now() - began, milliseconds(5000)) << "a requester waited for its 10-second look";
  EXPECT_EQ(client.served().size(), std::size(orders));
  EXPECT_EQ(batchRecords, 1);
  EXPECT_TRUE(wire.messages().empty());
  anchor()->batchMode = 0;
}

// The log server's condition also tells of each queued message. Such a wake while
// its request is still with the client must leave its mutex free for the client,
// which finishes every request under its owner's mutex: a requester that paused
// holding it held up every request queued behind its own, a second a wake.
TEST_F(DCHworkQueueTest, AWakeBeforeTheRequestIsDoneHoldsUpNoOneElse) {
  GatedClock clock;
  publishIdleClient();
  ProcessEntry* requester = newEntry();
  source(0)->OwningTask = requester;
  TraceCapture trace("*=0xff");
  std::promise<void> returned;
  std::future<void> done = returned.get_future();
  std::thread waiting([&] {
    ZEVP_QueueAndWaitDCHstatus(anchor(), requester, source(0));
    returned.set_value();
  });
  ASSERT_TRUE(Eventually([&] { return ZEVP_IsDCHenqueued(source(0)) == 1; }, 10000));
  pthread_mutex_lock(&requester->mutex);
  pthread_cond_signal(&requester->condition);
  pthread_mutex_unlock(&requester->mutex);
  ASSERT_TRUE(Eventually([&] { return trace.contains("Continue wait for DCH request complete signal"); }, 10000));

  // The client's finish, as the DCH client routine does it.
  const bool mutexFree = Eventually([&] { return pthread_mutex_trylock(&requester->mutex) == 0; }, 10000);
  EXPECT_TRUE(mutexFree) << "the requester holds its mutex while its request is not done";
  clock.open();
  if (!mutexFree) pthread_mutex_lock(&requester->mutex);
  ZEVP_SetDCHenqueued(source(0), 0);
  pthread_cond_signal(&requester->condition);
  pthread_mutex_unlock(&requester->mutex);
  EXPECT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  waiting.join();
}

TEST_F(DCHworkQueueTest, ShutDownEndsTheWaitOfARequestNotCarriedOut) {
  ProcessEntry* requester = newEntry();
  anchor()->shutdownFlag = 1;
  std::promise<void> returned;
  std::future<void> done = returned.get_future();
  std::thread waiting([&] {
    ZEVP_QueueAndWaitDCHstatus(anchor(), requester, source(0));
    returned.set_value();
  });
  // Shut-down wakes every thread's entry; the requester sees the flag at once.
  while (done.wait_for(milliseconds(10)) != std::future_status::ready) {
    pthread_mutex_lock(&requester->mutex);
    pthread_cond_signal(&requester->condition);
    pthread_mutex_unlock(&requester->mutex);
  }
  waiting.join();
  EXPECT_EQ(Chain(anchor()->dchWaitQueue), std::vector<SourceEntry*>{source(0)}) << "not carried out";
  anchor()->shutdownFlag = 0;
}

TEST_F(DCHworkQueueTest, RemovalFromTheDelayedOfflineQueue) {
  struct {
    const char* name;
    std::vector<int> queued;
    int removed;  // -1: a null entry
    int result;
    std::vector<int> left;
  } const cases[] = {
      {"empty queue", {}, 0, 0, {}},
      {"null entry", {0, 1}, -1, 0, {0, 1}},
      {"not on the queue", {0, 1}, 2, 0, {0, 1}},
      {"the head", {0, 1, 2}, 0, 1, {1, 2}},
      {"the middle", {0, 1, 2}, 1, 1, {0, 2}},
      {"the tail", {0, 1, 2}, 2, 1, {0, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    anchor()->delayedOfflineQueue = nullptr;
    SourceEntry** link = &anchor()->delayedOfflineQueue;
    for (int i : c.queued) {
      *link = source(i);
      link = &source(i)->NextInOfflineQueue;
    }
    *link = nullptr;
    EXPECT_EQ(ZEVP_RemoveSourceFromWaitQueue(anchor(), c.removed < 0 ? nullptr : source(c.removed)), c.result);
    std::vector<SourceEntry*> left, expected;
    for (SourceEntry* queued = anchor()->delayedOfflineQueue; queued != nullptr; queued = queued->NextInOfflineQueue)
      left.push_back(queued);
    for (int i : c.left) expected.push_back(source(i));
    EXPECT_EQ(left, expected);
  }
  anchor()->delayedOfflineQueue = nullptr;
}

TEST_F(DCHworkQueueTest, StateSetterTracesNamesAndRefusesANullSource) {
  TraceCapture trace("*=0xff");
  ZEVP_UpdateSourceEntryState(source(0), ZEVP_Ready);
  ZEVP_UpdateSourceEntryState(source(0), ZEVP_Output);
  EXPECT_EQ(source(0)->State, ZEVP_Output);
  EXPECT_TRUE(trace.contains("Old state Ready, New state Output"));
  ZEVP_UpdateSourceEntryState(nullptr, ZEVP_Ready);
  EXPECT_TRUE(trace.contains("*****Input source entry invalid @"));
}

}  // namespace

// Shutting a data provider down: telling its threads to end, the bounded wait for
// them, the release of its model, and the release of the anchor.
#include "dp_shutdown.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "idle_thread.h"
#include "hand_built_model.h"
#include "manual_clock.h"
#include "metafile_request_area.h"
#include "run_in_child.h"
#include "trace_capture.h"
#include "zev0/threads.h"

namespace {

// A manual clock whose sleeps last until the anchor has no thread left (at most
// ten real seconds), so the number of looks the shut-down makes is certain.
class ThreadsEndedClock : public ManualClock {
 public:
  explicit ThreadsEndedClock(DPAB* anchor) : anchor_(anchor) {}
  void sleep(unsigned seconds) override {
    WaitForThreadCount(anchor_, 0);
    ManualClock::sleep(seconds);
  }

 private:
  DPAB* anchor_;
};

TEST(ShutdownTest, ThreadsAreToldToEndAndTheWholeModelIsReleased) {
  BareAnchor anchor;
  for (int n = 0; n < 3; ++n)
    ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, IdleUntilTerminated, 0, nullptr), 1);
  for (int n = 1; n <= 2; ++n) AddFullApplication(anchor.get(), n);
  AddIOEntry(anchor.get(), nullptr, 'B', 1);  // a partner that no source took yet
  AddRoutingBlock(anchor.get(), "ROUTE1");
  AddRoutingBlock(anchor.get(), "ROUTE2");

  ThreadsEndedClock clock(anchor.get());
  TraceCapture capture("*=0");  // the termination lines are written whatever the classes
  ZEVP_ShutdownCleanUp(anchor.get(), 1);
  EXPECT_EQ(capture.count("Signal process termination. Thread: "), 3);
  EXPECT_LE(clock.sleptSeconds(), ZEVP_SHUTDOWN_LOOK_SECONDS) << "threads that end at once cost one look at most";
  EXPECT_EQ(ZEVP_ActiveThreadCount(anchor.get()), 0);
  ModelCounts counts = CountModel(anchor.get());
  EXPECT_EQ(counts.applications, 0);
  EXPECT_EQ(counts.ioEntries, 0);
  EXPECT_EQ(counts.apiIOEntries, 0);
  EXPECT_EQ(counts.routingBlocks, 0);
  EXPECT_EQ(counts.offlineCopies, 0);
}

TEST(ShutdownTest, WithoutThreadsTheModelIsReleasedWithoutWaiting) {
  BareAnchor anchor;
  AddFullApplication(anchor.get(), 1);
  ManualClock clock;
  ZEVP_ShutdownCleanUp(anchor.get(), 1);
  EXPECT_EQ(clock.sleptSeconds(), 0);
  EXPECT_EQ(anchor->applications, nullptr);
}

// A thread that ignores its termination flag until the test lets it go, and then
// still reads the model.
std::atomic<bool> letGo{false};
std::atomic<bool> modelReadAfterwards{false};

void IgnoreTermination(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  while (!letGo) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  modelReadAfterwards = std::string(anchor->applications->ApplName) == "APPL1";
  ZEVP_ReleaseProcessResources(anchor, entry);
  ZEVP_EndThread();
}

TEST(ShutdownTest, ThreadThatNeverEndsIsGivenUpOnAndNothingItUsesIsFreed) {
  letGo = false;
  modelReadAfterwards = false;
  BareAnchor anchor;
  AddFullApplication(anchor.get(), 1);
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, IgnoreTermination, 0, nullptr), 1);
  {
    ManualClock clock;
    TraceCapture capture(kEngineTrace);
    ZEVP_ShutdownCleanUp(anchor.get(), 1);
    EXPECT_GE(clock.sleptSeconds(), ZEVP_SHUTDOWN_WAIT_SECONDS);
    EXPECT_LE(clock.sleptSeconds(), ZEVP_SHUTDOWN_WAIT_SECONDS + ZEVP_SHUTDOWN_LOOK_SECONDS);
    EXPECT_GE(capture.count(">>>>>Waiting for all processes to end - 1"), 36);
    EXPECT_TRUE(capture.contains("threads did not end"));
    EXPECT_EQ(CountModel(anchor.get()).applications, 1) << "the model stays while a thread may use it";

    // Nor is the anchor released under the thread.
    ZEVP_ReleaseGlobalResources(anchor.get());
    EXPECT_TRUE(capture.contains("threads still running"));
  }
  letGo = true;
  ASSERT_TRUE(WaitForThreadCount(anchor.get(), 0));
  EXPECT_TRUE(modelReadAfterwards);
  ZEVP_ShutdownCleanUp(anchor.get(), 1);
  EXPECT_EQ(anchor->applications, nullptr);
}

TEST(ShutdownTest, ThreadWaitingForAMetafileIsWoken) {
  BareAnchor anchor;
  ProcessEntry* requester = ZEVP_InitializeProcessEntry(anchor.get());
  MFRA exchange{};
  exchange.Status = ZEVP_MFRA_REQUEST_PENDING;
  exchange.Requester = requester;
  anchor->metafileExchange = &exchange;

  std::atomic<bool> waiting{false};
  int waitResult = -1;
  std::thread waiter([&] {
    pthread_mutex_lock(&requester->mutex);
    waiting = true;
    waitResult = ZEV0_ConditionTimedWait(&requester->condition, &requester->mutex, 10);
    pthread_mutex_unlock(&requester->mutex);
  });
  while (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // The waiter lets go of the mutex only inside its wait: the signal cannot come early.
  pthread_mutex_lock(&requester->mutex);
  pthread_mutex_unlock(&requester->mutex);
  ZEVP_ShutdownCleanUp(anchor.get(), 1);
  waiter.join();
  EXPECT_EQ(waitResult, 0) << "woken by a signal, not by the time-out";
  anchor->metafileExchange = nullptr;
  ZEVP_DestroyProcessEntry(requester);
}

// The main anchor is process-wide: these cases run in a child.
TEST(ShutdownTest, ImmediateShutdownWithoutMainAnchorDoesNothing) {
  RunInChild([] {
    BareAnchor anchor;
    ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, IdleUntilTerminated, 0, nullptr), 1);
    ZEVP_ImmediateDPshutdown();
    EXPECT_EQ(anchor->shutdownFlag.load(), 0);
    EXPECT_EQ(ZEVP_ActiveThreadCount(anchor.get()), 1);
  });
}

TEST(ShutdownTest, ImmediateShutdownTellsTheMainAnchorsThreadsWithoutWaiting) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseProductSpec(directory);
    DPAB* anchor = ZEVP_StartupInitialization();
    ASSERT_NE(anchor, nullptr);
    ZEVP_SetupMainDPanchor(anchor);
    ZEVP_SetupMainDPanchor(nullptr);
    EXPECT_EQ(Main_DPAB.load(), anchor) << "a null anchor leaves the main anchor as it was";
    for (int n = 0; n < 2; ++n)
      ASSERT_EQ(ZEVP_CreateProcess(anchor, -1, nullptr, IdleUntilTerminated, 0, nullptr), 1);
    ZEVP_ImmediateDPshutdown();
    EXPECT_EQ(anchor->shutdownFlag.load(), 1);
    EXPECT_TRUE(WaitForThreadCount(anchor, 0));

    ZEVP_ReleaseGlobalResources(anchor);
    EXPECT_EQ(Main_DPAB.load(), nullptr) << "no main anchor points at released storage";
    ZEVP_ImmediateDPshutdown();
  });
}

}  // namespace

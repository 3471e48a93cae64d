#include "process_entry.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "eventually.h"
#include "idle_thread.h"
#include "proc_text.h"
#include "refused_thread_starts.h"
#include "trace_capture.h"

namespace {

// What a thread saw of itself before it went idle.
std::atomic<ProcessEntry*> locatedByThread{nullptr};
std::atomic<unsigned long> idOfThread{0};

void LocateSelfThenIdle(ProcessEntry* entry) {
  idOfThread = BSV1_ThreadID();
  locatedByThread = ZEVP_LocateOwnProcessEntry(entry->anchor);
  IdleUntilTerminated(entry);
}

TEST(ProcessEntryTest, CreatedThreadIsChainedCountedAndFindsItsOwnEntry) {
  BareAnchor anchor;
  locatedByThread = nullptr;
  int parameter = 7;
  ProcessEntry* entry = nullptr;
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), 2, &parameter, LocateSelfThenIdle, 0, &entry), 1);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(ZEVP_ActiveThreadCount(anchor.get()), 1);
  EXPECT_EQ(ProcessEntriesOf(anchor.get()), std::vector<ProcessEntry*>{entry});
  EXPECT_EQ(entry->anchor, anchor.get());
  EXPECT_EQ(entry->processType, 2);
  EXPECT_EQ(entry->parameter, &parameter);

  ASSERT_TRUE(WaitUntil([] { return locatedByThread.load() != nullptr; }));
  EXPECT_EQ(locatedByThread.load(), entry);
  EXPECT_EQ(entry->threadId.load(), idOfThread.load());
  // The test's own thread was not made by ZEVP_CreateProcess.
  EXPECT_EQ(ZEVP_LocateOwnProcessEntry(anchor.get()), nullptr);

  BSV1_GetLock(&anchor->processListLock);
  TellToEnd(entry);
  BSV1_ReleaseLock(&anchor->processListLock);
  EXPECT_TRUE(WaitForThreadCount(anchor.get(), 0));
  EXPECT_EQ(anchor->processEntries, nullptr);
}

TEST(ProcessEntryTest, EntryMadeAloneIsNeitherChainedNorCounted) {
  BareAnchor anchor;
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor.get());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->anchor, anchor.get());
  EXPECT_EQ(entry->next, nullptr);
  EXPECT_EQ(entry->workQueue, nullptr);
  EXPECT_EQ(entry->threadId.load(), 0u);
  EXPECT_EQ(entry->terminationFlag.load(), 0);
  EXPECT_EQ(anchor->processEntries, nullptr);
  EXPECT_EQ(ZEVP_ActiveThreadCount(anchor.get()), 0);
  ZEVP_DestroyProcessEntry(entry);
}

// Refused thread starts, without and with the hand-shake: nothing of the refused
// entry stays behind and the entry already running is untouched.
TEST(ProcessEntryTest, RefusedThreadLeavesListAndCountAsBefore) {
  for (int handShake : {0, 1}) {
    SCOPED_TRACE(handShake);
    BareAnchor anchor;
    ProcessEntry* running = nullptr;
    ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, IdleUntilTerminated, 0, &running), 1);

    TraceCapture capture("*=0x80");
    RefusedThreadStarts refusal(0, EAGAIN);
    ProcessEntry* refused = running;  // must be overwritten with null
    EXPECT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, IdleUntilTerminated, handShake,
                                 &refused),
              0);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(refusal.refused(), 1);
    EXPECT_TRUE(capture.contains("***** unable to create process, errno: " + std::to_string(EAGAIN)));
    EXPECT_EQ(ProcessEntriesOf(anchor.get()), std::vector<ProcessEntry*>{running});
    EXPECT_EQ(ZEVP_ActiveThreadCount(anchor.get()), 1);
  }
}

void SignalStartThenIdle(ProcessEntry* entry) {
  ZEVP_SignalProcessStart(entry, 0);
  IdleUntilTerminated(entry);
}

TEST(ProcessEntryTest, HandShakeCreatorIsWokenEvenWhenTheThreadSignalsFirst) {
  BareAnchor anchor;
  ProcessEntry* entry = nullptr;
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, SignalStartThenIdle, 1, &entry), 1);
  // Give the thread every chance to report before the creator reaches its wait.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ZEVP_AwaitProcessStart(entry), 0);
  EXPECT_EQ(ZEVP_ActiveThreadCount(anchor.get()), 1);
}

TEST(ProcessEntryTest, FailedStartIsReportedThroughTheHandShake) {
  BareAnchor anchor;
  ProcessEntry* entry = nullptr;
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, ReportFailedStart, 1, &entry), 1);
  EXPECT_EQ(ZEVP_AwaitProcessStart(entry), 1);
  // The thread no longer uses its entry: its creator releases it.
  ZEVP_ReleaseProcessResources(anchor.get(), entry);
  EXPECT_EQ(ZEVP_ActiveThreadCount(anchor.get()), 0);
  EXPECT_EQ(anchor->processEntries, nullptr);
}

// Ends one thread (by its position in the list) and checks the rest of the list.
TEST(ProcessEntryTest, ReleasingHeadOrLastEntryKeepsTheListWellFormed) {
  struct Case {
    const char* name;
    size_t ended;
    std::vector<size_t> left;
  };
  const Case cases[] = {{"head", 0, {1, 2}}, {"middle", 1, {0, 2}}, {"last", 2, {0, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BareAnchor anchor;
    std::vector<ProcessEntry*> made(3);
    for (ProcessEntry*& entry : made)
      ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, IdleUntilTerminated, 0, &entry), 1);
    ASSERT_EQ(ProcessEntriesOf(anchor.get()), made);

    BSV1_GetLock(&anchor->processListLock);
    TellToEnd(made[c.ended]);
    BSV1_ReleaseLock(&anchor->processListLock);
    ASSERT_TRUE(WaitForThreadCount(anchor.get(), 2));
    std::vector<ProcessEntry*> expected;
    for (size_t index : c.left) expected.push_back(made[index]);
    EXPECT_EQ(ProcessEntriesOf(anchor.get()), expected);
  }
}

// Deletion finds a source's thread, then waits on that thread's TerminationLock: the
// entry must not be freed under it although the thread has ended meanwhile.
TEST(ProcessEntryTest, APinnedEntryOutlivesItsThreadUntilTheLastPinGoes) {
  BareAnchor anchor;
  ProcessEntry* entry = nullptr;
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), 1, nullptr, IdleUntilTerminated, 0, &entry), 1);
  BSV1_GetLock(&anchor->processListLock);
  ZEVP_PinProcessEntry(entry);
  ZEVP_PinProcessEntry(entry);
  TellToEnd(entry);
  BSV1_ReleaseLock(&anchor->processListLock);

  EXPECT_EQ(ZEVP_AwaitThreadCountBelow(anchor.get(), 1, 1), 1) << "released while pinned";
  BSV1_GetLock(&entry->TerminationLock);
  BSV1_ReleaseLock(&entry->TerminationLock);
  ZEVP_UnpinProcessEntry(entry);
  EXPECT_EQ(ZEVP_AwaitThreadCountBelow(anchor.get(), 1, 1), 1) << "released with a pin left";
  ZEVP_UnpinProcessEntry(entry);
  EXPECT_TRUE(WaitForThreadCount(anchor.get(), 0));
  EXPECT_EQ(anchor->processEntries, nullptr);
}

// A waiter entry of its own (never chained) is freed by its maker as soon as its DCH
// request is done, while the DCH client, which pinned it, may still be signalling it.
TEST(ProcessEntryTest, ADestroyedEntryIsFreedOnlyOnceTheLastPinGoes) {
  BareAnchor anchor;
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor.get());
  ASSERT_NE(entry, nullptr);
  ZEVP_PinProcessEntry(entry);
  std::atomic<pid_t> makerThread{0};
  std::atomic<bool> destroyed{false};
  std::thread maker([&] {
    makerThread = gettid();
    ZEVP_DestroyProcessEntry(entry);
    destroyed = true;
  });
  // The maker is asleep in the destroy, or (wrongly) through it.
  auto makerSleeps = [&] {
    if (makerThread == 0) return false;
    std::string stat = ProcText("/proc/self/task/" + std::to_string(makerThread.load()) + "/stat");
    size_t name = stat.rfind(") ");
    return name != std::string::npos && stat.compare(name + 2, 1, "S") == 0;
  };
  EXPECT_TRUE(Eventually([&] { return destroyed || makerSleeps(); }, 10000));
  EXPECT_FALSE(destroyed) << "freed while pinned";
  pthread_cond_signal(&entry->condition);  // as the pinner does
  ZEVP_UnpinProcessEntry(entry);
  maker.join();
  EXPECT_TRUE(destroyed);
}

}  // namespace

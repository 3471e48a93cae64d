#include "zev0/storage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "trace_capture.h"

namespace {

// The accounting is process-wide: every test here that allocates with it on frees
// all it allocated, so each starts with no live block recorded (pages stay).
const char* const kAccounting = "*=0x80 storage=0x10";
constexpr int kBlockSize = 1024;  // makes the totals whole kilobytes
constexpr int kEntriesPerPage = 341;

std::string afterAllocation(int kilobytes, int entry) {
  return "After allocation, Total Working Storage Size " + std::to_string(kilobytes) + ".00K, WSB " +
         std::to_string(entry) + "\n";
}

std::string afterFree(int kilobytes, int entry) {
  return "After free, Total Working Storage Size " + std::to_string(kilobytes) + ".00K, WSB " +
         std::to_string(entry) + "\n";
}

TEST(StorageTest, SizeBelowOneIsRefused) {
  TraceCapture capture("*=0x80");
  for (int32_t size : {0, -5}) {
    EXPECT_EQ(ZEV0_GetStorage(size), nullptr);
    EXPECT_TRUE(capture.contains("*****Invalid get storage size " + std::to_string(size) + "\n")) << size;
  }
}

TEST(StorageTest, FreeClearsThePointerAndIsHarmlessTwice) {
  auto* text = static_cast<char*>(ZEV0_GetStorage(16));
  ASSERT_NE(text, nullptr);
  text[15] = 'x';  // the whole block is usable
  ZEV0_FreeStorage(&text);
  EXPECT_EQ(text, nullptr);
  ZEV0_FreeStorage(&text);
  EXPECT_EQ(text, nullptr);
}

TEST(StorageTest, LiveBlocksFillASecondPageAndAFreedEntryIsReused) {
  TraceCapture capture(kAccounting);
  std::vector<void*> blocks;
  for (int i = 0; i < kEntriesPerPage + 1; ++i) blocks.push_back(ZEV0_GetStorage(kBlockSize));
  EXPECT_TRUE(capture.contains(afterAllocation(kEntriesPerPage, kEntriesPerPage)));
  EXPECT_TRUE(capture.contains(afterAllocation(kEntriesPerPage + 1, kEntriesPerPage + 1)));

  ZEV0_FreeStorage(&blocks.front());
  EXPECT_TRUE(capture.contains(afterFree(kEntriesPerPage, 1)));
  blocks.front() = ZEV0_GetStorage(kBlockSize);
  EXPECT_TRUE(capture.contains(afterAllocation(kEntriesPerPage + 1, 1)));

  ZEV0_FreeStorage(&blocks.back());
  EXPECT_TRUE(capture.contains(afterFree(kEntriesPerPage, kEntriesPerPage + 1)));
  blocks.pop_back();
  for (void*& block : blocks) ZEV0_FreeStorage(&block);
  EXPECT_TRUE(capture.contains(afterFree(0, kEntriesPerPage)));
}

TEST(StorageTest, BlockAllocatedWithoutAccountingIsFreedQuietly) {
  void* block;
  {
    TraceCapture quiet("*=0x80");
    block = ZEV0_GetStorage(kBlockSize);
  }
  TraceCapture capture(kAccounting);
  ZEV0_FreeStorage(&block);
  EXPECT_FALSE(capture.contains("After free"));

  void* next = ZEV0_GetStorage(kBlockSize);  // the list holds nothing of it
  EXPECT_TRUE(capture.contains(afterAllocation(1, 1)));
  ZEV0_FreeStorage(&next);
}

// Threads that allocate and free together, all starting at once; true when the
// accounting lock was made at most once and holds nothing of theirs afterwards.
bool accountingIsEmptyAfterThreadsShareIt() {
  TraceCapture capture(kAccounting);
  constexpr int kThreads = 16;
  std::atomic<int> waiting{kThreads};
  std::vector<std::thread> threads;
  for (int t = 1; t <= kThreads; ++t)
    threads.emplace_back([t, &waiting] {
      for (--waiting; waiting > 0;) std::this_thread::yield();
      for (int i = 0; i < 200; ++i) {
        void* block = ZEV0_GetStorage(t * kBlockSize);
        ZEV0_FreeStorage(&block);
      }
    });
  for (std::thread& thread : threads) thread.join();
  bool lockMadeAtMostOnce = capture.count("Initializing WorkingStorageCounterLock") <= 1;
  capture.take();

  void* block = ZEV0_GetStorage(kBlockSize);
  bool empty = capture.contains(afterAllocation(1, 1));
  ZEV0_FreeStorage(&block);
  return lockMadeAtMostOnce && empty;
}

// Regression: the accounting lock was made on first use without a guard, so threads
// allocating together for the first time could each make it and both change the list.
// The check runs in a fresh copy of this program, where the lock does not exist yet.
TEST(StorageDeathTest, FirstAccountedAllocationsOnManyThreadsShareOneLock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(accountingIsEmptyAfterThreadsShareIt() ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(StorageTest, PointerTestsTellNullFromTheRest) {
  TraceCapture capture("storage=0x10");
  int something = 0;
  EXPECT_EQ(ZEV0_IsValidPointer(&something), 1);
  EXPECT_EQ(ZEV0_IsValidPointer(nullptr), 0);
  EXPECT_EQ(ZEV0_IsValidBlockPointer(&something), 1);
  EXPECT_EQ(ZEV0_IsValidBlockPointer(nullptr), 0);
  EXPECT_TRUE(capture.contains("Input pointer is NULL"));
  EXPECT_TRUE(capture.contains("Input block pointer is NULL"));
  EXPECT_EQ(capture.count(" is valid"), 2);
}

}  // namespace

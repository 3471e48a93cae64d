#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "bsv1.h"
#include "manual_clock.h"

namespace {

TEST(BasicsTest, EnvironmentLookUp) {
  setenv("BSV1_TEST_VARIABLE", "value", 1);
  EXPECT_STREQ(BSV1_GetEnv("BSV1_TEST_VARIABLE", 0), "value");
  unsetenv("BSV1_TEST_VARIABLE");
  EXPECT_EQ(BSV1_GetEnv("BSV1_TEST_VARIABLE", 0), nullptr);
  EXPECT_EQ(BSV1_GetEnv(nullptr, 0), nullptr);
}

TEST(BasicsTest, LockMayBeTakenAgainByItsOwner) {
  BSV1_Lock lock;
  ASSERT_EQ(BSV1_InitializeLock(&lock), 0);
  EXPECT_EQ(BSV1_GetLock(&lock), 0);
  EXPECT_EQ(BSV1_GetLock(&lock), 0);
  EXPECT_EQ(BSV1_ReleaseLock(&lock), 0);
  EXPECT_EQ(BSV1_ReleaseLock(&lock), 0);
  // Free again: another thread can take it.
  std::thread other([&] {
    EXPECT_EQ(BSV1_GetLock(&lock), 0);
    EXPECT_EQ(BSV1_ReleaseLock(&lock), 0);
  });
  other.join();
  EXPECT_EQ(BSV1_DestroyLock(&lock), 0);
  // A destroyed lock may be set up again, as a recycled entry's locks are.
  ASSERT_EQ(BSV1_InitializeLock(&lock), 0);
  EXPECT_EQ(BSV1_GetLock(&lock), 0);
  EXPECT_EQ(BSV1_ReleaseLock(&lock), 0);
  EXPECT_EQ(BSV1_DestroyLock(&lock), 0);
}

TEST(BasicsTest, ThreadIdsAreNonZeroAndDistinct) {
  std::set<unsigned long> ids{BSV1_ThreadID()};
  std::thread([&] { ids.insert(BSV1_ThreadID()); }).join();
  EXPECT_EQ(ids.size(), 2u);
  EXPECT_EQ(ids.count(0), 0u);
}

// The number is asked of the kernel once a thread; a forked child, whose one thread
// has a number of its own, must not keep its parent's.
TEST(BasicsTest, ThreadIdIsTheKernelsAlsoInAForkedChild) {
  ASSERT_EQ(BSV1_ThreadID(), static_cast<unsigned long>(syscall(SYS_gettid)));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(BSV1_ThreadID() == static_cast<unsigned long>(getpid()) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(BasicsTest, ManualClockDrivesTimeAndSleep) {
  BSV1_Time real;
  BSV1_GetTime(&real);
  {
    ManualClock clock(500);
    BSV1_Time now;
    BSV1_GetTime(&now);
    EXPECT_EQ(now.seconds, 500);
    BSV1_Sleep(30);  // returns at once
    BSV1_GetTime(&now);
    EXPECT_EQ(now.seconds, 530);
    EXPECT_EQ(clock.sleptSeconds(), 30);
  }
  BSV1_Time after;
  BSV1_GetTime(&after);
  EXPECT_GE(after.seconds, real.seconds);
  EXPECT_LT(after.seconds - real.seconds, 60);
}

}  // namespace

#include "zev0/threads.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "refused_thread_starts.h"
#include "trace_capture.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A mutex and a condition made by the functions under test, with the flags the
// threads of a test hand to each other.
struct Gate {
  pthread_mutex_t mutex;
  pthread_cond_t condition;
  bool started = false;
  bool released = false;
  bool finished = false;

  Gate() {
    ZEV0_InitializeMutex(&mutex);
    ZEV0_InitializeCondVar(&condition);
  }
  ~Gate() {
    pthread_cond_destroy(&condition);
    pthread_mutex_destroy(&mutex);
  }

  void set(bool Gate::*flag) {
    pthread_mutex_lock(&mutex);
    this->*flag = true;
    pthread_cond_broadcast(&condition);
    pthread_mutex_unlock(&mutex);
  }
  // Waits, one second at a time, until the flag is set; false when a wait timed out first.
  bool await(bool Gate::*flag) {
    pthread_mutex_lock(&mutex);
    int rc = 0;
    while (!(this->*flag) && rc == 0) rc = ZEV0_ConditionTimedWait(&condition, &mutex, 1);
    bool set = this->*flag;
    pthread_mutex_unlock(&mutex);
    return set;
  }
};

void* holdUntilReleased(void* argument) {
  auto* gate = static_cast<Gate*>(argument);
  gate->set(&Gate::started);
  gate->await(&Gate::released);
  gate->set(&Gate::finished);
  return argument;
}

int detachStateOf(pthread_t thread) {
  pthread_attr_t attributes;
  int state = -1;
  if (pthread_getattr_np(thread, &attributes) == 0) {
    pthread_attr_getdetachstate(&attributes, &state);
    pthread_attr_destroy(&attributes);
  }
  return state;
}

TEST(ThreadsTest, ThreadRunsInTheDetachStateAskedFor) {
  for (int detachState : {PTHREAD_CREATE_JOINABLE, PTHREAD_CREATE_DETACHED}) {
    SCOPED_TRACE(detachState);
    Gate gate;  // the thread touches it last in the unlock that lets await return
    pthread_t thread;
    ASSERT_EQ(ZEV0_CreateThread(holdUntilReleased, &gate, detachState, &thread), 0);
    ASSERT_TRUE(gate.await(&Gate::started));
    EXPECT_EQ(detachStateOf(thread), detachState);
    gate.set(&Gate::released);
    EXPECT_TRUE(gate.await(&Gate::finished));
    if (detachState == PTHREAD_CREATE_JOINABLE) {
      void* result = nullptr;
      EXPECT_EQ(pthread_join(thread, &result), 0);
      EXPECT_EQ(result, &gate);
    }
  }
}

bool g_refusedRoutineRan = false;

void* markRan(void*) {
  g_refusedRoutineRan = true;
  return nullptr;
}

TEST(ThreadsTest, DetachStateOtherThanTheTwoIsRefused) {
  TraceCapture capture("*=0x80");
  std::vector<int> refused{99, -1};
  if (PTHREAD_CREATE_DETACHED != 64 && PTHREAD_CREATE_JOINABLE != 64) refused.push_back(64);
  for (int detachState : refused) {
    pthread_t thread{};
    const pthread_t untouched = thread;
    EXPECT_EQ(ZEV0_CreateThread(markRan, nullptr, detachState, &thread), -1);
    EXPECT_TRUE(pthread_equal(thread, untouched));
    EXPECT_TRUE(capture.contains("Error: Invalid detachState " + std::to_string(detachState) + "\n"));
  }
  EXPECT_FALSE(g_refusedRoutineRan);
}

TEST(ThreadsTest, RefusedStartIsReportedWithTheSystemError) {
  TraceCapture capture("*=0x80");
  g_refusedRoutineRan = false;
  {
    RefusedThreadStarts refusal(0, EAGAIN);
    pthread_t thread{};
    errno = 0;
    EXPECT_EQ(ZEV0_CreateThread(markRan, nullptr, PTHREAD_CREATE_DETACHED, &thread), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(refusal.refused(), 1);
    EXPECT_TRUE(capture.contains("Error: thread not started: errno=" + std::to_string(EAGAIN)));
  }
  EXPECT_FALSE(g_refusedRoutineRan);
  // With the starter gone, threads start again.
  Gate gate;
  pthread_t thread;
  ASSERT_EQ(ZEV0_CreateThread(holdUntilReleased, &gate, PTHREAD_CREATE_JOINABLE, &thread), 0);
  gate.set(&Gate::released);
  EXPECT_EQ(pthread_join(thread, nullptr), 0);
}

TEST(ThreadsTest, MutexIsNotRecursive) {
  Gate gate;
  pthread_mutex_lock(&gate.mutex);
  EXPECT_EQ(pthread_mutex_trylock(&gate.mutex), EBUSY);
  pthread_mutex_unlock(&gate.mutex);
}

TEST(ThreadsTest, WaitOfZeroSecondsTimesOutAtOnce) {
  Gate gate;
  pthread_mutex_lock(&gate.mutex);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(ZEV0_ConditionTimedWait(&gate.condition, &gate.mutex, 0), ETIMEDOUT);
  EXPECT_LT(secondsSince(start), 0.5);
  pthread_mutex_unlock(&gate.mutex);
}

TEST(ThreadsTest, WaitWithoutASignalLastsItsSeconds) {
  Gate gate;
  pthread_mutex_lock(&gate.mutex);
  Clock::time_point start = Clock::now();
  int rc = 0;
  while (rc == 0) rc = ZEV0_ConditionTimedWait(&gate.condition, &gate.mutex, 1);  // past spurious wake-ups
  double waited = secondsSince(start);
  pthread_mutex_unlock(&gate.mutex);
  EXPECT_EQ(rc, ETIMEDOUT);
  EXPECT_GE(waited, 0.9);
  EXPECT_LT(waited, 3.0);
}

void* signalStarted(void* argument) {
  static_cast<Gate*>(argument)->set(&Gate::started);
  return nullptr;
}

TEST(ThreadsTest, SignalledWaitReturnsZero) {
  Gate gate;
  pthread_mutex_lock(&gate.mutex);
  pthread_t thread;
  ASSERT_EQ(ZEV0_CreateThread(signalStarted, &gate, PTHREAD_CREATE_JOINABLE, &thread), 0);
  // The thread can take the mutex only once this wait has released it.
  int rc = 0;
  while (!gate.started && rc == 0) rc = ZEV0_ConditionTimedWait(&gate.condition, &gate.mutex, 1);
  bool started = gate.started;
  pthread_mutex_unlock(&gate.mutex);
  pthread_join(thread, nullptr);
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(started);
}

}  // namespace

// The periodic task: its cycle rule, one idle run under the manual clock, the
// retry of a deferred registration, the wake-up of file servers, and the probe of
// a TCP partner's address. Its part in the road of rows (delayed offlines, the
// registration retried over the DCH) is in dch_client_routine_test.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "free_port.h"
#include "hand_built_model.h"
#include "io_entry.h"
#include "manual_clock.h"
#include "dch_work_queue.h"
#include "model_release.h"
#include "periodic_cycle.h"
#include "periodic_task.h"
#include "process_entry.h"
#include "socket_partner_watch.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trace_capture.h"

namespace {

using Runs = std::vector<std::pair<int, int>>;  // (cycle time, cycles in a row)

void AddToRuns(Runs& runs, int seconds) {
  if (runs.empty() || runs.back().first != seconds)
    runs.emplace_back(seconds, 1);
  else
    ++runs.back().second;
}

// The cycle times of `cycles` idle cycles (the last run may be cut short).
Runs IdleRuns(const PeriodicCycleSettings& settings, int cycles) {
  PeriodicCycleState state;
  Runs runs;
  for (int i = 0; i < cycles; ++i) {
    AddToRuns(runs, ZEVP_NextCycleTime(settings, state, 0, false));
    ++state.cyclesSinceChange;
  }
  return runs;
}

TEST(PeriodicCycleTest, AnIdleDataProviderSleepsLongerStepByStep) {
  PeriodicCycleSettings defaults;
  EXPECT_EQ(IdleRuns(defaults, 300), (Runs{{1, 30}, {2, 30}, {4, 30}, {8, 30}, {16, 30}, {32, 30}, {64, 120}}));

  struct Case {
    const char* name;
    int window, maxInterval;
    int longest;
  };
  const Case cases[] = {
      {"the window bounds it", 180, 500, 180},
      {"window 0: only the doubling rule", 0, 500, 512},
      {"a negative window is none either", -1, 300, 512},
      {"a maximum of 1 keeps it at 1", 180, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PeriodicCycleSettings settings;
    settings.outageWindow = c.window;
    settings.scanMaxInterval = c.maxInterval;
    Runs runs = IdleRuns(settings, 600);
    EXPECT_EQ(runs.back().first, c.longest);
  }
}

TEST(PeriodicCycleTest, EnoughWorkOrTheEndHalvesTheCycleTime) {
  PeriodicCycleSettings defaults;
  struct Case {
    int units;
    bool terminating;
    int expected;
  };
  const Case cases[] = {{3, false, 32}, {7, false, 32}, {2, false, 64}, {0, true, 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.units);
    PeriodicCycleState state{64, 5};
    EXPECT_EQ(ZEVP_NextCycleTime(defaults, state, c.units, c.terminating), c.expected);
    EXPECT_EQ(state.cyclesSinceChange, c.expected == 64 ? 5 : 0) << "a change starts the count again";
  }
  PeriodicCycleState one{1, 29};
  EXPECT_EQ(ZEVP_NextCycleTime(defaults, one, 3, false), 1) << "never below a second";
}

// Tells the anchor's threads to end as the shut-down does (under the list lock,
// which a thread takes to release its entry) and waits for them, in real time: the
// manual clock's sleeps pass at once.
bool EndThreads(DPAB* anchor) {
  BSV1_GetLock(&anchor->processListLock);
  for (ProcessEntry* entry = anchor->processEntries; entry != nullptr; entry = entry->next) TellToEnd(entry);
  BSV1_ReleaseLock(&anchor->processListLock);
  return WaitForThreadCount(anchor, 0);
}

// The intervals the task traced, in order.
Runs TracedRuns(const std::string& trace) {
  Runs runs;
  std::istringstream lines(trace);
  const std::string mark = "Scan waits on activity - interval ";
  for (std::string line; std::getline(lines, line);) {
    size_t at = line.find(mark);
    if (at != std::string::npos) AddToRuns(runs, std::atoi(line.c_str() + at + mark.size()));
  }
  return runs;
}

TEST(PeriodicTaskTest, AnIdleRunSleepsItsCyclesOneSecondAtATimeAndEndsWhenTold) {
  BareAnchor anchor;
  ManualClock clock;
  TraceCapture trace("*=0x80 periodic_task=0x10");
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, ZEVP_TaskPeriodical, 0, nullptr), 1);
  const int64_t sixSteps = 30 * (1 + 2 + 4 + 8 + 16 + 32);
  ASSERT_TRUE(WaitUntil([&clock, sixSteps] { return clock.sleptSeconds() >= sixSteps + 3 * 64; }));
  ASSERT_TRUE(EndThreads(anchor.get()));

  Runs runs = TracedRuns(trace.take());
  ASSERT_GE(runs.size(), 7u);
  EXPECT_EQ(Runs(runs.begin(), runs.begin() + 6), (Runs{{1, 30}, {2, 30}, {4, 30}, {8, 30}, {16, 30}, {32, 30}}));
  EXPECT_EQ(runs[6].first, 64);
  for (const auto& run : runs) EXPECT_LE(run.first, 64);
}

TEST(PeriodicTaskTest, ADeferredRegistrationIsOrderedAgainAfterAMinute) {
  BareAnchor anchor;
  ManualClock clock;
  ApplicationEntry* application = AddApplication(anchor.get(), "APPL1");
  TableEntry* table = AddTable(application, "GRP");
  SourceEntry* first = AddSource(anchor.get(), table, 'B');
  first->State = ZEVP_Pending;
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, ZEVP_TaskPeriodical, 0, nullptr), 1);
  ASSERT_TRUE(WaitUntil([first] { return ZEVP_SourceStateOf(first) == ZEVP_Register; }));
  EXPECT_GT(clock.sleptSeconds(), 60);
  ASSERT_TRUE(EndThreads(anchor.get()));
  EXPECT_EQ(anchor->dchWaitQueue, first) << "queued for the DCH client, which does not run yet";
  anchor->dchWaitQueue = nullptr;
  ZEVP_ReleaseApplResources(anchor.get(), application, 1);
}

TEST(PeriodicTaskTest, AFileServerWaitingForItsFileIsWoken) {
  BareAnchor anchor;
  ManualClock clock;
  IOEntry* waiting = AddIOEntry(anchor.get(), nullptr, 'F', 0);
  waiting->FileWaitPending = 1;
  std::atomic<int> wakeUps{0};
  std::atomic<bool> done{false};
  std::thread server([waiting, &wakeUps, &done] {
    pthread_mutex_lock(&waiting->Mutex);
    while (!done) {
      struct timespec shortly;
      clock_gettime(CLOCK_REALTIME, &shortly);
      shortly.tv_nsec += 1000000;
      if (shortly.tv_nsec >= 1000000000) shortly = {shortly.tv_sec + 1, shortly.tv_nsec - 1000000000};
      if (pthread_cond_timedwait(&waiting->Condition, &waiting->Mutex, &shortly) == 0) ++wakeUps;
    }
    pthread_mutex_unlock(&waiting->Mutex);
  });
  ASSERT_EQ(ZEVP_CreateProcess(anchor.get(), -1, nullptr, ZEVP_TaskPeriodical, 0, nullptr), 1);
  EXPECT_TRUE(WaitUntil([&wakeUps] { return wakeUps > 0; }));
  EXPECT_TRUE(EndThreads(anchor.get()));
  done = true;
  server.join();
  ZEVP_ReleaseIOResources(anchor.get(), waiting);
}

TEST(PartnerProbeTest, AListeningHostIsAliveAndOneThatRefusesIsToldApart) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(FreeLoopbackPort());
  // As a server binds: connections of an earlier test on the port may be in TIME_WAIT.
  int reuse = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  EXPECT_EQ(ZEVP_ProbePartnerAddress(address), PartnerProbe::Alive);
  close(listener);
  EXPECT_EQ(ZEVP_ProbePartnerAddress(address), PartnerProbe::Refused);
}

}  // namespace

// The start of a data provider by its type, run as the agent runs it: on a
// joinable thread that the test joins. Cases that pass the range check read the
// product specification and run in a child each.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "dp_start.h"
#include "idle_thread.h"
#include "process_entry.h"
#include "refused_thread_starts.h"
#include "routine_overrides.h"
#include "run_in_child.h"
#include "running_provider.h"
#include "scratch_directory.h"
#include "shutdown_request.h"
#include "silent_listener.h"
#include "trace_capture.h"
#include "zev/dp_types.h"
#include "zevp/console.h"

namespace {

TEST(StartByTypeTest, TypeOutOfRangeIsRefusedBeforeAnythingIsBuilt) {
  for (int32_t type : {-1, 9, 10, 11, 12}) {
    SCOPED_TRACE(type);
    TraceCapture capture("*=0x80");
    RefusedThreadStarts noThreads;  // counts any attempt to start one
    DataProviderThread start(type);
    EXPECT_EQ(start.join(), nullptr);
    EXPECT_TRUE(capture.contains("*****Invalid input DP type " + std::to_string(type) + ", Exit!"));
    EXPECT_EQ(noThreads.refused(), 0);
    EXPECT_EQ(Main_DPAB.load(), nullptr);
  }
}

// The input servers, told apart by their routines; the file servers' start, by
// how many input threads were made before it; the console, by its routine.
template <int>
void InputServer(ProcessEntry* entry) {
  IdleUntilTerminated(entry);
}
const ZEVP_ProcessRoutine apiServer = InputServer<0>;
const ZEVP_ProcessRoutine socketServer = InputServer<1>;
const ZEVP_ProcessRoutine postServer = InputServer<2>;
const ZEVP_ProcessRoutine httpManager = InputServer<3>;
const ZEVP_ProcessRoutine fileServer = InputServer<4>;

constexpr int kCommonThreads = 3;  // DCH client, periodic task, automation server
std::atomic<int> inputThreadsBeforeFileServers{-1};
std::atomic<ZEVP_ProcessRoutine> consoleRoutine{nullptr};
std::atomic<bool> startThreadHasAnEntry{true};

void RecordFileServerStart(DPAB* anchor, ZEVP_ProcessRoutine) {
  inputThreadsBeforeFileServers = static_cast<int>(ProcessEntriesOf(anchor).size()) - kCommonThreads;
}

void RecordConsole(DPAB* anchor, ZEVP_ProcessRoutine routine) {
  startThreadHasAnEntry = ZEVP_LocateOwnProcessEntry(anchor) != nullptr;
  consoleRoutine = routine;
  ZEVP_ConsoleService(anchor, routine);
}

void RecordInputThreads(RoutineOverrides& overrides) {
  zevp::EngineRoutines& routines = overrides.routines();
  routines.apiServer = apiServer;
  routines.socketServer = socketServer;
  routines.postServer = postServer;
  routines.httpManagerTask = httpManager;
  routines.fileServer = fileServer;
  routines.checkAndStartFileServer = RecordFileServerStart;
  routines.consoleService = RecordConsole;
  routines.defineDPlogReport = WithoutBuiltInApplication;
  routines.defineHTTPapplication = WithoutBuiltInApplication;
}

struct TypeCase {
  int32_t type;
  const char* line;
  std::vector<ZEVP_ProcessRoutine> inputThreads;  // in the order they are made
  int fileServersAfter;                           // input threads made before the file servers; -1: none
};

// A type that starts: its line, its input threads in order with the data
// provider's type as their process type, the console with its routine, and a
// shut-down request that ends it all.
void RunType(const TypeCase& c) {
  ProdSpecDirectory directory;
  UseProductSpec(directory, {"ENABLE_DPLOG=N"});
  ScaledClock clock;
  RoutineOverrides overrides;
  RecordInputThreads(overrides);
  TraceCapture capture(kEngineTrace);

  DataProviderThread start(c.type);
  // The console runs once every input thread was made.
  ASSERT_TRUE(WaitUntil([] { return consoleRoutine.load() != nullptr; }));
  ASSERT_TRUE(WaitForMainAnchorThreads(kCommonThreads + static_cast<int>(c.inputThreads.size())));
  EXPECT_TRUE(capture.contains(c.line));
  std::vector<ProcessEntry*> entries = ProcessEntriesOf(Main_DPAB.load());
  std::vector<ZEVP_ProcessRoutine> made;
  for (size_t n = kCommonThreads; n < entries.size(); ++n) {
    made.push_back(entries[n]->routine);
    EXPECT_EQ(entries[n]->processType, c.type);
  }
  EXPECT_EQ(made, c.inputThreads);
  EXPECT_EQ(inputThreadsBeforeFileServers.load(), c.fileServersAfter);
  EXPECT_EQ(consoleRoutine.load(), c.fileServersAfter >= 0 ? fileServer : Dummy_Function);
  EXPECT_FALSE(startThreadHasAnEntry) << "the start thread was not made by ZEVP_CreateProcess";

  zevp::RequestShutdownOfEveryDP();
  EXPECT_EQ(start.join(), &ZEVP_ThreadRC);
  EXPECT_EQ(Main_DPAB.load(), nullptr) << "the anchor was released once every thread had ended";
}

TEST(StartByTypeTest, EachInputTypeStartsItsThreadsThenServesTheConsoleUntilShutdown) {
  const TypeCase cases[] = {
      {0, "Input DP Type is API", {apiServer}, -1},
      {1, "Input DP Type is FILE", {}, 0},
      {2, "Input DP Type is SOCK", {socketServer}, -1},
      {3, "Input DP Type is ASFS", {apiServer, socketServer}, 1},
      {4, "Input DP Type is POST", {postServer}, -1},
      {8, "Input DP Type is HTTP", {httpManager}, -1},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.line);
    RunInChild([&] { RunType(c); });
  }
}

TEST(StartByTypeTest, ImmediateShutdownEndsTheRunningDataProvider) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseProductSpec(directory, {"ENABLE_DPLOG=N"});
    ScaledClock clock;
    RoutineOverrides overrides;
    RecordInputThreads(overrides);
    DataProviderThread start(ZEV_DP_SOCK);
    ASSERT_TRUE(WaitUntil([] { return consoleRoutine.load() != nullptr; }));
    ZEVP_ImmediateDPshutdown();
    EXPECT_EQ(start.join(), &ZEVP_ThreadRC);
    EXPECT_EQ(Main_DPAB.load(), nullptr);
  });
}

// An agent that takes the connection and never answers: the start waits for the
// DVAgent registration, over TCP without a limit. A shut-down request, of the main
// anchor or of every data provider, ends that wait at once, the DCH client gives up
// the status it waits for, and the data provider ends in order: its threads ended,
// its anchor released (what is left shows as a leak when the child ends).
TEST(StartByTypeTest, AStartWaitingForAnAgentThatNeverAnswersEndsOnAShutDownRequest) {
  const std::pair<const char*, void (*)()> requests[] = {
      {"immediate shut-down", ZEVP_ImmediateDPshutdown},
      {"every data provider", zevp::RequestShutdownOfEveryDP},
  };
  for (const auto& [title, request] : requests) {
    SCOPED_TRACE(title);
    RunInChild([request = request] {
      ProdSpecDirectory directory;
      UseProductSpec(directory, {"ENABLE_DPLOG=Y"});
      ScratchDirectory scratch;
      SilentListener agent;
      ASSERT_TRUE(agent.listening());
      for (const char* variable : {"ZEVP_META_PATH", "ZEVP_INIT_CONFIG_PATH", "ZEV_WORK_PATH"})
        setenv(variable, scratch.path().c_str(), 1);
      setenv("ZEVP_DCH_HOST", "127.0.0.1", 1);
      setenv("ZEVA_DCH_PORT", std::to_string(agent.port()).c_str(), 1);
      setenv("ZEVP_DCH_REPLY_WAIT", "600", 1);
      // The shut-down's looks pass quickly, and its time limit never: the DCH client's
      // status waits are real seconds.
      HeldClock clock;
      TraceCapture capture(kEngineTrace);

      DataProviderThread start(ZEV_DP_FILE);
      ASSERT_TRUE(WaitUntil([&capture] { return capture.contains(">>>>> Wait 1 DCH status for request"); }));
      request();
      ASSERT_TRUE(start.joinWithin(20000)) << "the start still waits";
      EXPECT_TRUE(capture.contains("***** Data provider start-up ended: shut-down requested"));
      EXPECT_TRUE(capture.contains("not received while the data provider ends, DCH link dropped"));
      EXPECT_EQ(Main_DPAB.load(), nullptr) << "released once every thread had ended";
    });
  }
}

TEST(StartByTypeTest, TypesWithoutAStartHereEndInOrderAfterTheEnvironment) {
  const std::pair<int32_t, const char*> cases[] = {
      {5, "Input DP Type is SNMP"}, {6, "Input DP Type is APPC"}, {7, "Input DP Type is ODBC"}};
  for (const auto& [type, line] : cases) {
    SCOPED_TRACE(line);
    RunInChild([type = type, line = line] {
      ProdSpecDirectory directory;
      UseProductSpec(directory);
      ScaledClock clock;
      RoutineOverrides overrides;
      RecordInputThreads(overrides);
      TraceCapture capture(kEngineTrace);
      DataProviderThread start(type);
      EXPECT_EQ(start.join(), &ZEVP_ThreadRC);
      EXPECT_TRUE(capture.contains(line));
      EXPECT_TRUE(capture.contains("-----> ")) << "the environment ran";
      EXPECT_TRUE(capture.contains("*****unsupported DP type: " + std::to_string(type) + ". Exiting"));
      EXPECT_EQ(consoleRoutine.load(), nullptr) << "no console";
      EXPECT_EQ(Main_DPAB.load(), nullptr) << "released once the common threads had ended";
    });
  }
}

TEST(StartByTypeTest, InputThreadThatCannotBeMadeEndsTheStartWithoutConsole) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "***** Socket Appl API server process startup failed."},
      {2, "***** Socket Appl API server process startup failed."},
      {4, "***** Post server process startup failed."},
      {8, "***** HTTP client process startup failed."}};
  for (const auto& [type, line] : cases) {
    SCOPED_TRACE(line);
    RunInChild([type = type, line = line] {
      ProdSpecDirectory directory;
      UseProductSpec(directory, {"ENABLE_DPLOG=N"});
      ScaledClock clock;
      RoutineOverrides overrides;
      RecordInputThreads(overrides);
      // A DCH client that connects starts a receive thread of its own, at a time of its own.
      overrides.routines().dchClientRoutine = IdleUntilTerminated;
      RefusedThreadStarts refusal(3);  // the three common threads start, the input server does not
      TraceCapture capture("*=0x80");
      DataProviderThread start(type);
      EXPECT_EQ(start.join(), &ZEVP_ThreadRC);
      EXPECT_TRUE(capture.contains(line));
      EXPECT_EQ(refusal.refused(), 1);
      EXPECT_EQ(consoleRoutine.load(), nullptr);
      EXPECT_EQ(Main_DPAB.load(), nullptr);
    });
  }
}

TEST(StartByTypeTest, StartWithoutProductSpecificationIsRefused) {
  RunInChild([] {
    setenv("ZEV_PRODSPEC_PATH", "/nonexistent/zev/", 1);
    TraceCapture capture("*=0x80");
    int32_t type = 1;
    DataProviderThread start(type);
    EXPECT_EQ(start.join(), nullptr);
    EXPECT_TRUE(capture.contains("ZEVP_StartupInitialization failed"));
  });
}

TEST(StartByTypeTest, ProgramStartIsRecordedOnce) {
  RunInChild([] {
    EXPECT_EQ(ZEVP_IsIndependentDPenvironment(), 0);
    ZEVP_SetDPprogramStart();
    EXPECT_EQ(ZEVP_IsIndependentDPenvironment(), 1);
  });
}

}  // namespace

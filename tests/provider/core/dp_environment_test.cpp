// The environment every data provider starts: its banner, its common threads,
// the switches that add or leave out threads, and what a failed start of one of
// them does. The product specification is read once per process: each case runs
// in a child.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_environment.h"
#include "dp_shutdown.h"
#include "idle_thread.h"
#include "hand_built_model.h"
#include "process_entry.h"
#include "refused_thread_starts.h"
#include "routine_overrides.h"
#include "run_in_child.h"
#include "shutdown_request.h"
#include "trace_capture.h"
#include "zev/dp_types.h"

namespace {

// The common threads, told apart by their routines.
template <int>
void CommonThread(ProcessEntry* entry) {
  IdleUntilTerminated(entry);
}
const ZEVP_ProcessRoutine dchClient = CommonThread<0>;
const ZEVP_ProcessRoutine periodicTask = CommonThread<1>;
const ZEVP_ProcessRoutine automationServer = CommonThread<2>;

void LogServer(ProcessEntry* entry) {
  entry->anchor->logServerReady = 1;
  IdleUntilTerminated(entry);
}

void MetaServerStarted(ProcessEntry* entry) {
  ZEVP_SignalProcessStart(entry, 0);
  IdleUntilTerminated(entry);
}

// The calls of the environment that start no thread, counted.
std::atomic<int> logReportsDefined{0};
std::atomic<int> startupConfigsProcessed{0};
std::atomic<int> autoLoads{0};
int startupConfigResult = 0;

int CountLogReport(DPAB*) { return ++logReportsDefined; }
int CountStartupConfig(DPAB* anchor) {
  ++startupConfigsProcessed;
  anchor->startupConfigDone = 1;
  return startupConfigResult;
}
void CountAutoLoad(DPAB*) { ++autoLoads; }

void RecognisableRoutines(RoutineOverrides& overrides) {
  zevp::EngineRoutines& routines = overrides.routines();
  routines.dchClientRoutine = dchClient;
  routines.taskPeriodical = periodicTask;
  routines.automationServer = automationServer;
  routines.dpLogServer = LogServer;
  routines.defineDPlogReport = CountLogReport;
  routines.defineHTTPapplication = WithoutBuiltInApplication;
  routines.processStartUpConfig = CountStartupConfig;
  routines.doApplicationAutoLoad = CountAutoLoad;
}

// The product specification with ENABLE_DPLOG as given, and ZEVP_META_SERVER set or not.
void UseSettings(ProdSpecDirectory& directory, const char* enableDPlog, const char* metaServer = nullptr) {
  UseProductSpec(directory, {std::string("ENABLE_DPLOG=") + enableDPlog});
  if (metaServer != nullptr)
    setenv("ZEVP_META_SERVER", metaServer, 1);
  else
    unsetenv("ZEVP_META_SERVER");
}

std::vector<ZEVP_ProcessRoutine> RoutinesOf(DPAB* anchor) {
  std::vector<ZEVP_ProcessRoutine> routines;
  for (ProcessEntry* entry : ProcessEntriesOf(anchor)) routines.push_back(entry->routine);
  return routines;
}

// Start-up and environment of one type on the test's thread; the anchor, or null
// when the start-up failed. The caller ends it with EndAnchor.
DPAB* StartEnvironment(int32_t type, int* result, int32_t batchMode = 0) {
  UseFreeConsoleBase();
  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) return nullptr;
  anchor->dpType = type;
  anchor->batchMode = batchMode;
  *result = ZEVP_StartDataProviderEnvironment(anchor);
  return anchor;
}

void EndAnchor(DPAB* anchor) {
  ZEVP_ShutdownCleanUp(anchor, 1);
  EXPECT_EQ(ZEVP_ActiveThreadCount(anchor), 0);
  ZEVP_ReleaseGlobalResources(anchor);
}

// Loads two applications as the start-up configuration would, and starts a file
// server per file source with the file-server process type.
int LoadHandBuiltModel(DPAB* anchor) {
  AddFullApplication(anchor, 1);
  AddFullApplication(anchor, 2);
  AddRoutingBlock(anchor, "ROUTE");
  anchor->startupConfigDone = 1;
  return 2;
}

// Each file server counts itself on its own thread as it starts: the test reads no
// process entry, for a file server frees its own at its end.
std::atomic<int> fileServersOfASource{0};
std::atomic<ZEVP_ProcessRoutine> fileServerRoutine{nullptr};

void CountedFileServer(ProcessEntry* entry) {
  if (entry->processType == ZEV_DP_FILE && entry->parameter != nullptr) ++fileServersOfASource;
  fileServerRoutine.load()(entry);
}

// No agent registers the sources here: each file server waits for the registration
// until the shut-down.
void StartFileServers(DPAB* anchor, ZEVP_ProcessRoutine fileServer) {
  fileServerRoutine = fileServer;
  for (ApplicationEntry* application = anchor->applications; application; application = application->next)
    for (TableEntry* table = application->FirstTable; table; table = table->next)
      for (SourceEntry* source = table->FirstSource; source; source = source->next)
        if (source->SourceType == ZEVP_SOURCE_FILE) {
          ZEVP_UpdateSourceEntryState(source, ZEVP_Pending);
          ZEVP_CreateProcess(anchor, ZEV_DP_FILE, source, CountedFileServer, 0, nullptr);
        }
}

TEST(EnvironmentTest, FileDataProviderRunsUntilShutdownAndReleasesItsModelWhole) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseSettings(directory, "Y");
    ScaledClock clock;
    RoutineOverrides overrides;
    // No agent here: the common threads idle, so that no DCH request waits for a reply.
    overrides.routines().dchClientRoutine = dchClient;
    overrides.routines().taskPeriodical = periodicTask;
    overrides.routines().dpLogServer = LogServer;
    overrides.routines().processStartUpConfig = LoadHandBuiltModel;
    overrides.routines().checkAndStartFileServer = StartFileServers;
    overrides.routines().defineDPlogReport = WithoutBuiltInApplication;
    TraceCapture capture(kEngineTrace);

    DataProviderThread start(ZEV_DP_FILE);
    // DCH client, periodic task, log server, automation server, and one file server per file source.
    ASSERT_TRUE(WaitForMainAnchorThreads(4 + 4));
    EXPECT_TRUE(capture.contains("-----> ZEV350 (SR1-14114611) 02-08-2002 DP build type FILE product Test_Product <-----"));
    EXPECT_TRUE(WaitUntil([] { return fileServersOfASource.load() >= 4; }));
    EXPECT_EQ(fileServersOfASource.load(), 4);

    zevp::RequestShutdownOfEveryDP();
    EXPECT_EQ(start.join(), &ZEVP_ThreadRC);
    EXPECT_EQ(capture.count("Signal process termination. Thread: "), 8);
    EXPECT_EQ(Main_DPAB.load(), nullptr);
    // Anything of the model or the anchor not freed shows as a leak when the child ends.
  });
}

TEST(EnvironmentTest, BatchModeStartsOnlyTheDCHclientAndThePeriodicTask) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseSettings(directory, "Y", "metahost");
    RoutineOverrides overrides;
    RecognisableRoutines(overrides);
    ScaledClock clock;
    int result = -1;
    DPAB* anchor = StartEnvironment(ZEV_DP_FILE, &result, 1);
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(RoutinesOf(anchor), (std::vector<ZEVP_ProcessRoutine>{dchClient, periodicTask}));
    EXPECT_EQ(logReportsDefined.load(), 0);
    EXPECT_EQ(startupConfigsProcessed.load(), 0);
    EndAnchor(anchor);
  });
}

// The log server runs only when ENABLE_DPLOG begins with Y.
TEST(EnvironmentTest, LogServerRunsOnlyWhenEnabled) {
  const std::pair<const char*, bool> cases[] = {{"Y", true}, {"yes", true}, {"N", false}, {"NO", false}};
  for (const auto& [setting, runs] : cases) {
    SCOPED_TRACE(setting);
    RunInChild([setting = setting, runs = runs] {
      ProdSpecDirectory directory;
      UseSettings(directory, setting);
      RoutineOverrides overrides;
      RecognisableRoutines(overrides);
      ScaledClock clock;
      int result = -1;
      DPAB* anchor = StartEnvironment(ZEV_DP_SOCK, &result);
      ASSERT_NE(anchor, nullptr);
      EXPECT_EQ(result, 1);
      std::vector<ZEVP_ProcessRoutine> expected{dchClient, periodicTask};
      if (runs) expected.push_back(LogServer);
      expected.push_back(automationServer);
      EXPECT_EQ(RoutinesOf(anchor), expected);
      EXPECT_EQ(anchor->logServerReady.load(), runs ? 1 : 0);
      EXPECT_EQ(logReportsDefined.load(), 1);
      EndAnchor(anchor);
    });
  }
}

// With ZEVP_META_SERVER set the start waits for the metafile server's report; one
// that failed is traced, released and the start goes on.
TEST(EnvironmentTest, MetafileServerReportsItsStartThroughTheHandShake) {
  const std::pair<ZEVP_ProcessRoutine, const char*> cases[] = {
      {ReportFailedStart, "***** Meta Server task startup failed"},
      {MetaServerStarted, ">>>>> Main task received Meta Server task initialization signal"}};
  for (const auto& [routine, line] : cases) {
    SCOPED_TRACE(line);
    RunInChild([routine = routine, line = line] {
      ProdSpecDirectory directory;
      UseSettings(directory, "N", "metahost");
      RoutineOverrides overrides;
      RecognisableRoutines(overrides);
      overrides.routines().metaServerTask = routine;
      ScaledClock clock;
      TraceCapture capture(kEngineTrace);
      int result = -1;
      DPAB* anchor = StartEnvironment(ZEV_DP_FILE, &result);
      ASSERT_NE(anchor, nullptr);
      EXPECT_EQ(result, 1);
      EXPECT_TRUE(capture.contains(">>>>> Main task waits for Meta Server task startup notification"));
      EXPECT_TRUE(capture.contains(line));
      bool started = routine == MetaServerStarted;
      std::vector<ZEVP_ProcessRoutine> expected{dchClient, periodicTask};
      if (started) expected.push_back(routine);
      expected.push_back(automationServer);
      EXPECT_EQ(RoutinesOf(anchor), expected);
      EXPECT_EQ(ZEVP_ActiveThreadCount(anchor), static_cast<int32_t>(expected.size()));
      if (started) {
        EXPECT_STREQ(static_cast<const char*>(ProcessEntriesOf(anchor)[2]->parameter), "metahost");
      }
      EndAnchor(anchor);
    });
  }
}

// A common thread that cannot be made ends the environment with its line; the
// threads made before it go on running until the caller ends them.
TEST(EnvironmentTest, CommonThreadThatCannotBeMadeRefusesTheEnvironment) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseSettings(directory, "Y", "metahost");
    RoutineOverrides overrides;
    RecognisableRoutines(overrides);
    overrides.routines().metaServerTask = MetaServerStarted;
    ScaledClock clock;
    const char* lines[] = {"***** DCH client process startup failed",
                           "***** Background activity scan process startup failed",
                           "***** DP log server process startup failed",
                           "***** Metafile server process startup failed",
                           "***** Automation Server process startup failed"};
    for (int allowed = 0; allowed < 5; ++allowed) {
      SCOPED_TRACE(lines[allowed]);
      TraceCapture capture("*=0x80");
      RefusedThreadStarts refusal(allowed);
      int result = -1;
      DPAB* anchor = StartEnvironment(ZEV_DP_FILE, &result);
      ASSERT_NE(anchor, nullptr);
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(capture.contains(lines[allowed]));
      EXPECT_EQ(ZEVP_ActiveThreadCount(anchor), allowed);
      EndAnchor(anchor);
    }
  });
}

TEST(EnvironmentTest, DataProviderOfTheSameTypeAlreadyActiveRefusesBeforeAnyThread) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseProductSpec(directory);
    RoutineOverrides overrides;
    overrides.routines().checkDPalreadyActive = [](DPAB*) { return 1; };
    int result = -1;
    DPAB* anchor = StartEnvironment(ZEV_DP_FILE, &result);
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(anchor->processEntries, nullptr);
    EndAnchor(anchor);
  });
}

// The start-up metafiles: the configuration for every type but SNMP, POST and
// HTTP, and the auto-load only when the configuration loaded nothing.
TEST(EnvironmentTest, StartupConfigurationAndAutoLoadByType) {
  struct Case {
    int32_t type;
    int configResult;
    int configs;
    int autoLoads;
  };
  RunInChild([] {
    ProdSpecDirectory directory;
    UseSettings(directory, "N");
    RoutineOverrides overrides;
    RecognisableRoutines(overrides);
    ScaledClock clock;
    const Case cases[] = {{ZEV_DP_FILE, 0, 1, 1},  {ZEV_DP_ASFS, -1, 1, 0}, {ZEV_DP_APIS, 3, 1, 0},
                          {ZEV_DP_SNMP, 0, 0, 0}, {ZEV_DP_POST, 0, 0, 0},  {ZEV_DP_HTTP, 0, 0, 0}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.type);
      startupConfigResult = c.configResult;
      startupConfigsProcessed = 0;
      autoLoads = 0;
      int result = -1;
      DPAB* anchor = StartEnvironment(c.type, &result);
      ASSERT_NE(anchor, nullptr);
      EXPECT_EQ(result, 1);
      EXPECT_EQ(startupConfigsProcessed.load(), c.configs);
      EXPECT_EQ(autoLoads.load(), c.autoLoads);
      EndAnchor(anchor);
    }
  });
}

TEST(EnvironmentTest, SNMPdebugSwitchesAreReadForTheSNMPtypeOnly) {
  RunInChild([] {
    ProdSpecDirectory directory;
    UseSettings(directory, "N");
    setenv("ZEVP_SNMP_DEBUG_MIB_MANAGER", "yes", 1);
    setenv("ZEVP_SNMP_DEBUG_MIB_IO", "N", 1);
    unsetenv("ZEVP_SNMP_DEBUG_DISCOVERY_NETWORK");
    setenv("ZEV_GEO_LOCATION", "Building 7", 1);
    RoutineOverrides overrides;
    overrides.routines().defineDPlogReport = WithoutBuiltInApplication;
    ScaledClock clock;
    for (int32_t type : {ZEV_DP_FILE, ZEV_DP_SNMP}) {
      SCOPED_TRACE(type);
      TraceCapture capture(kEngineTrace);
      int result = -1;
      DPAB* anchor = StartEnvironment(type, &result);
      ASSERT_NE(anchor, nullptr);
      bool snmp = type == ZEV_DP_SNMP;
      EXPECT_EQ(ZEVP_DEBUG_MIBMGR.load(), snmp ? 1 : 0);
      EXPECT_EQ(ZEVP_DEBUG_MIBIO.load(), 0);
      EXPECT_EQ(ZEVP_DEBUG_Network.load(), 0);
      EXPECT_EQ(capture.contains("----------Debug SNMP MIB Manager in effect----------"), snmp);
      EXPECT_FALSE(capture.contains("----------Debug SNMP MIB IO in effect----------"));
      EXPECT_STREQ(ZEV_Agent_Geographic_Location.load(), "Building 7");
      EndAnchor(anchor);
    }
  });
}

}  // namespace

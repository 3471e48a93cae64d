// The SNMP data provider in process, each case in a network namespace of its own
// beside the agent's DCH server in its host program: the SNMP-Manager application
// as the agent receives it, the switches and gates of the manager task, its
// failures, the packaged product's application, and its shut-down in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "application_entry.h"
#include "console_client.h"
#include "dch/dch_api.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_log_recorder.h"
#include "eventually.h"
#include "managed_node_list_task.h"
#include "manager_switches.h"
#include "network_configuration_block.h"
#include "network_namespace.h"
#include "refused_thread_starts.h"
#include "snmp_manager_model.h"
#include "snmp_manager_tables.h"
#include "snmp_provider_run.h"
#include "snmp_thread.h"
#include "source_entry.h"
#include "table_entry.h"

namespace {

constexpr char kManagerRunning[] = "----- Start Network Monitor Server Task -----";
constexpr char kManagerEnded[] = ">>>>> SNMP Manager process ended. Thread: ";
constexpr int kNetworkDiscoveryNotRequested = 106;
constexpr int kTrapMonitorNotRequested = 107;
// How long a data provider that must run on is watched.
constexpr int kRunsOnMs = 300;
constexpr int kReplyWaitMs = 5000;
constexpr int kEndWaitMs = 20000;

// --- The manager's threads ------------------------------------------------------

// Each of the manager's threads runs a routine of its own that waits for the
// block's shut-down flag, so that the thread start seam tells them apart.
template <int Thread>
void* ManagerThread(void* block) {
  zevs::AwaitBlockShutdown(static_cast<NetworkConfigurationBlock*>(block));
  ZEVS_EndThread();
}

constexpr char kListServer[] = "list server";
constexpr char kTrap[] = "trap";
constexpr char kAgents[] = "agent discovery";
constexpr char kRouters[] = "router discovery";
constexpr char kNetworks[] = "network discovery";

const std::pair<void* (*)(void*), const char*> kManagerThreads[] = {
    {ZEVS_ManagedNodeListServer, kListServer},
    {ManagerThread<1>, kTrap},
    {ManagerThread<2>, kAgents},
    {ManagerThread<3>, kRouters},
    {ManagerThread<4>, kNetworks},
};

std::atomic<int> workFilesRead{0};
void NoteWorkFileRead(NetworkConfigurationBlock*) { ++workFilesRead; }
std::atomic<int> listConfigurationsRead{0};
void NoteListConfigurationRead(DPAB*) { ++listConfigurationsRead; }

void UseManagerThreads(SnmpProviderRun& run) {
  zevs::ManagerRoutines& routines = run.managerRoutines().routines();
  routines.trapMonitorTask = ManagerThread<1>;
  routines.discoverPlovenManagerTask = ManagerThread<2>;
  routines.discoverRouterTask = ManagerThread<3>;
  routines.discoverNetworkTask = ManagerThread<4>;
  routines.readNetConfigFromExt = NoteWorkFileRead;
  routines.readNetConfigSeedFile = NoteWorkFileRead;
  routines.readSNMPManagedNodeListConfigFile = NoteListConfigurationRead;
}

// Notes the manager's threads as they are started (through the thread start
// seam), and refuses the start of one routine when asked to.
class ManagerThreadStarts : public zev0::ThreadStarter {
 public:
  explicit ManagerThreadStarts(void* (*refused)(void*) = nullptr)
      : refused_(refused), previous_(zev0::SetThreadStarter(this)) {}
  ~ManagerThreadStarts() override { zev0::SetThreadStarter(previous_); }
  ManagerThreadStarts(const ManagerThreadStarts&) = delete;
  ManagerThreadStarts& operator=(const ManagerThreadStarts&) = delete;

  int start(pthread_t* threadId, const pthread_attr_t* attributes, void* (*startRoutine)(void*),
            void* argument) override {
    if (startRoutine == refused_) return EAGAIN;
    for (const auto& [routine, name] : kManagerThreads) {
      if (routine != startRoutine) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      started_.insert(name);
    }
    return pthread_create(threadId, attributes, startRoutine, argument);
  }

  std::set<std::string> started() {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
  }

 private:
  void* (*refused_)(void*);
  zev0::ThreadStarter* previous_;
  std::mutex mutex_;
  std::set<std::string> started_;
};

// The position of the text in the trace, npos when it is not there.
size_t Position(SnmpProviderRun& run, const std::string& text) { return run.trace().find(text); }

// --- The application and the shut-down ------------------------------------------

TEST(SnmpDataProviderTest, TheDefaultProductRegistersTheTablesAsTheAgentShowsThemAndEndsInOrder) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run(SnmpTestProduct({"ENABLE_PLOVENAGENT_DISCOVERY=Y"}), {"ZEVP_SNMP_NETDATA_TTL=600"});
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();

    EXPECT_EQ(run.consumerText(dc_getApplications, "SNMP-MANAGER"),
              "SNMP-MANAGER,TRAP,E,0:ROUTER,K,600:NETSUMMARY,K,600:NETWORK,K,600:MIBSTATUS,K,600:"
              "MANAGED-NODES,K,600:PLOVEN-AGENTS,K,600:MIBNODATA,P,300:;");
    EXPECT_EQ(run.consumerText(dc_getApplAttributes, "SNMP-MANAGER"),
              "TRAP,Time_Stamp,T,16:Object_ID,D,512:Generic_Trap,C,2:Specific_Trap,C,4:Source_Name,D,64:"
              "Source_Type,D,32:Source_Status,D,32:Enterprise_Name,D,64:Alert_Name,D,64:Category,D,32:Severity,D,32:"
              "Description,D,256:Value_List,D,1024:;"
              "ROUTER,Router_Name,D,64:@$Router_Address,D,32:Router_Description,D,256:Router_Status,D,8:"
              "Route_Count,C,2:Destination_Networks,D,1024:;"
              "NETSUMMARY,@$Network_Address,D,32:Network_Mask,D,32:Active_Nodes,C,4:Inactive_Nodes,C,4:"
              "Curr_RespTime_ms,C,4:Min_RespTime_ms,C,4:Max_RespTime_ms,C,4:Managed,D,12:Network_Routers,D,256:;"
              "NETWORK,Name,D,128:@$Address,D,32:Status,D,8:Type,D,64:SNMP_Enabled,D,4:Location,D,128:"
              "Description,D,256:;"
              "MIBSTATUS,@$Enterprise,D,64:@$Attribute_Group,D,32:Monitor_Interval,C,4:Monitor_Agent_Info,D,1024:"
              "Last_Sample_TimeStamp,D,24:;"
              "MANAGED-NODES,Name,D,128:@$Address,D,32:Node_Status,D,8:Status_TimeStamp,D,24:Node_Type,D,64:"
              "Node_Description,D,256:Current_ResponseTime_ms,C,4:;"
              "PLOVEN-AGENTS,@$Managed_System_Name,D,32:Network_Name,D,128:Network_Address,D,32:Product_Name,D,64:"
              "Version,D,8:Agent_Framework_Features,D,256:Last_Check_TimeStamp,D,24:Last_Reply_TimeStamp,D,24:;"
              "MIBNODATA,Agent_Name,D,64:Enterprise_Module,D,64:No_Data_Tables,D,216:;");
    // The agent's help text: application, then per group its help and each
    // attribute's (the DCH carries ',' and ';' inside a text as blanks and '.').
    std::string help = run.consumerText(dc_getApplHelp, "SNMP-MANAGER");
    EXPECT_EQ(help.find("SNMP-MANAGER system applications.,TRAP,The TRAP report contains received SNMP traps  by "
                        "default critical and warning traps also go to the message console.,Time_Stamp,A 16-byte "
                        "timestamp for the SNMP trap received by SNMP-MANAGER  in the format CYYMMDDHHMMSSmmm., ,"),
              0u)
        << help;
    for (const char* text :
         {":ROUTER,The ROUTER report contains discovered enterprise routers and their characteristics.,Router_Name,",
          ",Destination_Networks,A list of routable networks known to this router., :NETSUMMARY,The NETSUMMARY",
          ":NETWORK,Network Detail report includes discovered nodes characteristics within a managed network.,Name,",
          ":MIBSTATUS,The MIBSTATUS report provides specific parameters",
          ":MANAGED-NODES,The MANAGED-NODE report contains about the nodes identified in your managed node list.,",
          ":PLOVEN-AGENTS,The PLOVEN-AGENTS report contains information about the installed Ploven product agents",
          ":MIBNODATA,The MIB No Data report contains data collection status of MIB tables to which monitoring "
          "agents do not return data.,Agent_Name,The monitoring agent name or address, ,",
          ",No_Data_Tables,A list of Enterprise tables for which the agent returns no data, :;"})
      EXPECT_NE(help.find(text), std::string::npos) << text;

    // The console: the SNMP type and port, the trap configuration reloaded through
    // the SNMP side, and SHUTDOWN.
    EXPECT_EQ(AwaitConsole(run.consolePort(), kReplyWaitMs), "0 5 " + std::to_string(run.consolePort()));
    ConsoleClient console;
    EXPECT_EQ(console.exchange(run.consolePort(), "TRAPCNFG", kReplyWaitMs), "0 ");
    // The product names a trap configuration file the work directory lacks: the
    // trap monitor's load and the reload each look for it.
    auto looks = [&run] {
      const std::string& trace = run.trace();
      int count = 0;
      for (size_t at = 0; (at = trace.find("*****unable to open SNMP Trap Config file ", at)) != std::string::npos; ++at)
        ++count;
      return count;
    };
    EXPECT_TRUE(Eventually([&] { return looks() == 2; }, kReplyWaitMs)) << run.trace();
    EXPECT_EQ(console.exchange(run.consolePort(), "SHUTDOWN", kReplyWaitMs), "0 ");
    void* result = nullptr;
    ASSERT_TRUE(run.joinWithin(kEndWaitMs, &result));
    EXPECT_EQ(result, &ZEVS_ThreadRC);
    size_t router = Position(run, "----- Do dp_offline for QLMROUTER -----");
    size_t summary = Position(run, "----- Do dp_offline for QLMNETSUMMARY -----");
    size_t mibStatus = Position(run, "----- Do dp_offline for QLMMIBSTATUS -----");
    size_t ended = Position(run, kManagerEnded);
    ASSERT_NE(ended, std::string::npos) << run.trace();
    EXPECT_LT(router, summary);
    EXPECT_LT(summary, mibStatus);
    EXPECT_LT(mibStatus, ended);
  });
}

TEST(SnmpDataProviderTest, WithItemsTenToThirteenOffOnlyNetworkAndManagedNodesAreDefinedAndNoneOnline) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run(SnmpTestProduct({"ENABLE_SNMP_TRAP=N", "ENABLE_SNMP_DISCOVERY=N",
                                         "ENABLE_SNMP_MIBSTATUS=N", "ENABLE_PLOVENAGENT_DISCOVERY=N"}));
    UseManagerThreads(run);
    ManagerThreadStarts threads;
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();

    EXPECT_EQ(run.consumerText(dc_getApplications, "SNMP-MANAGER"),
              "SNMP-MANAGER,NETWORK,K,14400:MANAGED-NODES,K,14400:;");
    DPAB* anchor = run.anchor();
    ASSERT_NE(anchor, nullptr);
    for (int table = ZEVP_SNMP_TRAP; table <= ZEVP_SNMP_MIBNODATA; ++table) {
      SourceEntry* source = ZEVP_SNMPmanagerSource(anchor, table);
      if (table == ZEVP_SNMP_NETWORK || table == ZEVP_SNMP_MANAGED_NODES) {
        ASSERT_NE(source, nullptr) << table;
        EXPECT_EQ(ZEVP_SourceStateOf(source), ZEVP_Ready) << source->Table->TableName << " is not online";
      } else {
        EXPECT_EQ(source, nullptr) << table;
      }
    }
    EXPECT_EQ(threads.started(), std::set<std::string>{kListServer});
    EXPECT_EQ(log.waitFor(kTrapMonitorNotRequested).number, kTrapMonitorNotRequested);
    EXPECT_EQ(log.waitFor(kNetworkDiscoveryNotRequested).number, kNetworkDiscoveryNotRequested);
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
  });
}

// --- Switches and gates -------------------------------------------------------

struct SwitchCase {
  const char* name;
  std::vector<std::string> productLines;
  std::vector<std::string> settings;
  std::set<std::string> threads;
  std::vector<int> dpLog;          // of 106 and 107, those sent
  std::vector<std::string> lines;  // trace lines written
  std::vector<std::string> absent;  // and not written
  bool filesRead;
  int agentDiscoveryEnabled;
};

const std::set<std::string> kEveryThreadButAgents = {kListServer, kTrap, kRouters, kNetworks};
const std::string kTrapNotRequested = ">>>>>Monitor SNMP trap task not requested";
const std::string kDiscoveryNotRequested = ">>>>>SNMP network discovery not requested";

const SwitchCase kSwitchCases[] = {
    {"TrapMonitorOff", {}, {"ZEVP_SNMP_MONITOR_TRAP=no"}, {kListServer, kRouters, kNetworks}, {107},
     {kTrapNotRequested}, {}, true, 0},
    {"EmptyTrapSwitchKeepsItOn", {}, {"ZEVP_SNMP_MONITOR_TRAP="}, kEveryThreadButAgents, {}, {},
     {kTrapNotRequested}, true, 0},
    {"OtherTrapSwitchKeepsItOn", {}, {"ZEVP_SNMP_MONITOR_TRAP=x"}, kEveryThreadButAgents, {}, {},
     {kTrapNotRequested}, true, 0},
    {"DiscoveryItemOff", {"ENABLE_SNMP_DISCOVERY=N"}, {}, {kListServer, kTrap}, {106}, {kDiscoveryNotRequested},
     {}, false, 0},
    {"DiscoverySwitchOff", {}, {"ZEVP_SNMP_NET_DISCOVERY=n"}, {kListServer, kTrap}, {106}, {kDiscoveryNotRequested},
     {}, false, 0},
    {"AgentDiscoveryWithoutItem13StaysOff", {}, {"ZEVP_SNMP_NET_DISCOVER_PLOVENAGENT=Y"}, kEveryThreadButAgents, {},
     {}, {}, true, 0},
    {"AgentDiscoveryWithItem13", {"ENABLE_PLOVENAGENT_DISCOVERY=Y"}, {"ZEVP_SNMP_NET_DISCOVER_PLOVENAGENT=Y"},
     {kListServer, kTrap, kAgents, kRouters, kNetworks}, {},
     {"----- Wait to join DiscoverPlovenManagerTask thread", "----- DiscoverPlovenManagerTask detached -----"}, {},
     true, 1},
    {"DebugSwitches",
     {"ENABLE_PLOVENAGENT_DISCOVERY=Y"},
     {"ZEVP_SNMP_DEBUG_DISCOVERY_ENTERPRISE=Y", "ZEVP_SNMP_DEBUG_DISCOVERY_NETWORK=yes",
      "ZEVP_SNMP_DEBUG_DISCOVERY_ROUTE=Y", "ZEVP_SNMP_DEBUG_DISCOVERY_PLOVENAGENT=Y", "ZEVP_SNMP_DEBUG_TRAP=Y"},
     kEveryThreadButAgents,
     {},
     {"----------Debug Discovery Enterprise in effect----------", "----------Debug Discovery Network in effect----------",
      "----------Debug Discovery Route in effect----------",
      "----------Debug Discovery Ploven agents in effect----------",
      "----------Debug SNMP Monitor Trap in effect----------"},
     {},
     true,
     0},
    {"PlovenDebugWithoutItem13", {}, {"ZEVP_SNMP_DEBUG_DISCOVERY_PLOVENAGENT=Y", "ZEVP_SNMP_DEBUG_TRAP=N"},
     kEveryThreadButAgents, {}, {}, {"----------Debug"}, true, 0},
};

void PrintTo(const SwitchCase& tested, std::ostream* out) { *out << tested.name; }

class SnmpManagerSwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SnmpManagerSwitchTest, StartsTheThreadsItShould) {
  const SwitchCase& tested = GetParam();
  RunInNetworkNamespace([&tested] {
    SnmpProviderRun run(SnmpTestProduct(tested.productLines), tested.settings);
    UseManagerThreads(run);
    ManagerThreadStarts threads;
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();
    EXPECT_EQ(threads.started(), tested.threads);
    EXPECT_EQ(workFilesRead.load(), tested.filesRead ? 2 : 0) << "the network work and seed files";
    EXPECT_EQ(listConfigurationsRead.load(), 1) << "once the list server is ready";
    EXPECT_EQ(PlovenAgentDiscoveryEnabled.load(), tested.agentDiscoveryEnabled);
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);

    std::vector<int> sent;
    for (int number : log.numbers())
      if (number == kNetworkDiscoveryNotRequested || number == kTrapMonitorNotRequested) sent.push_back(number);
    EXPECT_EQ(sent, tested.dpLog);
    for (const std::string& line : tested.lines) EXPECT_NE(Position(run, line), std::string::npos) << line;
    for (const std::string& line : tested.absent)
      EXPECT_EQ(Position(run, line), std::string::npos) << line << " in " << run.trace();
  });
}

INSTANTIATE_TEST_SUITE_P(Cases, SnmpManagerSwitchTest, ::testing::ValuesIn(kSwitchCases),
                         [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.name; });

// --- Failures -----------------------------------------------------------------

TEST(SnmpDataProviderTest, ATypeOtherThanSnmpIsRefusedAndNothingStarts) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run;
    RefusedThreadStarts noThreads;
    ASSERT_TRUE(run.start(0));
    void* result = &run;
    ASSERT_TRUE(run.joinWithin(5000, &result));
    EXPECT_EQ(result, nullptr);
    EXPECT_NE(Position(run, "*****Invalid input DP type 0, Exiting!"), std::string::npos);
    EXPECT_EQ(noThreads.refused(), 0) << "no thread was asked for";
    EXPECT_EQ(run.anchor(), nullptr);
  });
}

TEST(SnmpDataProviderTest, ARefusedTrapThreadEndsTheManagerAfterItsEarlierThreadsButTheDataProviderRunsOn) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run;
    UseManagerThreads(run);
    ManagerThreadStarts threads(ManagerThread<1>);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerEnded)) << run.trace();
    EXPECT_NE(Position(run, "----- Start SNMPtrapMonitorTask failed"), std::string::npos);
    EXPECT_EQ(threads.started(), std::set<std::string>{kListServer});
    DPAB* anchor = run.anchor();
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(anchor->managedNodeListEntry.load(), nullptr) << "the list server has ended";
    EXPECT_EQ(anchor->networkConfiguration.load(), nullptr) << "the block is freed";
    EXPECT_EQ(anchor->networkManagementEntry.load(), nullptr);
    EXPECT_FALSE(run.joinWithin(kRunsOnMs));
    EXPECT_EQ(AwaitConsole(run.consolePort(), kReplyWaitMs), "0 5 " + std::to_string(run.consolePort()));
    ConsoleClient console;
    EXPECT_EQ(console.exchange(run.consolePort(), "SHUTDOWN", kReplyWaitMs), "0 ");
    void* result = nullptr;
    ASSERT_TRUE(run.joinWithin(kEndWaitMs, &result));
    EXPECT_EQ(result, &ZEVS_ThreadRC);
  });
}

int NoLocalNetwork(NetworkConfigurationBlock*) { return 0; }

TEST(SnmpDataProviderTest, WithoutLocalNetworksTheManagerEndsAndTheDataProviderRunsOn) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run;
    UseManagerThreads(run);
    ManagerThreadStarts threads;
    run.managerRoutines().routines().retrieveLocalNetworkInfo = NoLocalNetwork;
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerEnded)) << run.trace();
    EXPECT_NE(Position(run,
                       "*****Error! No local network configuration information found. SNMP DP functions cannot be "
                       "performed."),
              std::string::npos);
    EXPECT_TRUE(threads.started().empty());
    EXPECT_FALSE(run.joinWithin(kRunsOnMs));
    EXPECT_EQ(run.anchor()->shutdownFlag.load(), 0);
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
  });
}

// The agent refuses the registration of the built-in application: each table's
// process entry goes with it, and the data provider ends.
void (*registeringQueueAndWait)(DPAB*, ProcessEntry*, SourceEntry*) = nullptr;
std::vector<ProcessEntry*> refusedTablesEntries;

void RefuseManagerRegistration(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
  ApplicationEntry* application = source->Table->Application;
  if (ZEVP_SourceStateOf(source) != ZEVP_Register ||
      std::strcmp(application->ApplName, ZEVP_SNMP_MANAGER_APPLICATION) != 0) {
    registeringQueueAndWait(anchor, caller, source);
    return;
  }
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    refusedTablesEntries.push_back(table->FirstSource->OwningTask);
  ZEVP_UpdateSourceEntryState(source, ZEVP_Inactive);
}

TEST(SnmpDataProviderTest, ARefusedRegistrationFreesEveryTablesProcessEntryAndEndsTheDataProvider) {
  RunInNetworkNamespace([] {
    // The process entries' own trace tells which were freed.
    SnmpProviderRun run(SnmpTestProduct(), {}, std::string(kEngineTrace) + " process_entry=0x02");
    registeringQueueAndWait = run.engineRoutines().queueAndWaitDCHstatus;
    run.engineRoutines().queueAndWaitDCHstatus = RefuseManagerRegistration;
    ASSERT_TRUE(run.start());
    void* result = nullptr;
    ASSERT_TRUE(run.joinWithin(kEndWaitMs, &result)) << run.trace();
    EXPECT_EQ(result, &ZEVS_ThreadRC);
    size_t refused = Position(run, "*** dp_register failed for SNMP data definition");
    size_t failed = Position(run, "*****Error! No SNMP system applications were defined. Initialization failed");
    ASSERT_NE(refused, std::string::npos) << run.trace();
    EXPECT_LT(refused, failed);
    EXPECT_EQ(refusedTablesEntries.size(), 7u) << "the default product's tables but PLOVEN-AGENTS";
    for (ProcessEntry* entry : refusedTablesEntries) {
      char freed[64];
      std::snprintf(freed, sizeof freed, "Freeing process entry @%p\n", static_cast<void*>(entry));
      EXPECT_NE(Position(run, freed), std::string::npos) << freed;
    }
  });
}

// A managed-node-list server that cannot be started, or that ends without getting
// ready: the lists' configuration stays unread and the manager goes on.
void* EndsAtOnce(void*) { ZEVS_EndThread(); }

struct ListServerCase {
  const char* name;
  bool refused;  // else it ends at once
  const char* line;
};

void PrintTo(const ListServerCase& tested, std::ostream* out) { *out << tested.name; }

class SnmpListServerTest : public ::testing::TestWithParam<ListServerCase> {};

TEST_P(SnmpListServerTest, LeavesTheListsUnreadAndTheManagerGoesOn) {
  const ListServerCase& tested = GetParam();
  RunInNetworkNamespace([&tested] {
    SnmpProviderRun run;
    UseManagerThreads(run);
    zevs::ManagerRoutines& routines = run.managerRoutines().routines();
    if (!tested.refused) routines.managedNodeListServer = EndsAtOnce;
    ManagerThreadStarts threads(tested.refused ? ZEVS_ManagedNodeListServer : nullptr);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();
    EXPECT_NE(Position(run, tested.line), std::string::npos) << run.trace();
    EXPECT_EQ(listConfigurationsRead.load(), 0);
    EXPECT_EQ(threads.started(), (std::set<std::string>{kTrap, kRouters, kNetworks}));
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
    EXPECT_NE(Position(run, kManagerEnded), std::string::npos);
  });
}

const ListServerCase kListServerCases[] = {
    {"Refused", true, "----- Start ManagedNodeListServer failed"},
    {"EndsAtOnce", false, "----- ManagedNodeListServer not ready: managed node list configuration not read"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SnmpListServerTest, ::testing::ValuesIn(kListServerCases),
                         [](const ::testing::TestParamInfo<ListServerCase>& info) { return info.param.name; });

// --- A packaged product ---------------------------------------------------------

std::vector<std::string> PackagedProduct(const std::vector<std::string>& extraLines) {
  std::vector<std::string> lines = {"PRODUCT_CODE=NM",
                                    "NODE_TYPE=NM",
                                    "PRODUCT_NAME=Net_Monitor",
                                    "AGENT_AFF_NAME=AFF_DORVANE",
                                    "SUBNODE_AFF_NAME=AFF_DORVANE_DATA",
                                    "DP_TO_START=SNMP",
                                    "DCH_PORT_NUMBER=1919",
                                    "DP_PORT_OFFSET=0",
                                    "INITCNFG_FILE_NAME=NMCNFG",
                                    "ZEVATBLS_FILE_NAME=NMTBLS",
                                    "ENABLE_DPLOG=N"};
  lines.insert(lines.end(), extraLines.begin(), extraLines.end());
  return lines;
}

constexpr char kNetworkMetafile[] =
    "//APPL NETAPP @Network application\n"
    "//NAME TRAP E @Traps\n"
    "//ATTRIBUTES ';'\n"
    "Time_Stamp T @When\n"
    "Object_ID D 512 @What\n"
    "//NAME NETWORK K 600 @Nodes\n"
    "//ATTRIBUTES ';'\n"
    "Name D 128 @Name\n"
    "Address D 32 @Address\n"
    "//NAME MANAGED-NODES K 600 @Managed nodes\n"
    "//ATTRIBUTES ';'\n"
    "Name D 128 @Name\n"
    "Address D 32 @Address\n"
    "//NAME MYNODES K 600 @My nodes\n"
    "//ATTRIBUTES ';'\n"
    "Name D 128 @Name\n"
    "Address D 32 @Address\n";

TEST(SnmpDataProviderTest, APackagedProductTakesItsTablesFromTheApplicationItNamesAndItsManagedNodesTable) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run(PackagedProduct({"METAFILES_TO_LOAD=netapp.mdl", "SNMP_HOTLIST_TABLENAME=MYNODES"}));
    run.work().write("netapp.mdl", kNetworkMetafile);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();
    DPAB* anchor = run.anchor();
    SourceEntry* managedNodes = ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_MANAGED_NODES);
    ASSERT_NE(managedNodes, nullptr);
    EXPECT_STREQ(managedNodes->Table->TableName, "MYNODES");
    EXPECT_STREQ(managedNodes->Table->Application->ApplName, "NETAPP");
    EXPECT_EQ(ZEVP_SourceStateOf(managedNodes), ZEVP_Ready);
    SourceEntry* network = ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_NETWORK);
    ASSERT_NE(network, nullptr);
    EXPECT_STREQ(network->Table->TableName, "NETWORK");
    EXPECT_EQ(ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_TRAP), nullptr) << "item 10 is off";
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
  });
}

TEST(SnmpDataProviderTest, APackagedProductWithoutItsApplicationEndsTheDataProvider) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run(PackagedProduct({}));
    ASSERT_TRUE(run.start());
    void* result = nullptr;
    ASSERT_TRUE(run.joinWithin(20000, &result)) << run.trace();
    EXPECT_EQ(result, &ZEVS_ThreadRC);
    size_t notRequired = Position(run, "Packaged Solution SNMP network applications not required");
    size_t failed = Position(run, "*****Error! No SNMP system applications were defined. Initialization failed");
    ASSERT_NE(failed, std::string::npos) << run.trace();
    EXPECT_LT(notRequired, failed);
  });
}

}  // namespace

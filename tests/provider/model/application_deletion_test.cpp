// Deleting a loaded application, called as the console will call it, with the
// DCH answered here: partner sources marked for their server and taken offline,
// SNMP collections stopped, routing blocks left, the application unregistered,
// logged and freed. (tests/provider/model/model_road_test runs it in a data
// provider whose file server reads and routes.)
#include "application_deletion.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "answering_agent.h"
#include "application_entry.h"
#include "dp_anchor.h"
#include "dp_log_recorder.h"
#include "internal_routing_block.h"
#include "io_entry.h"
#include "metafile_fixture.h"
#include "port_variable_listener.h"
#include "process_entry.h"
#include "request_state_machine.h"
#include "routine_overrides.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev/dp_types.h"
#include "zev0/hostnames.h"

namespace {

using Lines = std::vector<std::string>;

// What the socket request machine saw of each partner it took offline.
Lines partnersSeen;
void SeePartner(DPAB* anchor, ProcessEntry* caller, IOEntry* partner, int n, char* buffer) {
  partnersSeen.push_back(std::string(partner->Source->Table->TableName) + " active=" + std::to_string(partner->Active) +
                         " dropped=" + std::to_string(partner->NewBinding) +
                         (caller == anchor->pStatPE ? " lent" : " own"));
  ZEVP_ProcessSockRequestByState(anchor, caller, partner, n, buffer);
}

std::vector<ApplicationEntry*> seenOffline;
void SeeApplicationOffline(DPAB*, ApplicationEntry* application) { seenOffline.push_back(application); }
std::vector<SourceEntry*> seenStopped;
void SeeCollectionStopped(SourceEntry* source) { seenStopped.push_back(source); }

bool Loaded(DPAB* anchor, const ApplicationEntry* wanted) {
  for (ApplicationEntry* application = anchor->applications; application != nullptr; application = application->next)
    if (application == wanted) return true;
  return false;
}

class ApplicationDeletionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("ZEV_DP_HOSTNAME", "localhost", 1);
    ZEV0_LocalHostNameString();
  }
  void SetUp() override {
    partnersSeen.clear();
    seenOffline.clear();
    seenStopped.clear();
    overrides_.routines().processSockRequestByState = SeePartner;
    overrides_.routines().snmpApplOffline = SeeApplicationOffline;
    overrides_.routines().stopSNMPcollection = SeeCollectionStopped;
  }

  ApplicationEntry* load(const std::string& name, const Lines& lines) {
    models_.write(name, lines);
    ApplicationEntry* application = models_.parse(name).application;
    EXPECT_NE(application, nullptr) << name;
    return application;
  }
  static SourceEntry* SourceOf(ApplicationEntry* application, int group) {
    TableEntry* table = application->FirstTable;
    for (int i = 0; i < group; ++i) table = table->next;
    return table->FirstSource;
  }

  MetafileFixture models_;
  AnsweringAgent agent_{models_.anchor()};
  RoutineOverrides overrides_;
  DPlogRecorder log_;
};

TEST_F(ApplicationDeletionTest, PartnersAreDroppedAndTheSourcesTheAgentShowsGoOffline) {
  PortVariableListener socketServer("ZEVP_DP_PORT");
  models_.anchor()->dpType = ZEV_DP_SOCK;
  ApplicationEntry* application =
      load("partners.mdl", {"//APPL Partners", "//NAME Sock P 60", "//SOURCE SOCK localhost", "//ATTRIBUTES ';'",
                            "A D 8", "//NAME Api P 60", "//ATTRIBUTES ';'", "A D 8", "//NAME Shown P 60",
                            "//ATTRIBUTES ';'", "A D 8", "//NAME Expired P 60", "//ATTRIBUTES ';'", "A D 8"});
  ASSERT_NE(application, nullptr);
  BSV1_Time now;
  BSV1_GetTime(&now);
  SourceOf(application, 0)->State = ZEVP_Active;
  SourceOf(application, 1)->State = ZEVP_Input;
  SourceOf(application, 2)->State = ZEVP_Ready;  // offline postponed, its rows still shown
  SourceOf(application, 2)->DataExpiryTime = now.seconds + 30;
  SourceOf(application, 3)->State = ZEVP_Ready;
  SourceOf(application, 3)->DataExpiryTime = now.seconds - 1;
  // A TCP partner on its connection, a datagram partner on the server's UDP socket.
  int partnerSocket = socket(AF_INET, SOCK_STREAM, 0);
  SourceOf(application, 0)->IO->Socket = partnerSocket;
  SourceOf(application, 0)->IO->ConnectionSocket = partnerSocket;
  int serverSocket = socket(AF_INET, SOCK_DGRAM, 0);
  SourceOf(application, 1)->IO->Socket = serverSocket;

  TraceCapture trace("*=0x90");
  ZEVP_DeleteExistingApplication(models_.anchor(), application);
  EXPECT_EQ(partnersSeen, (Lines{"Sock active=0 dropped=1 lent", "Api active=0 dropped=1 lent",
                                 "Shown active=0 dropped=1 lent"}));
  EXPECT_EQ(agent_.take(), (Lines{"offline Sock", "offline Api", "offline Shown", "unregister Partners"}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(socketServer.next(2000), "*DP*SOCKET*SELECT*DELETE*INTERRUPT*") << i;
  EXPECT_TRUE(trace.contains("Calling ZEV0_CloseTheSocket for socket " + std::to_string(partnerSocket)));
  EXPECT_EQ(fcntl(partnerSocket, F_GETFD), -1) << "the partner's connection is closed";
  EXPECT_NE(fcntl(serverSocket, F_GETFD), -1) << "the server's UDP socket stays open";
  EXPECT_EQ(trace.count("Calling ZEV0_CloseTheSocket for socket " + std::to_string(partnerSocket)), 1) << "once";
  close(serverSocket);
  EXPECT_FALSE(Loaded(models_.anchor(), application));
  // The API partners' sources end their input (35), then the application goes (10).
  EXPECT_EQ(log_.numbers(), (std::vector<int>{35, 35, 10}));
  EXPECT_EQ(log_.messages().back(), (DPlogMessage{10, {"Partners"}, true}));
}

TEST_F(ApplicationDeletionTest, AnSNMPApplicationStopsItsCollectionsAndGoesOfflineInTheSNMPDataProvider) {
  const Lines snmp = {"//SNMP TEXT", "//APPL Mib", "//NAME System P 60", "//ATTRIBUTES",
                      "Agent_Info D 64 1.3.6.1.2.1.1.1.0", "Agent_Name D 64 1.3.6.1.2.1.1.5.0",
                      "sysName D 32 1.3.6.1.2.1.1.5.0"};
  for (int32_t type : {ZEV_DP_SNMP, ZEV_DP_FILE}) {
    SCOPED_TRACE(type);
    seenOffline.clear();
    seenStopped.clear();
    models_.anchor()->dpType = type;
    ApplicationEntry* application = load("mib" + std::to_string(type) + ".mdl", snmp);
    ASSERT_NE(application, nullptr);
    SourceEntry* source = SourceOf(application, 0);
    ProcessEntry* collector = ZEVP_InitializeProcessEntry(models_.anchor());
    source->OwningTask = collector;
    TraceCapture trace("*=0x90");
    ZEVP_DeleteExistingApplication(models_.anchor(), application);
    EXPECT_EQ(seenStopped, std::vector<SourceEntry*>{source});
    EXPECT_TRUE(trace.contains("Acquired TerminationLock for PEptr @"));
    EXPECT_EQ(seenOffline, type == ZEV_DP_SNMP ? std::vector<ApplicationEntry*>{application}
                                               : std::vector<ApplicationEntry*>{});
    EXPECT_FALSE(Loaded(models_.anchor(), application));
    ZEVP_DestroyProcessEntry(collector);
  }
}

TEST_F(ApplicationDeletionTest, DeletedGroupsLeaveTheirRoutingBlocks) {
  ApplicationEntry* feed = load("feed.mdl", {"//APPL Feed", "//NAME Out P 60", "//INTERNAL OUTPUT R",
                                             "//ATTRIBUTES ';'", "A D 8"});
  ApplicationEntry* take = load("take.mdl", {"//APPL Take", "//NAME In P 60", "//INTERNAL INPUT R",
                                             "//ATTRIBUTES ';'", "A D 8"});
  ApplicationEntry* more = load("more.mdl", {"//APPL More", "//NAME Also P 60", "//INTERNAL INPUT R",
                                             "//ATTRIBUTES ';'", "A D 8"});
  ASSERT_TRUE(feed != nullptr && take != nullptr && more != nullptr);
  InternalRoutingBlock* block = feed->FirstTable->RoutingBlock;
  TableEntry* also = more->FirstTable;
  ZEVP_DeleteExistingApplication(models_.anchor(), take);
  EXPECT_EQ(block->FirstInput, also);
  EXPECT_EQ(block->InputCount, 1);
  ZEVP_DeleteExistingApplication(models_.anchor(), feed);
  EXPECT_EQ(models_.anchor()->internalRoutingBlocks, nullptr) << "the output group took its block with it";
  EXPECT_EQ(also->NextInputTable, nullptr);
  EXPECT_TRUE(Loaded(models_.anchor(), more));
}

}  // namespace

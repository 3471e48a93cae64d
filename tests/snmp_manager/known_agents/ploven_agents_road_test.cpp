// The agents' PLOVEN-AGENTS rows and the discovered-agent file of the process, read by
// a consumer parked at the agent's real DCH server: rows of loaded entries, deleted
// rows, values cut to their attributes, the report step's ageing, the writer's pass.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "agent_discovery_scope.h"
#include "agent_registration.h"
#include "agents_file.h"
#include "application_entry.h"
#include "builtin_group.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "manual_clock.h"
#include "network_configuration_block.h"
#include "ploven_agent_entry.h"
#include "ploven_agent_row.h"
#include "process_entry.h"
#include "product_affinity.h"
#include "provider_road_fixture.h"
#include "routine_overrides.h"
#include "scratch_directory.h"
#include "snmp_manager_model.h"
#include "source_entry.h"
#include "source_states.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev0/storage.h"
#include "zev0/affinity_table.h"

namespace {

// The work directory of the process is fixed at its first use: one for the program.
const ScratchDirectory& WorkDirectory() {
  static const ScratchDirectory* directory = [] {
    auto* made = new ScratchDirectory("zev_agents_work");
    setenv("ZEV_WORK_PATH", made->path().c_str(), 1);
    return made;
  }();
  return *directory;
}

// The PLOVEN-AGENTS table as the SNMP-Manager application has it.
constexpr zevp::BuiltInAttribute kPlovenAgentAttributes[] = {
    {"Managed_System_Name", "D", "32", 1, 1, "The agent's name."},
    {"Network_Name", "D", "128", 0, 0, "Its host."},
    {"Network_Address", "D", "32", 0, 0, "Its host's address."},
    {"Product_Name", "D", "64", 0, 0, "Its product."},
    {"Version", "D", "8", 0, 0, "Its version."},
    {"Agent_Framework_Features", "D", "256", 0, 0, "Its features."},
    {"Last_Check_TimeStamp", "D", "24", 0, 0, "When it was last probed."},
    {"Last_Reply_TimeStamp", "D", "24", 0, 0, "When it last registered."},
};
constexpr zevp::BuiltInGroup kPlovenAgentsGroup = {"PLOVEN-AGENTS", "K", "The agents found.", kPlovenAgentAttributes,
                                                   static_cast<int>(std::size(kPlovenAgentAttributes))};

enum Column { kName, kHost, kAddress, kProduct, kVersion, kFeatures, kLastCheck, kLastReply };

const std::string kDorvane = ZEV0_FindAffinity("AFF_DORVANE")->code;
const std::string kHeader = std::string(zevs::kAgentsFileHeader) + "\n";

class PlovenAgentsRoad : public ProviderRoadTest {
 protected:
  void SetUp() override {
    WorkDirectory().remove("ZEVSAGNT");
    ProviderRoadTest::SetUp();
    if (HasFatalFailure()) return;
    ZEVS_InitializePlovenFeatureArray();
    block_ = ZEVS_InitializeNCB();
    ASSERT_NE(block_, nullptr);
    block_->anchor = anchor();
    ASSERT_TRUE(defineTable());
  }
  void TearDown() override {
    if (anchor() != nullptr) anchor()->snmpManagerTables[ZEVP_SNMP_PLOVEN_AGENTS] = nullptr;
    zevs::FreeNetworkConfigurationBlock(block_);
    ProviderRoadTest::TearDown();
  }

  // The table registered and its source online, as the SNMP-Manager application
  // puts it.
  bool defineTable() {
    ApplicationEntry* application = ZEVP_InitializeApplicationEntry(anchor(), "SNMP-Manager", 1, nullptr);
    if (application == nullptr) return false;
    SourceEntry* source = zevp::DefineBuiltInGroup(anchor(), application, kPlovenAgentsGroup, "14400");
    if (source == nullptr) return false;
    source->OwningTask = ZEVP_InitializeProcessEntry(anchor());
    source->OwnsTask = 1;
    request(source, ZEVP_Register);
    if (source->State != ZEVP_Ready && source->State != ZEVP_Register) return false;
    request(source, ZEVP_Ready);
    anchor()->snmpManagerTables[ZEVP_SNMP_PLOVEN_AGENTS] = source->Table;
    return true;
  }
  void request(SourceEntry* source, int32_t order) {
    zevp::Routines().updateSourceEntryState(source, order);
    zevp::Routines().queueAndWaitDCHstatus(anchor(), source->OwningTask, source);
  }

  PlovenAgentEntry* add(const char* name, const char* address, time_t lastCheck, time_t lastReply) {
    PlovenAgentEntry* entry = zevs::NewPlovenAgentEntry();
    entry->managedSystemName = zevs::CopyAgentText(name);
    entry->networkName = zevs::CopyAgentText("hosta");
    entry->networkAddress = zevs::CopyAgentText(address);
    entry->productVersion = zevs::CopyAgentText("02.00.00");
    entry->affinity = zevs::CopyAgentText(kDorvane.c_str());
    entry->productName = zevs::CopyAgentText(ZEVS_LocateProductNameFromAffinity(entry->affinity));
    entry->features = ZEVS_ConstructProductFeatureString(entry->affinity);
    entry->lastCheckTime = lastCheck;
    entry->lastReplyTime = lastReply;
    ZEVS_EnqueuePlovenAgentEntry(entry);
    return entry;
  }
  std::vector<std::string> names() {
    std::vector<std::string> all;
    for (PlovenAgentEntry* entry = block_->agents; entry != nullptr; entry = entry->next)
      all.emplace_back(entry->managedSystemName);
    return all;
  }

  // The next row's values and control field; {"<no row>"} when none came.
  static std::vector<std::string> NextRow(RowWaiter& rows, uint16_t* control = nullptr, int waitMs = kAnswerWaitMs) {
    Row row;
    if (!ReadRow(rows.next(waitMs), &row)) return {"<no row>"};
    if (control != nullptr) *control = row.controlField;
    return row.values;
  }

  NetworkConfigurationBlock* block_ = nullptr;
};

TEST_F(PlovenAgentsRoad, AnEntryLoadedFromTheFileIsListedAndItsRowShowsItNeverCheckedNorReplied) {
  WorkDirectory().write("ZEVSAGNT", kHeader + "hosta;10.77.0.5;AG01:hosta:LZ;Stale Product;02.00.00;Stale, ;" +
                                        kDorvane + ";\n" + "hostb;10.77.0.6;;\n");
  RowWaiter rows("SNMP-Manager", "PLOVEN-AGENTS");
  syncWithServer();
  ZEVS_ReadDiscoveredPlovenAgentFromExt();
  EXPECT_EQ(names(), std::vector<std::string>{"AG01:hosta:LZ"}) << "the line missing fields is skipped";
  EXPECT_EQ(ZEVS_LocatePlovenAgentFromMS("AG01:hosta:LZ"), block_->agents);

  uint16_t control = 0;
  std::vector<std::string> row = NextRow(rows, &control);
  ASSERT_EQ(row.size(), 8u) << row[0];
  EXPECT_EQ(control, 0x11);
  EXPECT_EQ(row, (std::vector<std::string>{"AG01:hosta:LZ", "hosta", "10.77.0.5", "Dorvane Agent", "02.00.00",
                                           "No feature reported", " ", "Initial Load"}));
  EXPECT_EQ(NextRow(rows, nullptr, kSilenceMs), std::vector<std::string>{"<no row>"});
}

TEST_F(PlovenAgentsRoad, DeleteModeSendsTheRowDeleteWithOnlyTheNameAndValuesAreCutToTheirAttributes) {
  const std::string longName(40, 'N');
  PlovenAgentEntry* entry = add(longName.c_str(), "10.77.0.5", 0, 0);
  BSV1_GetLock(&entry->lock);
  ZEV0_FreeStorage(&entry->productVersion);
  entry->productVersion = zevs::CopyAgentText("02.00.00.beta");
  BSV1_ReleaseLock(&entry->lock);
  RowWaiter rows("SNMP-Manager", "PLOVEN-AGENTS");
  syncWithServer();

  ZEVS_UpdatePlovenAgentInfoToDCH(entry, 0);
  std::vector<std::string> row = NextRow(rows);
  ASSERT_EQ(row.size(), 8u) << row[0];
  EXPECT_EQ(row[kName], longName.substr(0, 32));
  EXPECT_EQ(row[kVersion], "02.00.00");

  ZEVS_UpdatePlovenAgentInfoToDCH(entry, 1);
  uint16_t control = 0;
  row = NextRow(rows, &control);
  EXPECT_EQ(control, 221);
  ASSERT_EQ(row.size(), 8u) << row[0];
  EXPECT_EQ(row[kName], longName.substr(0, 32));
  for (int column = kHost; column <= kLastReply; ++column) EXPECT_EQ(row[column], "") << "column " << column;
  EXPECT_EQ(ZEVP_SNMPmanagerSource(anchor(), ZEVP_SNMP_PLOVEN_AGENTS)->DataSequence, ZEVP_DATA_SEQUENCE_ROW)
      << "restored";

  // The next update is an ordinary row again.
  ZEVS_UpdatePlovenAgentInfoToDCH(entry, 0);
  row = NextRow(rows, &control);
  EXPECT_EQ(control, 0x11);
  EXPECT_EQ(row[kHost], "hosta");
}

TEST_F(PlovenAgentsRoad, WithoutTheTableOrOnceShutDownNoRowIsSent) {
  PlovenAgentEntry* entry = add("AG01", "10.77.0.5", 0, 0);
  RowWaiter rows("SNMP-Manager", "PLOVEN-AGENTS");
  syncWithServer();
  TableEntry* table = anchor()->snmpManagerTables[ZEVP_SNMP_PLOVEN_AGENTS];
  anchor()->snmpManagerTables[ZEVP_SNMP_PLOVEN_AGENTS] = nullptr;
  TraceCapture trace("*=0x80");
  ZEVS_UpdatePlovenAgentInfoToDCH(entry, 0);
  EXPECT_TRUE(trace.contains("*****PLOVEN-AGENTS source not available. No row for agent AG01"));
  anchor()->snmpManagerTables[ZEVP_SNMP_PLOVEN_AGENTS] = table;
  block_->shutdown = 1;
  ZEVS_UpdatePlovenAgentInfoToDCH(entry, 0);
  EXPECT_EQ(ZEVS_LocatePlovenAgentFromMS("AG01"), nullptr);
  EXPECT_EQ(NextRow(rows, nullptr, kSilenceMs), std::vector<std::string>{"<no row>"});
}

TEST_F(PlovenAgentsRoad, TheReportDropsAnAgentSilentForADayAfterItsLastReplyAndKeepsALoadedOneNotYetProbed) {
  ManualClock clock(2000000);
  const time_t now = zevs::AgentClockNow();
  add("LOADED", "10.77.0.1", 0, 0);
  add("SILENT", "10.77.0.2", 0, now - 86401);
  add("ANSWERING", "10.77.0.3", 0, now - 60);
  ZEVS_StampPlovenAgentFromAddress("10.77.0.2");
  ZEVS_StampPlovenAgentFromAddress("10.77.0.3");
  RowWaiter rows("SNMP-Manager", "PLOVEN-AGENTS");
  syncWithServer();

  zevs::ReportPlovenAgentRows();
  EXPECT_EQ(names(), (std::vector<std::string>{"LOADED", "ANSWERING"}));
  std::vector<std::pair<std::string, uint16_t>> sent;
  for (int i = 0; i < 3; ++i) {
    uint16_t control = 0;
    std::vector<std::string> row = NextRow(rows, &control);
    sent.emplace_back(row[kName], control);
  }
  EXPECT_EQ(sent, (std::vector<std::pair<std::string, uint16_t>>{{"LOADED", 0x11}, {"SILENT", 221}, {"ANSWERING", 0x11}}));
}

TEST_F(PlovenAgentsRoad, TheFileIsRewrittenOnlyWhenAnAgentRegisteredSinceTheLastPass) {
  ManualClock clock(3000000);
  const std::string path = WorkDirectory().file("ZEVSAGNT");
  PlovenAgentEntry* entry = add("AG01", "10.77.0.5", 0, zevs::AgentClockNow());
  clock.advance(10);
  ZEVS_WriteDiscoveredPlovenAgentToExt(block_);
  EXPECT_EQ(WorkDirectory().read("ZEVSAGNT"),
            kHeader + "hosta;10.77.0.5;AG01;Dorvane Agent;02.00.00;No feature reported;" + kDorvane + ";\n");

  // Nothing registered since: the file stays as it is (here, as a hand left it).
  WorkDirectory().write("ZEVSAGNT", kHeader);
  clock.advance(10);
  ZEVS_WriteDiscoveredPlovenAgentToExt(block_);
  EXPECT_EQ(WorkDirectory().read("ZEVSAGNT"), kHeader);

  clock.advance(10);
  BSV1_GetLock(&entry->lock);
  entry->lastReplyTime = zevs::AgentClockNow();
  BSV1_ReleaseLock(&entry->lock);
  clock.advance(1);
  ZEVS_WriteDiscoveredPlovenAgentToExt(block_);
  const std::string written = WorkDirectory().read("ZEVSAGNT");
  EXPECT_NE(written, kHeader);

  // A pass whose new file cannot be made leaves the old file and counts for nothing:
  // the next pass writes.
  clock.advance(1);
  BSV1_GetLock(&entry->lock);
  entry->lastReplyTime = zevs::AgentClockNow();
  BSV1_ReleaseLock(&entry->lock);
  WorkDirectory().write("ZEVSAGNT", kHeader);
  const std::string blocked = WorkDirectory().file("ZEVSAGNT.new");
  ASSERT_EQ(mkdir(blocked.c_str(), 0700), 0);
  clock.advance(1);
  ZEVS_WriteDiscoveredPlovenAgentToExt(block_);
  EXPECT_EQ(WorkDirectory().read("ZEVSAGNT"), kHeader);
  ASSERT_EQ(rmdir(blocked.c_str()), 0);
  clock.advance(1);
  ZEVS_WriteDiscoveredPlovenAgentToExt(block_);
  EXPECT_EQ(WorkDirectory().read("ZEVSAGNT"), written);

}

// A row send of the DCH client that first notes whether the agent list is held by
// the sender (another thread cannot take it) and, at the row named, sets the
// shut-down flag.
struct WatchedRowSend {
  static void Send(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
    ++rows;
    bool held = false;
    std::thread([&held] {
      held = pthread_mutex_trylock(&agentListLock->mutex) == EBUSY;
      if (!held) pthread_mutex_unlock(&agentListLock->mutex);
    }).join();
    if (held) ++rowsWithTheListHeld;
    if (rows == shutDownAtRow) shutdown->store(1);
    realSend(anchor, caller, source);
  }
  static inline void (*realSend)(DPAB*, ProcessEntry*, SourceEntry*) = nullptr;
  static inline BSV1_Lock* agentListLock = nullptr;
  static inline std::atomic<int32_t>* shutdown = nullptr;
  static inline int shutDownAtRow = 0;
  static inline int rows = 0;
  static inline int rowsWithTheListHeld = 0;
};

// The list is held from an entry's look-up until its row has gone, entry by entry:
// a shut-down during the second row ends the call before the third entry.
TEST_F(PlovenAgentsRoad, ASubnodeCallHoldsTheAgentListForOneEntryAndItsRowAtATime) {
  RoutineOverrides overrides;
  WatchedRowSend::realSend = overrides.routines().queueAndWaitDCHstatus;
  WatchedRowSend::agentListLock = &block_->agentListLock;
  WatchedRowSend::shutdown = &block_->shutdown;
  WatchedRowSend::shutDownAtRow = 2;
  overrides.routines().queueAndWaitDCHstatus = WatchedRowSend::Send;
  const std::string list = "a,b,c,d";
  const RAF_SubnodeList_t subnodes{static_cast<uint16_t>(list.size()), list.data()};
  EXPECT_EQ(ZEVS_RAF_NCS_Subnode_Request(nullptr, "XX:myhost:YY", 7, &subnodes, kDorvane.c_str(), "", "02.00.00"), 0);
  block_->shutdown = 0;
  EXPECT_EQ(WatchedRowSend::rows, 2);
  EXPECT_EQ(WatchedRowSend::rowsWithTheListHeld, 2);
  EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
}

}  // namespace

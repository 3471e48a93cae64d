// The MIBNODATA and MIBSTATUS rows of the SNMP collection, read by a consumer parked
// at the agent's real DCH server: the NoData statuses merged per agent and sent as
// one sample set at every report, discarded while the table is offline; the MIB
// status row of a hand-built collection and its deletion.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "builtin_group.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_text.h"
#include "mib_status_rows.h"
#include "no_data_status.h"
#include "process_entry.h"
#include "provider_road_fixture.h"
#include "snmp_manager_model.h"
#include "snmp_worker_extension.h"
#include "source_entry.h"
#include "source_states.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

namespace {

// The local domain is read once per process.
const bool kDomainSet = setenv("ZEV_TCPIP_DOMAIN_NAME", "dom", 1) == 0;

struct SeenRow {
  uint16_t control;
  std::vector<std::string> values;
  bool operator==(const SeenRow& other) const { return control == other.control && values == other.values; }
};

std::ostream& operator<<(std::ostream& out, const SeenRow& row) {
  out << "control " << row.control << ":";
  for (const std::string& value : row.values) out << " <" << value << ">";
  return out;
}

class SnmpStatusRowsRoad : public ProviderRoadTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kDomainSet);
    ProviderRoadTest::SetUp();
    if (HasFatalFailure()) return;
    application_ = ZEVP_InitializeApplicationEntry(anchor(), "SNMP-Manager", 1, nullptr);
    ASSERT_NE(application_, nullptr);
    for (int table : {ZEVP_SNMP_MIBSTATUS, ZEVP_SNMP_MIBNODATA}) {
      SourceEntry* source = zevp::DefineBuiltInGroup(anchor(), application_, zevp::SNMPmanagerTable(table).group, "300");
      ASSERT_NE(source, nullptr);
      source->AttrDelimiter = zevp::NewStorageText(";");
      source->OwningTask = ZEVP_InitializeProcessEntry(anchor());
      source->OwnsTask = 1;
      sources_.push_back(source);
    }
    request(sources_[0], ZEVP_Register);
    for (SourceEntry* source : sources_) {
      request(source, ZEVP_Ready);
      ASSERT_EQ(ZEVP_SourceStateOf(source), ZEVP_Active);
    }
    anchor()->snmpManagerTables[ZEVP_SNMP_MIBSTATUS] = sources_[0]->Table;
    anchor()->snmpManagerTables[ZEVP_SNMP_MIBNODATA] = sources_[1]->Table;
  }
  void TearDown() override {
    ZEVP_ReleaseNoDataStatusArray();
    anchor()->snmpManagerTables[ZEVP_SNMP_MIBSTATUS] = nullptr;
    anchor()->snmpManagerTables[ZEVP_SNMP_MIBNODATA] = nullptr;
    ProviderRoadTest::TearDown();
  }
  void request(SourceEntry* source, int32_t order) {
    zevp::Routines().updateSourceEntryState(source, order);
    zevp::Routines().queueAndWaitDCHstatus(anchor(), source->OwningTask, source);
  }

  static std::vector<SeenRow> Rows(RowWaiter& waiter, size_t count) {
    std::vector<SeenRow> rows;
    while (rows.size() < count) {
      Row row;
      if (!ReadRow(waiter.next(kAnswerWaitMs), &row)) break;
      rows.push_back({row.controlField, row.values});
    }
    Row extra;
    EXPECT_FALSE(ReadRow(waiter.next(kSilenceMs), &extra)) << "a row more than expected";
    return rows;
  }

  ApplicationEntry* application_ = nullptr;
  std::vector<SourceEntry*> sources_;
};

TEST_F(SnmpStatusRowsRoad, NoDataStatusesBecomeOneSampleSetPerReportUntilTheTablesHaveDataAgain) {
  const std::string longAgent(70, 'z');
  RowWaiter rows("SNMP-Manager", "MIBNODATA");
  syncWithServer();
  ZEVP_DoNoDataStatusReport(anchor());
  for (const char* table : {"T1", "T2", "T3", "T4", "T5", "T6", "T7", "T1"})
    ZEVP_EnqueueNoDataStatus("agent1", "MYAPP", table, 0);
  ZEVP_EnqueueNoDataStatus("host.dom", "MYAPP", "IFTABLE", 0);
  ZEVP_EnqueueNoDataStatus(longAgent.c_str(), "MYAPP", std::string(40, 'L').c_str(), 0);
  ZEVP_EnqueueNoDataStatus("agent1", nullptr, "T8", 0);
  ZEVP_DoNoDataStatusReport(anchor());
  EXPECT_EQ(Rows(rows, 4), (std::vector<SeenRow>{
                               {1, {"agent1", "MYAPP", "T1,  T2,  T3,  T4,  T5,  T6"}},
                               {0, {"agent1", "MYAPP", "T7"}},
                               {0, {"host", "MYAPP", "IFTABLE"}},
                               {16, {longAgent.substr(0, 64), "MYAPP", std::string(31, 'L')}},
                           }));

  ZEVP_EnqueueNoDataStatus("agent1", "MYAPP", "T3", 1);
  ZEVP_EnqueueNoDataStatus("host.dom", "MYAPP", "IFTABLE", 1);
  ZEVP_EnqueueNoDataStatus("agent1", "MYAPP", "T", 1);  // no table "T": "T1" and the others stay
  ZEVP_DoNoDataStatusReport(anchor());
  std::vector<SeenRow> second = Rows(rows, 3);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(second[0], (SeenRow{1, {"agent1", "MYAPP", "T1,  T2,  T4,  T5,  T6,  T7"}}));
  EXPECT_EQ(second[1], (SeenRow{0, {"host", "MYAPP", " "}})) << "an empty list is a blank";

  // Nothing new: every entry is sent again.
  ZEVP_DoNoDataStatusReport(anchor());
  EXPECT_EQ(Rows(rows, 3).size(), 3u);

  request(sources_[1], ZEVP_Inactive);
  TraceCapture trace("*=0x80");
  ZEVP_DoNoDataStatusReport(anchor());
  EXPECT_TRUE(trace.contains(">>> NoData status discarded. DCH communication not ready or busy"));
  EXPECT_EQ(zevp::NoDataAgentEntries().size(), 3u) << "the entries are kept";
}

TEST_F(SnmpStatusRowsRoad, OneAgentWithOneRowSendsASingleRow) {
  RowWaiter rows("SNMP-Manager", "MIBNODATA");
  syncWithServer();
  ZEVP_EnqueueNoDataStatus("agent1", "MYAPP", "T1", 0);
  ZEVP_DoNoDataStatusReport(anchor());
  EXPECT_EQ(Rows(rows, 1), (std::vector<SeenRow>{{17, {"agent1", "MYAPP", "T1"}}}));
}

TEST_F(SnmpStatusRowsRoad, StatusesQueuedFromManyThreadsDuringReportsAllArrive) {
  std::vector<std::thread> workers;
  for (int worker = 0; worker < 4; ++worker)
    workers.emplace_back([worker] {
      for (int table = 0; table < 50; ++table)
        ZEVP_EnqueueNoDataStatus(("agent" + std::to_string(worker)).c_str(), "MYAPP",
                                 ("T" + std::to_string(table % 5)).c_str(), table % 2);
    });
  for (int report = 0; report < 5; ++report) ZEVP_DoNoDataStatusReport(anchor());
  for (std::thread& worker : workers) worker.join();
  ZEVP_DoNoDataStatusReport(anchor());
  EXPECT_EQ(zevp::NoDataAgentEntries().size(), 4u);
}

TEST_F(SnmpStatusRowsRoad, TheMIBStatusRowShowsTheCollectionAndItsDeletionRemovesIt) {
  ApplicationEntry* mine = ZEVP_InitializeApplicationEntry(anchor(), "MYAPP", 1, nullptr);
  ASSERT_NE(mine, nullptr);
  TableEntry* table = ZEVP_InitializeTableEntry(mine, "IFTABLE", "P", nullptr, nullptr);
  ASSERT_NE(table, nullptr);
  SNMPMonitorNodeEntry first{}, second{};
  first.next = &second;
  first.agentAddress = const_cast<char*>("10.77.0.1");
  first.community = const_cast<char*>("willow");
  second.agentAddress = const_cast<char*>("10.77.0.2");
  second.community = const_cast<char*>("public");
  SNMPWorkerTaskExtension extension{};
  extension.interval = 300;
  extension.nodes = &first;
  extension.application = mine;
  extension.table = table;
  std::memset(extension.lastSampleTime, '0', 16);
  BSV1_InitializeLock(&extension.nodeListLock);
  BSV1_InitializeLock(&extension.intervalLock);

  RowWaiter rows("SNMP-Manager", "MIBSTATUS");
  syncWithServer();
  ZEVP_UpdateMIBstatusToDCH(anchor(), &extension);
  std::vector<SeenRow> seen = Rows(rows, 1);
  ASSERT_EQ(seen.size(), 1u);
  ASSERT_EQ(seen[0].values.size(), 5u);
  EXPECT_EQ(seen[0].values[0], "MYAPP");
  EXPECT_EQ(seen[0].values[1], "IFTABLE");
  EXPECT_EQ(CounterValue(seen[0].values[2]), 300);
  EXPECT_EQ(seen[0].values[3], "{10.77.0.1 willow} {10.77.0.2 public} ");
  EXPECT_EQ(seen[0].values[4], "No completed sample");

  std::memcpy(extension.lastSampleTime, "1261210084959000", 16);
  char shown[64] = {};
  ZEV0_PlovenTimeToString(extension.lastSampleTime, shown);
  ZEVP_UpdateMIBstatusToDCH(anchor(), &extension);
  seen = Rows(rows, 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].values[4], shown);

  ZEVP_DeleteMIBstatusFromDCH(anchor(), &extension);  // agents left: nothing
  extension.nodes = nullptr;
  ZEVP_DeleteMIBstatusFromDCH(anchor(), &extension);
  seen = Rows(rows, 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].control, 221);
  EXPECT_EQ(seen[0].values[0], "MYAPP");
  EXPECT_EQ(seen[0].values[1], "IFTABLE");
  BSV1_DestroyLock(&extension.nodeListLock);
  BSV1_DestroyLock(&extension.intervalLock);
}

}  // namespace

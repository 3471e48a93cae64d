// The MIB interest file from hand-built collections (records of ten agents, a
// network written once, the files' rotation), the auto-start through a recording
// SNMP worker, and the SNMP tables put online and offline by the collection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "action_entry.h"
#include "action_worker.h"
#include "application_entry.h"
#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dch_comm.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "eventually.h"
#include "metafile_fixture.h"
#include "process_entry.h"
#include "mib_interest_file.h"
#include "mib_interest_records.h"
#include "mib_status_rows.h"
#include "recording_snmp_worker.h"
#include "refused_thread_starts.h"
#include "routine_overrides.h"
#include "snmp_application_online.h"
#include "snmp_collection_environment.h"
#include "snmp_worker_extension.h"
#include "snmp_worker_task.h"
#include "source_entry.h"
#include "source_states.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev/action_codes.h"
#include "zev/dp_types.h"

namespace {

const ScratchDirectory& Work() { return SnmpCollectionWork(); }

// A collection's extension with hand-made agents.
class HandBuiltCollection {
 public:
  HandBuiltCollection(ApplicationEntry* application, TableEntry* table, int interval) {
    extension_.interval = interval;
    extension_.application = application;
    extension_.table = table;
    std::memset(extension_.lastSampleTime, '0', 16);
    BSV1_InitializeLock(&extension_.nodeListLock);
    BSV1_InitializeLock(&extension_.intervalLock);
  }
  ~HandBuiltCollection() {
    BSV1_DestroyLock(&extension_.nodeListLock);
    BSV1_DestroyLock(&extension_.intervalLock);
  }
  void add(const std::string& address, const std::string& community, const std::string& network = "") {
    texts_.push_back(address);
    texts_.push_back(community);
    texts_.push_back(network);
    nodes_.push_back(SNMPMonitorNodeEntry{});
  }
  // Links the agents once they are all added.
  SNMPWorkerTaskExtension& extension() {
    for (size_t index = 0; index < nodes_.size(); ++index) {
      SNMPMonitorNodeEntry& node = nodes_[index];
      node.next = index + 1 < nodes_.size() ? &nodes_[index + 1] : nullptr;
      node.agentAddress = texts_[3 * index].data();
      node.community = texts_[3 * index + 1].data();
      node.fromNetwork = texts_[3 * index + 2].empty() ? 0 : 1;
      node.agentName = node.fromNetwork != 0 ? texts_[3 * index + 2].data() : node.agentAddress;
    }
    extension_.nodes = nodes_.empty() ? nullptr : &nodes_[0];
    return extension_;
  }

 private:
  SNMPWorkerTaskExtension extension_{};
  std::vector<SNMPMonitorNodeEntry> nodes_;
  std::vector<std::string> texts_;
};

// "owner name type fields mark | parameters"
std::string AutoStartLine(const ActionEntry* entry) {
  return std::string(entry->ActionOwner) + " " + entry->ActionName + " " + std::to_string(entry->ActionType) + " " +
         std::to_string(entry->FieldCount) + " " + entry->EyeCatcher + " | " + entry->ActionParm;
}

class MIBinterestFileTest : public ::testing::Test {
 protected:
  MIBinterestFileTest() {
    const zevp::MIBinterestFileNames& names = zevp::MIBinterestFiles();
    for (const std::string* name : {&names.active, &names.backup, &names.fresh}) std::remove(name->c_str());
    overrides_.routines().snmpWorkerTask = RecordingSNMPworker;
    DPAB* anchor = models_.anchor();
    anchor->dpType = ZEV_DP_SNMP;
    ZEVP_InitializeDCHcomm(&link_, anchor);
    anchor->dchLink = &link_;
    myApp_ = ZEVP_InitializeApplicationEntry(anchor, "MyApp", 1, nullptr);
    ifTable_ = ZEVP_InitializeTableEntry(myApp_, "ifTable", "P", nullptr, nullptr);
  }
  ~MIBinterestFileTest() override {
    for (ActionWorkerTaskEntry* worker : held_) {
      BSV1_GetLock(&anchor()->actionWorkerListLock);
      anchor()->actionWorkers = worker->NextWorker;
      BSV1_ReleaseLock(&anchor()->actionWorkerListLock);
      delete worker;
    }
    ZEVP_EndActionWorkers(anchor());
    TellEveryThreadToEnd(anchor());
    EXPECT_TRUE(WaitForThreadCount(anchor(), 0));
    anchor()->dchLink = nullptr;
    ZEVP_DestroyDCHcomm(&link_);
  }
  DPAB* anchor() const { return models_.anchor(); }
  std::string file(const std::string& which) {
    const zevp::MIBinterestFileNames& names = zevp::MIBinterestFiles();
    std::string name = which == "active" ? names.active : which == "backup" ? names.backup : names.fresh;
    return Work().read(name.substr(name.rfind('/') + 1));
  }
  // Puts the extension on a worker of the anchor's list, as an SNMP worker holds it.
  void hold(SNMPWorkerTaskExtension& extension) {
    auto* worker = new ActionWorkerTaskEntry();
    worker->ActionWorkerType = ZEV_ACTION_SNMP;
    worker->WorkerExtension = &extension;
    BSV1_GetLock(&anchor()->actionWorkerListLock);
    worker->NextWorker = anchor()->actionWorkers;
    anchor()->actionWorkers = worker;
    BSV1_ReleaseLock(&anchor()->actionWorkerListLock);
    held_.insert(held_.begin(), worker);
  }
  std::vector<std::string> recordedActions() { return recorder_.take(anchor()); }

  const ScratchDirectory& work_ = Work();  // before the models fix the work directory
  SNMPworkerRecorder recorder_{AutoStartLine};
  RoutineOverrides overrides_;
  MetafileFixture models_;
  DCHcomm link_{};
  ApplicationEntry* myApp_ = nullptr;
  TableEntry* ifTable_ = nullptr;
  std::vector<ActionWorkerTaskEntry*> held_;
};

TEST_F(MIBinterestFileTest, RecordsHoldTenAgentsAndANetworkOnce) {
  HandBuiltCollection two(myApp_, ifTable_, 300);
  two.add("10.77.0.1", "willow");
  two.add("10.77.0.2", "public");
  EXPECT_EQ(ZEVP_BuildMIBinterestRecords(two.extension()),
            std::vector<std::string>{"AGENTINFO=( {10.77.0.1 willow},{10.77.0.2 public} ) INTERVAL=300 "
                                     "APPLNAME=MYAPP ATTRGROUP=IFTABLE\n"});

  HandBuiltCollection many(myApp_, ifTable_, 60);
  for (int n = 1; n <= 25; ++n) many.add("10.77.1." + std::to_string(n), "c");
  std::vector<std::string> records = ZEVP_BuildMIBinterestRecords(many.extension());
  ASSERT_EQ(records.size(), 3u);
  std::vector<size_t> agents;
  for (const std::string& record : records) agents.push_back(std::count(record.begin(), record.end(), '{'));
  EXPECT_EQ(agents, (std::vector<size_t>{10, 10, 5}));

  HandBuiltCollection network(myApp_, ifTable_, 60);
  network.add("10.9.9.9", "c");
  for (int n = 1; n <= 254; ++n) network.add("10.1.2." + std::to_string(n), "willow", "10.1.2.0");
  network.add("10.1.0.7", "willow", "10.1.0.0");
  network.add("10.1.1.7", "willow", "10.1.0.0");
  EXPECT_EQ(ZEVP_BuildMIBinterestRecords(network.extension()),
            std::vector<std::string>{"AGENTINFO=( {10.9.9.9 c},{10.1.2.0 willow},{10.1.0.0 willow} ) INTERVAL=60 "
                                     "APPLNAME=MYAPP ATTRGROUP=IFTABLE\n"});
  EXPECT_EQ(ZEVP_BuildMIBstatusAgentList(network.extension()), "{10.9.9.9 c} {10.1.2.0 willow},{10.1.0.0 willow},");

  HandBuiltCollection wide(myApp_, ifTable_, 60);
  wide.add("10.77.0.1", std::string(1500, 'a'));
  wide.add("10.77.0.2", std::string(1500, 'b'));
  wide.add("10.77.0.3", std::string(2100, 'c'));
  TraceCapture trace("*=0x80");
  records = ZEVP_BuildMIBinterestRecords(wide.extension());
  ASSERT_EQ(records.size(), 2u) << "an agent that does not fit starts the next record";
  for (const std::string& record : records) EXPECT_LE(record.size(), ZEVP_MIB_INTEREST_RECORD_MAX);
  EXPECT_TRUE(trace.contains("***** Agent 10.77.0.3 does not fit a MIB interest record"));
  EXPECT_EQ(ZEVP_BuildMIBstatusAgentList(wide.extension()).size(), ZEVP_MIB_STATUS_AGENTS_MAX);
}

TEST_F(MIBinterestFileTest, TheRewriteRotatesTheFilesAndNoRecordLeavesTheActiveOne) {
  HandBuiltCollection collection(myApp_, ifTable_, 300);
  collection.add("10.77.0.1", "willow");
  hold(collection.extension());
  const std::string record =
      "AGENTINFO=( {10.77.0.1 willow} ) INTERVAL=300 APPLNAME=MYAPP ATTRGROUP=IFTABLE\n";
  Work().write(zevp::MIBinterestFiles().active.substr(zevp::MIBinterestFiles().active.rfind('/') + 1), "old\n");
  collection.extension().interestChanged = 1;
  ZEVP_UpdateMIBinterestExt(anchor());
  EXPECT_EQ(file("active"), record);
  EXPECT_EQ(file("backup"), "old\n");
  EXPECT_EQ(file("fresh"), "");
  EXPECT_EQ(collection.extension().interestChanged, 0);

  // The last collection stopped: no record.
  held_[0]->WorkerExtension->nodes = nullptr;
  ZEVP_UpdateMIBinterestExt(anchor());
  EXPECT_EQ(file("active"), record);
  EXPECT_EQ(file("fresh"), "");
  held_[0]->WorkerExtension = nullptr;
}

TEST_F(MIBinterestFileTest, AutoStartDispatchesOneActionPerRecordOfTheApplication) {
  const std::string active = zevp::MIBinterestFiles().active;
  Work().write(active.substr(active.rfind('/') + 1),
               "AGENTINFO=( {10.77.0.1 willow} ) INTERVAL=300 APPLNAME=MYAPP ATTRGROUP=IFTABLE\r\n"
               "AGENTINFO=( {10.77.0.2 c} ) INTERVAL=60 APPLNAME=OTHER ATTRGROUP=T\n"
               "AGENTINFO=( {10.77.0.3 c} ) INTERVAL=60 APPLNAME=MYAPPLICATION ATTRGROUP=T\n"
               "no application\n");
  ZEVP_DoAutoStartMIBmonitorTasks(anchor(), "MYAPP");
  EXPECT_EQ(recordedActions(),
            (std::vector<std::string>{
                "SNMPAUTOINIT SNMPSTARTGET 3 5 A | AGENTINFO=( {10.77.0.1 willow} ) INTERVAL=300 APPLNAME=MYAPP "
                "ATTRGROUP=IFTABLE",
                "SNMPAUTOINIT SNMPSTARTGET 3 5 A | AGENTINFO=( {10.77.0.3 c} ) INTERVAL=60 APPLNAME=MYAPPLICATION "
                "ATTRGROUP=T"}));
  ZEVP_DoAutoStartMIBmonitorTasks(anchor(), nullptr);
  EXPECT_EQ(recordedActions().size(), 4u);
}

TEST_F(MIBinterestFileTest, WithoutAWorkerTheAutoStartStops) {
  const std::string active = zevp::MIBinterestFiles().active;
  Work().write(active.substr(active.rfind('/') + 1), "APPLNAME=A\nAPPLNAME=B\n");
  TraceCapture trace("*=0x80");
  {
    RefusedThreadStarts refused;
    ZEVP_DoAutoStartMIBmonitorTasks(anchor(), nullptr);
  }
  EXPECT_EQ(trace.count("*****Auto worker thread creation failed. MIB auto start bypassed"), 1);
  EXPECT_TRUE(recordedActions().empty());
}

bool InWorkerList(DPAB* anchor, const ActionWorkerTaskEntry* wanted) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  bool found = false;
  for (const ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker)
    found = found || worker == wanted;
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return found;
}

// The fault: an SNMP worker that ended (at shut-down) freed its extension while a
// collector's rewrite of this file was still writing to it.
TEST_F(MIBinterestFileTest, RegressionAnEndingWorkerKeepsItsExtensionUntilTheRewriteHasLetGoOfIt) {
  overrides_.routines().snmpWorkerTask = ZEVP_SNMPWorkerTask;
  // A worker whose action finds no automation server ends at once: this entry takes it.
  ProcessEntry* server = ZEVP_InitializeProcessEntry(anchor());
  anchor()->automationServerEntry = server;
  ActionWorkerTaskEntry* worker = ZEVP_AllocateActionWorkerTask(&link_, ZEV_ACTION_SNMP, 0);
  ASSERT_NE(worker, nullptr);
  // Its first action (one it does not know) leaves it idle, so that it can end.
  ActionEntry* action = ZEVP_AllocateActionEntry(anchor());
  action->ActionName = ZEVP_CopyActionText("SNMPNONE", 8);
  action->ActionOwner = ZEVP_CopyActionText("SNMPAUTOINIT", 12);
  action->ActionType = ZEV_ACTION_SNMP;
  action->FieldCount = ZEVP_ACTION_FIELDS_REQUIRED;
  ZEVP_AssignWorkerAction(worker, action);
  ASSERT_TRUE(Eventually([&] { return worker->ActionWorkerStatus == ZEVP_WORKER_IDLE; }, 10000));

  std::promise<void> visiting;
  std::promise<void> letGo;
  std::shared_future<void> released = letGo.get_future().share();
  std::thread rewrite([&] {
    zevp::ForEachSNMPworkerExtension(anchor(), [&](SNMPWorkerTaskExtension* extension) {
      visiting.set_value();
      released.wait();
      extension->interestChanged = 1;
    });
  });
  visiting.get_future().wait();
  TraceCapture trace("*=0x90");
  ZEVP_EndActionWorkers(anchor());
  ASSERT_TRUE(Eventually(
      [&] { return trace.contains("waits for 1 visits of its extension to end") || !InWorkerList(anchor(), worker); },
      10000));
  EXPECT_TRUE(InWorkerList(anchor(), worker)) << "the worker ended under the visit";
  letGo.set_value();
  rewrite.join();
  EXPECT_TRUE(Eventually([&] { return !InWorkerList(anchor(), worker); }, 10000)) << "it ends once let go";
  anchor()->automationServerEntry = nullptr;
  server->requestQueue = nullptr;
  ZEVP_DestroyProcessEntry(server);
}

// The states the collection's DCH requests carry, as "table state".
std::mutex requestsMutex;
std::vector<std::string> requests;
void RecordState(SourceEntry* source, int32_t state) {
  std::lock_guard<std::mutex> lock(requestsMutex);
  requests.push_back(std::string(source->Table->TableName) + " " + std::to_string(state));
}
void NoWait(DPAB*, ProcessEntry* caller, SourceEntry* source) {
  EXPECT_EQ(source->OwningTask, caller) << "the source waits on the call's entry";
}

TEST_F(MIBinterestFileTest, OnlineStopsAtTheFirstSmallTableAndOfflineTakesEvery) {
  models_.write("mib.mdl", {"//SNMP TEXT", "//APPL Mib Ent 1.3.6.1.4.1.99", "//NAME First P 60", "//ATTRIBUTES",
                            "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2",
                            "sysName D 32 1.3.6.1.4.1.99.1.5", "//NAME Small P 60", "//ATTRIBUTES",
                            "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2",
                            "//NAME Last P 60", "//ATTRIBUTES", "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0",
                            "Agent_Name D 64 1.3.6.1.4.1.99.1.2", "ifDescr D 32 1.3.6.1.4.1.99.2.2"});
  ApplicationEntry* mib = models_.parse("mib.mdl").application;
  ASSERT_NE(mib, nullptr);
  overrides_.routines().updateSourceEntryState = RecordState;
  overrides_.routines().queueAndWaitDCHstatus = NoWait;
  requests.clear();
  ZEVP_SNMPapplOnline(anchor(), mib);
  EXPECT_EQ(requests, (std::vector<std::string>{"First 5"}));
  requests.clear();
  ZEVP_SNMPapplOffline(anchor(), mib);
  EXPECT_EQ(requests, (std::vector<std::string>{"First 11", "Small 11", "Last 11"}));

  requests.clear();
  TraceCapture trace("*=0xFF");
  anchor()->dpType = ZEV_DP_FILE;
  ZEVP_SNMPapplOnline(anchor(), mib);
  ZEVP_SNMPapplOffline(anchor(), mib);
  EXPECT_TRUE(requests.empty());
  EXPECT_TRUE(trace.contains(">>>>> dp_online bypassed for non-SNMP DP or application"));
  EXPECT_TRUE(trace.contains(">>>>> dp_offline bypassed for non-SNMP DP or application"));
}

}  // namespace

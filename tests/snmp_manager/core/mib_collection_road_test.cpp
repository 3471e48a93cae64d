// MIB collection and SET end to end, in a network namespace of the test's own: the
// SNMP data provider in process beside the agent's DCH server, Debian's snmpd on
// 10.77.0.1 (read community willow, write community setcomm, sysContact writable),
// snmpwalk and snmpget as the oracle, and agents of the test's own on 10.77.0.2 and
// 10.77.0.3 for the error statuses that snmpd does not give at will. Actions come
// from a DCH consumer (dc_provideAction, type 3); the rows and the action results
// are seen as the data provider hands them to its DCH client.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "action_entry.h"
#include "action_replies.h"
#include "action_worker.h"
#include "application_entry.h"
#include "attribute_entry.h"
#include "console_client.h"
#include "dch/dch_api.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "host_name_table.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "no_data_status.h"
#include "pdu_exchange.h"
#include "snmp_messages.h"
#include "snmp_provider_run.h"
#include "snmp_responder.h"
#include "snmp_thread.h"
#include "snmp_worker_extension.h"
#include "source_entry.h"
#include "table_entry.h"
#include "zev/action_codes.h"

namespace {

constexpr char kAgent[] = "10.77.0.1";
constexpr char kScriptedAgent[] = "10.77.0.2";
constexpr char kOtherScriptedAgent[] = "10.77.0.3";
constexpr char kSilentAgent[] = "10.77.0.9";
constexpr char kNode[] = "localhost:IFM00";
constexpr char kManagerRunning[] = "----- Start Network Monitor Server Task -----";
constexpr char kIfDescr[] = "1.3.6.1.2.1.2.2.1.2";
constexpr char kSysContact[] = "1.3.6.1.2.1.1.4.0";

constexpr char kMetafile[] =
    "//SNMP TEXT\n"
    "//APPL IFM Ent 1.3.6.1.2.1\n"
    "//NAME IFTABLE P 300\n"
    "//ATTRIBUTES\n"
    "Agent_Info D 16 1.3.6.1.4.1.99.1.0\n"
    "Agent_Name D 64 1.3.6.1.4.1.99.2.0\n"
    "ifIndex G 100000 1.3.6.1.2.1.2.2.1.1\n"
    "ifDescr D 64 1.3.6.1.2.1.2.2.1.2\n"
    "ifType G 1000 1.3.6.1.2.1.2.2.1.3\n"
    "ifOperStatus G 10 1.3.6.1.2.1.2.2.1.8\n"
    "ifInRate ? 100000000 1.3.6.1.2.1.2.2.1.10\n"
    "//NAME SYSTEM P 300\n"
    "//ATTRIBUTES\n"
    "Agent_Info D 16 1.3.6.1.4.1.99.1.0\n"
    "Agent_Name D 64 1.3.6.1.4.1.99.2.0\n"
    "sysDescr D 64 1.3.6.1.2.1.1.1.0\n"
    "sysContact D 64 1.3.6.1.2.1.1.4.0\n"
    "sysName D 64 1.3.6.1.2.1.1.5.0\n";

// A row as the data provider hands it over: its table, control and D values.
struct Row {
  std::string table;
  int control = 0;
  std::map<std::string, std::string> values;
};

struct Result {
  uint32_t id;
  long status;
  std::string text;
};

std::mutex recordMutex;
std::vector<Row> rows;
std::vector<Result> results;
std::vector<std::string> logMessages;

void RecordingQueueAndWait(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
  if (ZEVP_SourceStateOf(source) == ZEVP_Output && source->Table != nullptr && source->Table->Application != nullptr &&
      source->Table->Application->SNMPapplication != 0) {
    Row row{source->Table->TableName, source->DataSequence, {}};
    for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
      if (attribute->AttrType == 'D')
        row.values[attribute->AttrName] = std::string(attribute->Value(), attribute->ActualValSize);
    std::lock_guard<std::mutex> lock(recordMutex);
    rows.push_back(row);
  }
  ZEVP_QueueAndWaitDCHstatus(anchor, caller, source);
}

void RecordingReply(SourceEntry* source, DCHcomm* comm) {
  if (const ActionEntry* action = source->CurrentAction) {
    std::lock_guard<std::mutex> lock(recordMutex);
    results.push_back({action->ActionID, action->ActionStatus, action->ActionResult != nullptr ? action->ActionResult : ""});
  }
  ZEVP_ProvideActionReply(source, comm);
}

// The number and the texts: "<number> <p1> <p2>", then " <p3>" ... for each given.
void RecordingLog(DPAB*, int32_t number, const char* p1, const char* p2, const char* p3, const char* p4,
                  const char* p5) {
  std::string message = std::to_string(number) + " " + (p1 != nullptr ? p1 : "") + " " + (p2 != nullptr ? p2 : "");
  for (const char* more : {p3, p4, p5})
    if (more != nullptr) message += std::string(" ") + more;
  std::lock_guard<std::mutex> lock(recordMutex);
  logMessages.push_back(message);
}

std::vector<Row> RowsOf(const std::string& table) {
  std::lock_guard<std::mutex> lock(recordMutex);
  std::vector<Row> found;
  for (const Row& row : rows)
    if (row.table == table) found.push_back(row);
  return found;
}

bool Logged(const std::string& text) {
  std::lock_guard<std::mutex> lock(recordMutex);
  for (const std::string& message : logMessages)
    if (message == text) return true;
  return false;
}

// The first result of the action posted after `from` results, within the time.
Result ResultOf(uint32_t id, size_t from = 0) {
  Result found{id, -1, "<none>"};
  Eventually(
      [&] {
        std::lock_guard<std::mutex> lock(recordMutex);
        for (size_t i = from; i < results.size(); ++i)
          if (results[i].id == id) {
            found = results[i];
            return true;
          }
        return false;
      },
      10000);
  return found;
}

// An operator's command ("SNMP" of "SNMP Control") on a situation of the group: its
// source node names the application (three letters), the group and the release.
void Command(uint32_t id, const std::string& group, const std::string& parameters,
             const std::string& application = "IFM") {
  const std::string node = "localhost:" + application + group + "00";
  ASSERT_EQ(dc_provideAction(ZEV_ACTION_SNMP, "SNMP Control", node.c_str(), "localhost:IFM", "SNMP", id,
                             parameters.c_str()),
            0);
}

void Send(uint32_t id, const char* name, const std::string& parameters, const char* owner = "Sit_A") {
  ASSERT_EQ(dc_provideAction(ZEV_ACTION_SNMP, owner, kNode, "localhost:IFM", name, id, parameters.c_str()), 0);
}

// The instance and value of each line of snmpwalk -v1 of the column.
std::map<std::string, std::string> Walk(const std::string& column) {
  ToolRun walk = SnmpWalk(kAgent, "willow", column);
  EXPECT_EQ(walk.exitStatus, 0) << walk.errors;
  std::map<std::string, std::string> values;
  std::istringstream lines(walk.output);
  for (std::string line; std::getline(lines, line);) {
    size_t blank = line.find(' ');
    std::string oid = line.substr(0, blank);
    std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    values[oid.substr(column.size() + 2)] = value;  // after ".<column>."
  }
  return values;
}

struct Collector {
  int32_t interest = 0;
  int32_t interval = 0;
  std::vector<std::pair<std::string, int32_t>> agents;
};

// The collector of the table, as its extension shows it.
bool CollectorOf(DPAB* anchor, const char* table, Collector* out) {
  bool found = false;
  BSV1_GetLock(&anchor->actionWorkerListLock);
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker) {
    SNMPWorkerTaskExtension* extension = worker->WorkerExtension;
    if (extension == nullptr || extension->table == nullptr || std::string(extension->table->TableName) != table)
      continue;
    BSV1_GetLock(&extension->nodeListLock);
    BSV1_GetLock(&extension->intervalLock);
    out->interest = extension->interestCount;
    out->interval = extension->interval;
    out->agents.clear();
    for (SNMPMonitorNodeEntry* node = extension->nodes; node != nullptr; node = node->next)
      out->agents.emplace_back(node->agentAddress, node->interestCount);
    BSV1_ReleaseLock(&extension->intervalLock);
    BSV1_ReleaseLock(&extension->nodeListLock);
    found = true;
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return found;
}

// True once the table's collector and its one agent both count the interest: a start
// raises the collector's count before the agent's, a stop lowers the agent's first.
bool CollectorAndAgentAt(DPAB* anchor, const char* table, int32_t interest, Collector* out) {
  return CollectorOf(anchor, table, out) && out->interest == interest && out->agents.size() == 1 &&
         out->agents[0].second == interest;
}

std::string Described(const Collector& collector) {
  std::string text = "interest " + std::to_string(collector.interest) + ", agents";
  for (const auto& [address, interest] : collector.agents) text += " " + address + ":" + std::to_string(interest);
  return text;
}

// True once every worker but the table's collector has let go of its action: a start
// that joined the collector is then the collector's alone. A stop by ID waits for this
// itself; a stop of every agent and a deletion do not, so their tests wait for it (a
// management server stops a start long after it began).
bool JoinedStartsHandedOver(DPAB* anchor, const char* table) {
  bool handedOver = true;
  BSV1_GetLock(&anchor->actionWorkerListLock);
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker) {
    SNMPWorkerTaskExtension* extension = worker->WorkerExtension;
    if (extension != nullptr && extension->table != nullptr && std::string(extension->table->TableName) == table)
      continue;
    pthread_mutex_lock(&worker->WorkerMutex);
    if (worker->WorkerAction != nullptr) handedOver = false;
    pthread_mutex_unlock(&worker->WorkerMutex);
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return handedOver;
}

// snmpd on 10.77.0.1 and the SNMP data provider with the IFM application loaded.
class Collection {
 public:
  Collection()
      : run_(SnmpTestProduct(), {"ZEVP_SNMP_NET_DISCOVERY=N", "ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N",
                                 "ZEVP_SNMP_MONITOR_TRAP=N"}) {
    zevp::SetPDUwaitSecondForTests(50);
    SnmpAgentSettings settings;
    settings.address = kAgent;
    settings.readCommunity = "willow";
    settings.writeCommunity = "setcomm";
    settings.sysContact = "";
    agent_ = std::make_unique<SnmpAgentProcess>(settings);
    run_.engineRoutines().queueAndWaitDCHstatus = RecordingQueueAndWait;
    run_.engineRoutines().provideActionReply = RecordingReply;
    run_.engineRoutines().sendDPlogMessage = RecordingLog;
  }
  ~Collection() { zevp::SetPDUwaitSecondForTests(0); }

  // Imports the application through the console; or names it in the start-up
  // configuration file, which the data provider loads as it starts.
  // More metafiles (name and text) join ifm.mdl in the start-up configuration.
  bool start(bool import = true, const std::vector<std::pair<std::string, const char*>>& more = {}) {
    if (!import) {
      run_.work().write("ifm.mdl", kMetafile);
      std::string configuration = "ifm.mdl\n";
      for (const auto& metafile : more) {
        run_.work().write(metafile.first, metafile.second);
        configuration += metafile.first + "\n";
      }
      run_.work().write("ZEVPCNFG", configuration);
    }
    if (!agent_->start()) {
      ADD_FAILURE() << agent_->failure();
      return false;
    }
    if (!run_.start() || !run_.waitForTrace(kManagerRunning)) {
      ADD_FAILURE() << run_.trace();
      return false;
    }
    std::string ready = AwaitConsole(run_.consolePort(), 10000);
    EXPECT_EQ(ready.substr(0, 2), "0 ") << ready;
    if (!import) return ready.substr(0, 2) == "0 ";
    run_.work().write("ifm.mdl", kMetafile);
    ConsoleClient console;
    std::string reply = console.exchange(run_.consolePort(), "IMPORT ifm.mdl", 10000);
    EXPECT_EQ(reply.substr(0, 2), "0 ") << reply << run_.trace().substr(run_.trace().size() > 6000 ? run_.trace().size() - 6000 : 0);
    run_.consumerText(dc_getApplications, "IFM");  // the consumer verbs are ready after this
    return reply.substr(0, 2) == "0 ";
  }
  DPAB* anchor() { return run_.anchor(); }
  SnmpProviderRun& run() { return run_; }

 private:
  // Names the test does not list do not resolve: no name service is asked.
  HostNameTable names_{{{"127.0.0.1", "localhost"}}};
  SnmpProviderRun run_;
  std::unique_ptr<SnmpAgentProcess> agent_;
};

TEST(MibCollectionRoadTest, IfTableRowsMatchSnmpwalkAndStartsShareOneCollectorUntilTheLastStop) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    ASSERT_TRUE(collection.start());
    DPAB* anchor = collection.anchor();
    const std::map<std::string, std::string> descriptions = Walk(kIfDescr);
    ASSERT_FALSE(descriptions.empty());

    Send(101, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.1 ) INTERVAL=300");
    ASSERT_TRUE(Eventually([&] { return RowsOf("IFTABLE").size() >= descriptions.size(); }, 15000))
        << collection.run().trace();
    EXPECT_TRUE(Logged("108 IFM IFTABLE"));
    std::vector<Row> walked = RowsOf("IFTABLE");
    ASSERT_EQ(walked.size(), descriptions.size());
    for (const Row& row : walked) {
      SCOPED_TRACE(row.values.at("_ObjectInstance"));
      EXPECT_EQ(row.values.at("Agent_Info"), "Input Only");
      EXPECT_EQ(row.values.at("Agent_Name"), kAgent);
      auto expected = descriptions.find(row.values.at("_ObjectInstance"));
      ASSERT_NE(expected, descriptions.end());
      EXPECT_EQ(row.values.at("ifDescr"), expected->second);
    }

    // A second start of the agent joins the collector at the smaller interval.
    Send(102, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.1 ) INTERVAL=60");
    Collector collector;
    ASSERT_TRUE(Eventually([&] { return CollectorAndAgentAt(anchor, "IFTABLE", 2, &collector); }, 5000))
        << Described(collector);
    EXPECT_EQ(collector.interval, 60);

    // One stop keeps the agent; the last ends the collection.
    Send(102, "SNMPSTOPGET", "");
    EXPECT_EQ(ResultOf(102).status, 0);
    ASSERT_TRUE(Eventually([&] { return CollectorAndAgentAt(anchor, "IFTABLE", 1, &collector); }, 5000))
        << Described(collector);
    EXPECT_EQ(collector.interval, 300);

    Send(101, "SNMPSTOPGET", "");
    EXPECT_EQ(ResultOf(101).status, 0);
    ASSERT_TRUE(Eventually([&] { return Logged("109 IFM IFTABLE"); }, 5000)) << collection.run().trace();
    EXPECT_FALSE(CollectorOf(anchor, "IFTABLE", &collector));
    std::vector<Row> after = RowsOf("IFTABLE");
    ASSERT_GT(after.size(), walked.size());
    EXPECT_EQ(after.back().control, 0xDD);
    EXPECT_EQ(after.back().values.at("Agent_Name"), kAgent);
    EXPECT_EQ(after.back().values.at("ifDescr"), "");

    // The idle worker serves the next start: a scalar group, one row per agent.
    Send(103, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=SYSTEM AGENTINFO=( 10.77.0.1, 10.77.0.9 ) INTERVAL=10");
    // A request to the silent agent waits out its real five seconds: on a busy machine
    // the first row and the collector can come after such waits.
    ASSERT_TRUE(Eventually([&] { return !RowsOf("SYSTEM").empty() && CollectorOf(anchor, "SYSTEM", &collector); }, 30000))
        << collection.run().trace();
    EXPECT_EQ(collector.interval, 30);
    ASSERT_TRUE(Eventually([&] {
      ZEVP_DoNoDataStatusReport(anchor);
      for (const std::string& entry : zevp::NoDataAgentEntries())
        if (entry.find(kSilentAgent) != std::string::npos && entry.find("SYSTEM") != std::string::npos) return true;
      return false;
    }, 10000));
    // The clock runs fast: passes may have come again; each row is the answering agent's.
    for (const Row& row : RowsOf("SYSTEM")) {
      EXPECT_EQ(row.values.at("Agent_Name"), kAgent) << "the silent agent sends no row";
      EXPECT_EQ(row.values.at("sysDescr"), "Test agent");
      EXPECT_EQ(row.values.at("sysName"), "test-agent");
    }
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

TEST(MibCollectionRoadTest, ByNameAStartAnswersAtOnceAndAStopOfEveryAgentEndsTheCollection) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    ASSERT_TRUE(collection.start());
    DPAB* anchor = collection.anchor();
    Command(401, "IFTABLE", "MONITOR START AGENTINFO=( 10.77.0.1 ) INTERVAL=300");
    Result started = ResultOf(401);
    EXPECT_EQ(started.status, 0);
    EXPECT_EQ(started.text, "MIB monitor started");
    Send(402, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.1 ) INTERVAL=60");
    Collector collector;
    ASSERT_TRUE(Eventually([&] { return CollectorOf(anchor, "IFTABLE", &collector) && collector.interest == 2; }, 5000));
    ASSERT_TRUE(Eventually([&] { return JoinedStartsHandedOver(anchor, "IFTABLE"); }, 5000));

    Command(403, "SYSTEM", "MONITOR STOP AGENTINFO=( 10.77.0.1 )");
    Result never = ResultOf(403);
    EXPECT_EQ(never.status, 10);
    EXPECT_EQ(never.text, "Monitoring never started");

    // Every agent: the other start goes, the collection ends as its last agent's
    // removal ends it, and the collector completes its own start.
    Command(404, "IFTABLE", "MONITOR STOP AGENTINFO=( * )");
    Result stopped = ResultOf(404);
    EXPECT_EQ(stopped.status, 0);
    EXPECT_EQ(stopped.text, "MIB monitor stopped for requested nodes");
    ASSERT_TRUE(Eventually([&] { return Logged("109 IFM IFTABLE"); }, 5000)) << collection.run().trace();
    EXPECT_EQ(RowsOf("IFTABLE").back().control, 0xDD);
    EXPECT_TRUE(Eventually([&] { return !CollectorOf(anchor, "IFTABLE", &collector); }, 5000));
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

// A REFRESH of the application while its table is collected: the deletion stops the
// collection of the old table (its joined start goes with it) instead of waiting for
// it for ever, the console answers, and the rebuilt application's collection starts
// anew from the interest file.
TEST(MibCollectionRoadTest, ARefreshDuringACollectionAnswersAndTheRebuiltTableIsCollected) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    ASSERT_TRUE(collection.start());
    DPAB* anchor = collection.anchor();
    Send(501, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.1 ) INTERVAL=300");
    Send(502, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.1 ) INTERVAL=60");
    Collector collector;
    ASSERT_TRUE(Eventually([&] { return CollectorOf(anchor, "IFTABLE", &collector) && collector.interest == 2; }, 15000));
    ASSERT_TRUE(Eventually([&] { return JoinedStartsHandedOver(anchor, "IFTABLE"); }, 5000));
    ASSERT_TRUE(Eventually([&] { return collection.run().work().read("ZEVSMIBI").find("IFTABLE") != std::string::npos; },
                           15000))
        << collection.run().trace();
    const size_t rowsBefore = RowsOf("IFTABLE").size();
    ASSERT_GT(rowsBefore, 0u);

    ConsoleClient console;
    std::string reply = console.exchange(collection.run().consolePort(), "REFRESH ifm.mdl", 10000);
    EXPECT_EQ(reply.substr(0, 2), "0 ") << reply << collection.run().trace();
    EXPECT_FALSE(Logged("109 IFM IFTABLE")) << "a stopped collection did not end by itself";
    ASSERT_TRUE(Eventually([&] { return CollectorOf(anchor, "IFTABLE", &collector) && RowsOf("IFTABLE").size() > rowsBefore; },
                           15000))
        << collection.run().trace();
    EXPECT_EQ(collector.interest, 1) << "the interest file's start only";
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

TEST(MibCollectionRoadTest, ARestartedDataProviderResumesTheInterestFilesCollectionsAndPostsNothing) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    collection.run().work().write("ZEVSMIBI", "AGENTINFO=( {10.77.0.1 willow} ) INTERVAL=300 APPLNAME=IFM ATTRGROUP=SYSTEM\n");
    ASSERT_TRUE(collection.start(false));
    ASSERT_TRUE(Eventually([] { return !RowsOf("SYSTEM").empty(); }, 10000)) << collection.run().trace();
    Collector collector;
    ASSERT_TRUE(CollectorOf(collection.anchor(), "SYSTEM", &collector));
    EXPECT_EQ(collector.interest, 1);
    EXPECT_EQ(collector.interval, 300);
    EXPECT_EQ(RowsOf("SYSTEM")[0].values.at("sysName"), "test-agent");
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
    std::lock_guard<std::mutex> lock(recordMutex);
    EXPECT_TRUE(results.empty()) << "SNMPAUTOINIT's actions are not posted";
  });
}

// An application whose group has nothing to collect beside the agent's own two
// attributes.
constexpr char kUncollectableMetafile[] =
    "//SNMP TEXT\n"
    "//APPL NOC Ent 1.3.6.1.2.1\n"
    "//NAME SYSTEM P 300\n"
    "//ATTRIBUTES\n"
    "Agent_Info D 16 1.3.6.1.4.1.99.1.0\n"
    "Agent_Name D 64 1.3.6.1.4.1.99.2.0\n";

// The agent's action log keeps an action's first answer: a start that starts no
// collection answers first, and only, with the reason; an operator's start has the DP
// log repeat it.
TEST(MibCollectionRoadTest, AStartThatStartsNoCollectionIsAnsweredWithTheReason) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    ASSERT_TRUE(collection.start(false, {{"noc.mdl", kUncollectableMetafile}}));
    const std::string reason = "Non-SNMP application table <SYSTEM>. Data collection bypassed";
    const struct {
      uint32_t id;
      const char* group;  // of an operator's command: the situation node's; null: a start of a situation
      const char* parameters;
      std::string text;
    } cases[] = {
        {601, "", "MONITOR START ATTRGROUP=system AGENTINFO=( 10.77.0.1 )", reason},
        {602, "SYSTEM", "MONITOR START AGENTINFO=( 10.77.0.1 ) INTERVAL=60", reason},
        {603, nullptr, "APPLNAME=NOC AGENTINFO=( 10.77.0.1 )", reason},
        {604, "SYSTEM", "MONITOR START AGENTINFO=( 10.77.0.1 )",
         "***** SNMPSTARTGET ignored. MIB not loaded or APPLNAME <NOT> not found."},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.parameters);
      if (c.group == nullptr)
        Send(c.id, "SNMPSTARTGET", c.parameters);
      else
        Command(c.id, c.group, c.parameters, c.id == 604 ? "NOT" : "NOC");
      Result answered = ResultOf(c.id);
      EXPECT_EQ(answered.status, 2);
      EXPECT_EQ(answered.text, c.text);
      if (c.group != nullptr) {
        EXPECT_TRUE(Eventually([&] { return Logged("61 SNMP SNMP Control 2 " + c.text); }, 5000));
      }
    }
    Collector collector;
    EXPECT_FALSE(CollectorOf(collection.anchor(), "SYSTEM", &collector));
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

TEST(MibCollectionRoadTest, StartsAndStopsAreRefusedAsTheirParametersSay) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    ASSERT_TRUE(collection.start());
    const struct {
      uint32_t id;
      const char* name;
      const char* parameters;
      long status;
    } cases[] = {
        {201, "SNMPSTARTGET", "ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.1 )", 3},
        {202, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE", 3},
        {203, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE AGENTINFO=10.77.0.1", 3},
        {204, "SNMPSTARTGET", "APPLNAME=NOSUCH ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.1 )", 2},
        {205, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=NOSUCH AGENTINFO=( 10.77.0.1 )", 2},
        {206, "SNMPSTARTGET", "APPLNAME=SNMP-MANAGER ATTRGROUP=TRAP AGENTINFO=( 10.77.0.1 )", 2},
        {207, "SNMPSTOPGET", "", 0},
        {208, "SNMPNOSUCH", "", 3},
        {209, "SNMPMANAGE", "", 4},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.parameters);
      Send(c.id, c.name, c.parameters);
      EXPECT_EQ(ResultOf(c.id).status, c.status);
    }
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

TEST(MibCollectionRoadTest, SetWritesTheAgentsVariableAndReportsWhatTheAgentSaid) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    ASSERT_TRUE(collection.start());
    const struct {
      uint32_t id;
      std::string parameters;
      long status;
      const char* text;
    } cases[] = {
        {301, "NETADDR=10.77.0.1 COMMUNITY=setcomm VALUE=two words ATTR=sysContact APPLNAME=IFM", 0, "SET OK"},
        {302, "NETADDR=10.77.0.1 COMMUNITY=setcomm VALUE=x ATTR=sysDescr APPLNAME=IFM", 2, "SET no such attribute"},
        {303, "NETADDR=10.77.0.1 COMMUNITY=wrong VALUE=x ATTR=sysContact APPLNAME=IFM", 2,
         "SET agent no response or comm error"},
        // The default community, willow, reads only: snmpd answers (a wrong one is not answered).
        {304, "NETADDR=10.77.0.1 COMMUNITY= VALUE=x ATTR=sysContact APPLNAME=IFM", 2, "SET no such attribute"},
        {305, "NETADDR=no.such.host VALUE=x ATTR=sysContact APPLNAME=IFM", 9, "Agent address invalid or unresolvable"},
        {306, "NETADDR=10.77.0.1 VALUE=x ATTR=ifDescr APPLNAME=IFM", 9, "MIB attribute not scalar type"},
        {307, "NETADDR=10.77.0.1 VALUE=x ATTR=nosuch APPLNAME=IFM", 9, "MIB attribute not found"},
        {308, "NETADDR=10.77.0.1 ATTR=sysContact APPLNAME=IFM", 9, "Set value not specified"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.parameters);
      Send(c.id, "SNMPSET", c.parameters);
      Result result = ResultOf(c.id);
      EXPECT_EQ(result.status, c.status);
      EXPECT_EQ(result.text, c.text);
    }
    ToolRun get = SnmpGet(std::string(kAgent) + ":161", "willow", {kSysContact});
    EXPECT_NE(get.output.find("\"two words\""), std::string::npos) << get.output << get.errors;
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

// A start that names only the application starts each SNMP table of it, at the
// custom interval (300 seconds) when it gives none; an operator's stop that names
// only the application (its ATTRGROUP= empty) stops each of them.
TEST(MibCollectionRoadTest, AStartOrAStopNamingOnlyTheApplicationTakesEachOfItsTables) {
  RunInNetworkNamespace({{kAgent}, ""}, [] {
    Collection collection;
    ASSERT_TRUE(collection.start());
    DPAB* anchor = collection.anchor();
    Send(701, "SNMPSTARTGET", "APPLNAME=IFM AGENTINFO=( 10.77.0.1 )");
    Collector table;
    Collector system;
    // The collectors are read once both tables' rows have come: a collector counts the
    // start before its agent joins, and a row comes only from an agent that has joined.
    ASSERT_TRUE(Eventually([&] {
      return !RowsOf("IFTABLE").empty() && !RowsOf("SYSTEM").empty() &&
             CollectorOf(anchor, "IFTABLE", &table) && CollectorOf(anchor, "SYSTEM", &system);
    }, 15000)) << collection.run().trace();
    for (const Collector* collector : {&table, &system}) {
      EXPECT_EQ(collector->interest, 1);
      EXPECT_EQ(collector->interval, 300);
      EXPECT_EQ(collector->agents, (std::vector<std::pair<std::string, int32_t>>{{kAgent, 1}}));
    }

    ASSERT_EQ(dc_provideAction(ZEV_ACTION_SNMP, "SNMP Control", "localhost:IFM00", "localhost:IFM", "SNMP", 702,
                               "MONITOR STOP ATTRGROUP= AGENTINFO=( * )"),
              0);
    Result stopped = ResultOf(702);
    EXPECT_EQ(stopped.status, 0);
    EXPECT_EQ(stopped.text, "MIB monitor stopped for requested nodes");
    ASSERT_TRUE(Eventually([] { return Logged("109 IFM IFTABLE") && Logged("109 IFM SYSTEM"); }, 10000))
        << collection.run().trace();
    EXPECT_TRUE(Eventually([&] { return !CollectorOf(anchor, "IFTABLE", &table) && !CollectorOf(anchor, "SYSTEM", &system); },
                           5000));
    EXPECT_EQ(ResultOf(701).status, 0) << "the starts end with their collections";
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

// An ifTable of the test's own: its rows by instance, each with its description
// and the error status that the description column answers (0: the value).
struct ScriptedRow {
  int instance;
  std::string description;
  int32_t descriptionStatus = 0;
};

// An agent of the rows: a GetNext of ifIndex answers the next row (after the last,
// the first of the next column: the table's end); a Get answers the column of the
// row, the description's error status, or NoSuchName for a column it does not have.
SnmpResponder::Script TableAgent(const std::vector<ScriptedRow>& rows) {
  return [rows](const SnmpBytes& request) {
    const std::string ifIndex = "1.3.6.1.2.1.2.2.1.1";
    const SnmpReply asked = ParsedRequest(request);
    const std::string oid = DottedOID(RequestOIDfield(request));
    SnmpReply reply;
    reply.id = asked.id;
    reply.community = asked.community;
    const size_t dot = oid.rfind('.');
    const std::string column = oid.substr(0, dot);
    const int instance = std::atoi(oid.c_str() + dot + 1);
    if (asked.pduTag == 0xA1) {
      const int after = oid == ifIndex ? 0 : instance;
      reply.varBinds = {VarBindBytes(OIDfieldBytes("1.3.6.1.2.1.2.2.1.2.1"), TextBytes("next column"))};
      for (const ScriptedRow& row : rows)
        if (row.instance > after) {
          reply.varBinds = {VarBindBytes(OIDfieldBytes(ifIndex + "." + std::to_string(row.instance)),
                                         IntegerBytes(row.instance))};
          break;
        }
      return std::vector<ScriptedReply>{{ResponseBytes(reply)}};
    }
    const std::map<std::string, SnmpBytes> values = {{ifIndex, IntegerBytes(instance)},
                                                     {"1.3.6.1.2.1.2.2.1.3", IntegerBytes(6)},
                                                     {"1.3.6.1.2.1.2.2.1.8", IntegerBytes(1)},
                                                     {"1.3.6.1.2.1.2.2.1.10", IntegerBytes(1000 * instance)}};
    reply.status = 2;
    for (const ScriptedRow& row : rows) {
      if (row.instance != instance) continue;
      if (column == "1.3.6.1.2.1.2.2.1.2") {
        reply.status = row.descriptionStatus;
        if (reply.status == 0) reply.varBinds = {VarBindBytes(OIDfieldBytes(oid), TextBytes(row.description))};
      } else if (values.count(column) != 0) {
        reply.status = 0;
        reply.varBinds = {VarBindBytes(OIDfieldBytes(oid), values.at(column))};
      }
    }
    if (reply.status != 0) {
      reply.index = 1;
      reply.varBinds = {VarBindBytes(OIDfieldBytes(oid), {0x05, 0x00})};
    }
    return std::vector<ScriptedReply>{{ResponseBytes(reply)}};
  };
}

// What a row of the first pass must show: its agent, instance and description.
struct ExpectedRow {
  std::string agent;
  std::string instance;
  std::string description;
};

// One collection of three agents: a row whose description is NoSuchName is sent
// with the column empty; a GenError ends the row that had it, sent with what was
// loaded, and that agent's rows, and the next agent follows; every tenth row sent
// is followed by a pause. Beside it a scalar collection whose first agent cannot be
// sent to: its row is given up at the first column and the next agent's row sent.
TEST(MibCollectionRoadTest, ColumnErrorsEndAColumnARowOrAnAgentAndTheNextAgentFollows) {
  RunInNetworkNamespace({{kAgent, kScriptedAgent, kOtherScriptedAgent}, ""}, [] {
    std::vector<ScriptedRow> twelve;
    for (int n = 1; n <= 12; ++n) twelve.push_back({n, "a" + std::to_string(n), n == 3 ? 2 : 0});
    SnmpResponder first(TableAgent(twelve), kScriptedAgent, 161);
    SnmpResponder second(TableAgent({{1, "b1"}, {2, "b2", 5}, {3, "b3"}}), kOtherScriptedAgent, 161);
    Collection collection;
    // Every agent answers: a wait of a second for each reply costs nothing, and a
    // busy machine gets its time.
    zevp::SetPDUwaitSecondForTests(200);
    ASSERT_TRUE(collection.start());
    const std::map<std::string, std::string> descriptions = Walk(kIfDescr);
    ASSERT_FALSE(descriptions.empty());
    std::vector<ExpectedRow> expected;
    for (const ScriptedRow& row : twelve)
      expected.push_back({kScriptedAgent, std::to_string(row.instance), row.instance == 3 ? " " : row.description});
    expected.push_back({kOtherScriptedAgent, "1", "b1"});
    expected.push_back({kOtherScriptedAgent, "2", " "});
    for (const auto& [instance, description] : descriptions) expected.push_back({kAgent, instance, description});

    Send(601, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=IFTABLE AGENTINFO=( 10.77.0.2, 10.77.0.3, 10.77.0.1 ) INTERVAL=300");
    Send(602, "SNMPSTARTGET", "APPLNAME=IFM ATTRGROUP=SYSTEM AGENTINFO=( 10.77.0.255, 10.77.0.1 ) INTERVAL=300");
    ASSERT_TRUE(Eventually([&] { return RowsOf("IFTABLE").size() >= expected.size() && !RowsOf("SYSTEM").empty(); },
                           15000))
        << collection.run().trace();
    const std::vector<Row> walked = RowsOf("IFTABLE");
    ASSERT_EQ(walked.size(), expected.size()) << "one pass in the interval";
    for (size_t n = 0; n < expected.size(); ++n) {
      SCOPED_TRACE("row " + std::to_string(n + 1));
      EXPECT_EQ(walked[n].values.at("Agent_Name"), expected[n].agent);
      EXPECT_EQ(walked[n].values.at("_ObjectInstance"), expected[n].instance);
      EXPECT_EQ(walked[n].values.at("ifDescr"), expected[n].description);
    }
    EXPECT_EQ(second.requests(), 6 + 3) << "a whole row, then a GetNext, ifIndex and the GenError: no more";
    EXPECT_EQ(first.requests(), 12 * 6 + 1);
    const std::string& trace = collection.run().trace();
    EXPECT_NE(trace.find("*****SNMP response error status received - 10.77.0.3 GenError MIB attribute ifDescr"),
              std::string::npos);
    EXPECT_EQ(trace.find("error status received - 10.77.0.2"), std::string::npos)
        << "NoSuchName is traced only under the MIB manager switch";

    auto count = [&trace](const std::string& text) {
      size_t found = 0;
      for (size_t at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) ++found;
      return found;
    };
    EXPECT_EQ(count(">>>>>10 row pause"), 1u);
    EXPECT_EQ(count("***** 10.77.0.255 SNMP request transmission failed"), 1u) << "the row's other columns are skipped";
    for (const Row& row : RowsOf("SYSTEM")) EXPECT_EQ(row.values.at("Agent_Name"), kAgent);
    EXPECT_EQ(collection.run().stop(), &ZEVS_ThreadRC);
  });
}

}  // namespace

// Managed node list tasks: what a list's rows and messages say about its nodes
// (snmpd, a live host without SNMP, a silent host, in a namespace of the test's
// own), how a stopped list takes its rows back, a list whose task cannot start,
// and the names and pauses a task works with.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "bare_anchor.h"
#include "configuration_request_call.h"
#include "console_client.h"
#include "dch/dch_protocol.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "host_name_table.h"
#include "integer_values.h"
#include "managed_node_list.h"
#include "managed_node_list_task.h"
#include "managed_node_table.h"
#include "net_snmp.h"
#include "network_configuration_block.h"
#include "network_namespace.h"
#include "pdu_exchange.h"
#include "raf.h"
#include "run_in_child.h"
#include "snmp_manager_tables.h"
#include "snmp_provider_run.h"
#include "source_entry.h"
#include "trace_capture.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

namespace {

constexpr int kWaitMs = 20000;
constexpr int kReplyWaitMs = 5000;

// A MANAGED-NODES row as the list task handed it to the DCH: its values without
// the time stamp and the response time; "offline" for the source's offline.
struct Row {
  std::string text;
  bool deleteRow;
};

class ManagedNodeRows {
 public:
  static ManagedNodeRows& instance() {
    static ManagedNodeRows rows;
    return rows;
  }
  static void Record(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
    if (source->Table != nullptr && source->Table == anchor->snmpManagerTables[ZEVP_SNMP_MANAGED_NODES] &&
        source->pSourceNodeName != nullptr && instance().nodeName_ == source->pSourceNodeName)
      instance().add(source);
    ZEVP_QueueAndWaitDCHstatus(anchor, caller, source);
  }
  void watch(const std::string& sourceNodeName) { nodeName_ = sourceNodeName; }
  std::vector<Row> rows() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rows_;
  }
  // The rows from the index on.
  std::vector<Row> rowsFrom(size_t first) {
    std::vector<Row> all = rows();
    if (first >= all.size()) return {};
    return std::vector<Row>(all.begin() + static_cast<long>(first), all.end());
  }

 private:
  void add(SourceEntry* source) {
    const int32_t state = ZEVP_SourceStateOf(source);
    Row row{"", source->DataSequence == DCH_DeleteKeyRecord};
    if (state == ZEVP_Inactive) {
      row.text = "offline";
    } else if (state == ZEVP_Output) {
      int column = 0;
      for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
        ++column;
        if (column == 4 && !row.deleteRow) continue;  // the time stamp
        if (column == 7) continue;                     // the response time
        row.text += std::string(attribute->Value(), attribute->ActualValSize) + "|";
      }
    } else {
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    rows_.push_back(row);
  }

  std::string nodeName_;
  std::mutex mutex_;
  std::vector<Row> rows_;
};

std::string ServiceType(int services) {
  char* text = ZEV0_DetermineNodeServiceType(services);
  std::string type = text;
  ZEV0_FreeStorage(&text);
  return type;
}

size_t CountRows(const std::vector<Row>& rows, const std::string& text) {
  size_t count = 0;
  for (const Row& row : rows) count += row.text == text ? 1 : 0;
  return count;
}

bool HasRow(const std::vector<Row>& rows, const std::string& text, bool deleteRow = false) {
  for (const Row& row : rows)
    if (row.text == text && row.deleteRow == deleteRow) return true;
  return false;
}

// The messages about nodes.
std::vector<std::string> MessagesOf(const std::vector<raf::ConsoleMessage>& messages) {
  std::vector<std::string> texts;
  for (const raf::ConsoleMessage& message : messages)
    if (message.category == "NetworkStatus")
      texts.push_back(message.category + "/" + message.severity + "/" + message.text);
  return texts;
}

// The list task in a data provider of the namespace, its rows recorded.
class ListRun {
 public:
  explicit ListRun(const std::string& listFile) : names_({{"127.0.0.1", "localhost"}, {"10.77.0.1", "router"}}) {
    zevp::SetPDUwaitSecondForTests(100);
    run_.work().write("ZEVSLIST", "lab.lst\n");
    run_.work().write("lab.lst", listFile);
    ManagedNodeRows::instance().watch("lab");
    run_.engineRoutines().queueAndWaitDCHstatus = ManagedNodeRows::Record;
    raf::TakeConsoleMessages();
  }
  ~ListRun() { zevp::SetPDUwaitSecondForTests(0); }
  SnmpProviderRun& run() { return run_; }

 private:
  HostNameTable names_;
  SnmpProviderRun run_;
};

TEST(ManagedNodeListTaskTest, FirstCycleRowsTellEachNodesStateAndLaterRowsLeaveTypeAndDescriptionEmpty) {
  RunInNetworkNamespace({{"10.77.0.1", "10.77.0.5"}, ""}, [] {
    SnmpAgentSettings settings;
    settings.address = "10.77.0.1";
    settings.readCommunity = "willow";
    settings.sysDescr = "Lab router";
    SnmpAgentProcess snmpd(settings);
    ASSERT_TRUE(snmpd.start()) << snmpd.failure();
    ListRun list("LISTNAME=lab\n10.77.0.1 10.77.0.5\n");
    SnmpProviderRun& run = list.run();
    ASSERT_TRUE(run.start());

    const std::string router = "router|10.77.0.1|On-line |" + ServiceType(72) + "|Lab router|";
    const std::string live = "10.77.0.5|10.77.0.5|On-line |IP Node|Unavailable|";
    ASSERT_TRUE(Eventually([] { return ManagedNodeRows::instance().rows().size() >= 2; }, kWaitMs)) << run.trace();
    std::vector<Row> first = ManagedNodeRows::instance().rows();
    EXPECT_EQ(first[0].text, router);
    EXPECT_EQ(first[1].text, live);
    EXPECT_EQ(MessagesOf(raf::TakeConsoleMessages()),
              (std::vector<std::string>{
                  "NetworkStatus/Status/Managed Node List: lab Member Node: router(10.77.0.1) Online",
                  "NetworkStatus/Status/Managed Node List: lab Member Node: 10.77.0.5(10.77.0.5) Online"}));

    // The next cycle: the same states; type and description left empty, except for a
    // node found on-line by a ping, which counts as changed each time.
    ASSERT_TRUE(Eventually([] { return ManagedNodeRows::instance().rows().size() >= 4; }, kWaitMs)) << run.trace();
    std::vector<Row> next = ManagedNodeRows::instance().rowsFrom(2);
    EXPECT_EQ(next[0].text, "router|10.77.0.1|On-line |||");
    EXPECT_EQ(next[1].text, live);

    // Excluded by a request: one delete row with only the address, one message, no
    // more rows; added again: a full row.
    const std::string removed =
        "NetworkStatus/Status/Managed Node List: lab Member Node: 10.77.0.5(10.77.0.5) removed from management";
    EXPECT_EQ(RunConfigurationRequest(run.anchor(), "MNLREMOVE LIST=lab NODE=10.77.0.5"),
              (ConfigurationOutcome{0, ""}));
    EXPECT_EQ(run.work().read("lab.lst"), "LISTNAME=lab\n10.77.0.1 -10.77.0.5\n");
    // A row polled in the cycle under way may still come before the delete row.
    size_t mark = 0;
    ASSERT_TRUE(Eventually(
        [&] {
          std::vector<Row> rows = ManagedNodeRows::instance().rows();
          for (mark = 0; mark < rows.size(); ++mark)
            if (rows[mark].deleteRow && rows[mark].text == "|10.77.0.5|||||") return true;
          return false;
        },
        kWaitMs));
    ASSERT_TRUE(Eventually(
        [&] { return CountRows(ManagedNodeRows::instance().rowsFrom(mark), "router|10.77.0.1|On-line |||") >= 2; },
        kWaitMs));
    EXPECT_EQ(CountRows(ManagedNodeRows::instance().rowsFrom(mark), "|10.77.0.5|||||"), 1u);
    EXPECT_EQ(CountRows(ManagedNodeRows::instance().rowsFrom(mark), live), 0u);
    EXPECT_EQ(MessagesOf(raf::TakeConsoleMessages()), std::vector<std::string>{removed});
    EXPECT_EQ(RunConfigurationRequest(run.anchor(), "MNLADD LIST=lab NODE=10.77.0.5"), (ConfigurationOutcome{0, ""}));
    EXPECT_EQ(run.work().read("lab.lst"), "LISTNAME=lab\n10.77.0.1 10.77.0.5\n");
    mark = ManagedNodeRows::instance().rows().size();
    EXPECT_TRUE(Eventually([&] { return HasRow(ManagedNodeRows::instance().rowsFrom(mark), live); }, kWaitMs));
    EXPECT_EQ(RunConfigurationRequest(run.anchor(), "MNLADD LIST=lab NODE=10.77.0.5"),
              (ConfigurationOutcome{-1, "Adding node 10.77.0.5 already managed"}));

    // Reloaded, the list takes back the rows of every node, then goes offline.
    ConsoleClient console;
    const size_t before = ManagedNodeRows::instance().rows().size();
    run.work().write("lab.lst", "LISTNAME=lab\n10.77.0.5\n");
    EXPECT_EQ(console.exchange(run.consolePort(), "LOADLIST lab.lst", kWaitMs), "0 ");
    ASSERT_TRUE(run.waitForTrace(">>>>> Do dp_offline for Managed Node List lab")) << run.trace();
    std::vector<Row> stopped = ManagedNodeRows::instance().rowsFrom(before);
    for (const char* address : {"10.77.0.1", "10.77.0.5"})
      EXPECT_TRUE(HasRow(stopped, std::string("|") + address + "|||||", true)) << address;
    EXPECT_TRUE(HasRow(stopped, "offline"));
    EXPECT_NE(run.stop(), nullptr);
  });
}

// A node that answers neither SNMP nor ICMP: each ping waits its two seconds.
TEST(ManagedNodeListTaskTest, ASilentNodeIsOfflineFromTheStartWithoutAMessage) {
  RunInNetworkNamespace({{"10.77.0.1"}, ""}, [] {
    ListRun list("LISTNAME=lab\n10.77.0.9\n");
    SnmpProviderRun& run = list.run();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(Eventually([] { return !ManagedNodeRows::instance().rows().empty(); }, kWaitMs)) << run.trace();
    EXPECT_EQ(ManagedNodeRows::instance().rows()[0].text, "10.77.0.9|10.77.0.9|Off-line|Unknown|Unavailable|");
    EXPECT_EQ(MessagesOf(raf::TakeConsoleMessages()), std::vector<std::string>{});
    EXPECT_NE(run.stop(), nullptr);
  });
}

// Starts every thread but a managed node list's task.
class RefusedListTasks : public zev0::ThreadStarter {
 public:
  RefusedListTasks() : previous_(zev0::SetThreadStarter(this)) {}
  ~RefusedListTasks() override { zev0::SetThreadStarter(previous_); }
  int start(pthread_t* threadId, const pthread_attr_t* attributes, void* (*routine)(void*), void* argument) override {
    if (routine == ZEVS_ManagedNodeListTask) return EAGAIN;
    return pthread_create(threadId, attributes, routine, argument);
  }

 private:
  zev0::ThreadStarter* previous_;
};

TEST(ManagedNodeListTaskTest, AListWhoseTaskCouldNotStartIsStoppedAtOnce) {
  RunInNetworkNamespace([] {
    RefusedListTasks refused;
    SnmpProviderRun run;
    run.work().write("ZEVSLIST", "lab.lst\n");
    run.work().write("lab.lst", "LISTNAME=lab\n127.0.0.1\n");
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace("*****Managed Node List worker task creation failed. ErrorText <")) << run.trace();
    ConsoleClient console;
    EXPECT_EQ(console.exchange(run.consolePort(), "LOADLIST lab.lst", kReplyWaitMs), "0 ");
    EXPECT_NE(run.stop(), nullptr);
  });
}

// In a child: the settings its block reads once stay with the process.
TEST(ManagedNodeListTaskTest, WithoutTheManagedNodesSourceATaskPollsNothingAndEnds) {
  RunInChild([] {
    TraceCapture trace("*=0xFF");
    BareAnchor anchor;
    NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
    ASSERT_NE(block, nullptr);
    block->anchor = anchor.get();
    ManagedNodeListEntry list;
    BSV1_InitializeLock(&list.lock);
    list.listName = "lab";
    list.changed = 1;
    list.taskMark = 1;
    list.nodes.push_back(sockaddr_in{AF_INET, 0, {htonl(0x7F000001)}, {}});
    list.networkConfiguration = block;
    zevs::BlockUserStarted(block);
    EXPECT_EQ(ZEVS_ManagedNodeListTask(&list), nullptr);
    EXPECT_TRUE(trace.contains("*****Managed Node source not available. Monitor bypassed"));
    EXPECT_FALSE(trace.contains("Retrieving sysServices"));
    EXPECT_EQ(list.taskMark, 0);
    EXPECT_TRUE(zevs::AwaitBlockUsersEnded(block, 1));
    zevs::FreeNetworkConfigurationBlock(block);
    BSV1_DestroyLock(&list.lock);
  });
}

TEST(ManagedNodeListTaskTest, NamesPausesAndLabels) {
  struct {
    const char* name;
    const char* domain;
    const char* expected;
  } const names[] = {
      {"router.lab.example", "lab.example", "router"},
      {"xlab.example", "lab.example", "xlab.example"},
      {"a.xlab.example.lab.example", "lab.example", "a.xlab.example"},
      {"lab.example", "lab.example", "lab.example"},
      {"router.lab.example", "", "router.lab.example"},
  };
  for (const auto& c : names) EXPECT_EQ(zevs::NameWithoutDomain(c.name, c.domain), c.expected) << c.name;

  const std::pair<int64_t, int32_t> pauses[] = {{0, 30}, {29, 30}, {30, 30}, {45, 15}, {59, 1}, {60, 0}, {70, 30}};
  for (const auto& [elapsed, pause] : pauses) EXPECT_EQ(zevs::ManagedNodeListPause(elapsed), pause) << elapsed;

  std::string host = ZEV0_LocalHostNameString();
  const std::string shortHost = host.substr(0, host.find('.'));
  EXPECT_EQ(zevs::ManagedNodeListLabel("*HostName"), shortHost);
  EXPECT_EQ(zevs::ManagedNodeListLabel("*HOSTNAME"), shortHost);
  EXPECT_EQ(zevs::ManagedNodeListLabel("*OTHER"), "");
  EXPECT_EQ(zevs::ManagedNodeListLabel("lab"), "lab");
}

}  // namespace

// Data-provider configuration requests as the action workers hand them over, in
// process: each product's checks in a child of its own (the product specification
// is read once per process), the managed servers and list nodes against snmpd in a
// network namespace of the test's own, and URL requests on a URL management block.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "bare_anchor.h"
#include "configuration_request_call.h"
#include "configuration_request_text.h"
#include "dp_anchor.h"
#include "host_name_table.h"
#include "managed_node_list.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "pdu_exchange.h"
#include "prodspec_directory.h"
#include "raf.h"
#include "scratch_directory.h"
#include "trace_capture.h"
#include "url_management_fixture.h"
#include "zev0/prodspec.h"

namespace {

using Outcome = ConfigurationOutcome;

Outcome Request(DPAB* anchor, const std::string& text) { return RunConfigurationRequest(anchor, text); }

// The product with the code (and the lines), the work directory and the names of
// a child process; the lists it loaded go at its end.
class RequestBench {
 public:
  explicit RequestBench(const std::string& productCode, const std::vector<std::string>& lines = {})
      : work_("zev_config_requests"),
        names_({{"127.0.0.1", "localhost"}, {"10.77.0.1", "router"}}) {
    // What a packaged product must name besides.
    std::vector<std::string> product{"PRODUCT_CODE=" + productCode, "NODE_TYPE=DV", "PRODUCT_NAME=Test_Product",
                                     "AGENT_AFF_NAME=AFF_DORVANE", "SUBNODE_AFF_NAME=AFF_DORVANE_DATA",
                                     "DP_TO_START=SNMP", "DCH_PORT_NUMBER=2020", "DP_PORT_OFFSET=5",
                                     "INITCNFG_FILE_NAME=RQCNFG", "ZEVATBLS_FILE_NAME=RQTBLS",
                                     "SNMPLIST_FILE_NAME=RQLIST"};
    product.insert(product.end(), lines.begin(), lines.end());
    product_.write(product);
    product_.use();
    setenv("ZEV_WORK_PATH", work_.path().c_str(), 1);
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 1);
    zevp::SetPDUwaitSecondForTests(50);
    anchor_->startupConfigDone = 1;  // the collection of a node starts at once
  }
  ~RequestBench() {
    ZEVP_ShutdownSNMPManagedNodeListTask(anchor_.get());
    zevp::SetPDUwaitSecondForTests(0);
  }

  DPAB* anchor() const { return anchor_.get(); }
  const ScratchDirectory& work() const { return work_; }

 private:
  ProdSpecDirectory product_;
  ScratchDirectory work_;
  HostNameTable names_;
  BareAnchor anchor_;
};

bool StartSnmpd(SnmpAgentProcess& snmpd) {
  bool started = snmpd.start();
  EXPECT_TRUE(started) << snmpd.failure();
  return started;
}

const NamespaceNetwork kLab = {{"10.77.0.1", "10.77.0.2"}, ""};

TEST(ConfigurationRequestTest, RequestsOnTheProductEV) {
  RunInNetworkNamespace(kLab, [] {
    SnmpAgentProcess snmpd(LabRouterSettings());
    if (!StartSnmpd(snmpd)) return;
    RequestBench bench("EV");
    bench.work().write("lab.lst", "LISTNAME=lab\n10.77.0.9\n");
    ASSERT_EQ(ZEVP_LoadSNMPManagedNodeList(bench.anchor(), "lab.lst"), 1);
    const std::string longName(300, 'X');
    const struct {
      std::string text;
      Outcome outcome;
    } cases[] = {
        {"FOO x", {-1, "Invalid request FOO rejected"}},
        {"RQADD", {-1, "Request unsupported for product RQ"}},
        {"MNLADD LIST=lab", {-1, "Request parameter syntax or value invalid LIST=lab"}},
        {"MNLADD NODE=10.77.0.1", {-1, "Request parameter syntax or value invalid NODE=10.77.0.1"}},
        {"MNLADD LIST=x NODE=10.77.0.1", {-1, "Managed Node List x not started"}},
        {"  MNLADD   LIST=LAB NODE=router, 10.77.0.2", {0, ""}},
        {"MNLADD LIST=lab NODE=router, 10.77.0.2", {-1, "Adding node router already managed"}},
        {"MNLADD LIST=lab NODE=nowhere, 10.77.0.3", {-1, "Unable to resolve server nowhere identity"}},
        {"MNLREMOVE LIST=lab NODE=10.77.0.2", {0, ""}},
        {"MNLREMOVE LIST=lab NODE=10.77.0.2", {-1, "Removing node 10.77.0.2 not been monitored"}},
        {longName, {-1, ("Invalid request " + longName).substr(0, 255)}},
        {"MNLADD LIST=lab NODE=" + longName, {-1, ("Unable to resolve server " + longName).substr(0, 255)}},
    };
    for (const auto& c : cases) EXPECT_EQ(Request(bench.anchor(), c.text), c.outcome) << c.text;
    // The unresolved name did not stop the node after it; the removed node is
    // marked in the file, the added ones appended by the names given.
    EXPECT_EQ(bench.work().read("lab.lst"), "LISTNAME=lab\n10.77.0.9\nrouter\n-10.77.0.2\n10.77.0.3\n");
  });
}

TEST(ConfigurationRequestTest, ManagedServersOnTheProductRQ) {
  RunInNetworkNamespace(kLab, [] {
    SnmpAgentProcess snmpd(LabRouterSettings());
    if (!StartSnmpd(snmpd)) return;
    RequestBench bench("RQ", {"SNMP_HOTLIST_TO_LOAD=rq.lst"});
    TraceCapture trace("*=0xFF");
    EXPECT_EQ(Request(bench.anchor(), "RQADD"), (Outcome{-1, "Request parameter not included"}));
    EXPECT_EQ(Request(bench.anchor(), "MNLADD LIST=lab NODE=a"), (Outcome{-1, "Request unsupported for product EV"}));
    EXPECT_EQ(Request(bench.anchor(), "RQADD SERVER=10.77.0.1"), (Outcome{-1, "RQ Managed Node List not started"}));
    for (const char* line : {"RQ Server 10.77.0.1 identity:", "IP Address ------>10.77.0.1",
                             "Enterprise OID -->1.3.6.1.4.1.99.1.2", "Node Description->Lab router"})
      EXPECT_TRUE(trace.contains(line)) << line;

    bench.work().write("rq.lst", "10.77.0.8\n");
    ZEVP_ReadSNMPManagedNodeListConfigFile(bench.anchor());
    ASSERT_NE(ZEVP_LocateManagedNodeListFromInputFileName("rq.lst"), nullptr);
    const struct {
      const char* text;
      Outcome outcome;
    } cases[] = {
        {"RQADD SERVER=10.77.0.1", {0, ""}},
        {"RQADD SERVER=10.77.0.1", {-1, "Server 10.77.0.1 already managed"}},
        {"RQADD SERVER=10.77.0.2", {-1, "Unable to resolve server 10.77.0.2 identity"}},
        {"RQREMOVE SERVER=10.77.0.7, 10.77.0.1", {-1, "Removing server 10.77.0.7 not been monitored"}},
        {"RQREMOVE SERVER=10.77.0.1", {-1, "Removing server 10.77.0.1 not been monitored"}},
        {"RQREMOVE SERVER=nowhere", {-1, "Removing server nowhere not been monitored"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Request(bench.anchor(), c.text), c.outcome) << c.text;
    EXPECT_EQ(bench.work().read("rq.lst"), "10.77.0.8\n-10.77.0.1\n");
    EXPECT_TRUE(trace.contains("Unable to obtain server identity for managed node 10.77.0.2"));
  });
}

TEST(ConfigurationRequestTest, URLrequestsStartAndStopMonitoringForTheirOwner) {
  RunInNetworkNamespace([] {
    RequestBench bench("EV");
    URLmanagement urls;
    raf::TakeConsoleMessages();
    EXPECT_EQ(Request(urls.anchor(), "URLADD URL=127.0.0.1:8080/x"), (Outcome{0, ""}));
    ASSERT_EQ(urls.entries().size(), 1u);
    EXPECT_STREQ(urls.entries()[0]->URL, "http://127.0.0.1:8080/x");
    EXPECT_EQ(Request(urls.anchor(), "URLADD URL=HTTP:\\\\127.0.0.1:8080/y INTERVAL=abc USER=ops CACHE= 40"),
              (Outcome{0, ""}));
    EXPECT_EQ(Request(urls.anchor(), "URLREMOVE URL=127.0.0.1:8080/x"), (Outcome{0, ""}));
    EXPECT_EQ(Request(urls.anchor(), "URLREMOVE URL=127.0.0.1:8080/x"),
              (Outcome{-1, "Request parameter syntax or value invalid URL=127.0.0.1:8080/x"}));
    EXPECT_EQ(Request(urls.anchor(), "URLADD ALIAS=a"),
              (Outcome{-1, "Request parameter syntax or value invalid ALIAS=a"}));
    std::vector<std::string> texts;
    for (const raf::ConsoleMessage& message : raf::TakeConsoleMessages()) texts.push_back(message.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "URL http://127.0.0.1:8080/x monitoring started for user TAKE_ACTION interval 300",
                         "URL http://127.0.0.1:8080/y monitoring started for user ops interval 300",
                         "URL http://127.0.0.1:8080/x monitoring stopped for user TAKE_ACTION"}));
  });
}

TEST(ConfigurationRequestTextTest, NamesAndURLkeywordsAreReadAsWritten) {
  ConfigurationRequestText read = ZEVP_ReadConfigurationRequest("   MNLADD   LIST=lab NODE=a,  b,,c");
  EXPECT_EQ(read.name, "MNLADD");
  EXPECT_EQ(read.request, ZEVP_CONFIG_MNLADD);
  EXPECT_EQ(read.parameters, "LIST=lab NODE=a,  b,,c");
  EXPECT_EQ(zevp::CommaSeparatedValue(read.parameters, "NODE="), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(ZEVP_ReadConfigurationRequest("rqadd SERVER=x").request, -1);

  const struct {
    const char* parameters;
    bool add;
    const char* url;  // null: none named
    const char* alias;
    int32_t interval;
    const char* user;
    int32_t cache;
  } cases[] = {
      {"URL=10.1.1.1/x", true, "http://10.1.1.1/x", "", 300, "TAKE_ACTION", 0},
      {"URL=https://h/x ALIAS=home INTERVAL=60 USER=ops CACHE=25", true, "https://h/x", "home", 60, "ops", 25},
      {"URL=Http:\\\\h/x INTERVAL=abc USER=CACHE=5", true, "http://h/x", "", 300, "TAKE_ACTION", 5},
      {"URL=h ALIAS=INTERVAL=9 USER=", true, "http://h", "", 9, "TAKE_ACTION", 0},
      {"URL=h INTERVAL=USER=u", false, "http://h", "", 300, "u", 0},
      {"URL= ALIAS=a", true, nullptr, "", 300, "TAKE_ACTION", 0},
      {"ALIAS=a", true, nullptr, "", 300, "TAKE_ACTION", 0},
  };
  for (const auto& c : cases) {
    URLrequestParameters read = ZEVP_ReadURLrequestParameters(c.parameters, c.add);
    EXPECT_EQ(read.urlGiven, c.url != nullptr) << c.parameters;
    if (c.url == nullptr) continue;
    EXPECT_EQ(read.url, c.url) << c.parameters;
    EXPECT_EQ(read.alias, c.alias) << c.parameters;
    EXPECT_EQ(read.interval, c.interval) << c.parameters;
    EXPECT_EQ(read.user, c.user) << c.parameters;
    EXPECT_EQ(read.cachePercent, c.cache) << c.parameters;
  }
}

}  // namespace

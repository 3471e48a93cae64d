// The whole system in a network namespace of the test's own: snmpd, snmptrapd, the
// trap daemon zevstrap, the ICMP daemon zevsnetd, a test agent of agent discovery on a
// second host and an HTTP server of the test beside the agent zeva350 with its SOCK,
// APIS, POST, HTTP and SNMP data providers and the FILE data-provider launcher
// zevpfile that it starts; the batch data provider zevb350 runs alongside. Driven from
// outside as users drive them (a watched file, a socket partner, the API tools and an
// API program that serves an action, the post sender, snmptrap of both versions, the
// console program, the operator's actions) and seen as the management server sees
// it, through zevraf. One agent run for the whole scenario: the steps build on one
// another, in order.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "console_client.h"
#include "console_run.h"
#include "eventually.h"
#include "free_port.h"
#include "net_daemon_process.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "partner_sockets.h"
#include "proc_text.h"
#include "process_table.h"
#include "scratch_directory.h"
#include "snmp_program_run.h"
#include "socket_tables.h"
#include "test_http_server.h"
#include "test_raf_agent.h"
#include "tool_process.h"
#include "udp_peer.h"
#include "zevraf_rows.h"

namespace {

constexpr char kSnmpAgentAddress[] = "10.77.0.1";
// The second host: it answers pings only, and the test agent of agent discovery
// listens there on the agents' base port.
constexpr char kAgentHostAddress[] = "10.77.0.2";
constexpr unsigned short kRafAgentPort = 38213;
// The port on which the agent program serves the registrations of discovered agents.
constexpr unsigned short kRegistrationPort = 30303;
// Fixed ports: every port of the namespace is free.
constexpr unsigned short kHttpPort = 8080;
constexpr unsigned short kTrapPort = 162;
constexpr int kStartWaitMs = 30000;
constexpr int kRowWaitMs = 30000;
constexpr int kToolWaitMs = 40000;
constexpr int kEndWaitMs = 40000;
// zevb350 looks at its batch work once a minute.
constexpr int kBatchEndWaitMs = 150000;
constexpr char kActionTable[] = "DVA6034300";
constexpr char kConsoleAccepted[] = "Console input accepted.";
constexpr char kManager[] = "SNMP-MANAGER00";

// The data providers of the scenario (FILE in its launcher, the others in the agent),
// their console port's offset from the base, and the definitions each lists at the end
// of the scenario (those of metafiles by their path in the metafile folder): the
// console program's imports, the socket partner's association, the API tools'
// definition, the built-in ones.
struct DataProviderType {
  const char* name;
  int offset;
  std::vector<std::string> definitions;
};
const DataProviderType kTypes[] = {
    {"FILE", 1, {"ZEV", "/watched.mdl"}},
    {"SOCK", 2, {"ZEV", "/orders"}},
    {"APIS", 0, {"ZEV", "/tally.mdl"}},
    {"POST", 4, {"ZEV", "ZEVPOST"}},
    {"HTTP", 8, {"ZEV", "VMO"}},
    {"SNMP", 5, {"ZEV", "/sysinfo.mdl"}},
};
const std::vector<std::string> kAgentTypes = {"SOCK", "APIS", "POST", "HTTP", "SNMP"};

int ExitCode(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// The row whose fields hold exactly the values, within the time, of the application's
// first table with the column. Empty when none came.
SampledRow RowOf(const AgentProcess& agent, const std::string& application, const std::string& column,
                 const SampledRow& fields) {
  std::string table;
  if (!Eventually([&] { return !(table = TableWithColumn(agent, application, column)).empty(); }, kRowWaitMs))
    return {};
  return WaitForRow(agent, application, table, fields, kRowWaitMs);
}

// The rows of the application's table with the column now.
std::vector<SampledRow> RowsNow(const AgentProcess& agent, const std::string& application, const std::string& column) {
  return SampleRows(agent, application, TableWithColumn(agent, application, column)).rows;
}

// Copies the scenario's file into the folder.
void CopyScenarioFile(const std::string& name, const std::string& folder) {
  std::filesystem::copy_file(std::string(ZEV_SCENARIO_DIR) + "/" + name, folder + name,
                             std::filesystem::copy_options::overwrite_existing);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A decimal number of milliseconds, no more than the bound.
bool IsMilliseconds(const std::string& text, long bound) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos && std::stol(text) <= bound;
}

SnmpAgentSettings SnmpAgentOnLiveHost() {
  SnmpAgentSettings settings;
  settings.address = kSnmpAgentAddress;
  settings.readCommunity = "willow";  // the SNMP data provider's default
  settings.sysLocation = "Rack 3";
  return settings;
}

std::vector<std::string> DiscoveringProduct() {
  std::vector<std::string> product = AgentProcess::DefaultProduct();
  product.push_back("ENABLE_PLOVENAGENT_DISCOVERY=Y");
  return product;
}

// The peers and the agent, and the scenario's steps.
class WholeSystem {
 public:
  WholeSystem()
      : snmpAgent_(SnmpAgentOnLiveHost()),
        trapReceiver_(kSnmpAgentAddress, kTrapPort),
        netDaemon_(FreeLoopbackPort()),
        http_(
            [](const HTTPrequest& request) {
              if (request.target == "/shop") return Page(200, "OK", kShopPage);
              return Page(404, "Not Found", "");
            },
            kHttpPort),
        agent_(DiscoveringProduct()),
        metafiles_(agent_.directory() + "metafiles/"),
        socketPort_(FreeLoopbackPort()),
        apiPort_(FreeLoopbackPort()),
        postPort_(FreeLoopbackPort()) {}

  // A launcher left running is stopped, also one the agent started after a failed
  // start stopped looking.
  ~WholeSystem() {
    if (launcher_ <= 0 && agent_.pid() > 0) launcher_ = ChildRunning(agent_.pid(), "zevpfile");
    if (launcher_ > 0) StopProcess(launcher_);
  }

  // The peers, then the agent with its data providers, until every console answers,
  // every server of theirs listens (some begin after their console) and the SNMP
  // data provider has found both daemons; the batch job beside them.
  void start() {
    RouteLabNetworkUnreachable();
    ASSERT_TRUE(AdoptOrphans()) << "what outlives its parent would go unseen";
    ASSERT_TRUE(snmpAgent_.start()) << snmpAgent_.failure();
    ASSERT_TRUE(trapReceiver_.start()) << trapReceiver_.failure();
    ASSERT_TRUE(trapDaemon_.start(
        {}, {"ZEV_DP_HOSTNAME=localhost", "ZEVP_SNMP_TRAP_VERBOSE=Y>" + daemonTraces_.file("zevstrap.trc")}))
        << trapDaemon_.failure();
    ASSERT_TRUE(Eventually([&] { return trapDaemonTrace().find("bound to 127.0.0.1[162]") != std::string::npos; },
                           kStartWaitMs))
        << trapDaemonTrace();
    ASSERT_TRUE(netDaemon_.start()) << netDaemon_.failure();
    ASSERT_TRUE(rafAgent_.started()) << rafAgent_.process().errorText();
    ASSERT_TRUE(http_.listening());

    std::filesystem::create_directory(metafiles_);
    for (const char* name : {"watched.mdl", "orders.mdl", "tally.mdl", "sysinfo.mdl", "ZEVPCNFG"})
      CopyScenarioFile(name, metafiles_);
    CopyScenarioFile("ZEVPURLS", agent_.directory());
    std::ofstream(agent_.directory() + "watched.log") << "apples 6\n";
    const char* path = std::getenv("PATH");
    ASSERT_TRUE(agent_.start(
        kAgentTypes,
        {"ZEVP_META_PATH=" + metafiles_, "ZEVP_INIT_CONFIG_PATH=" + metafiles_, "ZEV_DP_HOSTNAME=localhost",
         "ZEVP_DP_PORT=" + std::to_string(socketPort_), "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_),
         "ZEVP_POST_DP_PORT=" + std::to_string(postPort_), "ZEVP_TRAP_DESTINATION=" + std::string(kSnmpAgentAddress),
         "ZEVP_SNMP_NET_DISCOVER_PLOVENAGENT=Y", "ZEVP_SNMP_NETDAEMON_PORT=" + std::to_string(netDaemon_.port()),
         // A probe of a port where no agent listens waits this long.
         "ZEV_RPC_CALL_WAIT_MS=2000", "ZEVA_CLIENT_PROCESS=zevpfile",
         "PATH=" + std::string(std::getenv("ZEV_TEST_TOOLS")) + ":" + (path != nullptr ? path : "/usr/bin:/bin")}))
        << agent_.failure();
    for (const DataProviderType& type : kTypes) {
      const unsigned short port = consolePort(type);
      ASSERT_EQ(AwaitConsole(port, kStartWaitMs), "0 " + std::to_string(type.offset) + " " + std::to_string(port))
          << type.name << agent_.traceText();
    }
    launcher_ = ChildRunning(agent_.pid(), "zevpfile");
    ASSERT_GT(launcher_, 0) << "the agent started no FILE launcher\n" << agent_.traceText();
    for (unsigned short port : {socketPort_, apiPort_, postPort_})
      ASSERT_TRUE(Eventually([port] { return UdpPortBound(port); }, kStartWaitMs)) << "nothing on port " << port;
    // The trap monitor found port 162 taken and registered with the daemon; the
    // manager found the ICMP daemon.
    const std::string registered = ">>>>> RegisterTrapInterest received from DP 127.0.0.1[";
    ASSERT_TRUE(Eventually([&] { return trapDaemonTrace().find(registered) != std::string::npos; }, kStartWaitMs))
        << trapDaemonTrace();
    const std::string trace = trapDaemonTrace();
    const size_t portAt = trace.find(registered) + std::string(registered).size();
    trapMonitorOrigin_ = "127.0.0.1[" + trace.substr(portAt, trace.find(']', portAt) - portAt) + "]";
    EXPECT_TRUE(agent_.waitForTrace("----- ICMP Daemon is Active", kStartWaitMs)) << netDaemon_.traceText();
    EXPECT_NE(netDaemon_.traceText().find("----- DP startup contact received"), std::string::npos);

    startBatchJob();
  }

  // The console program's imports of the watched file's application at the FILE
  // launcher and of the SNMP application (its discovery takes a while); meanwhile a
  // socket partner's association record and record, the API tools with a second
  // metafile and an API program that accepts requests, the post sender over UDP and
  // with an acknowledgement, an SNMPv2c trap and then a v1 trap to the trap daemon;
  // then a line appended to the watched file.
  void feedFromOutside() {
    ConsoleRun watched(agent_, "FILE", {"Import", "watched.mdl"}, metafiles_);
    ConsoleRun sysinfo(agent_, "SNMP", {"Import", "sysinfo.mdl"}, metafiles_);

    partner_.sendTo(socketPort_, "//orders");
    partner_.sendTo(socketPort_, "widget;3");

    ToolRun defined = RunTool("zevpdefn", {metafiles_ + "tally.mdl"}, apiSettings(), kToolWaitMs, tools_.path());
    EXPECT_EQ(defined.output, "ZEVPA00I Function completed successfully\n") << defined.errors;
    EXPECT_EQ(defined.exitStatus, 1) << "zevpdefn";
    for (const auto& [program, arguments] :
         std::vector<std::pair<std::string, std::vector<std::string>>>{{"zevpbgni", {"TALLY", "COUNTS"}},
                                                                       {"zevpinpt", {"bolts;12", "TALLY", "COUNTS"}},
                                                                       {"zevpendi", {"TALLY", "COUNTS"}}}) {
      ToolRun run = RunTool(program, arguments, apiSettings(), kToolWaitMs, tools_.path());
      EXPECT_EQ(run.output, "ZEVPA00I Function completed successfully\n") << program << run.errors;
      EXPECT_EQ(run.exitStatus, 1) << program;
    }
    ASSERT_TRUE(server_.start({"TALLY", "COUNTS", "recounted 12 bolts"}, apiSettings())) << server_.failure();
    EXPECT_EQ(server_.readLine(kToolWaitMs), "accepting requests") << server_.errorText();

    const std::string post = std::to_string(postPort_);
    ToolRun datagram = RunTool("zevpsend", {"msg=hello", "dp=127.0.0.1", "port=" + post}, {}, kToolWaitMs);
    EXPECT_EQ(datagram.output, "send post message to DP 127.0.0.1 successful\n");
    EXPECT_EQ(datagram.exitStatus, 0) << "zevpsend";
    ToolRun acknowledged = RunTool("zevpsend", {"m=disk", "c=W", "p=" + post, "a=y", "d=127.0.0.1"}, {}, kToolWaitMs);
    const std::string lead = "Acknowledgment stamp ";
    EXPECT_EQ(acknowledged.output.rfind(lead, 0), 0u) << acknowledged.output;
    EXPECT_EQ(acknowledged.exitStatus, 0) << "zevpsend a=y";
    if (acknowledged.output.rfind(lead, 0) == 0)
      postStamp_ = acknowledged.output.substr(lead.size(), acknowledged.output.find('\n') - lead.size());

    // The v2c trap first: the daemon forwards in order, so once the v1 trap's row is
    // there the v2c trap has been read and dropped.
    const std::string daemon = "127.0.0.1:" + std::to_string(kTrapPort);
    ToolRun v2c = SnmpTrapV2c(daemon, "public", "1.3.6.1.4.1.99.8.3", {"1.3.6.1.4.1.99.8.1", "s", "version two"});
    EXPECT_EQ(v2c.exitStatus, 0) << v2c.errors;
    ToolRun v1 =
        SnmpTrap(daemon, "public", "1.3.6.1.4.1.99.7", "127.0.0.1", 6, 17, {"1.3.6.1.4.1.99.7.1", "s", "disk full"});
    EXPECT_EQ(v1.exitStatus, 0) << v1.errors;

    for (auto [import, metafile] : {std::pair{&watched, "watched.mdl"}, std::pair{&sysinfo, "sysinfo.mdl"}}) {
      EXPECT_TRUE(import->choose()) << ::testing::PrintToString(import->head());
      EXPECT_EQ(import->finish(),
                (std::vector<std::string>{std::string("Import successfully completed for ") + metafile}));
      EXPECT_EQ(import->exitCode(), 0) << metafile;
    }
    std::ofstream(agent_.directory() + "watched.log", std::ios::app) << "pears 7\n";
  }

  // What was fed, as rows of every application.
  void expectEveryApplicationsRows() {
    EXPECT_EQ(FieldValues(RowOf(agent_, "WATCH00", "Item", {{"Item", "pears"}}), {"ORIGINNODE", "Amount"}),
              "localhost:WATCH00;7;");
    EXPECT_EQ(FieldValues(RowOf(agent_, "ORDERS00", "Article", {{"Article", "widget"}}), {"ORIGINNODE", "Quantity"}),
              "localhost:ORDERS00;3;");
    EXPECT_EQ(FieldValues(RowOf(agent_, "TALLY00", "Label", {{"Label", "bolts"}}), {"ORIGINNODE", "Count"}),
              "localhost:TALLY00;12;");
    EXPECT_EQ(FieldValues(RowOf(agent_, "MAS00", "Post_Text", {{"Post_Text", "hello"}}), {"Post_Category"}),
              "Information;");
    EXPECT_EQ(
        FieldValues(RowOf(agent_, "MAS00", "Post_Text", {{"Post_Text", "disk"}}), {"Post_Category", "Post_Ack_Stamp"}),
        "Warning;" + postStamp_ + ";");

    SampledRow url = RowOf(agent_, "INTERNET00", "URL", {{"URL", "http://127.0.0.1:8080/shop"}, {"Status", "OK"}});
    EXPECT_EQ(FieldValues(url, {"URL_Alias", "Page_Title", "Page_Size", "Page_Objects", "HTTP_Version"}),
              "Shop;Shop;" + std::to_string(std::string(kShopPage).size()) + ";0;1.1;");
    // A page of the loopback: each time at most the scenario's whole length so far.
    const long elapsed = static_cast<long>(started_.elapsed());
    EXPECT_TRUE(IsMilliseconds(url["Current_Response_Time"], elapsed)) << url["Current_Response_Time"];
    EXPECT_TRUE(IsMilliseconds(url["Maximum_Response_Time"], elapsed)) << url["Maximum_Response_Time"];
    EXPECT_LE(std::atol(url["Current_Response_Time"].c_str()), std::atol(url["Maximum_Response_Time"].c_str()));

    const std::string partnerPort = std::to_string(ntohs(partner_.address().sin_port));
    for (const auto& [dataProvider, text] : std::vector<std::pair<std::string, std::string>>{
             {"localhostSOCKdp", "New UDP session accepted from localhost address 127.0.0.1 port " + partnerPort +
                                     " bound to application ORDERS attribute group ORDER"},
             {"localhostAPISdp",
              "dp_EndInput completed for application TALLY attribute group COUNTS from location "
              "localhost."}})
      EXPECT_FALSE(
          RowOf(agent_, "DVAGENT00", "DP_Log_Text", {{"DP_Name", dataProvider}, {"DP_Log_Text", text}}).empty())
          << text;
  }

  // The v1 trap's row, whole, and no other: none of the v2c trap, which the daemon
  // forwarded to the data provider as well.
  void expectTrapsThroughTheDaemon() {
    SampledRow trap = RowOf(agent_, kManager, "Object_ID", {{"Object_ID", "1.3.6.1.4.1.99.7"}});
    EXPECT_EQ(FieldValues(trap, {"Generic_Trap", "Specific_Trap", "Source_Name", "Source_Type", "Alert_Name",
                                 "Severity", "Value_List"}),
              "6;17;localhost;Unavailable;Unavailable;Unavailable;{1.3.6.1.4.1.99.7.1[ASN_OCTETSTRING]disk full};");
    const std::vector<SampledRow> traps = RowsNow(agent_, kManager, "Object_ID");
    EXPECT_EQ(traps.size(), 1u) << "the v1 trap's row alone: " << ::testing::PrintToString(traps);
    const std::string trace = trapDaemonTrace();
    const std::string forwarded = "<<<<< trap sent to SNMP DP at " + trapMonitorOrigin_;
    const size_t once = trace.find(forwarded);
    EXPECT_NE(once, std::string::npos) << trace;
    EXPECT_NE(trace.find(forwarded, once + 1), std::string::npos) << "both traps went to the data provider\n" << trace;
    EXPECT_FALSE(RowOf(agent_, "DVAGENT00", "DP_Log_Text",
                       {{"DP_Name", "localhostSNMPdp"},
                        {"DP_Log_Text", "Monitoring of SNMP traps enabled. Listening on trap daemon"}})
                     .empty());
  }

  // The SNMP collection's start, fired as an operator's command: it reaches the SNMP
  // data provider (every data provider of the host is sent it), its result comes back
  // into the action log, and the collection brings snmpd's values.
  void expectActionRoundTrip() {
    const std::string monitor = "MONITOR START ATTRGROUP=SYSTEM AGENTINFO=( 10.77.0.1 ) INTERVAL=60";
    expectTaken(agent_.zevraf({"action", "localhost:SYS00", "SNMP", monitor}));
    EXPECT_EQ(FieldValues(actionResult("SNMP", monitor), {"Action_Status", "Action_Result", "Action_Owner"}),
              "SUCCESS;MIB monitor started;SNMP Control;");
    EXPECT_EQ(FieldValues(RowOf(agent_, kManager, "Monitor_Agent_Info", {{"Enterprise", "SYS"}}),
                          {"Attribute_Group", "Monitor_Interval", "Monitor_Agent_Info"}),
              "SYSTEM;60;{10.77.0.1 willow};");
    EXPECT_EQ(FieldValues(RowOf(agent_, "SYS00", "sysName", {{"sysName", "test-agent"}}), {"sysDescr", "Agent_Name"}),
              "Test agent;10.77.0.1;");
  }

  // An action at the API program's subnode: the program fetches it, answers it, and
  // the answer is the action's result in the action log.
  void expectApiProgramServesAnAction() {
    expectTaken(agent_.zevraf({"action", "localhost:TALLY00", "'recount'", "bolts"}));
    EXPECT_EQ(server_.readLine(kRowWaitMs), "REQ(\"recount\")PARM(bolts)");
    EXPECT_EQ(ExitCode(server_.waitForEnd(kRowWaitMs)), 0) << server_.readAll(0) << server_.errorText();
    EXPECT_EQ(FieldValues(actionResult("\"recount\"", "bolts"), {"Action_Owner", "Action_Status", "Action_Result"}),
              "_POLNAME_;SUCCESS;recounted 12 bolts;");
  }

  // An alert of a situation on the watched file's group through the action table: a
  // TRAPEMIT action, whose trap reaches snmptrapd.
  void expectEmittedTrap() {
    const std::string node = "localhost:WATCHLINES00";
    ToolRun alert = agent_.zevraf({"sample", "-w", "ORIGINNODE=" + node, "-w", "SITNAME=Overstock", "-w",
                                   "SITTIME=1261210120000000", "-w", "SEVERITY=Critical", "-w", "CATEGORY=Stock", "-w",
                                   std::string("TRAPDEST=") + kSnmpAgentAddress, "-w",
                                   "ATTRVALS=a;b;c;_SITNODE=" + node + ";_ATTRPREF=Amount=7~", "ZEV", "ZEVACT"});
    EXPECT_EQ(alert.exitStatus, 0) << alert.errors;
    EXPECT_NE(alert.output.find("\n" + node + "\t0\tOverstock\t"), std::string::npos) << alert.output;
    EXPECT_TRUE(trapReceiver_.waitForTrap("STRING: \"Overstock\"", kRowWaitMs))
        << ::testing::PrintToString(trapReceiver_.traps());
  }

  // The operator has the lab network monitored: snmpd's host answers SNMP, the second
  // host only pings, which go through the ICMP daemon; the rest of the network is
  // unreachable. The stop ends the monitoring.
  void expectNetworkMonitoringThroughTheIcmpDaemon() {
    const std::string manage = "MANAGE START NETADDR=10.77.0.0 POLL=3600";
    expectTaken(agent_.zevraf({"action", "localhost:SNMP-MANAGER00", "SNMP", manage}));
    EXPECT_EQ(FieldValues(actionResult("SNMP", manage), {"Action_Status", "Action_Result"}),
              "SUCCESS;Monitoring scheduled for requested resources;");
    const std::vector<std::string> columns = {"Name", "Status", "Type", "SNMP_Enabled", "Location", "Description"};
    EXPECT_EQ(
        FieldValues(RowOf(agent_, kManager, "SNMP_Enabled", {{"Address", kSnmpAgentAddress}, {"Status", "On-line"}}),
                    columns),
        "test-agent;On-line;" + ServiceTypeText(72) + ";Yes;Rack 3;Test agent;");
    EXPECT_EQ(
        FieldValues(RowOf(agent_, kManager, "SNMP_Enabled", {{"Address", kAgentHostAddress}, {"Status", "On-line"}}),
                    columns),
        std::string(kAgentHostAddress) + ";On-line;IP Node;No;Unavailable;Unavailable;");
    // The cycle's end: the network's summary counts both hosts.
    EXPECT_EQ(
        FieldValues(RowOf(agent_, kManager, "Network_Routers", {{"Network_Address", "10.77"}, {"Active_Nodes", "2"}}),
                    {"Network_Mask", "Inactive_Nodes", "Managed"}),
        "255.255.255.0;0;Yes;");
    const std::string daemonTrace = netDaemon_.traceText();
    EXPECT_NE(daemonTrace.find("----- DP request for target node 10.77.0.2 received"), std::string::npos)
        << daemonTrace;
    EXPECT_NE(daemonTrace.find("----- ICMP echo reply from 10.77.0.2"), std::string::npos) << daemonTrace;

    const std::string stop = "MANAGE STOP NETADDR=10.77.0.0";
    expectTaken(agent_.zevraf({"action", "localhost:SNMP-MANAGER00", "SNMP", stop}));
    EXPECT_EQ(FieldValues(actionResult("SNMP", stop), {"Action_Status", "Action_Result"}),
              "SUCCESS;Monitoring stopped for requested resources;");
    EXPECT_TRUE(agent_.waitForTrace("Do dp_offline for network 10.77.0.0", kRowWaitMs));
  }

  // The second host, found online by the discovery's sweep and by the monitoring (both
  // ping through the ICMP daemon), is probed for agents: the test agent there is asked
  // to register with the agent program, does, and its own and its subnode's rows come.
  void expectAgentDiscoveryRegistration() {
    std::vector<std::string> answers;
    int probes = 0;
    while (answers.size() < 2) {
      const std::string line = rafAgent_.nextLine(kRowWaitMs);
      if (line.rfind("StartAgent|", 0) != 0) {
        answers.push_back(line);
        continue;
      }
      ++probes;
      std::map<std::string, std::string> call = AgentLineFields(line);
      EXPECT_EQ(call["target"], kAgentHostAddress);
      // The address the agent is reached at: its host's first that is not a loopback one.
      EXPECT_EQ(call["instruction"],
                std::string("REGISTER(ip:#") + kSnmpAgentAddress + "[" + std::to_string(kRegistrationPort) + "])");
    }
    EXPECT_GE(probes, 1);
    EXPECT_EQ(answers, (std::vector<std::string>{"Register|status=0", "Subnode_Request|status=0"}));
    for (const char* name : {"shelf:LZ", "BIN1"}) {
      SCOPED_TRACE(name);
      EXPECT_EQ(FieldValues(RowOf(agent_, kManager, "Agent_Framework_Features", {{"Managed_System_Name", name}}),
                            {"Network_Name", "Network_Address", "Product_Name", "Version"}),
                std::string(kSnmpAgentAddress) + ";" + kSnmpAgentAddress + ";Dorvane Agent;02.00.00;");
    }
  }

  // The batch job's records in its output file, and nothing of it at the agent.
  void expectBatchOutput() {
    EXPECT_EQ(ExitCode(batch_.waitForEnd(kBatchEndWaitMs)), 0) << batch_.errorText();
    const std::string folder = batch_.scratch() + "/";
    EXPECT_EQ(ReadFile(folder + "ledger.out"),
              "1021210100500000,LEDGER,ENTRIES,nails,40,1021210100500000,\n"
              "1021210100510000,LEDGER,ENTRIES,screws,250,1021210100510000,\n");
    std::string log;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "logs", missing))
      log += ReadFile(entry.path());
    EXPECT_NE(log.find("\nTotal 2 batch data records output to file " + folder + "ledger.out\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("\n\nBatch Job " + std::string(std::getenv("ZEV_TEST_TOOLS")) + "/zevb350 ended "),
              std::string::npos)
        << log;
    EXPECT_TRUE(TablesOf(agent_, "LEDGER00").empty()) << "a batch run sends nothing to the agent";
  }

  // The console program's list at each data provider, all at once.
  void expectListsAtEachDataProvider() {
    std::vector<std::unique_ptr<ConsoleRun>> lists;
    for (const DataProviderType& type : kTypes)
      lists.push_back(std::make_unique<ConsoleRun>(agent_, type.name, std::vector<std::string>{"List"}, metafiles_));
    for (size_t i = 0; i < lists.size(); ++i) {
      SCOPED_TRACE(kTypes[i].name);
      ASSERT_TRUE(lists[i]->choose()) << ::testing::PrintToString(lists[i]->head());
      EXPECT_EQ(lists[i]->head().front(), kConsoleAccepted);
      EXPECT_EQ(lists[i]->head().size(), 2 + std::size(kTypes)) << "every data provider offered";
      std::vector<std::string> expected = {" ", "Active application definitions:"};
      for (const std::string& name : kTypes[i].definitions)
        expected.push_back("  " + (name[0] == '/' ? metafiles_ + name.substr(1) : name));
      EXPECT_EQ(lists[i]->finish(), expected);
      EXPECT_EQ(lists[i]->exitCode(), 0);
    }
  }

  // With every data provider at work, no descriptor of the agent would be passed on to
  // a program it starts, but for the HTTP library's own: while an exchange runs it holds
  // a pair of local sockets that it opens without close-on-exec (the system itself opens
  // no local socket).
  void expectEveryDescriptorClosedOnExec() {
    std::set<std::string> localSockets;
    std::istringstream table(ProcText("/proc/" + std::to_string(agent_.pid()) + "/net/unix"));
    for (std::string line; std::getline(table, line);) {
      std::istringstream columns(line);
      std::string column;
      for (int skipped = 0; skipped < 6 && columns >> column; ++skipped) {
      }
      if (columns >> column) localSockets.insert("socket:[" + column + "]");
    }
    std::vector<std::string> passed;
    for (const std::string& described : DescriptorsPassedOnExec(agent_.pid()))
      if (localSockets.count(described.substr(described.find("-> ") + 3)) == 0) passed.push_back(described);
    EXPECT_EQ(passed, std::vector<std::string>{});
  }

  // The operator shuts the launcher's data provider down, SIGTERM ends the agent and
  // then the daemons and the test agent: each ends with 0, no report of a sanitizer,
  // and nothing is left behind, neither a process nor a port.
  void expectCleanEnd() {
    ConsoleRun shutdown(agent_, "FILE", {"SHUTDOWN"}, metafiles_);
    EXPECT_TRUE(shutdown.choose("Y\n")) << ::testing::PrintToString(shutdown.head());
    EXPECT_EQ(shutdown.finish(),
              (std::vector<std::string>{"Confirm <Yes/No> to shutdown DP", "DP shutdown completed."}));
    EXPECT_EQ(shutdown.exitCode(), 0);

    EXPECT_EQ(agent_.terminate(kEndWaitMs), 0) << agent_.errorText();
    const std::string trace = agent_.traceText();
    const size_t inProgress = trace.find("Dorvane Agent shutdown in progress");
    EXPECT_NE(inProgress, std::string::npos);
    EXPECT_NE(trace.find("Dorvane Agent shutdown complete", inProgress), std::string::npos);
    EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
    // The launcher, which the agent neither waits for nor watches, has ended by now.
    int launcherStatus = -1;
    if (WaitForChild(launcher_, kEndWaitMs, &launcherStatus)) launcher_ = -1;
    EXPECT_EQ(launcher_, -1) << "zevpfile has not ended";
    EXPECT_EQ(ExitCode(launcherStatus), 0) << "zevpfile";

    EXPECT_TRUE(Eventually(
        [&] {
          return trapDaemonTrace().find(">>>>> shutdown received from DP " + trapMonitorOrigin_) != std::string::npos;
        },
        kEndWaitMs))
        << "the trap monitor did not sign off\n"
        << trapDaemonTrace();
    EXPECT_EQ(ExitCode(trapDaemon_.terminate(kEndWaitMs)), 0) << "zevstrap";
    EXPECT_EQ(ExitCode(netDaemon_.terminate(kEndWaitMs)), 0) << "zevsnetd";
    EXPECT_EQ(ExitCode(rafAgent_.process().terminate(kEndWaitMs)), 0) << "zevrafagent";

    // Of what the scenario started, only the peers that stop with the scenario are left.
    for (pid_t own : ChildrenOf(getpid()))
      EXPECT_TRUE(ProgramOf(own) == "snmpd" || ProgramOf(own) == "snmptrapd") << ProgramOf(own) << " left";
    std::vector<unsigned short> ports = {agent_.dchPort(), agent_.rafPort(), socketPort_,      apiPort_,
                                         postPort_,        kTrapPort,        netDaemon_.port()};
    for (const DataProviderType& type : kTypes) ports.push_back(consolePort(type));
    // snmptrapd keeps port 162 of the first host; the trap daemon had the loopback's.
    for (unsigned short port : ports) EXPECT_TRUE(LoopbackPortIsFree(port)) << "port " << port << " left";
    for (unsigned short port : ports)
      EXPECT_TRUE(port == kTrapPort || !UdpPortBound(port)) << "UDP port " << port << " left";
    EXPECT_FALSE(UdpPortBound(kRegistrationPort)) << "the registrations' port left";
    EXPECT_TRUE(UdpPeer(kAgentHostAddress, kRafAgentPort).bound()) << "the test agent's port left";
  }

  std::string traceText() const { return agent_.traceText(); }

 private:
  static constexpr char kShopPage[] = "<html><title>Shop</title>the shop</html>";

  unsigned short consolePort(const DataProviderType& type) const {
    return static_cast<unsigned short>(agent_.consoleBase() + type.offset);
  }

  // What points the API tools and programs at the API data provider.
  std::vector<std::string> apiSettings() const {
    return {"ZEVP_API_DPAPI_HOST=127.0.0.1", "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_),
            "ZEVP_DPCONSOLE_PORT=" + std::to_string(agent_.consoleBase())};
  }

  std::string trapDaemonTrace() const { return daemonTraces_.read("zevstrap.trc"); }

  // zevb350 over the ledger's metafile in a folder of its own, with the agent's
  // product and DCH: in batch mode it writes its records to its output file only.
  void startBatchJob() {
    const std::string folder = batch_.scratch() + "/";
    std::filesystem::create_directory(folder + "logs");
    for (const char* name : {"ledger.mdl", "ledger.txt"}) CopyScenarioFile(name, folder);
    batch_.runInScratch();
    std::vector<std::string> settings = agent_.dataProviderSettings();
    settings.insert(settings.end(), {"ZEVP_META_PATH=" + folder, "ZEV_WORK_PATH=" + folder,
                                     "PXRAF_LOG_PATH=" + folder + "logs", "ZEV_TRACE=*=0x80 >" + folder + "batch.trc"});
    ASSERT_TRUE(batch_.start({"-M", "ledger.mdl", "-F", "ledger.out"}, settings)) << batch_.failure();
  }

  // zevraf's answer of an action the agent took.
  static void expectTaken(const ToolRun& action) {
    EXPECT_EQ(action.exitStatus, 0) << action.errors;
    EXPECT_EQ(action.output, "0\n") << action.errors;
  }

  // The action log's row of the command once its answer is known; each row given once.
  SampledRow actionResult(const std::string& name, const std::string& parameters) {
    SampledRow found;
    Eventually(
        [&] {
          for (SampledRow& row : SampleRows(agent_, "DVAGENT00", kActionTable).rows)
            if (row["Action_Name"] == name && row["Action_Parms"] == parameters && row["Action_Status"] != "UNKNOWN" &&
                resultsTaken_.insert(row["Action_ID"]).second) {
              found = row;
              return true;
            }
          return false;
        },
        kRowWaitMs);
    return found;
  }

  class Stopwatch {
   public:
    long long elapsed() const {
      return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    }

   private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  };

  Stopwatch started_;
  SnmpAgentProcess snmpAgent_;
  TrapReceiverProcess trapReceiver_;
  ScratchDirectory daemonTraces_{"zev_whole_system_daemons"};
  ToolProcess trapDaemon_{"zevstrap"};
  NetDaemonProcess netDaemon_;
  TestRafAgent rafAgent_{kAgentHostAddress, kRafAgentPort, {"--name", "shelf:LZ", "--subnodes", "BIN1"}};
  TestHTTPServer http_;
  AgentProcess agent_;
  ToolProcess server_{"zevapiserve"};
  ToolProcess batch_{"zevb350"};
  DatagramEnd partner_;
  ScratchDirectory tools_{"zev_whole_system_tools"};
  std::string metafiles_;
  unsigned short socketPort_;
  unsigned short apiPort_;
  unsigned short postPort_;
  pid_t launcher_ = -1;
  std::string trapMonitorOrigin_ = "<none>";
  std::string postStamp_ = "<none>";
  std::set<std::string> resultsTaken_;  // by Action_ID
};

TEST(WholeSystemTest, EveryProgramsRowsActionsTrapsDiscoveriesAndACleanEnd) {
  RunInNetworkNamespace({{kSnmpAgentAddress, kAgentHostAddress}, ""}, [] {
    WholeSystem system;
    ASSERT_NO_FATAL_FAILURE(system.start());
    system.feedFromOutside();
    system.expectEveryApplicationsRows();
    system.expectTrapsThroughTheDaemon();
    system.expectActionRoundTrip();
    system.expectApiProgramServesAnAction();
    system.expectEmittedTrap();
    system.expectNetworkMonitoringThroughTheIcmpDaemon();
    system.expectAgentDiscoveryRegistration();
    system.expectListsAtEachDataProvider();
    system.expectEveryDescriptorClosedOnExec();
    system.expectBatchOutput();
    if (::testing::Test::HasFailure()) {
      const std::string trace = system.traceText();
      std::cerr << "The agent's trace, its end:\n" << trace.substr(trace.size() > 60000 ? trace.size() - 60000 : 0);
    }
    system.expectCleanEnd();
  });
}

}  // namespace

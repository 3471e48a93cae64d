// The whole system in a network namespace of the test's own: snmpd, snmptrapd and an
// HTTP server of the test beside the agent zeva350 with its FILE, SOCK, APIS, POST,
// HTTP and SNMP data providers, driven from outside as users drive them (a watched
// file, a socket partner, the API tools, the post sender, snmptrap, the console
// program) and seen as the management server sees it, through zevraf. One agent run
// for the whole scenario: the steps build on one another, in order.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "console_client.h"
#include "eventually.h"
#include "free_port.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "proc_text.h"
#include "partner_sockets.h"
#include "scratch_directory.h"
#include "test_http_server.h"
#include "tool_process.h"
#include "zevraf_rows.h"

namespace {

constexpr char kSnmpAgentAddress[] = "10.77.0.1";
// Fixed ports: every port of the namespace is free.
constexpr unsigned short kHttpPort = 8080;
constexpr unsigned short kTrapMonitorPort = 1162;
constexpr int kStartWaitMs = 30000;
constexpr int kRowWaitMs = 20000;
// A console program listens out its whole discovery budget (15 seconds).
constexpr int kConsoleRunWaitMs = 40000;
constexpr int kEndWaitMs = 40000;
constexpr char kActionTable[] = "DVA6034300";
constexpr char kConsoleAccepted[] = "Console input accepted.";

// The data providers of the agent, their console port's offset from the base, and the
// definitions each lists at the end of the scenario (those of metafiles by their path in
// the metafile folder): the start-up configuration's, the socket partner's association,
// the API tools' definition, the console program's import, the built-in ones.
struct DataProviderType {
  const char* name;
  int offset;
  std::vector<std::string> definitions;
};
const DataProviderType kTypes[] = {
    {"FILE", 1, {"ZEV", "/watched.mdl"}},
    {"SOCK", 2, {"ZEV", "/watched.mdl", "/orders"}},
    {"APIS", 0, {"ZEV", "/watched.mdl", "/tally.mdl"}},
    {"POST", 4, {"ZEV", "ZEVPOST"}},
    {"HTTP", 8, {"ZEV", "VMO"}},
    {"SNMP", 5, {"ZEV", "/sysinfo.mdl"}},
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int ExitCode(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// The row of the sample (of any table of the application) whose every field holds its
// text, within the time; empty when none came.
SampledRow RowHolding(const AgentProcess& agent, const std::string& application, const SampledRow& texts,
                      int waitMs = kRowWaitMs) {
  SampledRow found;
  Eventually(
      [&] {
        for (const std::string& table : TablesOf(agent, application))
          for (const SampledRow& row : SampleRows(agent, application, table).rows) {
            bool holds = true;
            for (const auto& [column, text] : texts) {
              auto value = row.find(column);
              holds = holds && value != row.end() && value->second.find(text) != std::string::npos;
            }
            if (holds) {
              found = row;
              return true;
            }
          }
        return false;
      },
      waitMs);
  return found;
}

// The console program at the agent's data providers: its discovery finds them all,
// and the one of the type is chosen from the list.
class ConsoleRun {
 public:
  ConsoleRun(const AgentProcess& agent, const std::string& type, const std::vector<std::string>& arguments,
             const std::string& directory)
      : type_(type), program_("zevpcon") {
    program_.runIn(directory);
    std::vector<std::string> settings = agent.dataProviderSettings();
    settings.push_back("ZEV_DP_HOSTNAME=localhost");
    started_ = program_.start(arguments, settings);
  }

  // Answers the choice with the type's number; the lines before the prompt are kept.
  bool choose() {
    if (!started_) return false;
    for (std::string line = program_.readLine(kConsoleRunWaitMs); !line.empty() && line != "Select an active DP:";
         line = program_.readLine(kConsoleRunWaitMs)) {
      head_.push_back(line);
      if (line.find(" " + type_ + " - localhost") != std::string::npos) number_ = std::stoi(line);
    }
    if (number_ == 0) return false;
    program_.writeInput(std::to_string(number_) + "\n");
    program_.closeInput();
    return true;
  }
  // The lines after the choice, once the program has ended with 0.
  std::vector<std::string> finish() {
    std::vector<std::string> lines = SplitLines(program_.readAll(kConsoleRunWaitMs));
    exitCode_ = ExitCode(program_.waitForEnd(kConsoleRunWaitMs));
    return lines;
  }
  const std::vector<std::string>& head() const { return head_; }
  int exitCode() const { return exitCode_; }

 private:
  std::string type_;
  ToolProcess program_;
  bool started_ = false;
  std::vector<std::string> head_;
  int number_ = 0;
  int exitCode_ = -1;
};

// The processes whose parent is the process.
std::set<pid_t> ChildrenOf(pid_t parent) {
  std::set<pid_t> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string text = ProcText(entry.path() / "stat");
    size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 2));
    char state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent) children.insert(static_cast<pid_t>(std::stoi(name)));
  }
  return children;
}

bool ProcessExists(pid_t pid) { return std::filesystem::exists("/proc/" + std::to_string(pid)); }

// The program's name as the system has it.
std::string ProgramOf(pid_t pid) {
  const std::string name = ProcText("/proc/" + std::to_string(pid) + "/comm");
  return name.substr(0, name.find('\n'));
}

// Copies the scenario's file into the folder.
void CopyScenarioFile(const std::string& name, const std::string& folder) {
  std::filesystem::copy_file(std::string(ZEV_SCENARIO_DIR) + "/" + name, folder + name,
                             std::filesystem::copy_options::overwrite_existing);
}

SnmpAgentSettings SnmpAgentOnLiveHost() {
  SnmpAgentSettings settings;
  settings.address = kSnmpAgentAddress;
  settings.readCommunity = "willow";  // the SNMP data provider's default
  return settings;
}

// The peers and the agent, and the scenario's steps.
class WholeSystem {
 public:
  WholeSystem()
      : snmpAgent_(SnmpAgentOnLiveHost()),
        http_([](const HTTPrequest& request) {
          if (request.target == "/shop") return Page(200, "OK", "<html><title>Shop</title>the shop</html>");
          return Page(404, "Not Found", "");
        }, kHttpPort),
        metafiles_(agent_.directory() + "metafiles/"),
        socketPort_(FreeLoopbackPort()),
        apiPort_(FreeLoopbackPort()),
        postPort_(FreeLoopbackPort()) {}

  // The peers, then the agent with its data providers, until every console answers and
  // every server of theirs listens (some begin after their console).
  void start() {
    ASSERT_TRUE(snmpAgent_.start()) << snmpAgent_.failure();
    ASSERT_TRUE(trapReceiver_.start()) << trapReceiver_.failure();
    ASSERT_TRUE(http_.listening());
    std::filesystem::create_directory(metafiles_);
    for (const char* name : {"watched.mdl", "orders.mdl", "tally.mdl", "sysinfo.mdl", "ZEVPCNFG"})
      CopyScenarioFile(name, metafiles_);
    CopyScenarioFile("ZEVPURLS", agent_.directory());
    std::ofstream(agent_.directory() + "watched.log") << "apples 6\n";

    std::vector<std::string> types;
    for (const DataProviderType& type : kTypes) types.push_back(type.name);
    ASSERT_TRUE(agent_.start(types, {"ZEVP_META_PATH=" + metafiles_, "ZEVP_INIT_CONFIG_PATH=" + metafiles_,
                                     "ZEV_DP_HOSTNAME=localhost", "ZEVP_DP_PORT=" + std::to_string(socketPort_),
                                     "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_),
                                     "ZEVP_POST_DP_PORT=" + std::to_string(postPort_),
                                     "ZEVP_SNMP_TRAP_PORT=" + std::to_string(kTrapMonitorPort),
                                     "ZEVP_SNMP_NET_DISCOVERY=N", "ZEVP_TRAP_DESTINATION=127.0.0.1"}))
        << agent_.failure();
    for (const DataProviderType& type : kTypes) {
      const unsigned short port = static_cast<unsigned short>(agent_.consoleBase() + type.offset);
      ASSERT_EQ(AwaitConsole(port, kStartWaitMs), "0 " + std::to_string(type.offset) + " " + std::to_string(port))
          << type.name << agent_.traceText();
    }
    for (unsigned short port : {socketPort_, apiPort_, postPort_, kTrapMonitorPort})
      ASSERT_TRUE(Eventually([port] { return UdpPortBound(port); }, kStartWaitMs)) << "nothing on port " << port;
  }

  // Lines appended to the watched file, a socket partner's association record and
  // record, the API tools with a second metafile, the post sender over UDP and with an
  // acknowledgement, a trap to the SNMP data provider; the SNMP application comes
  // through the console program meanwhile (its discovery takes a while).
  void feedFromOutside() {
    ConsoleRun import(agent_, "SNMP", {"Import", "sysinfo.mdl"}, metafiles_);

    std::ofstream(agent_.directory() + "watched.log", std::ios::app) << "pears 7\n";

    DatagramEnd partner;
    partner.sendTo(socketPort_, "//orders");
    partner.sendTo(socketPort_, "widget;3");

    const std::vector<std::string> apiSettings = {"ZEVP_API_DPAPI_HOST=127.0.0.1",
                                                  "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_),
                                                  "ZEVP_DPCONSOLE_PORT=" + std::to_string(agent_.consoleBase())};
    ToolRun defined = RunTool("zevpdefn", {metafiles_ + "tally.mdl"}, apiSettings, kConsoleRunWaitMs, tools_.path());
    EXPECT_EQ(defined.output, "ZEVPA00I Function completed successfully\n") << defined.errors;
    for (const auto& [program, arguments] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"zevpbgni", {"TALLY", "COUNTS"}}, {"zevpinpt", {"bolts;12", "TALLY", "COUNTS"}},
             {"zevpendi", {"TALLY", "COUNTS"}}}) {
      ToolRun run = RunTool(program, arguments, apiSettings, kConsoleRunWaitMs, tools_.path());
      EXPECT_EQ(run.output, "ZEVPA00I Function completed successfully\n") << program << run.errors;
      EXPECT_EQ(run.exitStatus, 1) << program;
    }

    const std::string post = std::to_string(postPort_);
    ToolRun datagram = RunTool("zevpsend", {"msg=hello", "dp=127.0.0.1", "port=" + post}, {}, kConsoleRunWaitMs);
    EXPECT_EQ(datagram.output, "send post message to DP 127.0.0.1 successful\n");
    ToolRun acknowledged =
        RunTool("zevpsend", {"m=disk", "c=W", "p=" + post, "a=y", "d=127.0.0.1"}, {}, kConsoleRunWaitMs);
    const std::string lead = "Acknowledgment stamp ";
    EXPECT_EQ(acknowledged.output.rfind(lead, 0), 0u) << acknowledged.output;
    if (acknowledged.output.rfind(lead, 0) == 0)
      postStamp_ = acknowledged.output.substr(lead.size(), acknowledged.output.find('\n') - lead.size());

    ToolRun trap = SnmpTrap("127.0.0.1:" + std::to_string(kTrapMonitorPort), "public", "1.3.6.1.4.1.99.7",
                            "127.0.0.1", 6, 17, {"1.3.6.1.4.1.99.7.1", "s", "disk full"});
    EXPECT_EQ(trap.exitStatus, 0) << trap.errors;

    EXPECT_TRUE(import.choose()) << ::testing::PrintToString(import.head());
    EXPECT_EQ(import.finish(), (std::vector<std::string>{"Import successfully completed for sysinfo.mdl"}));
    EXPECT_EQ(import.exitCode(), 0);
  }

  // What was fed, as rows of every application.
  void expectEveryApplicationsRows() {
    EXPECT_FALSE(RowHolding(agent_, "WATCH00", {{"Item", "pears"}, {"Amount", "7"}}).empty());
    EXPECT_FALSE(RowHolding(agent_, "ORDERS00", {{"Article", "widget"}, {"Quantity", "3"}}).empty());
    EXPECT_FALSE(RowHolding(agent_, "TALLY00", {{"Label", "bolts"}, {"Count", "12"}}).empty());
    EXPECT_FALSE(RowHolding(agent_, "MAS00", {{"Post_Text", "hello"}, {"Post_Category", "Information"}}).empty());
    EXPECT_FALSE(RowHolding(agent_, "MAS00", {{"Post_Text", "disk"}, {"Post_Ack_Stamp", postStamp_}}).empty());
    SampledRow url = RowHolding(agent_, "INTERNET00", {{"URL", "/shop"}, {"Status", "OK"}});
    EXPECT_FALSE(url.empty());
    EXPECT_GE(std::atoi(url["Current_Response_Time"].c_str()), 0) << url["Current_Response_Time"];
    EXPECT_FALSE(RowHolding(agent_, "SNMP-MANAGER00",
                            {{"Generic_Trap", "6"}, {"Specific_Trap", "17"}, {"Value_List", "disk full"}})
                     .empty());
    EXPECT_FALSE(
        RowHolding(agent_, "DVAGENT00", {{"DP_Name", "localhostSOCKdp"}, {"DP_Log_Text", "New UDP session accepted"}})
            .empty());
    EXPECT_FALSE(
        RowHolding(agent_, "DVAGENT00", {{"DP_Name", "localhostAPISdp"}, {"DP_Log_Text", "dp_EndInput completed"}})
            .empty());
  }

  // The SNMP collection's start, fired as an operator's command: it reaches the SNMP
  // data provider (every data provider of the host is sent it), its result comes back
  // into the action log, and the collection brings snmpd's values.
  void expectActionRoundTrip() {
    const std::string monitor = "MONITOR START ATTRGROUP=SYSTEM AGENTINFO=( 10.77.0.1 ) INTERVAL=60";
    ToolRun action = agent_.zevraf({"action", "localhost:SYS00", "SNMP", monitor});
    EXPECT_EQ(action.output, "0\n") << action.errors;
    SampledRow result = actionResult("SNMP", monitor);
    EXPECT_EQ(result["Action_Status"], "SUCCESS") << ::testing::PrintToString(result);
    EXPECT_EQ(result["Action_Result"], "MIB monitor started");
    EXPECT_EQ(result["Action_Owner"], "SNMP Control");
    EXPECT_FALSE(RowHolding(agent_, "SNMP-MANAGER00",
                            {{"Enterprise", "SYS"}, {"Attribute_Group", "SYSTEM"}, {"Monitor_Agent_Info", "10.77.0.1"}})
                     .empty());
    EXPECT_FALSE(RowHolding(agent_, "SYS00", {{"sysName", "test-agent"}, {"sysDescr", "Test agent"}}).empty());
  }

  // An alert of a situation on the watched file's group through the action table: a
  // TRAPEMIT action, whose trap reaches snmptrapd.
  void expectEmittedTrap() {
    const std::string node = "localhost:WATCHLINES00";
    ToolRun alert = agent_.zevraf({"sample", "-w", "ORIGINNODE=" + node, "-w", "SITNAME=Overstock", "-w",
                                   "SITTIME=1261210120000000", "-w", "SEVERITY=Critical", "-w", "CATEGORY=Stock", "-w",
                                   "TRAPDEST=127.0.0.1", "-w", "ATTRVALS=a;b;c;_SITNODE=" + node + ";_ATTRPREF=Amount=7~",
                                   "ZEV", "ZEVACT"});
    EXPECT_NE(alert.output.find("\n" + node + "\t0\tOverstock\t"), std::string::npos) << alert.output;
    EXPECT_TRUE(trapReceiver_.waitForTrap("STRING: \"Overstock\"", kRowWaitMs))
        << ::testing::PrintToString(trapReceiver_.traps());
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

  // SIGTERM: both lines of the end, 0, no report of a sanitizer, nothing left behind.
  void expectCleanEnd() {
    const std::set<pid_t> children = ChildrenOf(agent_.pid());
    EXPECT_EQ(agent_.terminate(kEndWaitMs), 0) << agent_.errorText();
    const std::string trace = agent_.traceText();
    const size_t inProgress = trace.find("Dorvane Agent shutdown in progress");
    EXPECT_NE(inProgress, std::string::npos);
    EXPECT_NE(trace.find("Dorvane Agent shutdown complete", inProgress), std::string::npos);
    EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
    for (pid_t child : children) EXPECT_FALSE(ProcessExists(child)) << "process " << child << " left";
    // Of what the scenario started, only the peers that stop with the scenario are left.
    for (pid_t own : ChildrenOf(getpid()))
      EXPECT_TRUE(ProgramOf(own) == "snmpd" || ProgramOf(own) == "snmptrapd") << ProgramOf(own) << " left";
    std::vector<unsigned short> ports = {agent_.dchPort(), agent_.rafPort(), socketPort_, apiPort_, postPort_,
                                         kTrapMonitorPort};
    for (const DataProviderType& type : kTypes)
      ports.push_back(static_cast<unsigned short>(agent_.consoleBase() + type.offset));
    for (unsigned short port : ports) {
      EXPECT_TRUE(LoopbackPortIsFree(port)) << "TCP port " << port << " left";
      EXPECT_FALSE(UdpPortBound(port)) << "UDP port " << port << " left";
    }
  }

  std::string traceText() const { return agent_.traceText(); }

 private:
  // The action log's row of the command once its answer is known.
  SampledRow actionResult(const std::string& name, const std::string& parameters) {
    SampledRow found;
    Eventually(
        [&] {
          for (SampledRow& row : SampleRows(agent_, "DVAGENT00", kActionTable).rows)
            if (row["Action_Name"] == name && row["Action_Parms"] == parameters && row["Action_Status"] != "UNKNOWN") {
              found = row;
              return true;
            }
          return false;
        },
        kRowWaitMs);
    return found;
  }

  SnmpAgentProcess snmpAgent_;
  TrapReceiverProcess trapReceiver_;
  TestHTTPServer http_;
  AgentProcess agent_;
  ScratchDirectory tools_{"zev_whole_system_tools"};
  std::string metafiles_;
  unsigned short socketPort_;
  unsigned short apiPort_;
  unsigned short postPort_;
  std::string postStamp_ = "<none>";
};

TEST(WholeSystemTest, EveryApplicationsRowsAnActionRoundTripAnEmittedTrapAndACleanEnd) {
  RunInNetworkNamespace({{kSnmpAgentAddress}, ""}, [] {
    WholeSystem system;
    ASSERT_NO_FATAL_FAILURE(system.start());
    system.feedFromOutside();
    system.expectEveryApplicationsRows();
    system.expectActionRoundTrip();
    system.expectEmittedTrap();
    system.expectListsAtEachDataProvider();
    system.expectEveryDescriptorClosedOnExec();
    if (::testing::Test::HasFailure()) {
      const std::string trace = system.traceText();
      std::cerr << "The agent's trace, its end:\n" << trace.substr(trace.size() > 60000 ? trace.size() - 60000 : 0);
    }
    system.expectCleanEnd();
  });
}

}  // namespace

// The socket and API input in the agent program: partners of a SOCK, APIS or ASFS
// data provider of zeva350 whose rows the management server samples with zevraf.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "console_client.h"
#include "eventually.h"
#include "free_port.h"
#include "partner_sockets.h"
#include "proc_text.h"
#include "socket_tables.h"

namespace {

constexpr int kStartWaitMs = 15000;
constexpr int kRowWaitMs = 10000;
// A data provider looks at its threads every five seconds while it ends.
constexpr int kEndWaitMs = 30000;
constexpr char kStartupComplete[] = "Dorvane_Agent startup complete.";

const std::vector<std::string> kLines = {"//APPL LINES @Lines of partners", "//NAME TEXT S 600 @One line a row",
                                         "//ATTRIBUTES ';'", "Name D 16 @A name", "Count C 100000 @A count"};

// The agent with a data provider of the type, its socket and API ports free loopback
// ports, and the metafile LINES, which it loads at its start, in a folder of its own.
class SocketAgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir(metafiles_.c_str(), 0700);
    std::ofstream metafile(metafiles_ + "lines.mdl");
    for (const std::string& line : kLines) metafile << line << "\n";
    std::ofstream(metafiles_ + "ZEVPCNFG") << "lines.mdl\n";
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << agent_.traceText();
  }

  // Starts the agent; true once the servers of the type listen on their ports, over TCP
  // and UDP.
  bool start(const char* type, const std::vector<unsigned short>& ports) {
    bool started = agent_.start({type}, {"ZEVP_META_PATH=" + metafiles_, "ZEVP_INIT_CONFIG_PATH=" + metafiles_,
                                         "ZEV_DP_HOSTNAME=localhost",
                                         "ZEVP_DP_PORT=" + std::to_string(socketPort_),
                                         "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_)});
    return started && agent_.waitForTrace(kStartupComplete, kStartWaitMs) && Eventually([&ports] {
             for (unsigned short port : ports)
               if (!TcpAndUdpServed(port)) return false;
             return true;
           }, kStartWaitMs);
  }
  // The tables of the application once the framework has them.
  std::vector<std::string> tables(const std::string& application) {
    std::vector<std::string> names;
    Eventually(
        [&] {
          for (const std::string& line : LinesWith(agent_.zevraf({"tables"}), application + "\t"))
            names.push_back(line.substr(line.find('\t') + 1));
          return !names.empty();
        },
        kRowWaitMs);
    return names;
  }
  // True once a sample of a table of the application holds a row with the text.
  bool sampled(const std::string& text, const std::string& application = "LINES00") {
    std::vector<std::string> names = tables(application);
    ToolRun sample;
    bool found = Eventually(
        [&] {
          for (const std::string& name : names) {
            sample = agent_.zevraf({"sample", application, name});
            if (!LinesWith(sample, text).empty()) return true;
          }
          return false;
        },
        kRowWaitMs);
    EXPECT_TRUE(found) << text << " not in the sample:\n" << sample.output << sample.errors;
    return found;
  }
  void expectCleanEnd() {
    EXPECT_EQ(agent_.terminate(kEndWaitMs), 0) << agent_.errorText();
    EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
  }

  AgentProcess agent_;
  std::string metafiles_ = agent_.directory() + "metafiles/";
  unsigned short socketPort_ = FreeLoopbackPort();
  unsigned short apiPort_ = FreeLoopbackPort();
};

TEST_F(SocketAgentTest, SocketPartnersRowsAreSampledAndTheyGoOfflineWhenTheAgentEnds) {
  ASSERT_TRUE(start("SOCK", {socketPort_})) << agent_.failure() << agent_.traceText();
  StreamEnd tcp(socketPort_);
  ASSERT_TRUE(tcp.connected());
  ASSERT_TRUE(tcp.send("//lines\r\napple;6\r\npear;7\r\n"));
  EXPECT_TRUE(sampled("\tapple\t6"));
  EXPECT_TRUE(sampled("\tpear\t7"));
  EXPECT_FALSE(LinesWith(agent_.zevraf({"subnodes"}), "localhost:LINES00").empty());
  EXPECT_TRUE(sampled("New TCP connection accepted from localhost address 127.0.0.1", "DVAGENT00"));
  EXPECT_EQ(DescriptorsPassedOnExec(agent_.pid()), std::vector<std::string>{}) << "the partner's connection too";

  DatagramEnd udp;
  udp.sendTo(socketPort_, "//lines");
  udp.sendTo(socketPort_, "plum;8");
  EXPECT_TRUE(sampled("\tplum\t8"));
  EXPECT_TRUE(sampled("New UDP session accepted from localhost address 127.0.0.1", "DVAGENT00"));
  udp.sendTo(socketPort_, "//END-DP-INPUT");
  EXPECT_TRUE(sampled("UDP session disconnect received from localhost", "DVAGENT00"));
  udp.sendTo(socketPort_, "quince;9");
  EXPECT_TRUE(sampled("\tquince\t9")) << "bound again";
  expectCleanEnd();
  std::string trace = agent_.traceText();
  EXPECT_NE(trace.find(">>>>> Socket/API server performs dp_offline at shutdown for 127.0.0.1"), std::string::npos);
  EXPECT_TRUE(tcp.closedByPeer(0));
}

TEST_F(SocketAgentTest, AnAPIpartnersRowsAreSampled) {
  ASSERT_TRUE(start("APIS", {apiPort_})) << agent_.failure() << agent_.traceText();
  DatagramEnd partner;
  partner.sendTo(apiPort_, ToNetworkCode("ZEVPAPI300SNDDTAx;1"));
  std::string refused = ToLocalCode(partner.next(kRowWaitMs));
  ASSERT_EQ(refused.substr(0, 3), "13 ");
  std::string stamp = refused.substr(3);
  partner.sendTo(apiPort_, ToNetworkCode("ZEVPAPI300BGNINPLINES TEXT "));
  EXPECT_EQ(ToLocalCode(partner.next(kRowWaitMs)), "0 " + stamp + "#;");
  partner.sendTo(apiPort_, ToNetworkCode("ZEVPAPI300SNDDTAkiwi;9"));
  EXPECT_EQ(ToLocalCode(partner.next(kRowWaitMs)), "0 " + stamp);
  EXPECT_TRUE(sampled("\tkiwi\t9"));
  partner.sendTo(apiPort_, ToNetworkCode("ZEVPAPI300ENDINP"));
  EXPECT_EQ(ToLocalCode(partner.next(kRowWaitMs)), "0 " + stamp);
  ConsoleClient console;  // the API data provider's console port is its base (type 0)
  EXPECT_EQ(console.exchange(agent_.consoleBase(), "PING", kRowWaitMs), "0 " + stamp) << "the stamp PING gives";
  expectCleanEnd();
}

// An action at the subnode of an API partner that accepts requests: the partner
// fetches it (RCVREQ) and answers it (RESULT), and its result reaches the agent.
TEST_F(SocketAgentTest, AnActionAtAnAPIpartnersSubnodeIsFetchedAndAnsweredByThePartner) {
  ASSERT_TRUE(start("APIS", {apiPort_})) << agent_.failure() << agent_.traceText();
  DatagramEnd partner;
  auto exchange = [&](const std::string& request) {
    partner.sendTo(apiPort_, ToNetworkCode("ZEVPAPI300" + request));
    std::string reply = partner.next(kRowWaitMs);
    return reply == "<none>" ? reply : ToLocalCode(reply);
  };
  std::string begun = exchange("BGNINPLINES TEXT ");
  ASSERT_EQ(begun.substr(0, 2), "0 ");
  std::string stamp = begun.substr(2, begun.find('#') - 2);
  EXPECT_EQ(exchange("ACCREQ1;30"), "0 " + stamp);
  EXPECT_EQ(exchange("RCVREQ"), "0 " + stamp) << "nothing outstanding yet";
  ASSERT_FALSE(tables("LINES00").empty());
  ASSERT_TRUE(Eventually([&] { return !LinesWith(agent_.zevraf({"subnodes"}), "localhost:LINES00").empty(); },
                         kRowWaitMs));
  ToolRun action = agent_.zevraf({"action", "localhost:LINES00", "'restock'", "10"});
  ASSERT_EQ(action.exitStatus, 0) << action.errors;

  std::string request;
  ASSERT_TRUE(Eventually(
      [&] {
        std::string reply = exchange("RCVREQ");
        size_t mark = reply.find('#');
        if (mark == std::string::npos) return false;
        request = reply.substr(mark + 1);
        return true;
      },
      kRowWaitMs));
  EXPECT_NE(request.find(" REQ("), std::string::npos) << request;
  EXPECT_NE(request.find("restock"), std::string::npos) << request;
  std::string id = request.substr(0, request.find(' '));
  EXPECT_EQ(exchange("RESULTx;y"), "93 " + stamp);
  EXPECT_EQ(exchange("RESULT999999;z;"), "85 " + stamp);
  EXPECT_EQ(exchange("RESULT" + id + ";restocked;"), "0 " + stamp);
  EXPECT_TRUE(sampled("\tSUCCESS\trestocked", "DVAGENT00"));
  expectCleanEnd();
}

// ASFS runs both loops: a socket partner and an API partner of the same table.
TEST_F(SocketAgentTest, AnASFSdataProviderServesSocketAndAPIpartners) {
  ASSERT_TRUE(start("ASFS", {socketPort_, apiPort_})) << agent_.failure() << agent_.traceText();
  DatagramEnd socketPartner;
  socketPartner.sendTo(socketPort_, "//lines");
  socketPartner.sendTo(socketPort_, "fig;3");
  EXPECT_TRUE(sampled("\tfig\t3"));
  DatagramEnd apiPartner;
  apiPartner.sendTo(apiPort_, ToNetworkCode("ZEVPAPI300BGNINPLINES TEXT "));
  EXPECT_EQ(ToLocalCode(apiPartner.next(kRowWaitMs)).substr(0, 2), "0 ");
  apiPartner.sendTo(apiPort_, ToNetworkCode("ZEVPAPI300SNDDTAlime;4"));
  EXPECT_TRUE(sampled("\tlime\t4"));
  expectCleanEnd();
}

}  // namespace

// A worker's visits of a host, in process, with the SNMP get and the ping played
// by the test: the letters and miss counts across visits, the console reports,
// the names taken from SNMP, the rows, and the hosts a network is given.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fixed_name_service.h"
#include "host_visit.h"
#include "icmp_test_network.h"
#include "managed_node_entry.h"
#include "metafile_text.h"
#include "network_monitor_seams.h"
#include "no_name_service.h"
#include "scratch_directory.h"
#include "zev0/console_message.h"
#include "zev0/prodspec.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

namespace {

// What the test's agent and host answer.
struct Peer {
  std::vector<int> pings;  // the answers of the coming pings (1 answered, 0 silent); silent when used up
  int pingCalls = 0;
  bool snmp = false;
  std::string sysName = "lab-1";
  std::string sysDescr = "Lab; router";
  std::string sysLocation = "Room 7";
};
Peer peer;

int Get(int, char*, const sockaddr_in*, const char*, const char* oid, char** value, int32_t* length) {
  if (!peer.snmp) return 0;
  std::string name = oid;
  if (name == "1.3.6.1.2.1.1.7.0") {
    *value = zevp::NewStorageText(std::string("\x00\x48", 2));  // sysServices 72
    *length = 2;
    return 2;
  }
  if (name == "1.3.6.1.2.1.1.2.0") {
    const char content[] = {0x2B, 0x06, 0x01, 0x04, 0x01, static_cast<char>(0x82), 0x37, 0x01};  // 1.3.6.1.4.1.311.1
    *value = zevp::NewStorageText(std::string(content, sizeof content));
    *length = sizeof content;
    return 6;
  }
  const std::string& text = name == "1.3.6.1.2.1.1.5.0"   ? peer.sysName
                            : name == "1.3.6.1.2.1.1.1.0" ? peer.sysDescr
                                                          : peer.sysLocation;
  *value = zevp::NewStorageText(text);
  *length = static_cast<int32_t>(text.size());
  return 4;
}

int Ping(const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) {
  ++peer.pingCalls;
  if (peer.pings.empty()) return 0;
  int answer = peer.pings.front();
  peer.pings.erase(peer.pings.begin());
  return answer;
}

int NotInAList(const ManagedNodeEntry*) { return 2; }
bool NeverTerminating(void*) { return false; }

// The console command TZOMESG of the test first on PATH: each message as a line.
class HostVisitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    peer = Peer{};
    saved_ = zevs::MonitorSeams();
    zevs::MonitorSeams().retrieveOneMIBvariable = Get;
    zevs::MonitorSeams().checkActiveNode = Ping;
    zevs::MonitorSeams().checkManagedNodeFilters = NotInAList;
    std::string script = console_.file("TZOMESG");
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" >> '" << console_.file("messages") << "'\n";
    chmod(script.c_str(), 0755);
    const char* path = getenv("PATH");
    setenv("PATH", (console_.path() + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str(), 1);
    unsetenv("ZEV_DMC");
    ZEV0_SetDPstartMode(1);
    zevs::MakeHosts(network_.entry(), 255);
  }
  void TearDown() override { zevs::MonitorSeams() = saved_; }

  ManagedNodeEntry* host(int index) {
    ManagedNodeEntry* node = network_.entry()->hosts;
    while (node != nullptr && node->hostIndex != index) node = node->next;
    return node;
  }
  void visit(int index) {
    zevs::HostVisitContext context{nullptr, nullptr, network_.entry(), nullptr, -1, buffer_, NeverTerminating, nullptr};
    zevs::VisitHost(context, host(index));
  }
  std::string messages() {
    std::string text = console_.read("messages");
    console_.remove("messages");
    return text;
  }

  NoNameService names_;  // no look-up leaves the process
  ScratchDirectory console_{"zev_netmon"};
  TestNetwork network_{"10.77.0.0", 255, ZEVS_NETWORK_MANAGED};
  char buffer_[zevs::kHostVisitBufferSize] = {};
  zevs::NetworkMonitorSeams saved_{};
};

TEST_F(HostVisitTest, AHostThatAnsweredOnePingGoesOfflineOnTheFourthSilentVisit) {
  peer.pings = {1};
  visit(2);
  EXPECT_EQ(network_.letter(2), 'A');
  EXPECT_EQ(messages(), "-s Status -c NetworkStatus Node 10.77.0.2(10.77.0.2) Online\n")
      << "the dotted address names a host that does not resolve";
  EXPECT_EQ(host(2)->snmpEnabled, 0);
  const char expected[] = {'A', 'A', 'A', 'I', '0', '0'};
  for (int silent = 1; silent <= 6; ++silent) {
    SCOPED_TRACE(silent);
    peer.pingCalls = 0;
    visit(2);
    EXPECT_EQ(peer.pingCalls, 3) << "three pings each silent visit";
    EXPECT_EQ(network_.letter(2), expected[silent - 1]);
    EXPECT_EQ(messages(), silent == 4 ? "-s Warning -c NetworkStatus Node 10.77.0.2(10.77.0.2) Offline\n" : "");
  }
  peer.pings = {0, 1};
  visit(2);
  EXPECT_EQ(network_.letter(2), 'A') << "the second ping answered";
  EXPECT_EQ(messages(), "-s Status -c NetworkStatus Node 10.77.0.2(10.77.0.2) Online\n");
  EXPECT_EQ(host(2)->missCount, 0);
}

TEST_F(HostVisitTest, AnSNMPAgentGivesItsSystemValuesButABlankInItsNameKeepsTheResolvedOne) {
  peer.snmp = true;
  visit(1);
  ManagedNodeEntry* node = host(1);
  EXPECT_EQ(network_.letter(1), 'A');
  EXPECT_EQ(peer.pingCalls, 0);
  EXPECT_STREQ(node->ManagedNodeName, "lab-1");
  EXPECT_STREQ(node->ManagedNodeOID, "1.3.6.1.4.1.311.1");
  EXPECT_EQ(node->sysServices, 72u);
  EXPECT_EQ(messages(), "-s Status -c NetworkStatus Node lab-1(10.77.0.1) Online\n");
  EXPECT_EQ(zevs::NetworkRow(*node, 'A'), std::string("lab-1;10.77.0.1;On-line;") + node->ManagedNodeTypeText +
                                              ";Yes;Room 7;Lab, router;")
      << "a ';' of a text is written as ','";
  visit(1);
  EXPECT_EQ(messages(), "") << "no report while it stays online";

  peer.sysName = "lab 3";
  visit(3);
  EXPECT_STREQ(host(3)->ManagedNodeName, "10.77.0.3");
}

TEST_F(HostVisitTest, RowsOfHostsThatNeverAnswered) {
  visit(5);
  EXPECT_EQ(network_.letter(5), '0');
  EXPECT_EQ(zevs::NetworkRow(*host(5), '0'), ";10.77.0.5;Unknown;Unknown;No;Unavailable;Unavailable;")
      << "a host never answered has no name yet";
  EXPECT_EQ(messages(), "");
}

// A sysName need not resolve, or may name another host: the collection of an
// online host would then reach nobody, or the wrong agent.
TEST(NetworkHostsTest, TheCollectionOfAHostGoesToItsNameOnlyWhenTheNameResolvesToIt) {
  FixedNameService names({{"10.77.0.1", "lab-1"}, {"10.77.0.7", "lab-7"}});
  TestNetwork network("10.77.0.0", 255);
  zevs::MakeHosts(network.entry(), 2);
  ManagedNodeEntry* node = network.entry()->hosts;
  const struct {
    const char* name;
    const char* agent;
  } cases[] = {{nullptr, "10.77.0.1"}, {"lab-1", "lab-1"}, {"lab-router", "10.77.0.1"}, {"lab-7", "10.77.0.1"}};
  for (const auto& c : cases) {
    node->ManagedNodeName = c.name != nullptr ? zevp::NewStorageText(c.name) : nullptr;
    EXPECT_EQ(zevs::CollectionAgentName(*node), c.agent) << (c.name != nullptr ? c.name : "no name");
    ZEV0_FreeStorage(&node->ManagedNodeName);
  }
}

TEST(NetworkHostsTest, ANetworkOf255GetsHosts1To254AndPassesVisitByLetter) {
  TestNetwork network("10.77.0.0", 255);
  zevs::MakeHosts(network.entry(), 255);
  int count = 0;
  ManagedNodeEntry* last = nullptr;
  for (ManagedNodeEntry* node = network.entry()->hosts; node != nullptr; node = node->next, ++count) last = node;
  EXPECT_EQ(count, 254);
  EXPECT_EQ(network.entry()->hosts->hostIndex, 1);
  EXPECT_STREQ(network.entry()->hosts->addressText, "10.77.0.1");
  ASSERT_NE(last, nullptr);
  EXPECT_STREQ(last->addressText, "10.77.0.254");
  EXPECT_EQ(ntohs(last->agent.sin_port), 161);

  const struct {
    int pass;
    const char* visited;  // of the letters A, I, 0, U
  } cases[] = {{0, "AI0U"}, {1, "AI"}, {2, "A0"}};
  for (const auto& c : cases) {
    std::string visited;
    for (char letter : {'A', 'I', '0', 'U'}) {
      if (zevs::PassVisits(c.pass, letter)) visited += letter;
    }
    EXPECT_EQ(visited, c.visited) << "pass " << c.pass;
  }
}

}  // namespace

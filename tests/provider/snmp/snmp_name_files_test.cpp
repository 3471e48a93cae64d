// The node community and network-name files of the default product, in a work
// directory of the test's own: which community a node gets and which name a network,
// reloads, and the lines that are passed over.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_name_table.h"
#include "network_name_list.h"
#include "node_community_list.h"
#include "default_product_work_directory.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

const ScratchDirectory& WorkDirectory() { return DefaultProductWorkDirectory("zev_name_files"); }

uint32_t Address(const char* dotted) { return inet_addr(dotted); }

// The community of the node, or "<none>".
std::string CommunityOf(const char* node) {
  char* community = ZEVP_LocateSNMPnodeCommunityName(Address(node));
  std::string text = community != nullptr ? community : "<none>";
  ZEV0_FreeStorage(&community);
  return text;
}

std::string NameOf(const char* network) {
  char* name = ZEVP_LocateSNMPnetworkSymbolicName(Address(network));
  std::string text = name != nullptr ? name : "<none>";
  ZEV0_FreeStorage(&name);
  return text;
}

std::string NetworkNamed(const char* name) {
  char* address = ZEVP_LocateNetworkBySymbolicName(name);
  std::string text = address != nullptr ? address : "<none>";
  ZEV0_FreeStorage(&address);
  return text;
}

class SnmpNameFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { WorkDirectory(); }
  void TearDown() override {
    ZEVP_FreeSNMPcommunityNameList();
    ZEVP_FreeSNMPNetworkNameList();
  }
  HostNameTable names_{{{"10.77.0.9", "hosta"}}};
};

TEST_F(SnmpNameFilesTest, EachNodeGetsTheCommunityOfItsFirstLineWhateverItsAddressOrder) {
  WorkDirectory().write("ZEVSCOMM", "10.77.0.5 public\r\n"
                                    "200.1.1.1 high\n"
                                    "hosta lab extra words\n"
                                    "10.77.0.5 second\n"
                                    "   10.77.0.6    spaced\n"
                                    "10.77.0.7\n"
                                    "10.77.0.8   \n"
                                    "*10.77.0.4 commented\n"
                                    "nohost nobody\n" +
                                        std::string(1100, 'x') + " long\n"
                                    "1.2.3.4 low\n");
  TraceCapture trace("*=0x90");
  EXPECT_EQ(ZEVP_LoadSNMPcommunityName(), 1);
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"10.77.0.5", "public"}, {"200.1.1.1", "high"},   {"10.77.0.9", "lab"},    {"10.77.0.6", "spaced"},
      {"10.77.0.7", "<none>"}, {"10.77.0.8", "<none>"}, {"10.77.0.4", "<none>"}, {"1.2.3.4", "low"},
  };
  for (const auto& [node, community] : cases) EXPECT_EQ(CommunityOf(node), community) << node;
  EXPECT_TRUE(trace.contains("Node nohost cannot be resolved to address, ignored"));
  EXPECT_TRUE(trace.contains("longer than 1023 characters ignored"));
  EXPECT_TRUE(trace.contains("6 community name records processed"));
}

TEST_F(SnmpNameFilesTest, AMissingFileKeepsTheCommunitiesAndAnEmptyOneEmptiesThem) {
  WorkDirectory().write("ZEVSCOMM", "10.77.0.5 public\n");
  ASSERT_EQ(ZEVP_LoadSNMPcommunityName(), 1);
  // A copy handed out stays the caller's across a reload.
  char* held = ZEVP_LocateSNMPnodeCommunityName(Address("10.77.0.5"));

  WorkDirectory().remove("ZEVSCOMM");
  TraceCapture trace("*=0x80");
  EXPECT_EQ(ZEVP_LoadSNMPcommunityName(), 1);
  EXPECT_TRUE(trace.contains("Warning: Community file"));
  EXPECT_EQ(CommunityOf("10.77.0.5"), "public");

  WorkDirectory().write("ZEVSCOMM", "");
  EXPECT_EQ(ZEVP_LoadSNMPcommunityName(), 0);
  EXPECT_EQ(CommunityOf("10.77.0.5"), "<none>");
  ASSERT_NE(held, nullptr);
  EXPECT_STREQ(held, "public");
  ZEV0_FreeStorage(&held);
}

TEST_F(SnmpNameFilesTest, NetworkKeysArePaddedToFourPartsAndWhatIsNoAddressIsPassedOver) {
  WorkDirectory().write("ZEVSNAME", "10 SALES\n"
                                    "10.1.2 LAB\n"
                                    "172.16.0.0 CAMPUS\n"
                                    "172.16.0.0 LATER\n"
                                    "0 ZERO\n"
                                    "abc LETTERS\n"
                                    "10.300 HIGH\n"
                                    "1.2.3.4.5 PARTS\n" +
                                        std::string(30, '1') + ".2 LONG\n"
                                    "192.168.9.0\n");
  TraceCapture trace("*=0x90");
  EXPECT_EQ(ZEVP_LoadSNMPNetworkName(), 1);
  const std::vector<std::pair<const char*, const char*>> byAddress = {
      {"10.0.0.0", "SALES"}, {"10.1.2.0", "LAB"},      {"172.16.0.0", "CAMPUS"},
      {"0.0.0.0", "<none>"}, {"10.44.0.0", "<none>"},  {"255.255.255.255", "<none>"},
  };
  for (const auto& [network, name] : byAddress) EXPECT_EQ(NameOf(network), name) << network;
  EXPECT_EQ(trace.count("***** input is not an ip address, ignored"), 5);
  EXPECT_TRUE(trace.contains("4 network symbolic name records processed"));

  const std::vector<std::pair<const char*, const char*>> byName = {
      {"SALES", "10.0.0.0"}, {"LAB", "10.1.2.0"}, {"sales", "<none>"}, {"LATER", "172.16.0.0"}};
  for (const auto& [name, network] : byName) EXPECT_EQ(NetworkNamed(name), network) << name;
}

TEST_F(SnmpNameFilesTest, AReloadReplacesTheNamesAndAMissingFileKeepsThem) {
  WorkDirectory().write("ZEVSNAME", "10 SALES\n");
  ASSERT_EQ(ZEVP_LoadSNMPNetworkName(), 1);
  WorkDirectory().write("ZEVSNAME", "10 MARKETING\n");
  ASSERT_EQ(ZEVP_LoadSNMPNetworkName(), 1);
  EXPECT_EQ(NameOf("10.0.0.0"), "MARKETING");
  WorkDirectory().remove("ZEVSNAME");
  EXPECT_EQ(ZEVP_LoadSNMPNetworkName(), 1);
  EXPECT_EQ(NetworkNamed("MARKETING"), "10.0.0.0");
  WorkDirectory().write("ZEVSNAME", "* only a comment\n");
  EXPECT_EQ(ZEVP_LoadSNMPNetworkName(), 0);
  EXPECT_EQ(NameOf("10.0.0.0"), "<none>");
}

}  // namespace

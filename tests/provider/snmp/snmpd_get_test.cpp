// The one-variable get against Debian's snmpd in a network namespace of the test's
// own, on a port other than 161 (the agent's address carries it), cross-checked
// with snmpget; and the community each request carries.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net_snmp.h"
#include "network_namespace.h"
#include "one_variable_get.h"
#include "pdu_exchange.h"
#include "routine_overrides.h"
#include "snmp_messages.h"
#include "snmp_pdu.h"
#include "snmp_responder.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

namespace {

constexpr unsigned short kAgentPort = 1161;

struct Got {
  int tag = 0;
  std::string value;
};

Got GetOID(const char* oidText, const char* community, unsigned short port = kAgentPort) {
  char* oid = nullptr;
  int32_t oidLength = 0;
  EXPECT_EQ(ZEV0_FormatOIDfromString(oidText, &oid, &oidLength), 1);
  sockaddr_in agent{};
  agent.sin_family = AF_INET;
  agent.sin_port = htons(port);
  agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ClientSocket client;
  char buffer[ZEVP_SNMP_BUFFER_SIZE];
  int32_t id = 0, status = 0, length = 0;
  char* value = nullptr;
  Got got;
  got.tag = ZEVP_RetrieveOneMIBvariable(client.fd(), buffer, &agent, community, &id, &status, &oidLength, oid,
                                        &length, &value, 0, 0);
  if (value != nullptr) got.value.assign(value, static_cast<size_t>(length));
  ZEV0_FreeStorage(&value);
  ZEV0_FreeStorage(&oid);
  return got;
}

// The value snmpget prints after "TYPE: ", quotes taken off.
std::string SnmpGetValue(const std::string& target, const std::string& oid) {
  std::string out = SnmpGet(target, "public", {oid}).output;
  size_t colon = out.find(": ");
  if (colon == std::string::npos) return out;
  std::string value = out.substr(colon + 2);
  while (!value.empty() && (value.back() == '\n' || value.back() == '"')) value.pop_back();
  if (!value.empty() && value.front() == '"') value.erase(0, 1);
  return value;
}

TEST(SnmpdGetTest, SystemVariablesComeBackAsSnmpgetShowsThem) {
  RunInNetworkNamespace([] {
    SnmpAgentSettings settings;
    settings.port = kAgentPort;
    settings.sysDescr = "Lab agent, rack 4";
    settings.sysObjectID = "1.3.6.1.4.1.8072.3.2.10";
    SnmpAgentProcess agent(settings);
    ASSERT_TRUE(agent.start()) << agent.failure();

    Got descr = GetOID("1.3.6.1.2.1.1.1.0", "public");
    EXPECT_EQ(descr.tag, 0x04);
    EXPECT_EQ(descr.value, SnmpGetValue(agent.target(), "1.3.6.1.2.1.1.1.0"));
    EXPECT_EQ(descr.value, "Lab agent, rack 4");
    EXPECT_EQ(GetOID("1.3.6.1.2.1.1.2.0", "public").tag, 0x06);
    EXPECT_EQ(GetOID("1.3.6.1.2.1.1.3.0", "public").tag, 0x43);

    ToolRun set = SnmpSet(agent.target(), "private", "1.3.6.1.2.1.1.4.0", "x", "61 09 62");
    ASSERT_EQ(set.exitStatus, 0) << set.errors;
    Got binary = GetOID("1.3.6.1.2.1.1.4.0", "public");
    EXPECT_EQ(binary.tag, 0x04);
    EXPECT_EQ(binary.value, "610962") << "hex of twice its length";

    zevp::SetPDUwaitSecondForTests(50);
    EXPECT_EQ(GetOID("1.3.6.1.2.1.1.1.0", "wrong").tag, 0) << "snmpd does not answer a wrong community";
  });
}

// The community of a request: the given one, else the node's, else the default.
TEST(SnmpdGetTest, TheCommunityIsTheGivenOneElseTheNodesElseTheDefault) {
  RunInNetworkNamespace([] {
    setenv("ZEVP_SNMP_NET_COMMUNITY", "fallback", 1);
    SnmpResponder responder([](const SnmpBytes& request) {
      SnmpReply reply;
      reply.id = ParsedRequest(request).id;
      reply.varBinds = {VarBindBytes(RequestOIDfield(request), {0x05, 0x00})};
      return std::vector<ScriptedReply>{{ResponseBytes(reply)}};
    });
    const unsigned short port = ntohs(responder.address().sin_port);
    auto communityOf = [&](const char* given) {
      GetOID("1.3.6.1.2.1.1.5.0", given, port);
      return ParsedRequest(responder.lastRequest()).community;
    };
    EXPECT_EQ(communityOf("given"), "given");
    EXPECT_EQ(communityOf(nullptr), "fallback");
    RoutineOverrides overrides;
    overrides.routines().locateSNMPnodeCommunityName = [](uint32_t address) -> char* {
      if (address != htonl(INADDR_LOOPBACK)) return nullptr;
      auto* copy = static_cast<char*>(ZEV0_GetStorage(8));
      std::strcpy(copy, "nodes");
      return copy;
    };
    EXPECT_EQ(communityOf(nullptr), "nodes");
    EXPECT_EQ(communityOf("given"), "given");
  });
}

}  // namespace

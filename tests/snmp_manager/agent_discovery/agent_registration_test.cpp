// The manager routines of RAF_Proxy in process: what a registration makes of its
// caller, name, affinity and version, the entries it creates and refreshes, the
// subnode lists, and registrations racing the network thread's ageing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "agent_discovery_scope.h"
#include "agent_origin.h"
#include "agent_registration.h"
#include "fixed_name_service.h"
#include "manual_clock.h"
#include "network_block_fixture.h"
#include "ploven_agent_entry.h"
#include "ploven_agent_list.h"
#include "product_affinity.h"
#include "rpc_test_binding.h"
#include "trace_capture.h"
#include "zev0/affinity_table.h"
#include "zev0/storage.h"

namespace {

// A text a routine returned, taken over and freed.
std::string Taken(char* text) {
  std::string value = text != nullptr ? text : "(null)";
  ZEV0_FreeStorage(&text);
  return value;
}

TEST(AgentVersionText, ByNumber) {
  const struct {
    int32_t version;
    const char* text;
  } cases[] = {{131, "02.00.00"}, {0, " "}, {-1, " "}, {INT32_MIN, " "}, {5, "5"}, {130, "130"},
               {INT32_MAX, "2147483647"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    EXPECT_EQ(Taken(ZEVS_CheckAgentVersion(c.version)), c.text);
  }
}

TEST(AgentHostName, FromManagedSystemName) {
  const struct {
    const char* name;
    const char* host;
  } cases[] = {{"ab_host::YY", "host"}, {"XX:host:YY", "host"}, {"host:XX", "host"}, {"a:b:c:d", "a:b:c:d"},
               {"host", "host"},        {"a_b_host::YY", "b_host"}, {"host::YY", "host"}, {":XX", ""},
               {"", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Taken(ZEVS_ExtractHostNameFromMS(c.name)), c.host);
  }
}

// A binding whose address is the caller a served routine would see.
class CallerBinding : public RpcTestBinding {
 public:
  explicit CallerBinding(const char* dotted) : RpcTestBinding(38213, dotted) {}
};

TEST(AgentOrigin, NamedUnnamedAndUnknownCallers) {
  FixedNameService names(std::map<std::string, std::string>{{"10.77.0.5", "agenthost"}});
  const struct {
    const char* caller;  // null: no binding
    const char* host;
    const char* address;
  } cases[] = {{"10.77.0.5", "agenthost", "10.77.0.5"}, {"10.77.0.6", "10.77.0.6", "10.77.0.6"},
               {nullptr, "(null)", "(null)"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caller != nullptr ? c.caller : "no binding");
    char* host = nullptr;
    char* address = nullptr;
    if (c.caller != nullptr) {
      CallerBinding binding(c.caller);
      ZEVS_RetrieveOriginFromHandle(binding.handle(), &host, &address);
    } else {
      ZEVS_RetrieveOriginFromHandle(nullptr, &host, &address);
    }
    EXPECT_EQ(Taken(host), c.host);
    EXPECT_EQ(Taken(address), c.address);
  }
}

const std::string kDorvane = ZEV0_FindAffinity("AFF_DORVANE")->code;
// The same product with the remote-command and event-forwarding features.
const std::string kDorvaneWithFeatures = kDorvane.substr(0, 42) + "3";

// The routines against the process's network configuration block (no anchor, so no
// row leaves), on a clock of the test, names resolved only as the test says.
class AgentRegistrationTest : public NetworkBlockTest {
 protected:
  void SetUp() override {
    NetworkBlockTest::SetUp();
    ZEVS_InitializePlovenFeatureArray();
  }

  PlovenAgentEntry* find(const char* name) { return ZEVS_LocatePlovenAgentFromMS(name); }
  std::vector<std::string> names() {
    std::vector<std::string> all;
    for (PlovenAgentEntry* entry = block_->agents; entry != nullptr; entry = entry->next)
      all.emplace_back(entry->managedSystemName);
    return all;
  }
  int32_t registerAgent(rpc__handle_t caller, const char* name, const std::string& affinity, int32_t version) {
    return ZEVS_RAF_NCS_Register(caller, name, affinity.c_str(), 38213, version, 0);
  }
  int32_t registerSubnodes(rpc__handle_t caller, const char* name, int16_t listLength, const std::string& list,
                           const char* version = "02.00.00") {
    const RAF_SubnodeList_t subnodes{static_cast<uint16_t>(list.size()), list.data()};
    return ZEVS_RAF_NCS_Subnode_Request(caller, name, listLength, &subnodes, kDorvane.c_str(), "", version);
  }

  ManualClock clock_{1000000};
  FixedNameService names_{{{"10.77.0.5", "agenthost"}, {"10.77.0.9", "myhost"}, {"10.77.1.7", "otherhost"}}};
};

TEST_F(AgentRegistrationTest, NewAgentTakesItsCallerAffinityAndVersion) {
  CallerBinding caller("10.77.0.5");
  EXPECT_EQ(registerAgent(caller.handle(), "myhost:XX", kDorvaneWithFeatures, 131), 0);
  PlovenAgentEntry* entry = find("myhost:XX");
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->networkName, "agenthost");
  EXPECT_STREQ(entry->networkAddress, "10.77.0.5");
  EXPECT_STREQ(entry->productVersion, "02.00.00");
  EXPECT_EQ(entry->affinity, kDorvaneWithFeatures);
  EXPECT_STREQ(entry->productName, ZEVS_LocateProductNameFromAffinity(kDorvane.c_str()));
  EXPECT_EQ(Taken(ZEVS_ConstructProductFeatureString(kDorvaneWithFeatures.c_str())), entry->features);
  EXPECT_EQ(entry->lastCheckTime, 1000000);
  EXPECT_EQ(entry->lastReplyTime, 1000000);
}

TEST_F(AgentRegistrationTest, UnknownCallerTakesTheHostFromTheName) {
  registerAgent(nullptr, "XX:myhost:YY", kDorvane, 5);
  registerAgent(nullptr, "nowhere:XX", kDorvane, 5);
  EXPECT_STREQ(find("XX:myhost:YY")->networkName, "myhost");
  EXPECT_STREQ(find("XX:myhost:YY")->networkAddress, "10.77.0.9");
  EXPECT_STREQ(find("XX:myhost:YY")->productVersion, "5");
  EXPECT_STREQ(find("nowhere:XX")->networkName, "nowhere");
  EXPECT_STREQ(find("nowhere:XX")->networkAddress, "nowhere");
}

TEST_F(AgentRegistrationTest, SecondRegisterChangesOnlyReplyNetworkAndVersion) {
  CallerBinding first("10.77.0.5");
  registerAgent(first.handle(), "myhost:XX", kDorvane, 131);
  PlovenAgentEntry* entry = find("myhost:XX");
  entry->lastCheckTime = 999000;  // a probe since
  const std::string product = entry->productName;
  const std::string features = entry->features;
  clock_.advance(60);

  CallerBinding moved("10.77.1.7");
  registerAgent(moved.handle(), "myhost:XX", kDorvane, 5);
  EXPECT_EQ(names(), std::vector<std::string>{"myhost:XX"});
  EXPECT_EQ(entry->lastReplyTime, 1000060);
  EXPECT_EQ(entry->lastCheckTime, 999000);
  EXPECT_STREQ(entry->networkName, "otherhost");
  EXPECT_STREQ(entry->networkAddress, "10.77.1.7");
  EXPECT_STREQ(entry->productVersion, "5");
  EXPECT_EQ(entry->affinity, kDorvane);
  EXPECT_EQ(entry->productName, product);
  EXPECT_EQ(entry->features, features);

  // A caller the runtime cannot name leaves the network fields as they were.
  registerAgent(nullptr, "elsewhere:XX", kDorvane, 131);
  registerAgent(nullptr, "myhost:XX", kDorvane, 131);
  EXPECT_STREQ(entry->networkName, "otherhost");
  EXPECT_STREQ(entry->productVersion, "02.00.00");
}

TEST_F(AgentRegistrationTest, ChangedOrInvalidAffinityRebuildsProductAndFeatures) {
  registerAgent(nullptr, "myhost:XX", kDorvane, 131);
  PlovenAgentEntry* entry = find("myhost:XX");
  registerAgent(nullptr, "myhost:XX", kDorvaneWithFeatures, 131);
  EXPECT_EQ(entry->affinity, kDorvaneWithFeatures);
  EXPECT_EQ(Taken(ZEVS_ConstructProductFeatureString(kDorvaneWithFeatures.c_str())), entry->features);
  for (const std::string& invalid : {std::string(43, '0'), "X" + kDorvane.substr(1), std::string("0123")}) {
    SCOPED_TRACE(invalid);
    registerAgent(nullptr, "myhost:XX", invalid, 131);
    EXPECT_STREQ(entry->affinity, NoneAffinity);
    EXPECT_STREQ(entry->productName, ZEVS_LocateProductNameFromAffinity(NoneAffinity));
  }
}

TEST_F(AgentRegistrationTest, TheNetworkHoldingTheAgentGetsItsAgentFoundFlag) {
  NetworkEntry* agents = Enter("10.77.0.0", "255.255.255.0");
  NetworkEntry* other = Enter("10.77.1.0", "255.255.255.0");
  ASSERT_NE(agents, nullptr);
  ASSERT_NE(other, nullptr);
  registerAgent(nullptr, "nowhere:XX", kDorvane, 131);  // no address: no network
  EXPECT_EQ(agents->agentFound + other->agentFound, 0);
  registerAgent(nullptr, "XX:myhost:YY", kDorvane, 131);
  EXPECT_EQ(agents->agentFound, 1);
  EXPECT_EQ(other->agentFound, 0);
}

TEST_F(AgentRegistrationTest, SubnodeListsByLengthAndContent) {
  const struct {
    const char* what;
    int16_t length;
    std::string list;
    std::vector<std::string> registered;
  } cases[] = {
      {"leading commas dropped", 6, ",,a,b", {"a", "b"}},
      {"runs of commas are one", 7, "a,,,b,", {"a", "b"}},
      {"negative length", -1, "a,b", {}},
      {"most negative length", INT16_MIN, "a,b", {}},
      {"length over the count", 200, "a,b", {"a", "b"}},
      {"length cuts the list", 3, "a,bc,d", {"a", "b"}},
      {"a NUL ends the list", 5, std::string("a\0b,c", 5), {"a"}},
      {"nothing but commas", 3, ",,,", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    zevs::ReleaseAgents(zevs::AgentScopeOf(block_).agents);
    EXPECT_EQ(registerSubnodes(nullptr, "XX:myhost:YY", c.length, c.list), 0);
    EXPECT_EQ(names(), c.registered);
  }
}

TEST_F(AgentRegistrationTest, NewSubnodesShareTheirHostAndKnownOnesAreRefreshed) {
  registerAgent(nullptr, "XX:myhost:YY", kDorvane, 131);
  PlovenAgentEntry* caller = find("XX:myhost:YY");
  CallerBinding origin("10.77.1.7");
  registerSubnodes(nullptr, "XX:myhost:YY", 3, "a,b", "");
  PlovenAgentEntry* a = find("a");
  PlovenAgentEntry* b = find("b");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  for (PlovenAgentEntry* subnode : {a, b}) {
    EXPECT_STREQ(subnode->networkName, "myhost");
    EXPECT_STREQ(subnode->networkAddress, "10.77.0.9");
    EXPECT_STREQ(subnode->productVersion, " ");
    EXPECT_EQ(subnode->affinity, kDorvane);
  }

  clock_.advance(30);
  registerSubnodes(origin.handle(), "XX:myhost:YY", 3, "b,c", "02.01.00");
  EXPECT_EQ(names(), (std::vector<std::string>{"XX:myhost:YY", "a", "b", "c"}));
  EXPECT_EQ(a->lastReplyTime, 1000000);
  EXPECT_EQ(b->lastReplyTime, 1000030);
  EXPECT_STREQ(b->networkName, "otherhost");
  EXPECT_STREQ(b->productVersion, "02.01.00");
  EXPECT_STREQ(find("c")->networkAddress, "10.77.1.7");
  // The calling agent's own entry is not touched.
  EXPECT_EQ(caller->lastReplyTime, 1000000);
  EXPECT_STREQ(caller->networkName, "myhost");
}

// Any host that reaches the listener may call: one call adds at most
// kMaxSubnodesPerCall subnodes, the list takes new agents only up to
// kMaxPlovenAgents, and known agents are still refreshed when it is full.
TEST_F(AgentRegistrationTest, WhatCallsMayAddIsBounded) {
  TraceCapture trace;
  auto subnodeList = [](const std::string& prefix, size_t count) {
    std::string list;
    for (size_t i = 0; i < count; ++i) list += prefix + std::to_string(i) + ",";
    return list;
  };
  registerSubnodes(nullptr, "XX:myhost:YY", INT16_MAX, subnodeList("s", kMaxSubnodesPerCall + 10));
  std::vector<std::string> registered = names();
  ASSERT_EQ(registered.size(), kMaxSubnodesPerCall);
  EXPECT_EQ(registered.back(), "s" + std::to_string(kMaxSubnodesPerCall - 1)) << "the first names are taken";
  EXPECT_TRUE(trace.contains("*****Subnode registration from XX:myhost:YY names " +
                             std::to_string(kMaxSubnodesPerCall + 10) + " subnodes: only the first " +
                             std::to_string(kMaxSubnodesPerCall) + " taken"));

  // The rest of the list filled by hand, in one pass.
  PlovenAgentEntry** tail = &block_->agents;
  for (size_t count = 0; count < kMaxPlovenAgents; ++count) {
    if (*tail == nullptr) {
      *tail = zevs::NewPlovenAgentEntry();
      (*tail)->managedSystemName = zevs::CopyAgentText(("filled" + std::to_string(count)).c_str());
    }
    tail = &(*tail)->next;
  }
  ASSERT_EQ(names().size(), kMaxPlovenAgents);
  clock_.advance(30);
  registerAgent(nullptr, "late:XX", kDorvane, 131);
  registerSubnodes(nullptr, "XX:myhost:YY", 20, "late_subnode,s1");
  registerAgent(nullptr, "s0", kDorvane, 131);
  EXPECT_EQ(names().size(), kMaxPlovenAgents);
  EXPECT_EQ(find("late:XX"), nullptr);
  EXPECT_EQ(find("late_subnode"), nullptr);
  EXPECT_TRUE(trace.contains("*****Agent late:XX refused: " + std::to_string(kMaxPlovenAgents) +
                             " agents known already"));
  EXPECT_EQ(find("s0")->lastReplyTime, 1000030);
  EXPECT_EQ(find("s1")->lastReplyTime, 1000030);
}

TEST_F(AgentRegistrationTest, NothingIsRegisteredOnceShutDown) {
  block_->shutdown = 1;
  registerAgent(nullptr, "myhost:XX", kDorvane, 131);
  registerSubnodes(nullptr, "myhost:XX", 3, "a,b");
  block_->shutdown = 0;
  EXPECT_TRUE(names().empty());
}

// The network thread's ageing unlinks and frees silent entries while registrations
// refresh and re-create them: no registration may touch an entry after it is freed
// (AddressSanitizer and ThreadSanitizer watch), and the list comes out whole, each
// name once, each entry as one registration made it.
TEST_F(AgentRegistrationTest, RegistrationsRaceTheAgeingSafely) {
  const zevs::AgentList list = zevs::AgentScopeOf(block_).agents;
  std::atomic<int> dropped{0};
  auto age = [&] {
    // Probed long after the last reply: every entry of the host is silent and goes.
    zevs::StampAgents(list, "10.77.0.9", zevs::AgentClockNow() + 100000);
    zevs::RefreshAgentRows(list, [&](PlovenAgentEntry*, int deleteRow) { dropped += deleteRow; });
  };
  std::atomic<bool> done{false};
  std::atomic<int> passes{0};
  std::thread ageing([&] {
    while (!done.load()) {
      age();
      ++passes;
    }
  });
  while (passes.load() == 0) std::this_thread::yield();  // the race begins with the ageing running
  std::vector<std::thread> registrations;
  for (int t = 0; t < 3; ++t)
    registrations.emplace_back([this, t] {
      for (int i = 0; i < 200; ++i) {
        if (t == 0)
          registerAgent(nullptr, "XX:myhost:YY", i % 2 == 0 ? kDorvane : kDorvaneWithFeatures, 131);
        else
          registerSubnodes(nullptr, "XX:myhost:YY", 5, "a,b,c");
      }
    });
  for (std::thread& registration : registrations) registration.join();
  done = true;
  ageing.join();

  std::vector<std::string> listed = names();
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(std::adjacent_find(listed.begin(), listed.end()), listed.end()) << "a name listed twice";
  for (const std::string& name : listed)
    EXPECT_TRUE(name == "XX:myhost:YY" || name == "a" || name == "b" || name == "c") << name;
  for (PlovenAgentEntry* entry = block_->agents; entry != nullptr; entry = entry->next) {
    SCOPED_TRACE(entry->managedSystemName);
    ASSERT_NE(entry->affinity, nullptr);
    EXPECT_TRUE(entry->affinity == kDorvane || entry->affinity == kDorvaneWithFeatures) << entry->affinity;
    EXPECT_STREQ(entry->productName, ZEVS_LocateProductNameFromAffinity(kDorvane.c_str()));
    EXPECT_STREQ(entry->productVersion, "02.00.00");
  }

  // The list ages and registers as before: the host's agent goes, and comes back.
  registerAgent(nullptr, "XX:myhost:YY", kDorvaneWithFeatures, 131);
  const int droppedBefore = dropped.load();
  age();
  EXPECT_EQ(find("XX:myhost:YY"), nullptr);
  EXPECT_GE(dropped.load(), droppedBefore + 1);
  registerAgent(nullptr, "XX:myhost:YY", kDorvane, 131);
  PlovenAgentEntry* entry = find("XX:myhost:YY");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->affinity, kDorvane);
}

}  // namespace

// An operator's SNMP command, rewritten into the SNMP worker's own action.
#include <gtest/gtest.h>
#include <arpa/inet.h>

#include <cstring>
#include <string>

#include "action_entry.h"
#include "bare_anchor.h"
#include "dp_log_recorder.h"
#include "host_name_table.h"
#include "network_manage_entry.h"
#include "routine_overrides.h"
#include "snmp_take_action.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"

namespace {

char* Text(const char* text) {
  return text != nullptr ? ZEVP_CopyActionText(text, static_cast<uint32_t>(std::strlen(text))) : nullptr;
}

char* Backbone(const char* name) { return std::strcmp(name, "backbone") == 0 ? Text("10.20.0.0") : nullptr; }

class SNMPtakeActionTest : public ::testing::Test {
 protected:
  SNMPtakeActionTest() { overrides_.routines().locateNetworkBySymbolicName = Backbone; }
  ~SNMPtakeActionTest() override { ZEVP_ReleaseActionEntry(anchor_.get(), entry_); }

  // The operator's command to the source node, rewritten; its result.
  int rewrite(const char* parameters, const char* node = "host:APPGRP00", const char* name = "snmp",
              const char* owner = "SNMP Control") {
    if (entry_ != nullptr) ZEVP_ReleaseActionEntry(anchor_.get(), entry_);
    entry_ = ZEVP_AllocateActionEntry(anchor_.get());
    entry_->ActionSourceNode = Text(node);
    entry_->ActionOwner = Text(owner);
    entry_->ActionName = Text(name);
    entry_->ActionParm = Text(parameters);
    return ZEVP_CheckSNMPtakeAction(anchor_.get(), entry_);
  }
  std::string name() const { return entry_->ActionName != nullptr ? entry_->ActionName : "<null>"; }
  std::string parameters() const { return entry_->ActionParm != nullptr ? entry_->ActionParm : "<null>"; }
  std::string network() const {
    char text[INET_ADDRSTRLEN] = "<none>";
    if (entry_->NetworkManage != nullptr) inet_ntop(AF_INET, &entry_->NetworkManage->NetworkAddress, text, sizeof text);
    return text;
  }

  RoutineOverrides overrides_;
  DPlogRecorder log_;
  HostNameTable names_{{{"10.9.8.7", "router1"}}};
  BareAnchor anchor_;
  ActionEntry* entry_ = nullptr;
};

TEST_F(SNMPtakeActionTest, MonitorCommandsBecomeTheWorkersStartAndStopOfACollection) {
  struct Case {
    const char* parameters;
    const char* node;
    const char* name;
    const char* rewritten;
    DPlogMessage logged;
  };
  const Case cases[] = {
      {"monitor start ATTRGROUP=x AGENTINFO=(host1)", "host:APPGRP00", "SNMPSTARTGET",
       "          X AGENTINFO=(HOST1) APPLNAME=APPGRP", {110, {"HOST1"}, true}},
      {"MONITOR  STOP AGENTINFO=(h2)", "n:ABCGROUP00", "SNMPSTOPGET", "AGENTINFO=(h2) APPLNAME=ABC ATTRGROUP=GROUP",
       {111, {"h2"}, true}},
      {"monitor starting AGENTINFO=", "n:ABCGROUP00", "SNMPSTARTGET",
       "AGENTINFO= APPLNAME=ABC ATTRGROUP=GROUP", {110, {"AGENTINFO="}, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parameters);
    log_.clear();
    EXPECT_EQ(rewrite(c.parameters, c.node), 1);
    EXPECT_EQ(entry_->ActionStatus, ZEV_ACTION_SUCCESS);
    EXPECT_EQ(entry_->ActionType, ZEV_ACTION_SNMP);
    EXPECT_EQ(entry_->SnmpRequest, 1);
    EXPECT_EQ(name(), c.name);
    EXPECT_EQ(parameters(), c.rewritten);
    EXPECT_EQ(log_.messages(), std::vector<DPlogMessage>{c.logged});
  }
}

TEST_F(SNMPtakeActionTest, ASetNamesItsApplication) {
  EXPECT_EQ(rewrite("set ATTR=sysContact VALUE=me"), 1);
  EXPECT_EQ(name(), "SNMPSET");
  EXPECT_EQ(parameters(), "ATTR=sysContact VALUE=me APPLNAME=APPGRP");
}

TEST_F(SNMPtakeActionTest, AnIncompleteOrUnknownCommandKeepsItsNameWithTheStatusThatSaysWhy) {
  struct Case {
    const char* what;
    const char* parameters;
    const char* node;
    int32_t status;
    int32_t type;
  };
  const Case cases[] = {
      {"SET without more", "SET", "host:APPGRP00", ZEV_ACTION_REQPARM_MISSING, ZEV_ACTION_AUTOMATION},
      {"no parameters", nullptr, "host:APPGRP00", ZEV_ACTION_REQPARM_MISSING, ZEV_ACTION_AUTOMATION},
      {"an unknown command", "walk 1.3.6", "host:APPGRP00", ZEV_ACTION_REQPARM_MISSING, ZEV_ACTION_SNMP},
      {"an unknown monitor qualifier", "monitor pause x", "host:APPGRP00", ZEV_ACTION_UNRECOG_REQUEST, ZEV_ACTION_SNMP},
      {"regression: a source node without ':'", "set ATTR=x", "nocolon", ZEV_ACTION_REQPARM_MISSING, ZEV_ACTION_SNMP},
      {"regression: a key too short to cut", "set ATTR=x", "host:AB", ZEV_ACTION_REQPARM_MISSING, ZEV_ACTION_SNMP},
      {"regression: a key too short to split", "monitor start AGENTINFO=(h)", "host:ABC01",
       ZEV_ACTION_REQPARM_MISSING, ZEV_ACTION_SNMP},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(rewrite(c.parameters, c.node), 0);
    EXPECT_EQ(entry_->ActionStatus, c.status);
    EXPECT_EQ(entry_->ActionType, c.type);
    EXPECT_EQ(name(), "snmp");
    EXPECT_EQ(parameters(), c.parameters != nullptr ? c.parameters : "<null>");
  }
}

TEST_F(SNMPtakeActionTest, OnlyTheOperatorsSNMPcommandIsRewritten) {
  EXPECT_EQ(rewrite("monitor start x", "host:APPGRP00", "snmp", "SNMP control"), 1) << "the owner compares exactly";
  EXPECT_EQ(name(), "snmp");
  EXPECT_EQ(rewrite("-now", "host:APPGRP00", "restart", "SNMP Control"), 1);
  EXPECT_EQ(entry_->ActionStatus, ZEV_ACTION_SUCCESS);
  EXPECT_EQ(entry_->ActionType, ZEV_ACTION_AUTOMATION);
  EXPECT_EQ(rewrite("x", "host:APPGRP00", "", "SNMP Control"), 1) << "no name";
}

TEST_F(SNMPtakeActionTest, AManageCommandBuildsTheNetworkRequest) {
  struct Case {
    const char* parameters;
    std::string network;
    int32_t operation;
    int32_t interval;
  };
  const Case cases[] = {
      {"manage start NETADDR=10.1", "10.1.0.0", ZEVP_MANAGE_START, 300},
      {"manage stop NETADDR=10.1.2 POLL=30", "10.1.2.0", ZEVP_MANAGE_STOP, 60},
      {"manage stop NETADDR=10.1.2.3", "10.1.2.3", ZEVP_MANAGE_STOP, 0},
      {"manage start NETADDR = 10.1.2.3 POLL = 0", "10.1.2.3", ZEVP_MANAGE_START, 300},
      {"manage start NETADDR=10.1.2.3 POLL=600", "10.1.2.3", ZEVP_MANAGE_START, 600},
      {"manage exclude NETADDR=10.2 OPTION=No", "10.2.0.0", ZEVP_MANAGE_EXCLUDE, 0},
      {"manage exclude NETADDR=10.2", "10.2.0.0", ZEVP_MANAGE_EXCLUDE, 1},
      {"manage start NETADDR=router1", "10.9.8.7", ZEVP_MANAGE_START, 300},
      {"manage start NETADDR=backbone", "10.20.0.0", ZEVP_MANAGE_START, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parameters);
    EXPECT_EQ(rewrite(c.parameters), 1);
    EXPECT_EQ(name(), "SNMPMANAGE");
    EXPECT_EQ(entry_->ActionType, ZEV_ACTION_SNMP);
    ASSERT_NE(entry_->NetworkManage, nullptr);
    EXPECT_EQ(network(), c.network);
    EXPECT_EQ(entry_->NetworkManage->ManageAction, c.operation);
    EXPECT_EQ(entry_->NetworkManage->PollInterval, c.interval);
  }
}

TEST_F(SNMPtakeActionTest, AManageCommandThatCannotBeBuiltSaysWhy) {
  struct Case {
    const char* parameters;
    int32_t status;
  };
  const Case cases[] = {
      {"manage start POLL=30", ZEV_ACTION_REQPARM_MISSING},
      {"manage start NETADDR 10.1", ZEV_ACTION_SYNTAX_ERROR},
      {"manage start NETADDR=10.1 POLL 5", ZEV_ACTION_SYNTAX_ERROR},
      {"manage restart NETADDR=10.1", ZEV_ACTION_UNRECOG_REQUEST},
      {"manage start NETADDR=nowhere", ZEV_ACTION_INPUTPARM_ERROR},
      {"manage start NETADDR=999.1", ZEV_ACTION_INPUTPARM_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parameters);
    EXPECT_EQ(rewrite(c.parameters), 0);
    EXPECT_EQ(entry_->ActionStatus, c.status);
    EXPECT_EQ(name(), "snmp");
    EXPECT_EQ(entry_->NetworkManage, nullptr);
  }
  rewrite("manage start NETADDR=nowhere");
  EXPECT_STREQ(entry_->ActionResult, "Network resource address unresolved");
}

}  // namespace

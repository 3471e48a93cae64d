#include "agent_limits.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "prodspec_directory.h"
#include "run_in_child.h"
#include "trace_capture.h"
#include "zev0/prodspec.h"

// The limits are read once per process: each case runs in a fresh child.
namespace {

const char* const kAllVariables[] = {
    "ZEVA_MAX_EVENT_ENTRIES", "ZEVA_MAX_APPLICATIONS", "ZEVA_MAX_ATTRGROUPS_PER_APPL", "ZEVA_CLEANUP_TRIGGER",
    "ZEVA_GENERATE_ODI",      "ZEVA_GENERATE_SQL",     "ZEVA_WRITE_OPTLOG",            "ZEVA_STARTUP_DP",
    "ZEVA_ACTION_TABLE_NAME", "ZEVA_WAIT_UDL",         "ZEVA_VALUES_BUF_SIZE",         "WJD_MAXCOLS",
    "ZEVA_EMIT_DUP_REC",      "ZEVA_CLIENT_PROCESS",   "ZEVA_MAX_DEFERRED_REQUEST",    "ZEVA_ATOMIC_SITUATIONS",
    "ZEVA_DMC_COMMAND"};

void unsetAll() {
  for (const char* variable : kAllVariables) unsetenv(variable);
}

// The values every variable is tried with; null: unset.
const char* const kValues[] = {nullptr, "12", "abc", "yes", "ABCDEFGHIJKL", "-5", "99999999999999999999", ""};
constexpr int kValueCount = sizeof kValues / sizeof kValues[0];

struct IntegerLimit {
  const char* variable;
  int (*getter)();
  int expected[kValueCount];  // by kValues
};

// Plain limits are atoi's reading (0 without digits), held to int's range; limits that
// size storage take the default for anything below 1 or beyond int's range.
const IntegerLimit kIntegerLimits[] = {
    {"ZEVA_MAX_EVENT_ENTRIES", Max_Event_Entries, {100, 12, 0, 0, 0, -5, INT_MAX, 0}},
    {"ZEVA_MAX_APPLICATIONS", Max_Applications, {64, 12, 0, 0, 0, -5, INT_MAX, 0}},
    {"ZEVA_MAX_ATTRGROUPS_PER_APPL", Max_AttrGroup_Per_Appl, {64, 12, 64, 64, 64, 64, 64, 64}},
    {"ZEVA_WAIT_UDL", Max_Wait_UDL, {5, 12, 0, 0, 0, -5, INT_MAX, 0}},
    {"ZEVA_VALUES_BUF_SIZE", Max_Values_Buf_Size, {8192, 12, 8192, 8192, 8192, 8192, 8192, 8192}},
    {"ZEVA_MAX_DEFERRED_REQUEST", Max_Deferred_Request, {512, 12, 512, 512, 512, 512, 512, 512}},
    {"ZEVA_CLEANUP_TRIGGER", cleanUpTrigger, {10, 12, 0, 0, 0, -5, INT_MAX, 0}},
    {"WJD_MAXCOLS", Max_IB_Columns, {64, 12, 64, 64, 64, 64, 64, 64}},
    {"ZEVA_EMIT_DUP_REC", Emit_Dup_Rec, {1, 12, 0, 0, 0, -5, INT_MAX, 0}},
};

struct SwitchLimit {
  const char* variable;
  char (*getter)();
  char defaultValue;
};

// A switch is the value's first character; empty counts as unset.
const SwitchLimit kSwitches[] = {
    {"ZEVA_GENERATE_ODI", generateODI, 'Y'},
    {"ZEVA_GENERATE_SQL", generateSQL, 'N'},
    {"ZEVA_WRITE_OPTLOG", writeOptLog, 'Y'},
    {"ZEVA_DMC_COMMAND", dmcCommand, 'N'},
};

std::string shown(const char* value) { return value != nullptr ? std::string("\"") + value + "\"" : "(unset)"; }

// Sets the variable (or not) in a child with every other variable unset, fills the
// limits as start-up does, and checks that a later change of the variable is not seen.
template <typename Check>
void inChildWith(const char* variable, const char* value, Check check) {
  SCOPED_TRACE(std::string(variable) + "=" + shown(value));
  RunInChild([&] {
    unsetAll();
    if (value != nullptr) setenv(variable, value, 1);
    readAgentEnvironment();
    fillAgentLimits();
    check();
    setenv(variable, "77", 1);
    check();
  });
}

TEST(AgentLimitsTest, EveryIntegerLimitReadsItsVariableOnceAsAtoiWithoutOverflow) {
  for (const IntegerLimit& limit : kIntegerLimits)
    for (int i = 0; i < kValueCount; ++i)
      inChildWith(limit.variable, kValues[i], [&] { EXPECT_EQ(limit.getter(), limit.expected[i]); });
}

TEST(AgentLimitsTest, EverySwitchIsTheFirstCharacterOfItsVariable) {
  for (const SwitchLimit& limit : kSwitches)
    for (const char* value : kValues) {
      char expected = value != nullptr && value[0] != '\0' ? value[0] : limit.defaultValue;
      inChildWith(limit.variable, value, [&] { EXPECT_EQ(limit.getter(), expected); });
    }
}

TEST(AgentLimitsTest, TheActionTableNameIsAtMostTenCharactersOfItsVariable) {
  const char* expected[kValueCount] = {"DVA6034300", "12",         "abc",        "yes",
                                       "ABCDEFGHIJ", "-5",         "9999999999", "DVA6034300"};
  for (int i = 0; i < kValueCount; ++i)
    inChildWith("ZEVA_ACTION_TABLE_NAME", kValues[i], [&] { EXPECT_STREQ(ACTIONtableName(), expected[i]); });
}

TEST(AgentLimitsTest, StartUpTracesEveryValueInItsOrder) {
  RunInChild([] {
    unsetAll();
    TraceCapture capture("*=0x10");
    fillAgentLimits();
    std::string traced = capture.take();
    size_t at = 0;
    for (const char* line :
         {"MAX_EVENT_ENTRIES=100", "MAX_APPLICATIONS=64", "MAX_WAIT_UDL=5", "EMIT_DUP_REC=1", "MAX_ATTRS_PER_TABLE=64",
          "MAX_VALUES_BUF_SIZE=8192", "MAX_DEFERRED_REQUEST=512", "MAX_ATTRGROUP_PER_APPL=64", "DV_CLEANUP_TRIGGER=10",
          "GENERATE_ODI=Y", "GENERATE_SQL=N", "WRITE_OPTLOG=Y", "DMC_COMMAND=N", "ACTIONtableName <DVA6034300>"}) {
      size_t found = traced.find(line, at);
      EXPECT_NE(found, std::string::npos) << line << " missing or out of order in:\n" << traced;
      if (found != std::string::npos) at = found;
    }
  });
}

TEST(AgentLimitsTest, AStorageLimitBelowOneIsWarnedAboutAndTakesItsDefault) {
  RunInChild([] {
    unsetAll();
    setenv("ZEVA_MAX_DEFERRED_REQUEST", "0", 1);
    TraceCapture capture("*=0x80");
    EXPECT_EQ(Max_Deferred_Request(), 512);
    EXPECT_TRUE(capture.contains("Warning: ZEVA_MAX_DEFERRED_REQUEST <0> is not a positive number. Using 512."));
  });
}

TEST(AgentLimitsTest, AttributeGroupsDefaultTo256ForAPackagedProduct) {
  RunInChild([] {
    unsetAll();
    ProdSpecDirectory directory;
    directory.use();
    directory.write({"PRODUCT_CODE=AB", "NODE_TYPE=AB", "PRODUCT_NAME=Packaged", "AGENT_AFF_NAME=AFF_DORVANE",
                     "SUBNODE_AFF_NAME=AFF_DORVANE_DATA", "DP_TO_START=FILE", "DCH_PORT_NUMBER=2020",
                     "DP_PORT_OFFSET=5", "INITCNFG_FILE_NAME=ABCNFG", "ZEVATBLS_FILE_NAME=ABTBLS"});
    readAgentEnvironment();
    ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
    fillAgentLimits();
    EXPECT_EQ(Max_AttrGroup_Per_Appl(), 256);
  });
}

// A program without the agent's start-up (the DCH server's host) reads no product
// file: its first getter fills the limits without the logic-error trace.
TEST(AgentLimitsTest, AGetterBeforeStartUpFillsTheLimitsWithoutAProductSpecification) {
  RunInChild([] {
    unsetAll();
    setenv("WJD_MAXCOLS", "20", 1);
    TraceCapture capture("*=0x80");
    EXPECT_EQ(Max_IB_Columns(), 20);
    EXPECT_EQ(Max_AttrGroup_Per_Appl(), 64);
    EXPECT_EQ(capture.take(), "");
  });
}

TEST(AgentLimitsTest, StartUpVariablesAreKeptAsTheyWereRead) {
  RunInChild([] {
    unsetAll();
    setenv("ZEVA_STARTUP_DP", "file,sock", 1);
    setenv("ZEVA_ATOMIC_SITUATIONS", "SIT_A:3", 1);
    readAgentEnvironment();
    setenv("ZEVA_CLIENT_PROCESS", "/bin/later", 1);
    EXPECT_STREQ(startupDataProviders(), "file,sock");
    EXPECT_STREQ(atomicSituationsSetting(), "SIT_A:3");
    EXPECT_EQ(clientProcess(), nullptr);
  });
}

TEST(AgentLimitsTest, ActionNumbersStartAtOneAndFollowEachOther) {
  RunInChild([] {
    EXPECT_EQ(ActionID(), 1);
    EXPECT_EQ(ActionID(), 2);
    EXPECT_EQ(ActionID(), 3);
  });
}

}  // namespace

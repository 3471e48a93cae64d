// The console's words in process: verbs, the split of a command, the console
// messages, and what each verb answers by the type of the data provider.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accepted_registrations.h"
#include "bare_anchor.h"
#include "console_area.h"
#include "console_commands.h"
#include "console_messages.h"
#include "console_verbs.h"
#include "metafile_fixture.h"
#include "prodspec_directory.h"
#include "routine_overrides.h"
#include "run_in_child.h"
#include "stdout_capture.h"
#include "zev/dp_types.h"
#include "zevp/console.h"
#include "zev0/prodspec.h"

namespace {

TEST(ConsoleVerbTest, VerbsMatchWholeInAnyCaseAndAnythingElseIsUnknown) {
  const std::pair<const char*, int32_t> cases[] = {
      {"GETPORT", 0}, {"check", 1},     {"Delete", 2},   {"import", 3},   {"REFRESH", 4},   {"show", 5},
      {"list", 6},    {"ShutDown", 7},  {"ping", 8},     {"accept", 9},   {"trapcnfg", 10}, {"set", 11},
      {"loadcomm", 12}, {"LOADNAME", 13}, {"loadlist", 14}, {"validate", 15}, {"unpack", 16},
      {"SHOWX", 17},  {"SHO", 17},      {"", 17},        {"LIST\n", 17},
  };
  for (const auto& [word, index] : cases) {
    SCOPED_TRACE(word);
    std::string verb = word;
    EXPECT_EQ(ZEVP_ValidateConsoleCommand(verb.data()), index);
    if (index < 17) {
      EXPECT_STREQ(verb.c_str(), ConCommandString[index]) << "upper-cased in place";
    }
  }
  // Served here: every verb up to LOADLIST but SET.
  for (int32_t index = 0; index <= 17; ++index)
    EXPECT_EQ(zevp::ServedConsoleVerb(index), index <= 14 && index != 11) << index;
}

TEST(ConsoleVerbTest, TheVerbAndTheArgumentAreTheFirstTwoWords) {
  const struct {
    const char* text;
    const char* verb;
    const char* argument;
  } cases[] = {
      {"", "", ""},
      {"     ", "", ""},
      {"list", "list", ""},
      {"SHOW app", "SHOW", "app"},
      {"   import    m1.mdl   and more", "import", "m1.mdl"},
      {"DELETE ", "DELETE", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    zevp::ConsoleCommandText split = zevp::SplitConsoleCommand(c.text);
    EXPECT_EQ(split.verb, c.verb);
    EXPECT_EQ(split.argument, c.argument);
  }
}

TEST(ConsoleMessageTextTest, TheInsertGoesInFrontOfADollarTextOrOverItsHash) {
  const std::string longInsert(400, 'x');
  const struct {
    int index;
    const char* insert;
    std::string shown;
  } cases[] = {
      {6, nullptr, "Input console command invalid."},
      {21, nullptr, "$already defined. Use REFRESH command to reload data definition."},
      {21, "m1", "m1 already defined. Use REFRESH command to reload data definition."},
      {28, "APP", "APP not defined."},
      {20, "m1.mdl", "Import successfully completed for m1.mdl"},
      // Written over the '#' and what follows, as far as the insert reaches.
      {5, "h", "Proxy/Gateway DataProvider not active on h."},
      {5, "host", "Proxy/Gateway DataProvider not active on host"},
      // The text's own '$' and '#' are the marks, never those of the insert.
      {21, "a$b#", "a$b# already defined. Use REFRESH command to reload data definition."},
      {0, "ignored", " "},
      {10, longInsert.c_str(), "Console command return code " + std::string(255 - 28, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    StdoutCapture output;
    ZEVP_ShowConsoleMessage(c.index, c.insert);
    EXPECT_EQ(output.takeLines(), std::vector<std::string>{c.shown});
  }
  StdoutCapture output;
  ZEVP_ShowConsoleMessage(66, "x");
  ZEVP_ShowConsoleMessage(-1, nullptr);
  EXPECT_TRUE(output.takeLines().empty()) << "no message outside the table";
}

// The verbs that answer by the data provider's type, carried out on a bare anchor.
class ConsoleVerbByTypeTest : public ::testing::Test {
 protected:
  zevp::ConsoleOutcome run(int32_t type, int32_t verb, const std::string& argument = "", int32_t receivingType = -1) {
    anchor_->dpType = type;
    anchor_->startTime = 1234567;
    zevp::ConsoleContext context{anchor_.get(), TypeRoutine, receivingType < 0 ? type : receivingType,
                                 static_cast<uint16_t>(7700 + type)};
    return zevp::RunConsoleCommand(context, verb, argument);
  }

  static void TypeRoutine(ProcessEntry* entry) {
    EXPECT_EQ(entry, nullptr);
    ++typeRoutineCalls;
  }
  static int LoadFile() { return loads++ % 2; }  // loads every second time
  static void ApplyFile(DPAB*) { ++applied; }
  static int LoadList(DPAB*, const char* file) { return std::string(file) == "nodes.lst"; }

  void SetUp() override {
    typeRoutineCalls = loads = applied = 0;
    zevp::EngineRoutines& routines = overrides_.routines();
    routines.loadSNMPcommunityName = LoadFile;
    routines.loadSNMPNetworkName = LoadFile;
    routines.updateMonitorNodeCommunity = ApplyFile;
    routines.updateMonitorNetworkSymbolicName = ApplyFile;
    routines.loadSNMPManagedNodeList = LoadList;
  }

  static int typeRoutineCalls, loads, applied;
  RoutineOverrides overrides_;
  BareAnchor anchor_;
};

int ConsoleVerbByTypeTest::typeRoutineCalls = 0;
int ConsoleVerbByTypeTest::loads = 0;
int ConsoleVerbByTypeTest::applied = 0;

TEST_F(ConsoleVerbByTypeTest, GetPortAndPingAnswerByType) {
  const struct {
    int32_t type;
    int32_t verb;
    int32_t receivingType;
    int32_t status;
    const char* text;
  } cases[] = {
      {ZEV_DP_FILE, ZEVP_VERB_GETPORT, -1, 0, "1 7701"},
      {ZEV_DP_ASFS, ZEVP_VERB_GETPORT, -1, 0, "3 7703"},
      {ZEV_DP_ASFS, ZEVP_VERB_GETPORT, ZEV_DP_APIS, ZEVP_CONSOLE_NO_REPLY, ""},  // asked on the API port
      {ZEV_DP_APIS, ZEVP_VERB_GETPORT, ZEV_DP_APIS, 0, "0 7700"},
      {ZEV_DP_APIS, ZEVP_VERB_PING, -1, 0, "1234567"},
      {ZEV_DP_ASFS, ZEVP_VERB_PING, ZEV_DP_APIS, 0, "1234567"},
      {ZEV_DP_FILE, ZEVP_VERB_PING, -1, ZEVP_CONSOLE_NOT_SERVED, ""},
      {ZEV_DP_HTTP, ZEVP_VERB_PING, -1, ZEVP_CONSOLE_NOT_SERVED, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(ConCommandString[c.verb]) + " type " + std::to_string(c.type));
    zevp::ConsoleOutcome outcome = run(c.type, c.verb, "", c.receivingType);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.text, c.text);
  }
}

TEST_F(ConsoleVerbByTypeTest, TheSNMPVerbsLoadOnlyInTheSNMPDataProvider) {
  const struct {
    int32_t type;
    int32_t verb;
    const char* argument;
    int32_t status;
    int typeRoutineCalls, loads, applied;
  } cases[] = {
      {ZEV_DP_SNMP, ZEVP_VERB_TRAPCNFG, "", 0, 1, 0, 0},
      {ZEV_DP_FILE, ZEVP_VERB_TRAPCNFG, "", ZEVP_CONSOLE_NOT_SERVED, 0, 0, 0},
      {ZEV_DP_SNMP, ZEVP_VERB_LOADCOMM, "", 0, 0, 1, 0},  // not loaded: nothing applied
      {ZEV_DP_SNMP, ZEVP_VERB_LOADNAME, "", 0, 0, 2, 1},  // loaded and applied
      {ZEV_DP_ASFS, ZEVP_VERB_LOADCOMM, "", ZEVP_CONSOLE_NOT_SERVED, 0, 2, 1},
      {ZEV_DP_POST, ZEVP_VERB_LOADNAME, "", ZEVP_CONSOLE_NOT_SERVED, 0, 2, 1},
      {ZEV_DP_SNMP, ZEVP_VERB_LOADLIST, "nodes.lst", 0, 0, 2, 1},
      {ZEV_DP_SNMP, ZEVP_VERB_LOADLIST, "other.lst", ZEVP_CONSOLE_LIST_FAILED, 0, 2, 1},
      {ZEV_DP_SNMP, ZEVP_VERB_LOADLIST, "", ZEVP_CONSOLE_LIST_FAILED, 0, 2, 1},
      {ZEV_DP_FILE, ZEVP_VERB_LOADLIST, "nodes.lst", ZEVP_CONSOLE_NOT_SERVED, 0, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(ConCommandString[c.verb]) + " type " + std::to_string(c.type) + " " + c.argument);
    EXPECT_EQ(run(c.type, c.verb, c.argument).status, c.status);
    EXPECT_EQ(typeRoutineCalls, c.typeRoutineCalls);
    EXPECT_EQ(loads, c.loads);
    EXPECT_EQ(applied, c.applied);
    typeRoutineCalls = 0;
  }
}

// CHECK needs the product's ENABLE_METAFILE_COMMANDS, with any value: the default
// product selects it, a packaged one must name it.
TEST_F(ConsoleVerbByTypeTest, CheckAnswersOnlyWhenTheProductHasMetafileCommands) {
  const std::vector<std::string> packaged = {
      "PRODUCT_CODE=AB",           "NODE_TYPE=AB",          "PRODUCT_NAME=Packaged", "AGENT_AFF_NAME=AFF_DORVANE",
      "SUBNODE_AFF_NAME=AFF_DORVANE_DATA", "DP_TO_START=FILE", "DCH_PORT_NUMBER=2020", "DP_PORT_OFFSET=5",
      "INITCNFG_FILE_NAME=ABCNFG", "ZEVATBLS_FILE_NAME=ABTBLS"};
  std::vector<std::string> packagedWith = packaged;
  packagedWith.push_back("ENABLE_METAFILE_COMMANDS=N");
  const std::pair<std::vector<std::string>, int32_t> products[] = {
      {{"PRODUCT_CODE=EV"}, ZEVP_CONSOLE_NOT_DEFINED},
      {{"PRODUCT_CODE=EV", "ENABLE_METAFILE_COMMANDS=N"}, ZEVP_CONSOLE_NOT_DEFINED},
      {packaged, ZEVP_CONSOLE_NOT_ENABLED},
      {packagedWith, ZEVP_CONSOLE_NOT_DEFINED},
  };
  for (const auto& [product, status] : products) {
    SCOPED_TRACE(product.back());
    RunInChild([&] {
      ProdSpecDirectory directory;
      directory.use();
      directory.write(product);
      ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
      EXPECT_EQ(run(ZEV_DP_FILE, ZEVP_VERB_CHECK, "nothere.mdl").status, status);
    });
  }
}

// REFRESH rebuilds an application from its metafile; in the SNMP data provider an
// SNMP application's MIB collections start anew.
TEST(ConsoleRefreshTest, RefreshOfAnSNMPApplicationRestartsItsMIBCollections) {
  static std::vector<std::string> restarted;
  restarted.clear();
  MetafileFixture models;
  AcceptedRegistrations registrations;
  RoutineOverrides overrides;
  overrides.routines().doAutoStartMIBmonitorTasks = [](DPAB*, const char* application) {
    restarted.push_back(application);
  };
  DPAB* anchor = models.anchor();
  anchor->dpType = ZEV_DP_SNMP;
  models.write("mib.mdl", {"//SNMP TEXT", "//APPL Mib Ent 1.3.6.1.4.1.99", "//NAME System P 60", "//ATTRIBUTES",
                           "Agent_Info D 64 1.3.6.1.4.1.99.1.1.0", "Agent_Name D 64 1.3.6.1.4.1.99.1.2"});
  ASSERT_NE(models.parse("mib.mdl", 0).application, nullptr);
  zevp::ConsoleContext context{anchor, nullptr, ZEV_DP_SNMP, 7705};
  EXPECT_EQ(zevp::RunConsoleCommand(context, ZEVP_VERB_REFRESH, "mib.mdl").status, ZEVP_CONSOLE_DONE);
  EXPECT_EQ(restarted, std::vector<std::string>{"Mib"});
  EXPECT_NE(zevp::LookUpConsoleApplication(anchor, "mib.mdl"), nullptr) << "loaded again";
  EXPECT_EQ(zevp::RunConsoleCommand(context, ZEVP_VERB_REFRESH, "none.mdl").status, ZEVP_CONSOLE_NOT_DEFINED);
  EXPECT_EQ(restarted.size(), 1u);
}

}  // namespace

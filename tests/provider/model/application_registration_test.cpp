// Loading a metafile outside a validation run registers its application with the
// agent's real DCH server; an application the agent knows already, and one that
// it refuses, take their own ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "application_entry.h"
#include "dch/dch_api.h"
#include "dp_anchor.h"
#include "dp_log_recorder.h"
#include "provider_road_fixture.h"
#include "source_entry.h"
#include "table_entry.h"

namespace {

const std::vector<std::string> kReg = {"//APPL Reg @the application", "//NAME Keys K 120 @the group",
                                       "//SOURCE SOCK 127.0.0.1", "//SOURCE SOCK 127.0.0.2", "//ATTRIBUTES ';'",
                                       "Host D 8 KEY @the host", "Load % 4", "Cnt C 100000 SEQ=1",
                                       "//NAME Logs E", "//ATTRIBUTES ';'", "Text D 12"};
const char kKnown[] = "ZEVPV10E Application registration with agent failed. Application already known to agent.";

std::vector<int32_t> StatesOf(const ApplicationEntry* application) {
  std::vector<int32_t> states;
  for (const TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    for (const SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
      states.push_back(source->State);
  return states;
}

bool HelpReleased(const ApplicationEntry* application) {
  for (const TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    if (table->HelpBuffer != nullptr) return false;
  return application->ApplHelp == nullptr;
}

using ApplicationRegistration = ProviderRoadTest;

TEST_F(ApplicationRegistration, ALoadedApplicationIsWhatTheAgentReports) {
  DPlogRecorder log;
  models().write("reg.mdl", kReg);
  MetafileFixture::Parse load = models().parse("reg.mdl", 0);
  ASSERT_NE(load.application, nullptr);
  EXPECT_TRUE(load.output.empty());
  EXPECT_EQ(StatesOf(load.application), std::vector<int32_t>(3, ZEVP_Ready));
  EXPECT_TRUE(HelpReleased(load.application));
  EXPECT_EQ(log.messages(), (std::vector<DPlogMessage>{{4, {"REG.MDL", "Reg"}, true}}));

  EXPECT_EQ(Text(dc_getApplications, "REG"), "REG,KEYS,K,120:LOGS,E,0:;");
  EXPECT_EQ(Text(dc_getApplAttributes, "REG"), "KEYS,Cnt,C,4:@Host,D,8:Load,G,4:;LOGS,Text,D,12:;");
  EXPECT_EQ(Text(dc_getApplHelp, "REG"),
            "the application,KEYS,the group,Cnt,No attribute Help Defined, ,Host,the host, ,Load,No attribute Help "
            "Defined, :LOGS,No attribute group Help Defined,Text,No attribute Help Defined, :;");
}

// Known to the agent: at start-up the application is dropped (DP log 57); later
// it is kept with every source Ready and its help texts freed.
TEST_F(ApplicationRegistration, AnApplicationTheAgentKnowsAlready) {
  models().write("reg.mdl", kReg);
  MetafileFixture::Parse first = models().parse("reg.mdl", 0);
  ASSERT_NE(first.application, nullptr);
  models().release(first.application);  // the agent keeps its registration

  DPlogRecorder log;
  MetafileFixture::Parse atStartup = models().parse("reg.mdl", 0, 1, 1);
  EXPECT_EQ(atStartup.application, nullptr);
  EXPECT_EQ(atStartup.output, std::vector<std::string>{kKnown});
  EXPECT_EQ(log.messages(), (std::vector<DPlogMessage>{{57, {"REG.MDL", "Reg"}, true}}));

  log.clear();
  MetafileFixture::Parse later = models().parse("reg.mdl", 0);
  ASSERT_NE(later.application, nullptr);
  EXPECT_EQ(later.output, std::vector<std::string>{kKnown});
  EXPECT_EQ(StatesOf(later.application), std::vector<int32_t>(3, ZEVP_Ready));
  EXPECT_TRUE(HelpReleased(later.application));
  EXPECT_EQ(log.messages(), (std::vector<DPlogMessage>{{4, {"REG.MDL", "Reg"}, true}}));
}

// The agent refuses a group named twice: the application is released and,
// outside the start-up, the failure logged.
TEST_F(ApplicationRegistration, ARefusedApplicationIsReleased) {
  DPlogRecorder log;
  for (int startup : {0, 1}) {
    SCOPED_TRACE(startup);
    // A name of its own each time: the agent keeps what it took of a refused registration.
    std::string name = "dup" + std::to_string(startup);
    models().write(name + ".mdl", {"//APPL " + name, "//NAME Grp E", "//ATTRIBUTES", "A1 G", "//NAME GRP E",
                                   "//ATTRIBUTES", "A2 G"});
    log.clear();
    MetafileFixture::Parse load = models().parse(name + ".mdl", 0, 1, startup);
    EXPECT_EQ(load.application, nullptr);
    EXPECT_EQ(load.output, std::vector<std::string>{
                               "ZEVPV08E Processing Error: Application registration with agent failed for " + name +
                               ".mdl"});
    EXPECT_EQ(anchor()->applications, nullptr);
    std::vector<DPlogMessage> logged;
    if (!startup) logged.push_back({5, {name + ".mdl"}, true});
    EXPECT_EQ(log.messages(), logged);
  }
}

}  // namespace

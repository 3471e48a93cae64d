// The data provider's own application DVAgent, registered with the agent's real
// DCH server: its groups and attributes as the agent reports them, the fixed
// values of the DP log source, an application the agent knows already, and one
// that it refuses.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "application_entry.h"
#include "attribute_entry.h"
#include "builtin_applications.h"
#include "dch/dch_api.h"
#include "dp_anchor.h"
#include "provider_road_fixture.h"
#include "source_entry.h"
#include "stdout_capture.h"
#include "table_entry.h"
#include "zev/dp_types.h"

namespace {

std::string ValueOf(const AttributeEntry* attribute) {
  return std::string(attribute->Value(), attribute->ActualValSize);
}

const AttributeEntry* Named(const SourceEntry* source, const std::string& name) {
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next)
    if (name == attribute->AttrName) return attribute;
  return nullptr;
}

using BuiltInApplication = ProviderRoadTest;

TEST_F(BuiltInApplication, DVAgentIsRegisteredWithItsGroupsAndAttributesInOrder) {
  unsetenv("ZEVP_ACTIONLOG_TTL");
  anchor()->dpType = ZEV_DP_FILE;
  StatusWaiter status;
  ASSERT_TRUE(status.parked());
  syncWithServer();
  ASSERT_EQ(ZEVP_DefineDPlogReport(anchor()), 1);

  EXPECT_EQ(Text(dc_getApplications, "DVAGENT"), "DVAGENT,DPLOG,E,0:ACTION,K,1800:;");
  EXPECT_EQ(Text(dc_getApplAttributes, "DVAGENT"),
            "DPLOG,DP_Time,D,24:DP_Name,D,32:DP_Type,D,4:DP_Log_Category,D,8:DP_Log_Text,D,256:DP_Version,D,8:;"
            "ACTION,Action_Type,D,16:Action_Owner,D,64:Action_Node,D,32:Action_Name,D,256:Action_Parms,D,1024:"
            "Action_Status,D,64:Action_Result,D,256:@Action_ID,C,4:;");
  EXPECT_EQ(status.next(kAnswerWaitMs), "DVAGENT,DPLOG,localhostFILEdp,4117") << "the DP log source is online";

  SourceEntry* log = anchor()->logSource;
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->State, ZEVP_Active);
  EXPECT_STREQ(log->pSourceNodeName, "localhostFILEdp");
  EXPECT_EQ(ValueOf(Named(log, "DP_Name")), "localhostFILEdp");
  EXPECT_EQ(ValueOf(Named(log, "DP_Type")), "FILE");
  EXPECT_EQ(ValueOf(Named(log, "DP_Version")), "ZEV350");
  EXPECT_EQ(anchor()->logTimeAttribute, Named(log, "DP_Time"));
  EXPECT_EQ(anchor()->logCategoryAttribute, Named(log, "DP_Log_Category"));
  EXPECT_EQ(anchor()->logTextAttribute, Named(log, "DP_Log_Text"));
  EXPECT_EQ(anchor()->logTimeAttribute->ActualValSize, 24);
  EXPECT_EQ(anchor()->logCategoryAttribute->ActualValSize, 8);
  EXPECT_EQ(log->OwningTask, anchor()->logReportEntry);
  const ApplicationEntry* dvagent = log->Table->Application;
  EXPECT_STREQ(dvagent->MetafileName, "ZEV");
  EXPECT_EQ(dvagent->NumberOfGroups, 2);
  for (const TableEntry* table = dvagent->FirstTable; table != nullptr; table = table->next)
    EXPECT_EQ(table->FirstSource->BuiltIn, 1) << table->TableName;
}

// A second data provider finds DVAgent known to the agent: its log source is put
// online all the same; the action group takes its time to live from the setting.
TEST_F(BuiltInApplication, AKnownDVAgentIsPutOnlineAsItIs) {
  ASSERT_EQ(ZEVP_DefineDPlogReport(anchor()), 1);
  MetafileFixture second;
  DCHclientPlayer client(second.anchor(), PerformRequestAsTheRoutine);
  setenv("ZEVP_ACTIONLOG_TTL", "600", 1);
  second.anchor()->dpType = ZEV_DP_SOCK;
  ASSERT_EQ(ZEVP_DefineDPlogReport(second.anchor()), 1);
  unsetenv("ZEVP_ACTIONLOG_TTL");
  SourceEntry* log = second.anchor()->logSource;
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->State, ZEVP_Active);
  EXPECT_STREQ(log->pSourceNodeName, "localhostSOCKdp");
  const ApplicationEntry* dvagent = log->Table->Application;
  EXPECT_EQ(dvagent->FirstTable->HelpBuffer, nullptr) << "the help texts are freed";
  EXPECT_EQ(dvagent->FirstTable->next->TTL, 600);
}

class RefusingAgent : public ProviderRoadTest {
  std::vector<std::string> hostSettings() const override { return {"ZEVA_MAX_ATTRGROUPS_PER_APPL=1"}; }
};

TEST_F(RefusingAgent, ARefusedDVAgentLeavesNoLogApplication) {
  StdoutCapture output;
  EXPECT_EQ(ZEVP_DefineDPlogReport(anchor()), 0);
  EXPECT_EQ(output.takeLines(), std::vector<std::string>{"ZEVPV86E DPLOG registration failed. Report Unavailable."});
  EXPECT_EQ(anchor()->logSource, nullptr);
  EXPECT_EQ(anchor()->applications, nullptr);
  EXPECT_EQ(anchor()->logTimeAttribute, nullptr);
  EXPECT_EQ(anchor()->logReportEntry, nullptr);
}

}  // namespace

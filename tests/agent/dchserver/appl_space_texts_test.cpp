#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "appl_space_list.h"
#include "store_fixture.h"
#include "trace_capture.h"

namespace {

TEST(ApplSpaceTextsTest, ApplicationInfoByNameAndJoinedInCreationOrder) {
  applSpaceList store;
  EXPECT_EQ(store.getApplInfo(nullptr), nullptr);  // empty store
  registerGroup(store, "APPL", "G1");
  registerGroup(store, "BBB", "G1");
  ASSERT_EQ(store.setApplInfo("APPL", "APPL,G1,P,60:;", "G1,NAME,D,8:;", "help A;"), 0);
  EXPECT_EQ(store.getApplInfo(nullptr), nullptr);  // BBB has no info yet
  EXPECT_EQ(store.getApplInfo("BBB"), nullptr);
  ASSERT_EQ(store.setApplInfo("BBB", "BBB,G1,S,30:;", "G1,CNT,C,4:;", "help B;"), 0);
  EXPECT_STREQ(store.getApplInfo(nullptr), "APPL,G1,P,60:;BBB,G1,S,30:;");
  EXPECT_STREQ(store.getApplInfo("BBB"), "BBB,G1,S,30:;");
  EXPECT_EQ(store.getApplInfo("CCC"), nullptr);
  EXPECT_STREQ(store.getAttrInfo("APPL"), "G1,NAME,D,8:;");
  EXPECT_STREQ(store.getApplHelp("BBB"), "help B;");
  // A later setApplInfo replaces the texts.
  ASSERT_EQ(store.setApplInfo("APPL", "APPL,G1,E,5:;", "x", "y"), 0);
  EXPECT_STREQ(store.getApplInfo("APPL"), "APPL,G1,E,5:;");
}

TEST(ApplSpaceTextsTest, JoinedInfoOfManyApplicationsIsNotCut) {
  applSpaceList store;
  std::string expected;
  for (int i = 0; i < 100; ++i) {
    std::string name = "A" + std::to_string(1000 + i);
    std::string info = name + "," + std::string(87, 'g') + ",P,60:;";  // 100 characters
    registerGroup(store, name.c_str(), "G1");
    ASSERT_EQ(store.setApplInfo(name.c_str(), info.c_str(), "a", "h"), 0);
    expected += info;
  }
  const char* joined = store.getApplInfo(nullptr);
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(std::strlen(joined), 10000u);
  EXPECT_EQ(joined, expected);
}

TEST(ApplSpaceTextsTest, MissingApplicationsAndTextsAreTraced) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  registerGroup(store, "APPL", "G1");
  EXPECT_EQ(store.setApplInfo("NONE", "i", "a", "h"), -1);
  EXPECT_TRUE(capture.contains("Error: No applSpaceEntry for applName<NONE>."));
  EXPECT_EQ(store.setApplInfo("APPL", "i", nullptr, "h"), -1);
  EXPECT_EQ(store.getAttrInfo("NONE"), nullptr);
  EXPECT_TRUE(capture.contains("Error:  applSpaceEntry<NONE> not found"));
  EXPECT_EQ(store.getApplHelp("APPL"), nullptr);
  EXPECT_TRUE(capture.contains("Error:  getApplHelp<APPL> was NULL"));

  applSpaceList fresh;
  registerGroup(fresh, "APPL", "G1");
  EXPECT_EQ(fresh.getAttrInfo("APPL"), nullptr);
  EXPECT_TRUE(capture.contains("Error:  getAttrInfo<APPL> was NULL"));
}

TEST(ApplSpaceTextsTest, AttributeHelpHasOnePiecePerAttributeTheLastEndingInAColon) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  ASSERT_EQ(store.allocApplicationSpace("APPL", "G1", 'P', 60, "N1,D,4,e1,h1;N2,C,4, , ;", 0, 5), 0);
  ASSERT_EQ(store.allocApplicationSpace("APPL", "G2", 'P', 60, "ONLY,S,2,on|off,switch;", 0, 5), 0);
  char* text = nullptr;
  ASSERT_EQ(store.getAttributeHelp("APPL", "G1", &text), 0);
  EXPECT_STREQ(text, "N1,h1,e1,N2,No attribute Help Defined, :");
  ZEV0_FreeStorage(&text);
  ASSERT_EQ(store.getAttributeHelp("APPL", "G2", &text), 0);
  EXPECT_STREQ(text, "ONLY,switch,on|off:");
  ZEV0_FreeStorage(&text);

  EXPECT_EQ(store.getAttributeHelp("APPL", "G3", &text), 1);
  EXPECT_TRUE(capture.contains("Error: could not find attrInfoList<G3>"));
  EXPECT_TRUE(capture.contains("Error:  getAttributeHelp<APPL> failed"));
  EXPECT_EQ(store.getAttributeHelp("NONE", "G1", &text), 1);
  EXPECT_EQ(text, nullptr);
}

TEST(ApplSpaceTextsTest, OverlongHelpPieceFailsTheTextButNotTheLookUp) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  std::string text = "N1,D,4," + std::string(4100, 'e') + ",h;";
  ASSERT_EQ(store.allocApplicationSpace("APPL", "G1", 'P', 60, text.c_str(), 0, 5), 0);
  char* help = nullptr;
  EXPECT_EQ(store.getAttributeHelp("APPL", "G1", &help), 0);
  EXPECT_EQ(help, nullptr);
  EXPECT_TRUE(capture.contains("Error: 4096 limit exceeded"));
}

}  // namespace

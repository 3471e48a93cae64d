#include "appl_space_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "manual_clock.h"
#include "store_fixture.h"
#include "trace_capture.h"

namespace {

std::vector<std::string> applicationOrder(const applSpaceList& store) {
  std::vector<std::string> names;
  applSpaceIterator walk(store.applications());
  while (const applSpaceEntry* application = walk.Next()) names.emplace_back(application->applName());
  return names;
}

const char* placeholderOf(const applSpaceList& store, const char* applName, const char* attrGroup) {
  const attrInfoList* list = store.searchAttrInfoList(applName, attrGroup, applName);
  return list != nullptr ? list->sourceName() : "(none)";
}

TEST(ApplSpaceListTest, RegisteredGroupsGetNumberedPlaceholders) {
  applSpaceList store;
  EXPECT_EQ(registerGroup(store, "APPL", "G1", 1), 0);
  EXPECT_EQ(registerGroup(store, "APPL", "G2"), 0);
  EXPECT_EQ(registerGroup(store, "BBB", "G1", 1), 0);
  EXPECT_STREQ(placeholderOf(store, "APPL", "G1"), "APPL_0");
  EXPECT_STREQ(placeholderOf(store, "APPL", "G2"), "APPL_1");
  EXPECT_STREQ(placeholderOf(store, "BBB", "G1"), "BBB_2");
  EXPECT_EQ(store.noOfElements(), 2);
  EXPECT_EQ(store.searchApplSpace("APPL")->noOfElements(), 2);
  const attrInfoList* list = store.searchAttrInfoList("APPL", "G1", "APPL");
  EXPECT_EQ(list->status(), '?');
  EXPECT_EQ(list->connectedDP(), 5u);
  EXPECT_EQ(list->TTL(), 60);
  EXPECT_EQ(list->noOfElements(), 2);
}

TEST(ApplSpaceListTest, FirstHandlesOfARunAreTheBasePlusOneAndTwo) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // handles count from the process's start
  EXPECT_EXIT(
      {
        ManualClock clock(0x5F5E0007);
        applSpaceList store;
        registerGroup(store, "APPL", "G1");
        registerGroup(store, "APPL", "G2");
        bool ok = store.getHandle("APPL", "G1", "APPL_0") == 0x00070001u &&
                  store.getHandle("APPL", "G2", "APPL_1") == 0x00070002u &&
                  store.searchApplSpace("APPL")->firstHandle() == 0x00070001u;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ApplSpaceListTest, RegisteringAnExistingApplicationWithTheInitFlagAnswers1AndAddsAList) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  ASSERT_EQ(registerGroup(store, "APPL", "G1", 1), 0);
  uint32_t first = store.getHandle("APPL", "G1", "APPL_0");
  EXPECT_EQ(registerGroup(store, "APPL", "G1", 1), 1);
  EXPECT_TRUE(capture.contains("Warning: applSpaceEntry[APPL] already exists."));
  uint32_t second = store.getHandle("APPL", "G1", "APPL_1");
  EXPECT_NE(second, DCH_NO_HANDLE);
  EXPECT_NE(second, first);
  EXPECT_EQ(store.searchApplSpace("APPL")->noOfElements(), 2);
  EXPECT_EQ(registerGroup(store, "APPL", "G2", 0), 0);

  capture.take();
  ASSERT_EQ(registerGroup(store, "DVAGENT", "ACTION", 1), 0);
  EXPECT_EQ(registerGroup(store, "DVAGENT", "ACTION", 1), 1);
  EXPECT_FALSE(capture.contains("already exists"));
}

TEST(ApplSpaceListTest, RefusedRegisterTextUsesUpItsHandle) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  // A new application stays, without the group.
  EXPECT_EQ(store.allocApplicationSpace("NEWAPP", "G1", 'X', 60, kTwoAttributes, 1, 5), 0);
  EXPECT_TRUE(capture.contains("Error: Errors occurred in attrInfoList."));
  EXPECT_TRUE(capture.contains("Error: allocateAttrInfoList failed."));
  ASSERT_NE(store.searchApplSpace("NEWAPP"), nullptr);
  EXPECT_EQ(store.searchApplSpace("NEWAPP")->noOfElements(), 0);
  // An existing application answers -1.
  ASSERT_EQ(registerGroup(store, "APPL", "G1"), 0);
  uint32_t before = store.getHandle("APPL", "G1", "APPL_1");
  EXPECT_EQ(store.allocApplicationSpace("APPL", "G2", 'P', 60, "A,C;", 0, 5), -1);
  EXPECT_EQ(registerGroup(store, "APPL", "G3"), 0);
  EXPECT_EQ(store.getHandle("APPL", "G3", "APPL_3"), before + 2);
  EXPECT_EQ(store.searchApplSpace("APPL")->noOfElements(), 2);
}

TEST(ApplSpaceListTest, PlaceholderTakenByASourceRefusesTheRegistration) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  ASSERT_EQ(registerGroup(store, "APPL", "G1"), 0);
  bringOnline(store, "APPL", "G1", "APPL_1");
  EXPECT_EQ(registerGroup(store, "APPL", "G1"), -1);
  EXPECT_TRUE(capture.contains("Error: attrInfoList[APPL/G1] already exists."));
}

TEST(ApplSpaceListTest, ThreeNameSearchFindsPlaceholdersByPrefix) {
  applSpaceList store;
  ASSERT_EQ(registerGroup(store, "APPL", "G1"), 0);
  uint32_t host1 = bringOnline(store, "APPL", "G1", "host1");
  uint32_t server = bringOnline(store, "APPL", "G1", "APPLserver");
  EXPECT_STREQ(store.searchAttrInfoList("APPL", "G1", "APPL")->sourceName(), "APPL_0");
  EXPECT_EQ(store.searchAttrInfoList("APPL", "G1", "host1")->handle(), host1);
  EXPECT_EQ(store.searchAttrInfoList("APPL", "G1", "host"), nullptr);
  EXPECT_EQ(store.searchAttrInfoList("APPL", "G2", "host1"), nullptr);
  EXPECT_EQ(store.searchAttrInfoList("appl", "G1", "host1"), nullptr);

  applSpaceEntry* application = store.searchApplSpace("APPL");
  application->freeAttrInfoList(store.searchAttrInfoList("APPL", "G1", "APPL"));
  EXPECT_EQ(store.searchAttrInfoList("APPL", "G1", "APPL")->handle(), server);  // the prefix rule

  EXPECT_EQ(application->searchAttrInfoList(nullptr, "G1")->handle(), server);  // the newest leads now
  EXPECT_EQ(application->searchAttrInfoList("host1", "G1")->handle(), host1);
  EXPECT_EQ(application->searchAttrInfoList("APPLserver", nullptr)->handle(), server);
  EXPECT_EQ(application->searchAttrInfoList("APPL", "G1"), nullptr);  // exact only
  EXPECT_EQ(application->searchAttrInfoList(nullptr, nullptr), nullptr);
}

TEST(ApplSpaceListTest, SourceNamesStatusAndNamesByHandle) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  ASSERT_EQ(registerGroup(store, "APPL", "G1"), 0);
  EXPECT_EQ(store.setSourceName("NONE", "G1", "host1"), 4);
  EXPECT_EQ(store.setSourceName("APPL", "G1", "host1"), 5);  // "APPL_0" is not the application name itself
  store.searchApplSpace("APPL")->allocateAttrInfoList("G1", "APPL", 'P', 60, kTwoAttributes, 5, '?');
  EXPECT_EQ(store.setSourceName("APPL", "G2", "host1"), 5);
  EXPECT_EQ(store.setSourceName("APPL", "G1", "host1"), 0);
  uint32_t handle = store.getHandle("APPL", "G1", "host1");
  ASSERT_NE(handle, DCH_NO_HANDLE);
  EXPECT_EQ(store.getHandle("APPL", "G1", "host2"), DCH_NO_HANDLE);
  EXPECT_EQ(store.searchHandle(handle), 1);
  EXPECT_EQ(store.searchHandle(DCH_NO_HANDLE), 0);

  EXPECT_EQ(store.markOnline(handle, 9), 0);
  EXPECT_EQ(store.searchAttrInfoList(handle)->status(), 'I');
  EXPECT_EQ(store.searchAttrInfoList(handle)->connectedDP(), 9u);
  EXPECT_EQ(store.numberOnline("APPL", "G1"), 1);
  EXPECT_EQ(store.markOffline(handle), 0);
  EXPECT_EQ(store.searchAttrInfoList(handle)->status(), 'O');
  EXPECT_EQ(store.numberOnline("APPL", "G1"), 0);
  EXPECT_EQ(store.markOnline(handle, 10), 0);
  EXPECT_EQ(store.numberOnline("APPL", "G1"), 1);

  EXPECT_STREQ(store.getApplName(handle), "APPL");
  EXPECT_STREQ(store.getAttrGroup(handle), "G1");
  EXPECT_STREQ(store.getSourceName(handle), "host1");
  EXPECT_EQ(store.getApplName(12345), nullptr);
  EXPECT_EQ(store.getAttrGroup(12345), nullptr);
  EXPECT_EQ(store.getSourceName(12345), nullptr);
  EXPECT_EQ(store.markOnline(12345, 1), 1);
  EXPECT_EQ(store.markOffline(12345), 1);
  EXPECT_EQ(capture.count("Error: attrInfoList with handle 12345 not found."), 3);
}

TEST(ApplSpaceListTest, ValueOperationsByHandle) {
  applSpaceList store;
  ASSERT_EQ(registerGroup(store, "APPL", "G1"), 0);
  uint32_t handle = bringOnline(store, "APPL", "G1", "s1");
  const uint32_t unknown = 12345;
  int32_t count = 42;
  EXPECT_EQ(store.putData(handle, 0x11, "CNT", reinterpret_cast<const char*>(&count), 4), 0);
  EXPECT_EQ(store.putData(handle, 0x11, "NOPE", "x", 1), 0);  // the handle was found
  EXPECT_EQ(store.putData(unknown, 0x11, "CNT", reinterpret_cast<const char*>(&count), 4), 2);
  EXPECT_EQ(store.getAttrType(handle, "CNT"), 'C');
  EXPECT_EQ(store.getAttrType(handle, "NOPE"), '?');
  EXPECT_EQ(store.getAttrType(unknown, "CNT"), '?');
  EXPECT_EQ(store.getDataType(handle), 'P');
  EXPECT_EQ(store.getDataType(unknown), '?');

  char* row = nullptr;
  // 4 + (6 + 2 "s1") + 8 + (6 + 8 blanks) + (6 + 4)
  ASSERT_EQ(store.getData(&row, 0, handle, 1), 44);
  int32_t held;
  std::memcpy(&held, row + 40, 4);
  EXPECT_EQ(held, 42);
  ZEV0_FreeStorage(&row);
  EXPECT_EQ(store.getData(&row, 0, handle, 0), 36);  // without the source name
  ZEV0_FreeStorage(&row);
  EXPECT_EQ(store.getData(&row, 0, unknown, 1), -1);

  EXPECT_EQ(store.clearValues(handle), 0);
  EXPECT_EQ(store.clearValues(unknown), -1);
  ASSERT_EQ(store.getData(&row, 0, handle, 0), 36);
  std::memcpy(&held, row + 32, 4);
  EXPECT_EQ(held, 0);
  ZEV0_FreeStorage(&row);
}

TEST(ApplSpaceListTest, ApplicationWithAnOnlineSourceIsNotFreed) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  ASSERT_EQ(registerGroup(store, "APPL", "G1"), 0);
  uint32_t handle = bringOnline(store, "APPL", "G1", "s1");
  EXPECT_EQ(store.freeApplicationSpace("APPL"), 3);
  EXPECT_TRUE(capture.contains("Warning: Cannot remove applSpaceEntry[APPL]. DP's still online"));
  ASSERT_NE(store.searchApplSpace("APPL"), nullptr);
  store.markOffline(handle);
  EXPECT_EQ(store.freeApplicationSpace("APPL"), 0);
  EXPECT_EQ(store.searchApplSpace("APPL"), nullptr);
  EXPECT_EQ(store.searchAttrInfoList(handle), nullptr);
  EXPECT_EQ(store.freeApplicationSpace("APPL"), -1);
  EXPECT_TRUE(capture.contains("Warning: No applSpaceEntry[APPL] found"));
  EXPECT_EQ(store.noOfElements(), 0);
}

TEST(ApplSpaceListTest, RemovingTheHeadApplicationPutsTheNewestFirst) {
  applSpaceList store;
  for (const char* name : {"A01", "A02", "A03", "A04"}) registerGroup(store, name, "G1");
  EXPECT_EQ(applicationOrder(store), (std::vector<std::string>{"A01", "A02", "A03", "A04"}));
  EXPECT_EQ(store.freeApplicationSpace("A01"), 0);
  EXPECT_EQ(applicationOrder(store), (std::vector<std::string>{"A04", "A02", "A03"}));
  EXPECT_EQ(store.freeApplicationSpace("A02"), 0);
  EXPECT_EQ(applicationOrder(store), (std::vector<std::string>{"A04", "A03"}));
}

TEST(ApplSpaceListTest, SearchByGroupCopiesOutTheRegistration) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  ASSERT_EQ(store.allocApplicationSpace("APPL", "G1", 'e', 300, kTwoAttributes, 1, 7), 0);
  char type = 0;
  int32_t TTL = 0;
  unsigned int connectedDP = 0;
  char notNull[] = "x";
  char* attrRegister = notNull;
  EXPECT_EQ(store.searchApplNameAttrGroup("APPL", "G1", &type, &TTL, &attrRegister, &connectedDP), nullptr);
  EXPECT_TRUE(capture.contains("Error: parm attrRegister must be initialize to NULL."));
  attrRegister = nullptr;
  EXPECT_EQ(store.searchApplNameAttrGroup("APPL", "G9", &type, &TTL, &attrRegister, &connectedDP), nullptr);
  EXPECT_EQ(attrRegister, nullptr);
  EXPECT_EQ(store.searchApplNameAttrGroup("APPL", "G1", &type, &TTL, &attrRegister, &connectedDP),
            store.searchApplSpace("APPL"));
  EXPECT_EQ(type, 'E');
  EXPECT_EQ(TTL, 300);
  EXPECT_EQ(connectedDP, 7u);
  EXPECT_STREQ(attrRegister, kTwoAttributes);
  ZEV0_FreeStorage(&attrRegister);
}

TEST(ApplSpaceListTest, EmptyListDeletesEverythingAndPrintListShowsIt) {
  TraceCapture capture("*=0x80");
  applSpaceList store;
  registerGroup(store, "APPL", "G1");
  uint32_t handle = bringOnline(store, "APPL", "G1", "s1");
  store.printList();
  EXPECT_TRUE(capture.contains("applSpaceEntry"));
  EXPECT_TRUE(capture.contains("sourceName<s1>"));
  EXPECT_TRUE(capture.contains("attr <CNT>"));
  store.emptyList();
  EXPECT_EQ(store.noOfElements(), 0);
  EXPECT_EQ(store.searchAttrInfoList(handle), nullptr);
}

}  // namespace

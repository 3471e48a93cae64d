// The status monitor's reading of a notice and of the product's subnode affinity, and
// what it does with notices it cannot use.
#include <gtest/gtest.h>

#include <string>

#include "status_monitor.h"
#include "status_notice.h"
#include "subnode_affinity.h"
#include "trace_capture.h"

namespace {

TEST(StatusNoticeTest, ANoticeIsSplitAtItsFirstThreeCommas) {
  struct Case {
    const char* text;
    bool parsed;
    const char* requestType;
  } cases[] = {
      {"MYAPP,PGRP,host,4117", true, "4117"}, {"A,G,S,4120,more", true, "4120,more"}, {",,,4133", true, "4133"},
      {"A,G,S,", false, ""},                  {"A,G,S", false, ""},                     {"A,G", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    statusNotice notice;
    EXPECT_EQ(parseStatusNotice(c.text, &notice), c.parsed);
    EXPECT_EQ(notice.requestType, c.requestType);
  }
  statusNotice notice;
  ASSERT_TRUE(parseStatusNotice("MYAPP,PGRP,host,4117", &notice));
  EXPECT_EQ(notice.applName, "MYAPP");
  EXPECT_EQ(notice.attrGroup, "PGRP");
  EXPECT_EQ(notice.sourceName, "host");
}

TEST(StatusNoticeTest, NoticesThatCannotBeUsedAreTracedAndGoNoFurther) {
  TraceCapture trace("*=0x90");
  handleStatusNotice("A,G,S,4120", "affinity");
  EXPECT_TRUE(trace.contains("Error: Invalid RequestType <4120>"));
  handleStatusNotice("A,G,S", "affinity");
  EXPECT_TRUE(trace.contains("Error: parsing status:"));
  EXPECT_TRUE(trace.contains("             applName: <A>"));
  EXPECT_TRUE(trace.contains("            attrGroup: <G>"));
  EXPECT_TRUE(trace.contains("           sourceName: <>"));
  EXPECT_TRUE(trace.contains("          requestType: <>"));
  EXPECT_FALSE(trace.contains("CASE"));
}

// The fault: the feature item was copied into the affinity unchecked, whatever its length.
TEST(SubnodeAffinityTest, RegressionTheFeatureCodeTakesAtMostElevenCharacters) {
  const std::string code = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefg";  // 43 characters
  const std::string first32 = code.substr(0, 32);
  struct Case {
    const char* what;
    const char* packaged;
    const char* feature;
    std::string affinity;
  } cases[] = {
      {"the default product", nullptr, "99999999999", first32 + "00000000071"},
      {"a packaged product", "Y", "12345678901", first32 + "12345678901"},
      {"a long feature item", "Y", "123456789012345678", first32 + "12345678901"},
      {"no feature item", "Y", nullptr, first32 + "00000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char affinity[kSubnodeAffinitySize];
    ASSERT_TRUE(buildSubnodeAffinity(code.c_str(), c.packaged, c.feature, affinity));
    EXPECT_EQ(affinity, c.affinity);
  }
  char affinity[kSubnodeAffinitySize];
  EXPECT_FALSE(buildSubnodeAffinity(nullptr, nullptr, nullptr, affinity));
}

}  // namespace

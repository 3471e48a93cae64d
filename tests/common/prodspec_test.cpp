#include "zev0/prodspec.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "prodspec_directory.h"
#include "run_in_child.h"
#include "trace_capture.h"
#include "zev0/scrambler.h"

// The product specification is read once per process: every case runs in a child of its own.
namespace {

const char kAgentAffinityCode[] = "0000000000000040000000000000000000000000000";
const char kSubnodeAffinityCode[] = "0000000000000080000000000000000000000000000";

std::string item(int number) {
  const char* value = ZEV0_QueryProductSpec(number);
  return value ? value : "<null>";
}

// Reads a file of the default product with the extra lines in a fresh child.
void withDefaultProduct(const std::vector<std::string>& extraLines, const std::function<void(TraceCapture&)>& check) {
  RunInChild([&] {
    ProdSpecDirectory directory;
    directory.use();
    std::vector<std::string> lines{"PRODUCT_CODE=EV"};
    lines.insert(lines.end(), extraLines.begin(), extraLines.end());
    directory.write(lines);
    TraceCapture capture("*=0x1ff");
    ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
    check(capture);
  });
}

// Every item a packaged solution must give.
std::vector<std::string> packagedProduct() {
  return {"PRODUCT_CODE=AB",
          "NODE_TYPE=AB",
          "PRODUCT_NAME=Packaged",
          "AGENT_AFF_NAME=AFF_DORVANE",
          "SUBNODE_AFF_NAME=AFF_DORVANE_DATA",
          "DP_TO_START=FILE",
          "DCH_PORT_NUMBER=2020",
          "DP_PORT_OFFSET=5",
          "INITCNFG_FILE_NAME=ABCNFG",
          "ZEVATBLS_FILE_NAME=ABTBLS"};
}

TEST(ProdSpecTest, DefaultProductTakesTheDefaultsOfEveryItemItsFileLeavesOut) {
  RunInChild([] {
    ProdSpecDirectory directory;
    directory.use();
    directory.write({"   PRODUCT_CODE=ev"}, "\r\n");
    TraceCapture capture("*=0x100");
    ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
    struct Expected {
      int item;
      const char* value;
    } expected[] = {
        {ZEV2_PACKAGED_PRODUCT, "<null>"},
        {ZEV2_PRODUCT_CODE, "EV"},
        {ZEV2_NODE_TYPE, "DV"},
        {ZEV2_PRODUCT_NAME, "Dorvane_Agent"},
        {ZEV2_AGENT_AFF_NAME, "AFF_DORVANE"},
        {ZEV2_AGENT_AFF_STRING, kAgentAffinityCode},
        {ZEV2_SUBNODE_AFF_NAME, "AFF_DORVANE_DATA"},
        {ZEV2_SUBNODE_AFF_STRING, kSubnodeAffinityCode},
        {ZEV2_SUBNODE_AFF_FEAT, "00000000071"},
        {ZEV2_REGISTER_DVAGENT, "Y"},
        {ZEV2_ENABLE_PLOVENAGENT_DISCOVERY, "<null>"},
        {ZEV2_ENABLE_DPLOG, "Y"},
        {ZEV2_MANAGED_NETWORK_MS, "Y"},
        {ZEV2_DP_TO_START, "<null>"},
        {ZEV2_METAFILES_TO_LOAD, "<null>"},
        {ZEV2_DCH_PORT_NUMBER, "1919"},
        {ZEV2_DP_PORT_OFFSET, "0"},
        {ZEV2_INITCNFG_FILENAME, "ZEVPCNFG"},
        {ZEV2_TRAPCNFG_FILENAME, "TRAPCNFG"},
        {ZEV2_SNMPMIBI_FILENAME, "ZEVSMIBI"},
        {ZEV2_ZEVATBLS_FILENAME, "ZEVATBLS"},
        {ZEV2_ZEVPURLS_FILENAME, "ZEVPURLS"},
        {ZEV2_PRODSPEC_ITEM_COUNT, "<null>"},
    };
    for (const Expected& each : expected) EXPECT_EQ(item(each.item), each.value) << "item " << each.item;
    EXPECT_EQ(std::strlen(kAgentAffinityCode), 43u);

    for (const char* line : {"-----Product Specification File being used is ", "Rec 01    PRODUCT_CODE=ev",
                             "The following Product Specification Parameters are in effect:", "PRODUCT_CODE=EV",
                             "AGENT_AFF_STRING=0000000000000040000000000000000000000000000",
                             "SUBNODE_AFF_STRING=0000000000000080000000000000000000000000000",
                             "ENABLE_PLOVENAGENT_DISCOVERY=Not Specified, default to No", "ENABLE_DPLOG=Y",
                             "ZEVPURLS_FILE_NAME=ZEVPURLS", "Product specification initialization successful"})
      EXPECT_TRUE(capture.contains(line)) << line;
  });
}

TEST(ProdSpecTest, KeywordAndValueRules) {
  struct Case {
    std::vector<std::string> lines;
    int item;
    const char* expected;
    const char* traced;  // or null
  } cases[] = {
      // The keyword with its trailing blank is no keyword: the default stays.
      {{"ENABLE_DPLOG = no"}, ZEV2_ENABLE_DPLOG, "Y", "*****Unrecognized product spec keyword ENABLE_DPLOG . Ignored"},
      {{"ENABLE_DPLOG=no thanks"}, ZEV2_ENABLE_DPLOG, "N", "ENABLE_DPLOG=N"},
      {{"enable_dplog=N"}, ZEV2_ENABLE_DPLOG, "N", nullptr},
      {{"ENABLE_DPLOG=Yes"}, ZEV2_ENABLE_DPLOG, "Yes", "ENABLE_DPLOG=Yes"},
      {{"ENABLE_DPLOG=Nope"}, ZEV2_ENABLE_DPLOG, "Nope", nullptr},
      {{"ENABLE_PLOVENAGENT_DISCOVERY=NO"}, ZEV2_ENABLE_PLOVENAGENT_DISCOVERY, "N", "ENABLE_PLOVENAGENT_DISCOVERY=N"},
      {{"NODE_TYPE="}, ZEV2_NODE_TYPE, "DV", nullptr},
      {{"NODE_TYPE=   Xy z "}, ZEV2_NODE_TYPE, "Xy z ", nullptr},
      {{"NODE_TYPE=A", "NODE_TYPE=B"}, ZEV2_NODE_TYPE, "B", nullptr},
      {{"METAFILES_TO_LOAD=a=b"}, ZEV2_METAFILES_TO_LOAD, "a=b", nullptr},
      {{"a line without an equals sign"}, ZEV2_NODE_TYPE, "DV", "*****Product Specification syntax error. Ignored"},
      {{"AGENT_AFF_STRING=mine"},
       ZEV2_AGENT_AFF_STRING,
       kAgentAffinityCode,
       "*****Unrecognized product spec keyword AGENT_AFF_STRING. Ignored"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.lines.back());
    withDefaultProduct(test.lines, [&](TraceCapture& capture) {
      EXPECT_EQ(item(test.item), test.expected);
      if (test.traced) {
        EXPECT_TRUE(capture.contains(test.traced)) << test.traced;
      }
    });
  }
}

// A flag set to N has a value: only its first letter tells that it is off.
TEST(ProdSpecTest, FlagSetToNoIsAValueThatReadsN) {
  withDefaultProduct({"ENABLE_SNMP_TRAP=no"}, [](TraceCapture&) {
    const char* flag = ZEV0_QueryProductSpec(ZEV2_ENABLE_SNMP_TRAP);
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag[0], 'N');
  });
}

TEST(ProdSpecTest, DataProvidersToStartBecomeTheirTypeNumbers) {
  struct Case {
    const char* value;
    const char* expected;
    int invalidLines;
  } cases[] = {
      {"file,snmp,xyz", "1,5", 1},     {"FILE,SNMP,HTTP", "1,5,8", 0},
      {"http,,apis,http", "8,0,8", 0}, {"ASFS", "3", 0},
      {"SMTP", "<null>", 1},                                 // only APIS to HTTP can be started
      {"NODP,MSMQ", "<null>", 2},      {"NO", "<null>", 1},  // the N marker is one invalid piece
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.value);
    RunInChild([&] {
      ProdSpecDirectory directory;
      directory.use();
      directory.write({"PRODUCT_CODE=EV", std::string("DP_TO_START=") + test.value});
      TraceCapture capture("*=0");  // the invalid-DP line is written whatever the classes
      ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
      EXPECT_EQ(item(ZEV2_DP_TO_START), test.expected);
      EXPECT_EQ(capture.count("*****Error: Invalid DP "), test.invalidLines);
    });
  }
}

// The list has 80 bytes: 39 entries "1," fit with the NUL, the rest are dropped.
TEST(ProdSpecTest, DataProvidersThatDoNotFitTheListAreDroppedAndTraced) {
  RunInChild([] {
    std::string many = "FILE";
    for (int i = 1; i < 45; ++i) many += ",FILE";
    ProdSpecDirectory directory;
    directory.use();
    directory.write({"PRODUCT_CODE=EV", "DP_TO_START=" + many});
    TraceCapture capture("*=0");
    ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
    std::string expected = "1";
    for (int i = 1; i < 39; ++i) expected += ",1";
    EXPECT_EQ(item(ZEV2_DP_TO_START), expected);
    EXPECT_EQ(capture.count("*****Error: DP FILE does not fit the list of DPs to start, ignored"), 6);
  });
}

TEST(ProdSpecTest, PackagedSolutionMustGiveEveryRequiredItem) {
  RunInChild([] {
    ProdSpecDirectory directory;
    directory.use();
    TraceCapture capture("*=0x1ff");
    // Each required item left out in turn; every failed reading is retried by the next call.
    std::vector<std::string> all = packagedProduct();
    for (size_t leftOut = 1; leftOut < all.size(); ++leftOut) {
      std::vector<std::string> lines = all;
      lines.erase(lines.begin() + static_cast<long>(leftOut));
      directory.write(lines);
      EXPECT_EQ(ZEV0_InitializeProductSpec(), 0) << all[leftOut];
      EXPECT_EQ(item(ZEV2_PRODUCT_CODE), "<null>");
    }
    EXPECT_EQ(capture.count("*****Required product specifications not defined for non-DV product."), 9);
    EXPECT_TRUE(capture.contains("*****Logic error. Product Spec 1 not yet initialized"));

    directory.write(all);
    ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
    EXPECT_EQ(item(ZEV2_PACKAGED_PRODUCT), "Y");
    EXPECT_EQ(item(ZEV2_PRODUCT_CODE), "AB");
    EXPECT_EQ(item(ZEV2_SUBNODE_AFF_FEAT), "00000000000");
    EXPECT_EQ(item(ZEV2_REGISTER_DVAGENT), "<null>") << "no defaults for a packaged solution";
    EXPECT_EQ(item(ZEV2_TRAPCNFG_FILENAME), "<null>");
    EXPECT_EQ(item(ZEV2_DCH_PORT_NUMBER), "2020");
    EXPECT_EQ(item(ZEV2_DP_TO_START), "1");
    EXPECT_EQ(item(ZEV2_SUBNODE_AFF_STRING), kSubnodeAffinityCode);
  });
}

TEST(ProdSpecTest, FailedChecksLeaveTheSpecificationUninitialised) {
  struct Case {
    std::vector<std::string> lines;
    const char* name;
    const char* traced;
  } cases[] = {
      {{"PRODUCT_CODE=EV", "SUBNODE_AFF_FEAT=123"},
       "TESTPSF",
       "*****Error: Affinity feature specification length 3 error. Must be AFF_FEATURE_BYTES"},
      {{"PRODUCT_CODE=EV", "AGENT_AFF_NAME=AFF_NOBODY"},
       "TESTPSF",
       "*****Error: Agent affinity name invalid AFF_NOBODY"},
      {{"PRODUCT_CODE=EV", "SUBNODE_AFF_NAME=no"}, "TESTPSF", "*****Error: Subnode affinity name invalid N"},
      {{"NODE_TYPE=DV"}, "TESTPSF", "*****Product Code not specified"},
      {packagedProduct(), "ZEVPSF",
       "*****Error: Override DV product specification file with packaged solution not allowed"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.traced);
    RunInChild([&] {
      ProdSpecDirectory directory;
      directory.use(test.name);
      directory.write(test.lines);
      TraceCapture capture("*=0x1ff");
      EXPECT_EQ(ZEV0_InitializeProductSpec(), 0);
      EXPECT_TRUE(capture.contains(test.traced));
      EXPECT_TRUE(capture.contains("*****Product specification initialization failed"));
      EXPECT_FALSE(capture.contains("The following Product Specification Parameters are in effect:"));
      EXPECT_EQ(item(ZEV2_PRODUCT_CODE), "<null>");
    });
  }
}

TEST(ProdSpecTest, DefaultProductMayUseTheDefaultFileName) {
  RunInChild([] {
    ProdSpecDirectory directory;
    directory.use("ZEVPSF");
    directory.write({"PRODUCT_CODE=EV"});
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 1);
  });
}

TEST(ProdSpecTest, FileThatCannotBeReadFailsAndIsReadAgainByTheNextCall) {
  RunInChild([] {
    ProdSpecDirectory directory;
    directory.use();
    TraceCapture capture("*=0x100");
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 0);
    EXPECT_TRUE(capture.contains("open failed, ErrorText <No such file or directory>"));

    directory.write({"PRODUCT_CODE=EV"}, "\n", "//XYZ\n");
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 0);
    EXPECT_TRUE(capture.contains("*****ERROR: Invalid product specification file ID <//XYZ>"));

    directory.write({}, "\n", "");
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 0);
    EXPECT_TRUE(capture.contains("*****ERROR: Invalid product specification file ID <(null)>"));

    directory.write({"PRODUCT_CODE=EV"});
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 1);
  });
}

TEST(ProdSpecTest, SecondCallAfterSuccessDoesNotReadTheFileAgain) {
  RunInChild([] {
    ProdSpecDirectory directory;
    directory.use();
    directory.write({"PRODUCT_CODE=EV", "DCH_PORT_NUMBER=3030"});
    ASSERT_EQ(ZEV0_InitializeProductSpec(), 1);
    directory.remove();
    TraceCapture capture("*=0x1ff");
    EXPECT_EQ(ZEV0_InitializeProductSpec(), 1);
    EXPECT_TRUE(capture.contains("Product specification already initialized"));
    EXPECT_FALSE(capture.contains("open failed"));
    EXPECT_EQ(item(ZEV2_DCH_PORT_NUMBER), "3030");
  });
}

TEST(ProdSpecTest, QueryOutsideTheItemsIsNull) {
  withDefaultProduct({}, [](TraceCapture& capture) {
    capture.take();
    EXPECT_EQ(ZEV0_QueryProductSpec(35), nullptr);
    EXPECT_EQ(ZEV0_QueryProductSpec(-1), nullptr);
    EXPECT_TRUE(capture.contains("*****Input Product Spec 35 is invalid"));
    EXPECT_TRUE(capture.contains("*****Input Product Spec -1 is invalid"));
    capture.take();
    EXPECT_EQ(ZEV0_QueryProductSpec(34), nullptr);
    EXPECT_EQ(capture.take(), "");
  });
}

TEST(ProdSpecTest, QueryBeforeInitialisationIsNull) {
  RunInChild([] {
    TraceCapture capture("*=0x80");
    EXPECT_EQ(ZEV0_QueryProductSpec(ZEV2_PRODUCT_CODE), nullptr);
    EXPECT_TRUE(capture.contains("*****Logic error. Product Spec 1 not yet initialized"));
  });
}

// A line longer than 511 characters is read as several records.
TEST(ProdSpecTest, LongLineIsReadAsSeveralRecords) {
  withDefaultProduct({"METAFILES_TO_LOAD=" + std::string(600, 'm'), "NODE_TYPE=XX"}, [](TraceCapture& capture) {
    EXPECT_EQ(item(ZEV2_METAFILES_TO_LOAD), std::string(511 - 18, 'm'));
    EXPECT_TRUE(capture.contains("*****Product Specification syntax error. Ignored"));
    EXPECT_EQ(item(ZEV2_NODE_TYPE), "XX");
  });
}

}  // namespace

// What the product and the environment of the process change in the metafile
// language: packaged mode and the attribute limit. Both are settled once per
// process, so each case runs in a child process.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "accepted_registrations.h"
#include "application_entry.h"
#include "dp_anchor.h"
#include "metafile_cases.h"
#include "metafile_fixture.h"
#include "model_dump.h"
#include "run_in_child.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev/dp_types.h"
#include "zev0/scrambler.h"

namespace {

// A product specification of a packaged product (any code but EV) beside the metafiles.
void usePackagedProduct(const std::string& directory) {
  std::ofstream file(directory + "PACKAGED", std::ios::binary);
  file << "//PSF\n";
  int n = 1;
  for (std::string line : {"PRODUCT_CODE=AB", "NODE_TYPE=AB", "PRODUCT_NAME=Packaged", "AGENT_AFF_NAME=AFF_DORVANE",
                           "SUBNODE_AFF_NAME=AFF_DORVANE_DATA", "DP_TO_START=FILE", "DCH_PORT_NUMBER=2020",
                           "DP_PORT_OFFSET=5", "INITCNFG_FILE_NAME=ABCNFG", "ZEVATBLS_FILE_NAME=ABTBLS"}) {
    line += "\n";
    ZEV0_EncipherRecord(line.data(), static_cast<int32_t>(line.size()) * n++);
    file << line;
  }
  setenv("ZEV_PRODSPEC_PATH", directory.c_str(), 1);
  setenv("ZEV_PRODSPEC_NAME", "PACKAGED", 1);
}

std::string helpOf(int length, char c) { return " @" + std::string(length, c); }

TEST(MetafileProcessSettings, PackagedModeLiftsTheReservedNamesTheLimitAndTheTypeBypass) {
  RunInChild([] {
    char pattern[] = "/tmp/zev_packaged_XXXXXX";
    std::string productDirectory = std::string(mkdtemp(pattern)) + "/";
    usePackagedProduct(productDirectory);
    MetafileFixture fixture;
    fixture.anchor()->dpType = ZEV_DP_FILE;

    std::vector<std::string> lines = {"//APPL Kilo enterpriseName 1.3.6.1.4.1.77", "//NAME Grp K 60",
                                      "//ATTRIBUTES"};
    for (int i = 1; i <= 70; ++i) lines.push_back("A" + std::to_string(i) + " D 4" + helpOf(245, 'h'));
    fixture.write("packaged.mdl", lines);
    TraceCapture trace("*=0x80");
    AcceptedRegistrations registrations;
    MetafileFixture::Parse parse = fixture.parse("packaged.mdl", 0);
    ASSERT_NE(parse.application, nullptr);
    EXPECT_TRUE(parse.output.empty());
    std::vector<std::string> dump = DumpModel(parse.application);
    ASSERT_EQ(dump.size(), 3u + 70u);
    EXPECT_EQ(dump[0], "APPL Kilo SNMP enterprise=enterpriseName,1.3.6.1.4.1.77");
    EXPECT_EQ(dump[1], "  GROUP Grp K ttl=60 sources=1 attrs=70/70");
    // The group's help buffer holds the limit's worth of help texts: after it
    // is full an attribute gets none.
    EXPECT_EQ(dump[3 + 62], "      ATTR A63 D 4/4 help=" + std::string(245, 'h'));
    EXPECT_EQ(dump[3 + 63], "      ATTR A64 D 4/4");
    EXPECT_EQ(trace.count("no room left for the help text of attribute"), 7);
    fixture.release(parse.application);

    // Reserved names and an //SNMP metafile in a FILE data provider are accepted.
    fixture.write("dva.mdl", {"//SNMP TEXT", "//APPL DVAmine", "//NAME Grp E", "//ATTRIBUTES", "A1 G"});
    MetafileFixture::Parse snmp = fixture.parse("dva.mdl", 0);
    ASSERT_NE(snmp.application, nullptr);
    EXPECT_TRUE(snmp.output.empty());
    fixture.release(snmp.application);
    std::filesystem::remove_all(productDirectory);
  });
}

TEST(MetafileProcessSettings, TheAttributeLimitComesFromTheEnvironment) {
  struct Case {
    const char* value;
    int limit;
  };
  for (const Case& c : std::vector<Case>{{"2", 2}, {"500", 127}, {"0", 63}}) {
    SCOPED_TRACE(c.value);
    RunInChild([&] {
      setenv("WJD_MAXCOLS", c.value, 1);
      MetafileFixture fixture;
      std::vector<std::string> lines = {"//APPL Abc", "//NAME Grp E", "//ATTRIBUTES"};
      for (int i = 1; i <= c.limit; ++i) lines.push_back("A" + std::to_string(i) + " G");
      fixture.write("limit.mdl", lines);
      MetafileFixture::Parse parse = fixture.parse("limit.mdl");
      ASSERT_NE(parse.application, nullptr);
      EXPECT_TRUE(parse.output.empty());
      EXPECT_EQ(parse.application->FirstTable->AttributesDefined, c.limit);
      fixture.release(parse.application);

      // One more is refused, and with it the application.
      lines.push_back("A" + std::to_string(c.limit + 1) + " G");
      fixture.write("over.mdl", lines);
      MetafileFixture::Parse over = fixture.parse("over.mdl");
      EXPECT_EQ(over.application, nullptr);
      EXPECT_EQ(over.output, std::vector<std::string>{
                                 "ZEVPV31W Specification Warning: Total number of attributes exceeded maximum "
                                 "limit. Ignored - A" + std::to_string(c.limit + 1)});
    });
  }
}

}  // namespace

// The trap configuration file: its sections and defaults, the specifications and
// their descriptions, the look-up, reloads (also while other threads look up).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "dp_log_recorder.h"
#include "scratch_directory.h"
#include "trace_capture.h"
#include "trap_configuration.h"
#include "trap_monitor.h"

namespace {

constexpr char kLinkDown[] = "1.3.6.1.4.1.9";

// Only trap specifications: every section takes its default table.
constexpr char kSpecificationsOnly[] =
    "# only traps\n"
    "linkDown {1.3.6.1.4.1.9} 2 0 A 4 4 \"Status Events\"\n"
    "FORMAT link down $*\n"
    "SDESC\n"
    "The link went down. Check the cable.\n"
    "EDESC\n";

constexpr char kSections[] =
    "CATEGORY 0 \"Net Events\"\n"
    "CATEGORY 1 \"Box Events\"\n"
    "SEVERITY 0 \"Low\"\n"
    "SEVERITY 1 \"High\"\n"
    "STATUS 0 \"Fine\"\n"
    "STATUS 7 \"Broken\"\n"
    "SOURCEID x \"Security Agent\"\n"
    "SOURCEID y \"Poller\"\n"
    "cisco {1.3.6.1.4.1.9}\n"
    "ciscoLong {1.3.6.1.4.1.99}\n"
    "ACTION {1.3.6.1.4.1.9} 6 1 x 1 0 \"Net Events\"\n"
    "first {1.3.6.1.4.1.9} 6 1 x 1 0 \"Net Events\"\n"
    "SDESC\n"
    "Fan failed\n"
    "in tray 2; replace it. Then call.\n"
    "EDESC\n"
    "second {1.3.6.1.4.1.9} 6 1 y 0 0 \"Net Events\"\n"
    "SDESC\n"
    "EDESC\n"
    "odd {1.3.6.1.4.1.99.1} 6 2 q 9 1 \"Odd Events\"\n"
    "SDESC\n"
    "Watch {it} closely\n"
    "EDESC\n"
    "short {1.3.6.1.4.1.9} 6 3\n"
    "SDESC\n"
    "EDESC\n";

class TrapConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZEVP_SNMP_TRAPCNFG_FILE", files_.file("traps.cfg").c_str(), 1); }
  void TearDown() override {
    ZEVS_ReleaseTrapConfigurationArrays();
    unsetenv("ZEVP_SNMP_TRAPCNFG_FILE");
    unsetenv("ZEVP_SNMP_TRAPCNFG_SEVERITY");
  }

  void load(const std::string& text) {
    files_.write("traps.cfg", text);
    ZEVS_LoadTrapConfigurationFile(nullptr);
  }

  static TrapSpecification Find(const char* oid, int generic, int specific) {
    TrapSpecification spec;
    spec.name = "<none>";
    ZEVS_LocateTrapSpec(oid, generic, specific, &spec);
    return spec;
  }

  ScratchDirectory files_{"zev_trap_configuration"};
};

TEST_F(TrapConfigurationTest, OnlySpecificationsTakeTheFourDefaultTablesAndTheFirstSentence) {
  load(kSpecificationsOnly);
  TrapSpecification spec = Find(kLinkDown, 2, 0);
  EXPECT_EQ(spec.name, "linkDown");
  EXPECT_EQ(spec.severity, 4);
  EXPECT_EQ(spec.severityText, "Critical");
  EXPECT_EQ(spec.sourceText, "Agent");
  EXPECT_EQ(spec.statusText, "Down");
  EXPECT_EQ(spec.categoryText, "Status Events");
  EXPECT_EQ(spec.description, "The link went down.");
  EXPECT_EQ(spec.enterpriseName, "Not Defined");
  EXPECT_EQ(Find(kLinkDown, 2, 1).name, "<none>");
  EXPECT_EQ(Find("1.3.6.1.4.1.9.0", 2, 0).name, "<none>");
}

TEST_F(TrapConfigurationTest, SectionsSourcesEnterprisesAndSpecificationsResolveAsTheFileGivesThem) {
  TraceCapture trace;
  load(kSections);

  struct Case {
    const char* oid;
    int specific;
    const char* name, *source, *severityText, *status, *category, *enterprise, *description;
    int severity;
  };
  const Case cases[] = {
      // The first of two equal specifications; a SOURCEID text ends at its blank;
      // the description's lines run together up to its first period; an ACTION
      // line is no trap entry.
      {kLinkDown, 1, "first", "Security", "High", "Fine", "Net Events", "cisco", "Fan failed in tray 2; replace it.",
       1},
      // STATUS 7 of two STATUS lines is out of range: status slot 1 stays empty;
      // an unknown source id, severity 9 and an unknown category.
      {"1.3.6.1.4.1.99.1", 2, "odd", "Not Defined", "Not Defined", "Not Defined", "Odd Events", "Not Defined",
       "Watch {it} closely ", 0},
      // Words missing after the specific number leave their fields undefined.
      {kLinkDown, 3, "short", "Not Defined", "Not Defined", "Not Defined", "Not Defined", "cisco",
       "Description unavailable", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrapSpecification spec = Find(c.oid, 6, c.specific);
    EXPECT_EQ(spec.name, c.name);
    EXPECT_EQ(spec.sourceText, c.source);
    EXPECT_EQ(spec.severity, c.severity);
    EXPECT_EQ(spec.severityText, c.severityText);
    EXPECT_EQ(spec.statusText, c.status);
    EXPECT_EQ(spec.categoryText, c.category);
    EXPECT_EQ(spec.enterpriseName, c.enterprise);
    EXPECT_EQ(spec.description, c.description);
  }
  std::string lines = trace.take();
  EXPECT_NE(lines.find("New category Odd Events added to trap specification"), std::string::npos);
  // The brace in a description line was counted as one more trap entry.
  EXPECT_NE(lines.find("*****WARNING: 1 trap not loaded or skipped"), std::string::npos);
}

TEST_F(TrapConfigurationTest, AMissingFileKeepsTheConfigurationInForceAndAReloadReplacesIt) {
  load(kSpecificationsOnly);
  files_.remove("traps.cfg");
  TraceCapture trace;
  ZEVS_LoadTrapConfigurationFile(nullptr);
  EXPECT_TRUE(trace.contains("*****unable to open SNMP Trap Config file " + files_.file("traps.cfg")));
  EXPECT_EQ(Find(kLinkDown, 2, 0).name, "linkDown");

  load("renamed {1.3.6.1.4.1.9} 2 0 A 2 2 \"Error Events\"\nSDESC\nEDESC\n");
  EXPECT_EQ(Find(kLinkDown, 2, 0).name, "renamed");
  ZEVS_ReleaseTrapConfigurationArrays();
  EXPECT_EQ(Find(kLinkDown, 2, 0).name, "<none>");
}

TEST_F(TrapConfigurationTest, ARenamedSectionKeywordIsCountedAndParsedAlike) {
  setenv("ZEVP_SNMP_TRAPCNFG_SEVERITY", "LEVEL", 1);
  load("LEVEL 0 \"Quiet\"\nLEVEL 1 \"Loud\"\nSEVERITY 2 \"Lost\"\nt {1.3.6.1.4.1.9} 0 0 A 1 0 \"c\"\nSDESC\nEDESC\n");
  TrapSpecification spec = Find(kLinkDown, 0, 0);
  EXPECT_EQ(spec.severity, 1);
  EXPECT_EQ(spec.severityText, "Loud");
}

TEST_F(TrapConfigurationTest, ALoadForTheMonitorNamesTheFileInTheDataProviderLog) {
  DPlogRecorder log;
  TrapManagementEntry entry;
  files_.write("traps.cfg", kSpecificationsOnly);
  ZEVS_LoadTrapConfigurationFile(&entry);
  EXPECT_EQ(log.messages(), (std::vector<DPlogMessage>{{102, {files_.file("traps.cfg")}, false}}));
  unsetenv("ZEVP_SNMP_TRAPCNFG_FILE");
  ZEVS_LoadTrapConfigurationFile(&entry);
  EXPECT_EQ(log.count(102), 1) << "a load without a file name logged";
}

// Readers copy what they find under the lock; a reload never frees texts a
// reader still uses (ThreadSanitizer and ASan watch the copies).
TEST_F(TrapConfigurationTest, AReloadWhileOtherThreadsLookUpIsSafe) {
  const std::string first = "one {1.3.6.1.4.1.9} 2 0 A 4 4 \"First Events\"\nSDESC\nFirst trap.\nEDESC\n";
  const std::string second = "two {1.3.6.1.4.1.9} 2 0 A 3 3 \"Second Events\"\nSDESC\nSecond trap.\nEDESC\n";
  files_.write("one.cfg", first);
  files_.write("two.cfg", second);
  std::atomic<bool> done{false};
  std::atomic<int> inconsistent{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      while (!done) {
        TrapSpecification spec;
        if (!ZEVS_LocateTrapSpec(kLinkDown, 2, 0, &spec)) continue;
        bool one = spec.name == "one" && spec.categoryText == "First Events" && spec.description == "First trap.";
        bool two = spec.name == "two" && spec.categoryText == "Second Events" && spec.description == "Second trap.";
        if (!one && !two) ++inconsistent;
      }
    });
  }
  for (int load = 0; load < 40; ++load) {
    setenv("ZEVP_SNMP_TRAPCNFG_FILE", files_.file(load % 2 == 0 ? "one.cfg" : "two.cfg").c_str(), 1);
    ZEVS_LoadTrapConfigurationFile(nullptr);
    if (load % 10 == 9) ZEVS_ReleaseTrapConfigurationArrays();
  }
  done = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(inconsistent, 0);
}

}  // namespace

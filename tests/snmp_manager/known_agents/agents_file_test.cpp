// The discovered-agent file: its lines, the writer's new file and the reader.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agents_file.h"
#include "ploven_agent_entry.h"
#include "product_affinity.h"
#include "scratch_directory.h"
#include "trace_capture.h"
#include "zev0/affinity_table.h"

namespace {

struct ReleaseEntry {
  void operator()(PlovenAgentEntry* entry) const { ZEVS_ReleasePlovenAgentEntry(entry); }
};
using Entry = std::unique_ptr<PlovenAgentEntry, ReleaseEntry>;

const std::string kDorvane = ZEV0_FindAffinity("AFF_DORVANE")->code;
const std::string kDorvaneWithFeatures = kDorvane.substr(0, 34) + "000000003";

Entry Agent(const char* name, const char* address, const char* system, const char* version,
            const std::string& affinity, const char* product = "Stale Product", const char* features = "Stale, ") {
  Entry entry(zevs::NewPlovenAgentEntry());
  entry->networkName = zevs::CopyAgentText(name);
  entry->networkAddress = zevs::CopyAgentText(address);
  entry->managedSystemName = zevs::CopyAgentText(system);
  entry->productVersion = zevs::CopyAgentText(version);
  entry->affinity = zevs::CopyAgentText(affinity.c_str());
  entry->productName = zevs::CopyAgentText(product);
  entry->features = zevs::CopyAgentText(features);
  return entry;
}

// The entries of the file, in file order.
std::vector<Entry> Read(const std::string& path) {
  std::vector<Entry> entries;
  zevs::ReadAgentsFile(path.c_str(), [&](PlovenAgentEntry* entry) { entries.emplace_back(entry); });
  return entries;
}

class AgentsFile : public ::testing::Test {
 protected:
  void SetUp() override { ZEVS_InitializePlovenFeatureArray(); }
  std::string path() const { return files_.file("ZEVSAGNT"); }
  ScratchDirectory files_;
};

TEST_F(AgentsFile, WriteThenReadGivesEveryEntryBackWithItsAffinitysNames) {
  Entry first = Agent("hosta", "10.77.0.5", "AG01:hosta:LZ", "02.00.00", kDorvaneWithFeatures);
  Entry second = Agent("hostb", "10.77.0.6", "SUB1", "5", kDorvane);
  first->next = second.get();
  ASSERT_TRUE(zevs::WriteAgentsFile(path().c_str(), first.get()));
  EXPECT_EQ(files_.read("ZEVSAGNT"),
            std::string(zevs::kAgentsFileHeader) + "\n" +
                "hosta;10.77.0.5;AG01:hosta:LZ;Stale Product;02.00.00;Stale, ;" + kDorvaneWithFeatures + ";\n" +
                "hostb;10.77.0.6;SUB1;Stale Product;5;Stale, ;" + kDorvane + ";\n");
  EXPECT_EQ(std::string(zevs::kAgentsFileHeader),
            "Network Name;Network Address;Managed System Name;Product Name;Product Version;Features;Affinity;");

  std::vector<Entry> read = Read(path());
  ASSERT_EQ(read.size(), 2u);
  for (size_t i = 0; i < read.size(); ++i) {
    const PlovenAgentEntry& written = i == 0 ? *first : *second;
    SCOPED_TRACE(written.managedSystemName);
    EXPECT_STREQ(read[i]->networkName, written.networkName);
    EXPECT_STREQ(read[i]->networkAddress, written.networkAddress);
    EXPECT_STREQ(read[i]->managedSystemName, written.managedSystemName);
    EXPECT_STREQ(read[i]->productVersion, written.productVersion);
    EXPECT_STREQ(read[i]->affinity, written.affinity);
    // Product name and features come from the affinity, not from the line.
    EXPECT_STREQ(read[i]->productName, "Dorvane Agent");
    EXPECT_EQ(read[i]->lastCheckTime, 0);
    EXPECT_EQ(read[i]->lastReplyTime, 0);
    EXPECT_EQ(read[i]->reserved, 0);
  }
  EXPECT_STREQ(read[0]->features, "Remote Commands, Event Forwarding, ");
  EXPECT_STREQ(read[1]->features, "No feature reported");
}

TEST_F(AgentsFile, FieldsThatWouldBreakTheLineAreWrittenSoItReadsBack) {
  Entry entry = Agent("", "10.77.0.5", "NAME;WITH\r\nBREAKS", nullptr, kDorvane, "Product; Name", nullptr);
  EXPECT_EQ(zevs::AgentsFileLine(*entry), " ;10.77.0.5;NAME WITH  BREAKS;Product  Name; ; ;" + kDorvane + ";");
  ASSERT_TRUE(zevs::WriteAgentsFile(path().c_str(), entry.get()));
  std::vector<Entry> read = Read(path());
  ASSERT_EQ(read.size(), 1u);
  EXPECT_STREQ(read[0]->networkName, " ");
  EXPECT_STREQ(read[0]->managedSystemName, "NAME WITH  BREAKS");
  EXPECT_STREQ(read[0]->productVersion, " ");
  EXPECT_STREQ(read[0]->affinity, kDorvane.c_str());
}

TEST_F(AgentsFile, LinesThatDoNotReadAreSkipped) {
  const std::string header = std::string(zevs::kAgentsFileHeader) + "\n";
  const std::string good = "hosta;10.77.0.5;AG01;Old;1;Old, ;" + kDorvane + ";\n";
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> systems;
  } cases[] = {
      {"only the header", header, {}},
      {"empty file", "", {}},
      {"a field missing", header + "hosta;10.77.0.5;AG01;Old;1;" + kDorvane + ";\n" + good, {"AG01"}},
      {"empty fields run together", header + "hosta;;10.77.0.5;AG02;Old;1;Old, ;;" + kDorvane + ";\n", {"AG02"}},
      // Its rest would read as a line of seven fields were it split at 1023.
      {"over-long line", header + std::string(1020, 'x') + good + good, {"AG01"}},
      {"line of 1023", header + std::string(1023 - good.size() + 1, ' ') + good, {"AG01"}},
      {"no line end at the end", header + good.substr(0, good.size() - 1), {"AG01"}},
      {"carriage returns", header + good.substr(0, good.size() - 1) + "\r\n", {"AG01"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files_.write("ZEVSAGNT", c.content);
    std::vector<std::string> systems;
    for (const Entry& entry : Read(path())) systems.emplace_back(entry->managedSystemName);
    EXPECT_EQ(systems, c.systems);
  }
}

TEST_F(AgentsFile, AffinityThatIsNoAffinityIsNotLookedUp) {
  files_.write("ZEVSAGNT", std::string(zevs::kAgentsFileHeader) + "\nhosta;10.77.0.5;AG01;Old;1;Old, ;00000000004;\n");
  std::vector<Entry> read = Read(path());
  ASSERT_EQ(read.size(), 1u);
  EXPECT_STREQ(read[0]->affinity, NoneAffinity);
  EXPECT_STREQ(read[0]->productName, "Unknown Product");
  EXPECT_STREQ(read[0]->features, "No feature reported");
}

TEST_F(AgentsFile, MissingFileIsTracedAndGivesNone) {
  TraceCapture trace;
  EXPECT_TRUE(Read(path()).empty());
  EXPECT_TRUE(trace.contains("Ploven agent file " + path() + " does not exit"));
}

TEST_F(AgentsFile, FailedWriteLeavesThePreviousFileWhole) {
  const std::string previous = std::string(zevs::kAgentsFileHeader) + "\nkept;10.77.0.9;KEPT;P;1;F, ;" + kDorvane + ";\n";
  Entry entry = Agent("hosta", "10.77.0.5", "AG01", "1", kDorvane);
  struct Case {
    const char* name;
    std::function<void()> spoil;
    const char* trace;
  } cases[] = {
      {"new file cannot be opened", [&] { ASSERT_EQ(mkdir(files_.file("ZEVSAGNT.new").c_str(), 0700), 0); },
       "***** Ploven agent output file " },
      // Every write fails once the buffer goes to the device: a full disk.
      {"disk full", [&] { ASSERT_EQ(symlink("/dev/full", files_.file("ZEVSAGNT.new").c_str()), 0); },
       "not replaced"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files_.write("ZEVSAGNT", previous);
    c.spoil();
    TraceCapture trace;
    EXPECT_FALSE(zevs::WriteAgentsFile(path().c_str(), entry.get()));
    EXPECT_TRUE(trace.contains(c.trace));
    EXPECT_EQ(files_.read("ZEVSAGNT"), previous);
    rmdir(files_.file("ZEVSAGNT.new").c_str());
    unlink(files_.file("ZEVSAGNT.new").c_str());
  }
}

}  // namespace

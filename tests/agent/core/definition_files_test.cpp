// The definition files of applications built from the real DCH server, against goldens
// written from the files' layouts (goldens/, the build stamp written as its digit names
// YYYMMDDhhmmssnnn). The historical-data SQL file is on for this program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "definition_fixture.h"
#include "manual_clock.h"
#include "table_manager_list.h"
#include "user_data_info.h"
#include "user_data_list.h"
#include "zev0/scrambler.h"

namespace {

// Read when the first definition is built.
const bool kSQLOn = setenv("ZEVA_GENERATE_SQL", "Y", 1) == 0;

constexpr char kStampPlaceholder[] = "YYYMMDDhhmmssnnn";

std::string Golden(const std::string& name) {
  std::ifstream file(std::string(ZEV_GOLDENS_DIR) + "/" + name, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A scrambled definition file read back: line n unscrambled with its length times n.
std::string Unscrambled(const std::string& scrambled) {
  std::string plain;
  std::istringstream lines(scrambled);
  std::string line;
  for (int32_t count = 1; std::getline(lines, line); ++count)
    plain += ZEV0_DecipherMetaRecord(line.data(), static_cast<int32_t>(line.size()) * count) + std::string("\n");
  return plain;
}

// The stamp the first line holds after its text.
std::string StampAfter(const std::string& text, const std::string& before) {
  return text.compare(0, before.size(), before) == 0 ? text.substr(before.size(), 16) : "";
}

bool WorkFileExists(const std::string& name) { return std::filesystem::exists(DefinitionWorkDirectory() + name); }

// The block of the attribute file that names the column ("name OBJECT.ATTRIBUTE").
std::string AttributeBlock(const std::string& atr, const std::string& column) {
  size_t name = atr.find("\nname " + column + "\n");
  if (name == std::string::npos) return "";
  size_t begin = atr.rfind("//\n", name);
  size_t end = atr.find("\n//\n", name);
  return atr.substr(begin, end == std::string::npos ? std::string::npos : end + 1 - begin);
}

// The two-group application of the goldens.
const std::vector<rawdch::Group> kMyApp{
    {"G1", "help of G1", 'K', 300,
     "@Host,D,16, ,the host;Small,C,2, ,a small count;Big,C,4, ,a big count;"
     "Level,C,4,ENUM{LOW(1) HIGH(2)},the level;When,T,16, ,the time;"},
    {"G2", "help of G2", 'E', 0, "Text,D,8, ,a text;Count,C,4, ,a count;"}};

class DefinitionFilesTest : public DefinitionRoadTest {
 protected:
  void TearDown() override {
    list_.reset();
    DefinitionRoadTest::TearDown();
  }

  // Registers the application (anew, when it was already) and builds its definition.
  userDataList* build(const std::string& applName, const std::vector<rawdch::Group>& groups,
                      const std::string& applHelp = "my application") {
    list_.reset();
    if (registered_.count(applName) != 0) unregisterApplication(applName);
    registerApplication(applName, groups, applHelp);
    if (HasFatalFailure()) return nullptr;
    registered_.insert(applName);
    trace().take();
    list_ = std::make_unique<userDataList>(applName.c_str());
    return list_.get();
  }
  void release() { list_.reset(); }

 private:
  std::unique_ptr<userDataList> list_;
  std::set<std::string> registered_;
};

TEST_F(DefinitionFilesTest, TwoGroupsWriteTheFilesOfTheGoldens) {
  ASSERT_TRUE(kSQLOn);
  const time_t clockSeconds = 1700000000;
  std::string stamp;
  {
    ManualClock clock(clockSeconds);
    userDataList* list = build("MYAPP", kMyApp);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->errors(), 0) << trace().take();
    stamp = list->timeStamp();
    release();  // its data threads end before the clock goes
  }
  tm local{};
  localtime_r(&clockSeconds, &local);
  char second[32];
  std::snprintf(second, sizeof second, "%03d%02d%02d%02d%02d%02d", local.tm_year, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  ASSERT_EQ(stamp.size(), 16u);
  EXPECT_EQ(stamp.substr(0, 13), second);

  for (const char* kind : {"CAT", "ATR", "SQL"}) {
    SCOPED_TRACE(kind);
    const std::string name = std::string("MYA") + kind + "00";
    EXPECT_EQ(ReadWorkFile(name), Replaced(Golden(name), kStampPlaceholder, stamp));
  }
  // The ODI and JPF files take the time of their writing, in the same second.
  const struct {
    const char* name;
    const char* stampedLine;
  } scrambled[] = {{"MYAODI00", "*REM: This ODI File was generated by Dorvane Agent on "},
                   {"MYAJPF00", "#####################################################################\n"
                                "# Factory Defaults\n# File Generated by Dorvane Agent on "}};
  for (const auto& file : scrambled) {
    SCOPED_TRACE(file.name);
    std::string plain = Unscrambled(ReadWorkFile(file.name));
    std::string written = StampAfter(plain, file.stampedLine);
    EXPECT_EQ(written.substr(0, 13), second);
    EXPECT_EQ(plain, Replaced(Golden(file.name), kStampPlaceholder, written));
  }
  const std::string cat = ReadWorkFile("MYACAT00");
  EXPECT_NE(cat.find("\nPMYA00   ZEV1            00                              *002H14,01H0,04H0032,04CC31 ,04F0000\n"),
            std::string::npos);
  EXPECT_NE(cat.find("\nDMYA00   D_S32                                           STRING    045200320000\n"),
            std::string::npos);
  EXPECT_TRUE(WorkFileExists("zevawMYA"));
}

// The key column of an SNMP group (sample type N) is atomic in the attribute file; the
// key column of another group is not, unless it is marked so.
TEST_F(DefinitionFilesTest, AnSNMPGroupsKeyColumnIsAtomic) {
  userDataList* list = build("SNMPAPP", {{"G1", "snmp group", 'N', 60, "@Key,D,8, ,k;$Gauge,C,4, ,g;Plain,C,4, ,p;"},
                                         {"G2", "key group", 'K', 60, "@Key,D,8, ,k;@$Both,C,4, ,b;"}});
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->errors(), 0) << trace().take();
  const std::string atr = ReadWorkFile("SNMATR00");
  const struct {
    const char* column;
    bool atomic;
  } cases[] = {{"SNMPAPPG100.Key", true},  {"SNMPAPPG100.Gauge", true}, {"SNMPAPPG100.Plain", false},
               {"SNMPAPPG200.Key", false}, {"SNMPAPPG200.Both", true},  {"SNMPAPPG100.Node_Name", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    std::string block = AttributeBlock(atr, c.column);
    ASSERT_FALSE(block.empty()) << atr;
    EXPECT_EQ(block.find("\nname " + std::string(c.column) + "\natom y\naffi "), c.atomic ? block.find("\nname ")
                                                                                          : std::string::npos);
  }
  // The ODI file atomizes the atomic columns only.
  const std::string odi = Unscrambled(ReadWorkFile("SNMODI00"));
  for (const char* column : {"Gauge", "Both"}) {
    SCOPED_TRACE(column);
    EXPECT_NE(odi.find("\n*ATTR: " + std::string(column) + "\n*COLUMN: DV"), std::string::npos);
    EXPECT_NE(odi.find("\n*ATTR: " + std::string(column) + "\n*COLUMN: DV2\n*TYPE: I,4\n*ATOMIZE:\n"),
              std::string::npos)
        << odi;
  }
  EXPECT_EQ(Count(odi, "*ATOMIZE:"), 2);
}

// The property file's charts are for groups with integer columns; a group's refresh is
// half its time-to-live, 900 past 999.
TEST_F(DefinitionFilesTest, ThePropertyFileChartsTheGroupsWithIntegersAndRefreshesByTheirTimeToLive) {
  userDataList* list = build("JPFAPP", {{"A", "a", 'P', 300, "Name,D,8, ,n;"},
                                        {"B", "b", 'P', 2400, "Name,D,8, ,n;Count,C,4, ,c;"},
                                        {"C", "c", 'S', 1999, "Level,C,4,ENUM{LOW(1)},l;"},
                                        {"D", "d", 'E', 0, "Name,D,8, ,n;"}});
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->errors(), 0) << trace().take();
  const std::string jpf = Unscrambled(ReadWorkFile("JPFJPF00"));
  EXPECT_NE(jpf.find("\nreport.names=[A;B;C;D]\ntable.names=[A;B;C;D]\nchart.names=[B]\n \nreport.A.chart=A\n"),
            std::string::npos)
      << jpf;
  const struct {
    const char* group;
    int refresh;
    bool chart;
  } groups[] = {{"A", 150, false}, {"B", 900, true}, {"C", 999, false}, {"D", 0, false}};
  for (const auto& g : groups) {
    SCOPED_TRACE(g.group);
    const std::string prefix = std::string("\ntable.") + g.group + ".refresh=" + std::to_string(g.refresh) + "\n";
    EXPECT_NE(jpf.find(prefix), std::string::npos);
    EXPECT_EQ(jpf.find(std::string("\nchart.") + g.group + ".") != std::string::npos, g.chart);
  }
  const std::string table = list->List()->Prev()->udi()->tableNameRR();
  EXPECT_NE(jpf.find("\nchart.B.attributes=[" + table + ".DV2]\nchart.B.header=B Chart\n"), std::string::npos);
  EXPECT_EQ(jpf.find("chart.B.refresh=900\n \nreport.C.chart=C\n"), jpf.rfind("chart.B.refresh=900")) << jpf;

  userDataList* noIntegers = build("NOINTS", {{"A", "a", 'P', 300, "Name,D,8, ,n;"}});
  ASSERT_NE(noIntegers, nullptr);
  ASSERT_EQ(noIntegers->errors(), 0) << trace().take();
  const std::string plain = Unscrambled(ReadWorkFile("NOIJPF00"));
  EXPECT_EQ(plain.find("chart."), std::string::npos) << plain;
  EXPECT_NE(plain.find("\ntable.names=[A]\n \nreport.A.chart=A\n"), std::string::npos) << plain;
}

// The only group writes the whole historical-data file in one call, from scratch.
TEST_F(DefinitionFilesTest, AOneGroupApplicationWritesItsSQLFileWholeFromScratch) {
  WriteWorkFile("ONESQL00", "left from before\n");
  userDataList* list = build("ONEAPP", {{"G1", "the group", 'P', 60, "Value,C,4, ,v;"}});
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->errors(), 0) << trace().take();
  const std::string table = list->List()->udi()->tableNameRR();
  const std::string sql = ReadWorkFile("ONESQL00");
  EXPECT_EQ(sql.find("*** \"Dorvane Agent Historical SQL for Application ONE00\"\n*** ONEAPPG100\n"), 0u) << sql;
  EXPECT_NE(sql.find("\n'SELECT ORIGINNODE,DV1\n"), std::string::npos);
  EXPECT_EQ(Count(sql, "*** Status\n"), 1);
  const std::string tail = "*** End\n*** Default\n" + table + "\n*** End\n";
  EXPECT_EQ(sql.substr(sql.size() - tail.size()), tail);
  EXPECT_EQ(sql.find("left from before"), std::string::npos);
}

// Rebuilds in one work directory: an unchanged definition writes nothing, a modification
// rewrites the release's files from their start, a new release writes its own beside.
TEST_F(DefinitionFilesTest, RebuildsRewriteTheirReleasesFilesOrNone) {
  ASSERT_NE(build("REBUILT", {{"G1", "the group", 'P', 60, "A,D,8, ,a;"}}), nullptr);
  ASSERT_TRUE(WorkFileExists("REBCAT00") && WorkFileExists("REBATR00") && WorkFileExists("REBSQL00"));

  RemoveWorkFile("REBCAT00");
  const std::string atr = ReadWorkFile("REBATR00");
  userDataList* unchanged = build("REBUILT", {{"G1", "the group", 'P', 60, "A,D,8, ,a;"}});
  ASSERT_EQ(unchanged->errors(), 0) << trace().take();
  EXPECT_FALSE(WorkFileExists("REBCAT00"));
  EXPECT_EQ(ReadWorkFile("REBATR00"), atr);

  userDataList* modified = build("REBUILT", {{"G1", "the group", 'P', 60, "A,D,8, ,a;B,C,4, ,b;"}});
  ASSERT_EQ(modified->errors(), 0) << trace().take();
  ASSERT_STREQ(modified->cvrm(), "03.00.01");
  const std::string cat = ReadWorkFile("REBCAT00");
  EXPECT_EQ(cat.find(std::string("@REB00   REB00     ") + modified->timeStamp() +
                     "                      03.00.01  03.00.00  \nAREB00   "),
            0u)
      << cat;
  EXPECT_EQ(Count(cat, "\nTREB00"), 1);
  EXPECT_NE(cat.find("ZEV3 "), std::string::npos) << "the appended column";
  const std::string rewritten = ReadWorkFile("REBATR00");
  EXPECT_EQ(rewritten.find("// "), 0u);
  EXPECT_EQ(Count(rewritten, "//Generated by Dorvane Agent\n"), 1);
  EXPECT_NE(rewritten.find("\nname REBUILTG100.B\n"), std::string::npos);
  const std::string sql = ReadWorkFile("REBSQL00");
  EXPECT_EQ(Count(sql, "Historical SQL for Application"), 1);

  userDataList* released = build("REBUILT", {{"G1", "the group", 'P', 60, "A,D,16, ,a;B,C,4, ,b;"}});
  ASSERT_EQ(released->errors(), 0) << trace().take();
  ASSERT_STREQ(released->cvrm(), "03.01.01");
  for (const char* kind : {"CAT", "ATR", "SQL"}) {
    SCOPED_TRACE(kind);
    EXPECT_TRUE(WorkFileExists(std::string("REB") + kind + "01"));
  }
  EXPECT_EQ(ReadWorkFile("REBCAT00"), cat);
  EXPECT_EQ(ReadWorkFile("REBATR00"), rewritten);
  EXPECT_EQ(ReadWorkFile("REBSQL00"), sql);
}

// A file of the pass that cannot be opened or written stops the pass: what was written
// stays, no later file and no work file are written, and the build fails.
TEST_F(DefinitionFilesTest, AnAttributeFileThatCannotBeWrittenStopsThePass) {
  const struct Case {
    const char* what;
    const char* applName;
    void (*block)(const std::string& path);
    const char* error;  // the file's name follows
  } cases[] = {
      {"a directory where the file goes", "DIRAPP",
       [](const std::string& path) { std::filesystem::create_directory(path); }, "Error: could not open <%s> for mode w: errno=21"},
      {"the file on a full device", "FULLAPP",
       [](const std::string& path) { std::filesystem::create_symlink("/dev/full", path); }, "Error: errno=28 closing <%s>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string key = std::string(c.applName).substr(0, 3);
    const std::string atr = DefinitionWorkDirectory() + key + "ATR00";
    c.block(atr);
    userDataList* list = build(c.applName, {{"G1", "the group", 'P', 60, "A,D,8, ,a;"}});
    ASSERT_NE(list, nullptr);
    EXPECT_NE(list->errors(), 0);
    char error[512];
    std::snprintf(error, sizeof error, c.error, atr.c_str());
    EXPECT_TRUE(trace().contains(error)) << trace().take();
    EXPECT_TRUE(trace().contains("Error: generateFiles failed."));
    const std::string cat = ReadWorkFile(key + "CAT00");
    EXPECT_EQ(cat.find('@'), 0u);
    EXPECT_EQ(Count(cat, "\nT" + key + "00"), 1);
    for (const std::string& later : {key + "SQL00", key + "ODI00", key + "JPF00", "zevaw" + key})
      EXPECT_FALSE(WorkFileExists(later)) << later;
    release();
  }
}

}  // namespace

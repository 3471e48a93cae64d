// Which file a pattern selects in its directory: the newest by its date or number,
// every match in turn in all-match mode, and the switch to a newer file.
#include "file_selection.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "dp_log_capture.h"
#include "file_name_pattern.h"
#include "file_pattern_control_block.h"
#include "metafile_fixture.h"
#include "process_entry.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "stdout_capture.h"

namespace {

using Names = std::vector<std::string>;

// The file name block of a FILE source named `name`, with a file server entry of
// the fixture's anchor.
class PatternSpec {
 public:
  PatternSpec(const MetafileFixture& fixture, const std::string& name) : name_(name) {
    std::memset(&source_, 0, sizeof source_);
    source_.SourceName = name_.data();
    EXPECT_EQ(ZEVP_InitializeFileSpecControl(&source_), 1);
    server_ = ZEVP_InitializeProcessEntry(fixture.anchor());
    if (source_.FileSpec != nullptr) source_.FileSpec->FileServer = server_;
  }
  ~PatternSpec() {
    ZEVP_ReleaseFileSpecControl(&source_);
    ZEVP_DestroyProcessEntry(server_);
  }
  FileSpecControlBlock* get() { return source_.FileSpec; }
  ProcessEntry* server() { return server_; }
  // The current file after a selection.
  std::string select(int allMatch = 0) {
    ZEVP_DetermineCurrentMonitorFileName(source_.FileSpec, allMatch);
    return source_.FileSpec->CurrentSpecFileName != nullptr ? source_.FileSpec->CurrentSpecFileName : "<none>";
  }

 private:
  std::string name_;
  SourceEntry source_;
  ProcessEntry* server_;
};

TEST(FileSelectionTest, NewestMatchingFileIsSelected) {
  struct Case {
    const char* label;
    std::string pattern;
    Names files;
    std::string selected;
  } cases[] = {
      {"a date of two-digit years", "LOG{YYMMDD}.TXT", {"LOG991231.TXT", "LOG020105.TXT"}, "LOG020105.TXT"},
      {"a number", "trace{####}.log", {"trace0099.log", "trace0100.log", "trace01x0.log"}, "trace0100.log"},
      {"the characters of an equal date", "app{YYMMDD??}.log", {"app020105AB.log", "app020105AC.log"},
       "app020105AC.log"},
      {"any extension", "LOG{YYMMDD}.*", {"LOG020105.OLD"}, "LOG020105.OLD"},
      {"the extension must match", "LOG{YYMMDD}.TXT", {"LOG020106.txt", "LOG020105.TXT"}, "LOG020105.TXT"},
      {"no extension", "LOG{YYMMDD}", {"LOG020106.TXT", "LOG020105"}, "LOG020105"},
      {"a suffix", "app{##}_x.log", {"app07_y.log", "app05_x.log"}, "app05_x.log"},
      {"no suffix allows no more", "app{##}.log", {"app07x.log", "app05.log"}, "app05.log"},
      {"a four-digit year", "d{YYYYMMDD}.log", {"d19991231.log", "d20000101.log"}, "d20000101.log"},
      {"a date after characters", "app{??YYMMDD}.log", {"appZZ991231.log", "appAA020105.log"}, "appAA020105.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MetafileFixture fixture;
    ScratchDirectory directory;
    for (const std::string& file : c.files) directory.write(file, "x\n");
    PatternSpec spec(fixture, directory.path() + c.pattern);
    EXPECT_EQ(spec.select(), directory.file(c.selected));
    EXPECT_EQ(spec.get()->IdentityCheckSum, 0);
    EXPECT_EQ(TakeDPlogMessages(fixture.anchor()), Names{}) << "the first selection is no switch";
  }
}

TEST(FileSelectionTest, EqualValuesAreComparedByTheirCharactersFromTheLeft) {
  auto match = [](int64_t value, const char* characters) {
    zevp::PatternMatch result;
    result.value = value;
    result.characters = characters;
    return result;
  };
  EXPECT_TRUE(zevp::IsNewerMatch(match(2, "AB"), match(1, "ZZ")));
  EXPECT_FALSE(zevp::IsNewerMatch(match(1, "ZZ"), match(2, "AB")));
  EXPECT_TRUE(zevp::IsNewerMatch(match(1, "AC"), match(1, "AB")));
  EXPECT_FALSE(zevp::IsNewerMatch(match(1, "BA"), match(1, "AZ"))) << "smaller at its second place";
  EXPECT_TRUE(zevp::IsNewerMatch(match(1, "AB"), match(1, "AB"))) << "the later of equals wins";
}

TEST(FileSelectionTest, SelectionSwitchesToANewerFileWithItsMessage) {
  MetafileFixture fixture;
  ScratchDirectory directory;
  std::string older = directory.write("LOG020105.TXT", "x\n");
  PatternSpec spec(fixture, directory.path() + "LOG{YYMMDD}.TXT");
  ASSERT_EQ(spec.select(), older);
  spec.get()->IdentityCheckSum = 7;
  EXPECT_EQ(spec.select(), older) << "no newer file";
  EXPECT_EQ(spec.get()->IdentityCheckSum, 7);
  std::string newer = directory.write("LOG020106.TXT", "x\n");
  EXPECT_EQ(spec.select(), newer);
  EXPECT_EQ(spec.get()->IdentityCheckSum, 0);
  EXPECT_EQ(TakeDPlogMessages(fixture.anchor()), Names{"76: " + older + ", " + newer});
}

TEST(FileSelectionTest, AllMatchModeHandsOutEveryMatchThenNone) {
  MetafileFixture fixture;
  ScratchDirectory directory;
  std::set<std::string> files;
  for (const char* name : {"t01.log", "t02.log", "t03.log"}) files.insert(directory.write(name, "x\n"));
  directory.write("t04.txt", "x\n");
  PatternSpec spec(fixture, directory.path() + "t{##}.log");
  std::set<std::string> selected;
  for (int i = 0; i < 3; ++i) selected.insert(spec.select(1));
  EXPECT_EQ(selected, files);
  EXPECT_EQ(spec.select(1), "<none>");
}

TEST(FileSelectionTest, NamesThatDoNotFitTheFileNameFieldAreSkipped) {
  MetafileFixture fixture;
  ScratchDirectory directory;
  // A directory path of some 330 characters.
  std::string path = directory.path();
  for (int i = 0; i < 3; ++i) {
    path += std::string(100, 'd' + i) + "/";
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  }
  std::string fits = path + "L01X.txt";
  std::ofstream(fits) << "x\n";
  std::ofstream(path + "L02X" + std::string(200, 'y') + ".txt") << "x\n";
  PatternSpec spec(fixture, path + "L{##}X.txt");
  EXPECT_EQ(spec.select(), fits);
  EXPECT_EQ(spec.select(1), fits) << "all-match mode alike";
}

TEST(FileSelectionTest, ADirectoryThatCannotBeReadLeavesNoFile) {
  MetafileFixture fixture;
  ScratchDirectory directory;
  PatternSpec spec(fixture, directory.path() + "missing/LOG{YYMMDD}.TXT");
  EXPECT_EQ(spec.select(), "<none>");
}

TEST(FileSelectionTest, WithoutAMatchTheSelectionWaitsUntilTheThreadIsToEnd) {
  MetafileFixture fixture;
  ScratchDirectory directory;
  PatternSpec spec(fixture, directory.path() + "LOG{YYMMDD}.TXT");
  spec.server()->terminationFlag = 1;
  EXPECT_EQ(spec.select(), "<none>");
}

TEST(FileSelectionTest, APatternWithoutPathLooksInTheCurrentDirectory) {
  MetafileFixture fixture;
  ScratchDirectory directory;
  directory.write("cur01.log", "x\n");
  char previous[512];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(directory.path().c_str()), 0);
  PatternSpec spec(fixture, "cur{##}.log");
  std::string selected = spec.select();
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(selected, "cur01.log");
}

}  // namespace

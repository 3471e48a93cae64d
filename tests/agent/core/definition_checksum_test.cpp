// The steps of versioning an application definition taken one at a time: checksum
// records, their comparison, version increments and the work file's lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "checksum_info.h"
#include "definition_version.h"
#include "definition_work_file.h"
#include "trace_capture.h"
#include "zev0/text.h"

namespace {

checksumInfo Current(char letter, const std::string& block) {
  checksumInfo record;
  record.sampleType = letter;
  setChecksumGroup(&record, block.substr(0, block.find(',')));
  takeAttributeBlock(&record, block);
  return record;
}

// The record the work file would hold after a build of that block.
checksumInfo Recorded(char letter, const std::string& block) {
  checksumInfo built = Current(letter, block);
  checksumInfo record;
  setChecksumGroup(&record, built.attrGroup);
  record.checksum = built.checksum;
  takeRecordedText(&record, built.attrInfo);
  return record;
}

int ChangeLevel(const std::string& before, const std::string& after, char letterBefore = 'P', char letterAfter = 'P') {
  checksumInfo recorded = Recorded(letterBefore, before);
  checksumInfo current = Current(letterAfter, after);
  computePartialChecksum(&recorded, 0, current);
  return groupChangeLevel(recorded, current, "03.00.00");
}

uint16_t Checksum(const std::string& text) {
  return ZEV0_ComputeCheckSum(text.data(), static_cast<int32_t>(text.size()));
}

TEST(ChecksumRecordTest, KeyMarksGoAtomicMarksAreCountedAtTheirPlaces) {
  checksumInfo record = Current('P', "G1,@$K,S,4:N,D,16:$X,C,2:");
  EXPECT_EQ(record.attrInfo, "P,G1,$K,S,4:N,D,16:$X,C,2:");
  EXPECT_EQ(record.attrInfoWithoutAtomic, "P,G1,K,S,4:N,D,16:X,C,2:");
  EXPECT_EQ(record.atomicCount, 2);
  // Positions in the block without "@", the first "$" counted before the second.
  EXPECT_EQ(record.atomicOffsets[0], 3);
  EXPECT_EQ(record.atomicOffsets[1], 17);
  EXPECT_EQ(record.length, 24);
  EXPECT_EQ(record.checksum, Checksum("P,G1,K,S,4:N,D,16:X,C,2:"));

  checksumInfo plain = Current('E', "G1,K,S,4:");
  EXPECT_EQ(plain.attrInfo, "E,G1,K,S,4:");
  EXPECT_TRUE(plain.attrInfoWithoutAtomic.empty());
  EXPECT_EQ(plain.checksum, Checksum("E,G1,K,S,4:"));
}

TEST(ChecksumRecordTest, SampleTypesSKAndNAreOneLetterEIsAnother) {
  for (const char* field : {"S", "K", "N", "P"}) EXPECT_EQ(checksumSampleLetter(field), 'P') << field;
  EXPECT_EQ(checksumSampleLetter("E"), 'E');
}

TEST(ChecksumRecordTest, AtMost127AtomicMarksAreRecordedAllAreCounted) {
  std::string block = "G1,";
  for (int i = 0; i < 130; ++i) block += "$A" + std::to_string(i) + ",C,4:";
  checksumInfo record = Current('P', block);
  EXPECT_EQ(record.atomicCount, 130);
  EXPECT_EQ(record.recordedAtomicMarks(), checksumInfo::kMaxAtomicMarks);
  checksumInfo recorded = Recorded('P', block);
  EXPECT_EQ(recorded.atomicCount, 130);
  EXPECT_EQ(groupChangeLevel(recorded, record, "03.00.00"), 0);
}

TEST(ChecksumRecordTest, ChangeLevelByWhatChangedInAGroup) {
  struct Case {
    const char* what;
    const char* before;
    const char* after;
    int level;
  } cases[] = {
      {"unchanged", "G1,A,D,8:B,C,4:", "G1,A,D,8:B,C,4:", 0},
      {"key mark added", "G1,A,D,8:B,C,4:", "G1,@A,D,8:B,C,4:", 0},
      {"attribute appended", "G1,A,D,8:", "G1,A,D,8:B,C,4:", 1},
      {"atomic mark moved", "G1,$A,D,8:B,C,4:", "G1,A,D,8:$B,C,4:", 1},
      {"atomic mark added", "G1,A,D,8:B,C,4:", "G1,A,D,8:$B,C,4:", 1},
      {"length changed", "G1,A,D,8:B,C,4:", "G1,A,D,16:B,C,4:", 2},
      {"attribute removed", "G1,A,D,8:B,C,4:", "G1,A,D,8:", 2},
      {"reordered", "G1,A,D,8:BB,C,4:", "G1,BB,C,4:A,D,8:", 2},
      // Records of one even length swapped leave the checksum as it was.
      {"reordered, same checksum", "G1,CPU,C,4:MEM,C,4:", "G1,MEM,C,4:CPU,C,4:", 2},
      {"appended and an atomic mark moved", "G1,$A,D,8:", "G1,A,D,8:$B,C,4:", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ChangeLevel(c.before, c.after), c.level) << c.what;
  EXPECT_EQ(ChangeLevel("G1,A,D,8:", "G1,A,D,8:", 'P', 'E'), 2) << "sample type to E";
}

// The recorded text is longer than the current one: the partial checksum reads nothing
// past the current text and the group counts as changed, not appended to.
TEST(ChecksumRecordTest, AShorterCurrentTextIsNoUnchangedBeginning) {
  checksumInfo recorded = Recorded('P', "G1,A,D,8:B,C,4:");
  checksumInfo current = Current('P', "G1,A,D,8:");
  TraceCapture capture("*=0x80");
  computePartialChecksum(&recorded, 0, current);
  EXPECT_FALSE(recorded.partialComputed);
  EXPECT_TRUE(capture.contains("Warning: attrGroup <G1> fileChecksumInfo[0]->length: 17 attrInfo length: 11"));
  EXPECT_EQ(groupChangeLevel(recorded, current, "03.00.00"), 2);
}

TEST(VersionTest, IncrementsByChangeType) {
  struct Case {
    const char* oldVersion;
    char type;
    const char* expected;  // null: refused
  } cases[] = {
      {"03.00.00", 'M', "03.00.01"}, {"03.00.05", 'R', "03.01.05"}, {"03.00.97", 'M', "03.00.98"},
      {"03.00.98", 'M', nullptr},    {"03.98.00", 'R', nullptr},    {"03.xx.07", 'R', "03.50.07"},
      {"03.04.7", 'M', "03.04.50"},  {"03.00.00", 'X', "unchanged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.oldVersion) + " " + c.type);
    char version[10] = "unchanged";
    int result = raiseVersion(c.oldVersion, version, c.type);
    EXPECT_EQ(result, c.expected != nullptr ? 0 : 1);
    EXPECT_STREQ(version, c.expected != nullptr ? c.expected : "unchanged");
  }
}

TEST(VersionTest, ReachingNinetyNineIsTracedByPart) {
  TraceCapture capture("*=0x80");
  char version[9];
  raiseVersion("03.00.98", version, 'M');
  raiseVersion("03.98.00", version, 'R');
  EXPECT_TRUE(capture.contains("Error: Application modification level reached 100."));
  EXPECT_TRUE(capture.contains("Error: Application release level reached 100."));
}

// A work file written by the test, read back by the reader.
class WorkFileLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zev_workfile_XXXXXX";
    int descriptor = mkstemp(pattern);
    ASSERT_GE(descriptor, 0);
    close(descriptor);
    path_ = pattern;
  }
  void TearDown() override { std::remove(path_.c_str()); }

  int read(const std::string& content, int maxGroups, recordedDefinition* recorded) {
    std::FILE* file = std::fopen(path_.c_str(), "w+");
    std::fputs(content.c_str(), file);
    std::rewind(file);
    int result = readDefinitionWorkFile(file, path_.c_str(), maxGroups, recorded);
    std::fclose(file);
    return result;
  }

  std::string path_;
};

TEST_F(WorkFileLinesTest, GroupLinesAndTheHelpLine) {
  recordedDefinition recorded;
  ASSERT_EQ(read("03.00.01 G1 123 <P,G1,$K,S,4:>\n03.00.02 G2 7 <E,G2,>\n@HELP 999 <help, with blanks>\nignored\n",
                 4, &recorded),
            0);
  ASSERT_EQ(recorded.groups.size(), 2u);
  EXPECT_STREQ(recorded.version, "03.00.02");  // the last group line's
  EXPECT_STREQ(recorded.groups[0].attrGroup, "G1");
  EXPECT_EQ(recorded.groups[0].checksum, 123);
  EXPECT_EQ(recorded.groups[0].attrInfo, "P,G1,$K,S,4:");
  EXPECT_EQ(recorded.groups[0].atomicCount, 1);
  EXPECT_EQ(recorded.groups[0].atomicOffsets[0], 3);
  EXPECT_EQ(recorded.groups[0].length, 11);
  EXPECT_EQ(recorded.groups[1].attrInfo, "E,G2,");
  EXPECT_TRUE(recorded.helpLine);
  EXPECT_EQ(recorded.helpChecksum, 999);
}

// The writer puts any group on one line, however long: the reader takes it whole.
TEST_F(WorkFileLinesTest, ALineLongerThan4096CharactersIsOneLine) {
  std::string block = "G1,";
  while (block.size() < 9000) block += "ATTRIBUTE" + std::to_string(block.size()) + ",D,32:";
  checksumInfo group = Current('P', block);
  ASSERT_EQ(writeDefinitionWorkFile(path_.c_str(), "03.00.00", &group, 1, "help"), 0);
  std::FILE* file = std::fopen(path_.c_str(), "r");
  recordedDefinition recorded;
  ASSERT_EQ(readDefinitionWorkFile(file, path_.c_str(), 4, &recorded), 0);
  std::fclose(file);
  ASSERT_EQ(recorded.groups.size(), 1u);
  EXPECT_EQ(recorded.groups[0].attrInfo, group.attrInfo);
  EXPECT_EQ(recorded.groups[0].checksum, group.checksum);
  EXPECT_EQ(recorded.helpChecksum, Checksum("help"));
}

TEST_F(WorkFileLinesTest, MissingDelimitersAndLineEndsNeverShortenBelowNothing) {
  struct Case {
    const char* line;
    const char* text;
  } cases[] = {
      {"03.00.00 G1 1 <P,G1,A,D,8:>", "P,G1,A,D,8:"},  // no line end
      {"03.00.00 G1 1 P,G1,A,D,8:\n", "P,G1,A,D,8:"},  // no "<" or ">"
      {"03.00.00 G1 1 <>\r\n", ""},
      {"03.00.00 G1 1 <\n", ""},
      {"03.00.00 G1 1 >\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    recordedDefinition recorded;
    ASSERT_EQ(read(c.line, 4, &recorded), 0);
    ASSERT_EQ(recorded.groups.size(), 1u);
    EXPECT_EQ(recorded.groups[0].attrInfo, c.text);
    EXPECT_GE(recorded.groups[0].length, 0);
    EXPECT_FALSE(recorded.helpLine);
  }
}

TEST_F(WorkFileLinesTest, GroupLinesBeyondTheRecordsAreCountedNotKept) {
  recordedDefinition recorded;
  ASSERT_EQ(read("03.00.00 G1 1 <P,G1,>\n03.00.00 G2 2 <P,G2,>\n03.00.00 G3 3 <P,G3,>\n@HELP 1 <h>\n", 2, &recorded),
            0);
  EXPECT_EQ(recorded.groups.size(), 2u);
  EXPECT_EQ(recorded.groupsBeyond, 1);
}

TEST_F(WorkFileLinesTest, AMissingOrOversizedFieldFailsWithItsMessage) {
  struct Case {
    const char* content;
    const char* message;
  } cases[] = {
      {"03.00.00\n", "Error: attrGroup token missing from workfile"},
      {"03.00.00 G1\n", "Error: checksum token missing from workfile"},
      {"03.00.00 G1 abc <P,G1,>\n", "Error: checksum token missing from workfile"},
      {"03.00.00 G1 1\n", "Error: registration string token missing from workfile"},
      {"03.00.00.00 G1 1 <P,G1,>\n", "Error: version token missing from workfile"},
      {"03.00.00 G123456789012345678901234567890123 1 <P,G1,>\n", "Error: attrGroup token missing from workfile"},
      {"03.00.00 G1 1 <P,G1,>\n@HELP\n", "Error: Help checksum token missing from workfile"},
      {"03.00.00 G1 1 <P,G1,>\n03.00.00 G2 2 <P,G2@HELP,>\n", "Error: @HELP token missing from workfile"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TraceCapture capture("*=0x80");
    recordedDefinition recorded;
    EXPECT_EQ(read(c.content, 4, &recorded), 1);
    EXPECT_TRUE(capture.contains(c.message)) << capture.take();
  }
}

TEST_F(WorkFileLinesTest, WrittenLinesAreByteExact) {
  checksumInfo groups[] = {Current('P', "G1,@$K,S,4:N,D,16:"), Current('E', "G2,")};
  ASSERT_EQ(writeDefinitionWorkFile(path_.c_str(), "03.01.02", groups, 2, "appl help,G1,gh,K,kh, :"), 0);
  std::FILE* file = std::fopen(path_.c_str(), "r");
  char content[512] = {};
  std::fread(content, 1, sizeof content - 1, file);
  std::fclose(file);
  std::string expected = "03.01.02 G1 " + std::to_string(Checksum("P,G1,K,S,4:N,D,16:")) + " <P,G1,$K,S,4:N,D,16:>\n" +
                         "03.01.02 G2 " + std::to_string(Checksum("E,G2,")) + " <E,G2,>\n" + "@HELP " +
                         std::to_string(Checksum("appl help,G1,gh,K,kh, :")) + " <appl help,G1,gh,K,kh, :>\n";
  EXPECT_EQ(content, expected);
}

}  // namespace

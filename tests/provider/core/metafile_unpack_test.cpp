#include "zevp/metafile_unpack.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "metafile_fixture.h"
#include "stdout_capture.h"

namespace {

std::string contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

struct Unpacked {
  int result;
  std::vector<std::string> output;
};

Unpacked unpack(const char* name) {
  StdoutCapture capture;
  int result = ZEVP_UnpackMetafileToText(name);
  return {result, capture.takeLines()};
}

const std::vector<std::string> kBody = {"//APPL Abc", "//NAME Grp E", "//ATTRIBUTES", "A1 G"};

std::vector<std::string> after(const std::vector<std::string>& markers) {
  std::vector<std::string> lines = markers;
  lines.insert(lines.end(), kBody.begin(), kBody.end());
  return lines;
}

TEST(MetafileUnpack, RecordsAfterTheMarkerAreWrittenPlain) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    int plain;
    const char* marker;
    const char* output;
  };
  for (const Case& c : std::vector<Case>{
           {"m.mdl", after({"* before the marker", "//SNMP"}), 2, "//SNMP TEXT\n", "m.txt"},
           {"p.mdl", after({"//PLOVEN"}), 1, "//PLOVEN\n", "p.txt"},
           {"m.txt", after({"//PLOVEN"}), 1, "//PLOVEN\n", "m.out"},
           {"noext", after({"//PLOVEN"}), 1, "//PLOVEN\n", "noext.txt"},
       }) {
    SCOPED_TRACE(c.name);
    MetafileFixture fixture;
    fixture.writeScrambled(c.name, c.lines, c.plain);
    Unpacked unpacked = unpack(c.name);
    EXPECT_EQ(unpacked.result, 0);
    std::string text = fixture.directory() + c.output;
    EXPECT_EQ(unpacked.output,
              std::vector<std::string>{"ZEVPV94I Metafile unpack successful to output file " + text});
    EXPECT_EQ(contents(text), c.marker + std::string("//APPL Abc\n//NAME Grp E\n//ATTRIBUTES\nA1 G\n"));
  }
}

TEST(MetafileUnpack, AFullyQualifiedNameAndAMarkerWithText) {
  MetafileFixture fixture;
  std::string path = fixture.write("plain.mdl", after({"//SNMP TEXT"}));
  Unpacked unpacked = unpack(path.c_str());
  EXPECT_EQ(unpacked.result, 0);
  // The records after a TEXT marker are plain; the decoder is applied all the same.
  std::string text = contents(fixture.directory() + "plain.txt");
  EXPECT_EQ(text.substr(0, 12), "//SNMP TEXT\n");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

TEST(MetafileUnpack, NoMarkerNoFileNoMessage) {
  MetafileFixture fixture;
  fixture.write("plain.mdl", kBody);
  Unpacked unpacked = unpack("plain.mdl");
  EXPECT_EQ(unpacked.result, 0);
  EXPECT_TRUE(unpacked.output.empty());
  EXPECT_FALSE(std::filesystem::exists(fixture.directory() + "plain.txt"));
}

TEST(MetafileUnpack, Failures) {
  const std::string failed = "ZEVPV95E Metafile unpack failed.";
  for (const char* name : {static_cast<const char*>(nullptr), ""}) {
    Unpacked unpacked = unpack(name);
    EXPECT_EQ(unpacked.result, -1);
    EXPECT_EQ(unpacked.output, (std::vector<std::string>{"ZEVPV22E Metafile name input parameter required", failed}));
  }
  MetafileFixture fixture;
  Unpacked missing = unpack("absent.mdl");
  EXPECT_EQ(missing.result, -1);
  EXPECT_EQ(missing.output, (std::vector<std::string>{
                                "ZEVPV01E Definition Error: File not found " + fixture.directory() + "absent.mdl", failed}));

  // The text file's name is taken by a directory.
  fixture.writeScrambled("m.mdl", after({"//PLOVEN"}), 1);
  std::filesystem::create_directory(fixture.directory() + "m.txt");
  Unpacked blocked = unpack("m.mdl");
  EXPECT_EQ(blocked.result, -1);
  EXPECT_EQ(blocked.output, std::vector<std::string>{failed});
}

TEST(MetafileUnpack, ARecordSizeWithoutRoomForACharacterIsReplaced) {
  MetafileFixture fixture;
  fixture.writeScrambled("m.mdl", after({"//PLOVEN"}), 1);
  for (const char* size : {"0", "1", "-7", "many"}) {
    SCOPED_TRACE(size);
    setenv("ZEVP_META_MAX_RECORD_SIZE", size, 1);
    Unpacked unpacked = unpack("m.mdl");
    EXPECT_EQ(unpacked.result, 0);
    EXPECT_EQ(contents(fixture.directory() + "m.txt"), "//PLOVEN\n//APPL Abc\n//NAME Grp E\n//ATTRIBUTES\nA1 G\n");
  }
  unsetenv("ZEVP_META_MAX_RECORD_SIZE");
}

}  // namespace

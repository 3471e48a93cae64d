// The validation run of the console's VALIDATE command: its messages, its
// result, and the model report written beside the metafile.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "metafile_fixture.h"
#include "model_report.h"
#include "stdout_capture.h"
#include "zevp/metafile_validation.h"

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

struct Validation {
  int result;
  std::vector<std::string> output;  // without the record echo
};

Validation Validate(const char* name) {
  StdoutCapture capture;
  int result = ZEVP_ValidateMetaFile(name);
  std::vector<std::string> output;
  for (const std::string& line : capture.takeLines())
    if (line.rfind("ZEVPV26I", 0) != 0) output.push_back(line);
  return {result, output};
}

const std::vector<std::string> kBody = {"//APPL Abc", "//NAME Grp E", "//ATTRIBUTES", "A1 G"};

// The report of a metafile with a group of each type, every kind of source, file
// mode and delimiter, KEY, ATOMIC and object identifiers, one of them too long
// for the report's line of old, matches the one written by hand from its templates.
TEST(ValidationRun, AValidMetafileGivesItsModelReport) {
  MetafileFixture fixture;
  std::filesystem::copy_file(ZEV_TEST_DATA_DIR "/model_report/m.mdl", fixture.directory() + "m.mdl");
  Validation run = Validate("m.mdl");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.output, (std::vector<std::string>{
                            "ZEVPV25I Processing input metafile " + fixture.directory() + "m.mdl",
                            "ZEVPV00I Validation completed successfully",
                            "ZEVPV90I Application metafile validation report saved in file " + fixture.directory() +
                                "m.rpt",
                        }));
  std::string golden = Contents(ZEV_TEST_DATA_DIR "/model_report/m.rpt");
  golden.replace(golden.find("@DIR@"), 5, Upper(fixture.directory()));
  EXPECT_EQ(Contents(fixture.directory() + "m.rpt"), golden);
}

TEST(ValidationRun, TheReportNeverTakesTheNameOfItsMetafile) {
  MetafileFixture fixture;
  for (const char* name : {"r.rpt", "u.RPT", "plain"}) fixture.write(name, kBody);
  for (const auto& [name, report] : std::vector<std::pair<std::string, std::string>>{
           {"r.rpt", "r.out"}, {"u.RPT", "u.out"}, {"plain", "plain.rpt"}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Validate(name.c_str()).result, 0);
    EXPECT_TRUE(std::filesystem::exists(fixture.directory() + report));
  }
  EXPECT_EQ(Contents(fixture.directory() + "r.rpt"), "//APPL Abc\n//NAME Grp E\n//ATTRIBUTES\nA1 G\n");
}

TEST(ValidationRun, ReportNames) {
  setenv("ZEVP_META_PATH", "/meta", 1);
  const std::pair<const char*, const char*> cases[] = {
      {"/dir/m.mdl", "/dir/m.rpt"}, {"/dir/m.rpt", "/dir/m.out"}, {"/dir/m", "/dir/m.rpt"}, {"/dir.d/m", "/dir.d/m.rpt"},
      {"m.mdl", "/meta/m.rpt"}, {"./m.mdl", "/meta/m.rpt"}, {"../m.RPT", "/meta/m.out"},
      {".hidden", "/meta/hidden.rpt"},
  };
  for (const auto& [metafile, report] : cases) EXPECT_EQ(zevp::ReportFileName(metafile), report) << metafile;
}

TEST(ValidationRun, AnInvalidMetafileOrNoNameFails) {
  MetafileFixture fixture;
  fixture.write("bad.mdl", {"//APPL Abc"});
  Validation bad = Validate("bad.mdl");
  EXPECT_EQ(bad.result, -1);
  EXPECT_EQ(bad.output.back(), "ZEVPV88E Validation unsuccessful");
  EXPECT_FALSE(std::filesystem::exists(fixture.directory() + "bad.rpt"));
  for (const char* name : {static_cast<const char*>(nullptr), ""}) {
    Validation none = Validate(name);
    EXPECT_EQ(none.result, -1);
    EXPECT_EQ(none.output, std::vector<std::string>{"ZEVPV22E Metafile name input parameter required"});
  }
}

}  // namespace

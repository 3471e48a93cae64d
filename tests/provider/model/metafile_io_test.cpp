// Opening and reading local and in-memory metafiles: where a name is looked for,
// the messages of the opening, a line longer than the record buffer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "application_entry.h"
#include "metafile_fixture.h"
#include "metafile_io.h"
#include "model_dump.h"
#include "stdout_capture.h"
#include "trace_capture.h"

namespace {

const std::vector<std::string> kBody = {"//APPL Abc", "//NAME Grp E", "//ATTRIBUTES", "A1 G"};
const char kNotFound[] = "ZEVPV01E Definition Error: File not found ";

TEST(MetafileIO, ABareNameIsTriedAsItStandsThenWithEitherExtension) {
  struct Case {
    const char* file;   // the one file in the directory
    const char* asked;  // the name given
    const char* opened; // the file that opened, empty when none
  };
  const Case cases[] = {
      {"m", "m", "m"},           {"m.mdl", "m", "m.mdl"}, {"m.MDL", "m", "m.MDL"},
      {"m.mdl", "./m", "m.mdl"}, {"m.mdl", "m.mdl", "m.mdl"}, {"m.txt", "m", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " asked as " + c.asked);
    MetafileFixture fixture;
    fixture.write(c.file, kBody);
    MetafileFixture::Parse parse = fixture.parse(c.asked);
    std::string opened = c.opened;
    std::vector<std::string> opening;
    if (opened != c.asked && !opened.empty() && std::string("./") + opened != c.asked)
      opening.push_back("ZEVPV24I Metafile with default extension assumed - " + fixture.directory() + opened);
    if (!opened.empty()) opening.push_back("ZEVPV25I Processing input metafile " + fixture.directory() + opened);
    EXPECT_EQ(parse.opening, opening);
    EXPECT_EQ(parse.opened, opened.empty() ? 0 : 1);
    EXPECT_EQ(parse.application != nullptr, !opened.empty());
    if (opened.empty()) {
      EXPECT_EQ(parse.output, std::vector<std::string>{kNotFound + std::string("m")});
    }
  }
}

// Outside a validation run the opening is silent but for a metafile not found,
// which a built-in application's name never is.
TEST(MetafileIO, AMissingMetafileIsReportedUnlessItNamesABuiltIn) {
  MetafileFixture fixture;
  fixture.write("here.mdl", kBody);
  for (const char* name : {"here", "absent", "ZEVthing", "zevthing", "ZeVthing"}) {
    SCOPED_TRACE(name);
    StdoutCapture capture;
    void* metafile = ZEVP_OpenMetaFile(fixture.anchor(), name, 0);
    std::vector<std::string> output = capture.takeLines();
    bool builtIn = std::string(name).rfind("ZEV", 0) == 0 || std::string(name).rfind("zev", 0) == 0;
    if (std::string(name) == "here") {
      EXPECT_NE(metafile, nullptr);
      EXPECT_TRUE(output.empty());
    } else {
      EXPECT_EQ(metafile, nullptr);
      EXPECT_EQ(output, builtIn ? std::vector<std::string>{} : std::vector<std::string>{kNotFound + std::string(name)});
    }
    EXPECT_EQ(ZEVP_CloseMetaFile(fixture.anchor(), metafile), 0);
  }
}

// The text after '&' is the metafile: a name line, then a record per non-empty
// line, up to the next line that begins with '&'.
TEST(MetafileIO, AnInMemoryMetafileIsReadFromItsText) {
  MetafileFixture fixture;
  const std::string text = "&memory\n//APPL Mem\n\n//NAME Grp E\n//ATTRIBUTES\nA1 G\n&next\nB1 G\n";
  MetafileFixture::Parse parse = fixture.parse(text);
  EXPECT_TRUE(parse.opening.empty());
  EXPECT_TRUE(parse.output.empty());
  EXPECT_EQ(DumpModel(parse.application),
            (std::vector<std::string>{"APPL Mem", "  GROUP Grp E ttl=0 sources=1 attrs=1/1",
                                      "    SOURCE B node=dphost delim=' '", "      ATTR A1 G 4/2147483647"}));

  // Closed before its last record: what is left is dropped with it.
  void* metafile = ZEVP_OpenMetaFile(fixture.anchor(), "&m\nfirst\nsecond\nthird", 0);
  ASSERT_NE(metafile, nullptr);
  char record[16];
  ASSERT_NE(ZEVP_ReadMetaFile(fixture.anchor(), metafile, record, 4), nullptr);
  EXPECT_STREQ(record, "fir") << "cut to the buffer";
  EXPECT_EQ(ZEVP_CloseMetaFile(fixture.anchor(), metafile), 0);
}

// The rest of a line that does not fit the buffer is not a record of its own.
TEST(MetafileIO, ALineLongerThanTheBufferIsCutAndItsRestDropped) {
  MetafileFixture fixture;
  fixture.write("long.mdl", {"first", std::string(40, 'x'), "third"});
  TraceCapture trace("*=0x80");
  void* metafile = ZEVP_OpenMetaFile(fixture.anchor(), "long.mdl", 0);
  ASSERT_NE(metafile, nullptr);
  std::vector<std::string> records;
  char record[16];
  while (ZEVP_ReadMetaFile(fixture.anchor(), metafile, record, sizeof record) != nullptr) records.push_back(record);
  EXPECT_EQ(ZEVP_CloseMetaFile(fixture.anchor(), metafile), 0);
  EXPECT_EQ(records, (std::vector<std::string>{"first\n", std::string(15, 'x'), "third\n"}));
  EXPECT_TRUE(trace.contains("*** Metafile record longer than 15 bytes, 25 bytes dropped"));
}

}  // namespace

// The order of the statements of a metafile, record handling before the
// statements, and what happens to a metafile that is loaded already.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>

#include "accepted_registrations.h"
#include "application_entry.h"
#include "dp_anchor.h"
#include "metafile_cases.h"
#include "metafile_fixture.h"
#include "model_dump.h"
#include "zev/dp_types.h"

namespace {

const char kTTLDefault[] = "ZEVPV46W Specification Warning: TTL not specified. Default value assumed. 300";

const std::vector<std::string> kSmallModel = {
    "APPL Abc",
    "  GROUP Grp P ttl=300 sources=1 attrs=1/1",
    "    SOURCE B node=dphost delim=';'",
    "      ATTR A1 D 8/8",
};

TEST(MetafileStatementOrder, StatementsOutOfOrderAreRefusedAndChangeNothing) {
  RunMetafileCases({
      {"comments and blank records only",
       {"* a comment", "//* another comment", "", "   \t "},
       {"ZEVPV27I Blank input record skipped", "ZEVPV27I Blank input record skipped",
        "ZEVPV03E Specification Error: Valid APPL statement not found in metafile case.mdl"},
       {}},
      {"a record before //APPL",
       {"//NAME Early", "//APPL Abc", "//NAME Grp", "//ATTRIBUTES ';'", "A1 D 8"},
       {"ZEVPV34E Specification Error: Statement bypassed until next APPL statement - //NAME Early", kTTLDefault},
       kSmallModel},
      {"a //SOURCE before //NAME",
       {"//APPL Abc", "//SOURCE FILE /tmp/x.log", "//NAME Grp", "//ATTRIBUTES ';'", "A1 D 8"},
       {"ZEVPV33E Specification Error: Statement bypassed until next NAME statement - //SOURCE FILE /tmp/x.log",
        kTTLDefault},
       kSmallModel},
      {"//SNMP twice, and after another statement",
       {"//SNMP TEXT", "//SNMP TEXT", "//APPL Abc", "//SNMP"},
       {"ZEVPV17E Specification Error: SNMP statement rejected. Duplicate or it is not first metafile record.",
        "ZEVPV17E Specification Error: SNMP statement rejected. Duplicate or it is not first metafile record.",
        "ZEVPV04E Specification Error: NAME statement not found or out of sequence in metafile case.mdl"},
       {}},
      {"//PLOVEN after //APPL",
       {"//APPL Abc", "//PLOVEN", "//NAME Grp", "//ATTRIBUTES ';'", "A1 D 8"},
       {"ZEVPV65E Specification Error: PLOVEN statement rejected. Duplicate or it is not first metafile record.",
        kTTLDefault},
       kSmallModel},
      {"a second //APPL stops the reading",
       {"//APPL Abc", "//NAME Grp", "//ATTRIBUTES ';'", "A1 D 8", "//APPL Other", "A2 D 8"},
       {kTTLDefault, "ZEVPV02E Specification Error: Only one application allowed in a metafile, case.mdl"},
       kSmallModel},
      {"an //APPL that fails leaves the records after it refused",
       {"//APPL Ab", "//NAME Grp"},
       {"ZEVPV30E Specification Error: Application name size is less than minimum three-character requirement - Ab",
        "ZEVPV34E Specification Error: Statement bypassed until next APPL statement - //NAME Grp",
        "ZEVPV03E Specification Error: Valid APPL statement not found in metafile case.mdl"},
       {}},
      {"a record outside an attribute section is ignored",
       {"//APPL Abc", "//NAME Grp", "Stray D 8", "//ATTRIBUTES ';'", "A1 D 8"},
       {kTTLDefault},
       kSmallModel},
  });
}

TEST(MetafileStatementOrder, ValidationEchoesEveryRecordWithItsNumber) {
  MetafileFixture fixture;
  fixture.write("echo.mdl", {"//APPL Abc", "* note", "", "//NAME Grp E", "//ATTRIBUTES", "A1 G"});
  MetafileFixture::Parse parse = fixture.parse("echo.mdl", 1, 0);
  EXPECT_EQ(parse.output, (std::vector<std::string>{
                              "ZEVPV26I Processing file record 0001 -> //APPL Abc",
                              "ZEVPV26I Processing file record 0002 -> * note",
                              "ZEVPV26I Processing file record 0003 -> ",
                              "ZEVPV27I Blank input record skipped",
                              "ZEVPV26I Processing file record 0004 -> //NAME Grp E",
                              "ZEVPV26I Processing file record 0005 -> //ATTRIBUTES",
                              "ZEVPV26I Processing file record 0006 -> A1 G",
                          }));
  EXPECT_EQ(DumpModel(parse.application), (std::vector<std::string>{
                                              "APPL Abc",
                                              "  GROUP Grp E ttl=0 sources=1 attrs=1/1",
                                              "    SOURCE B node=dphost delim=' '",
                                              "      ATTR A1 G 4/2147483647",
                                          }));
}

TEST(MetafileStatementOrder, ScrambledRecordsAfterTheMarkerAreReadUnscrambled) {
  // The object identifiers are for the //SNMP cases; other metafiles pass them over.
  const std::vector<std::string> body = {"//APPL Abc", "//NAME Grp", "//ATTRIBUTES ';'",
                                         "Agent_Info D 8 1.3.6.1.2.1.1.1.0", "Agent_Name D 8 1.3.6.1.2.1.1.5.0"};
  struct Case {
    const char* name;
    std::vector<std::string> markers;
    int plain;
  };
  for (const Case& c : std::vector<Case>{{"//PLOVEN", {"//PLOVEN"}, 1},
                                        {"//SNMP without TEXT", {"//SNMP"}, 1},
                                        {"//SNMP then //PLOVEN", {"//SNMP", "//PLOVEN"}, 1},
                                        {"//PLOVEN then //SNMP TEXT", {"//PLOVEN", "//SNMP TEXT"}, 1}}) {
    SCOPED_TRACE(c.name);
    MetafileFixture fixture;
    std::vector<std::string> lines = c.markers;
    lines.insert(lines.end(), body.begin(), body.end());
    fixture.writeScrambled("scrambled.mdl", lines, c.plain);
    MetafileFixture::Parse parse = fixture.parse("scrambled.mdl");
    ASSERT_NE(parse.application, nullptr);
    EXPECT_EQ(DumpModel(parse.application)[0].substr(0, 8), "APPL Abc");
    EXPECT_EQ(parse.output, std::vector<std::string>{kTTLDefault});
  }
  // With TEXT the records stay plain.
  MetafileFixture fixture;
  std::vector<std::string> lines = {"//SNMP TEXT"};
  lines.insert(lines.end(), body.begin(), body.end());
  fixture.write("text.mdl", lines);
  EXPECT_NE(fixture.parse("text.mdl").application, nullptr);
}

// The scrambling tool that ships with the agent writes metafiles the parser reads.
TEST(MetafileStatementOrder, AMetafileScrambledByTheToolIsRead) {
  MetafileFixture fixture;
  std::string plain = fixture.write("plain.txt", {"//PLOVEN", "//APPL Abc", "//NAME Grp", "//ATTRIBUTES ';'",
                                                  "A1 D 8"});
  std::string tool = std::string(std::getenv("ZEV_TEST_TOOLS")) + "/zevscramble";
  ASSERT_EQ(std::system((tool + " encipher -p 1 " + plain + " " + fixture.directory() + "tool.mdl").c_str()), 0);
  MetafileFixture::Parse parse = fixture.parse("tool.mdl");
  EXPECT_EQ(parse.output, std::vector<std::string>{kTTLDefault});
  EXPECT_EQ(DumpModel(parse.application), kSmallModel);
}

TEST(MetafileStatementOrder, AMetafileLoadedBeforeIsNotReadAgain) {
  MetafileFixture fixture;
  std::string path = fixture.write("twice.mdl", {"//APPL Abc", "//NAME Grp E", "//ATTRIBUTES", "A1 G"});
  MetafileFixture::Parse first = fixture.parse("twice.mdl");
  ASSERT_NE(first.application, nullptr);
  EXPECT_EQ(first.alreadyDefined, 0);
  EXPECT_EQ(first.opened, 1);

  for (const std::string& name : {std::string("twice.mdl"), path, std::string("twice"), std::string("ABC")}) {
    SCOPED_TRACE(name);
    MetafileFixture::Parse again = fixture.parse(name);
    EXPECT_EQ(again.application, first.application);
    EXPECT_EQ(again.alreadyDefined, 1);
    EXPECT_EQ(again.opened, 0);
    EXPECT_EQ(again.output, std::vector<std::string>{
                                "ZEVPV35W Processing Warning: Existing application specification assumed. Metafile "
                                "already defined - " + name});
  }
}

TEST(MetafileStatementOrder, AnApplicationNameLoadedFromAnotherMetafileIsRefused) {
  MetafileFixture fixture;
  fixture.write("one.mdl", {"//APPL Abc", "//NAME Grp E", "//ATTRIBUTES", "A1 G"});
  fixture.write("two.mdl", {"//APPL abc", "//NAME Grp E", "//ATTRIBUTES", "A1 G"});
  ASSERT_NE(fixture.parse("one.mdl").application, nullptr);
  MetafileFixture::Parse second = fixture.parse("two.mdl");
  EXPECT_EQ(second.application, nullptr);
  EXPECT_EQ(second.output, (std::vector<std::string>{
                               "ZEVPV78E Specification Error: Same APPL name already defined in another metafile. "
                               "Request ignored. Duplicate application. abc",
                               "ZEVPV03E Specification Error: Valid APPL statement not found in metafile two.mdl"}));
}

TEST(MetafileStatementOrder, AMetafileForAnotherTypeOfDataProviderIsBypassedSilently) {
  MetafileFixture fixture;
  fixture.write("snmp.mdl", {"//SNMP TEXT", "//APPL Abc", "//NAME Grp E", "//ATTRIBUTES",
                             "Agent_Info D 64 1.3.6.1.2.1.1.1.0", "Agent_Name D 32 1.3.6.1.2.1.1.5.0"});
  fixture.write("plain.mdl", {"//APPL Def", "//NAME Grp E", "//ATTRIBUTES", "A1 G"});

  fixture.anchor()->dpType = ZEV_DP_FILE;
  AcceptedRegistrations registrations;
  MetafileFixture::Parse outside = fixture.parse("snmp.mdl", 0);
  EXPECT_EQ(outside.application, nullptr);
  EXPECT_EQ(outside.opened, 1);
  EXPECT_TRUE(outside.output.empty());
  EXPECT_EQ(fixture.anchor()->applications, nullptr);

  // A validation run reads an //SNMP metafile in any data provider.
  MetafileFixture::Parse validated = fixture.parse("snmp.mdl", 1);
  ASSERT_NE(validated.application, nullptr);
  EXPECT_TRUE(validated.application->SNMPapplication);
  fixture.release(validated.application);

  fixture.anchor()->dpType = ZEV_DP_SNMP;
  EXPECT_EQ(fixture.parse("plain.mdl", 1).application, nullptr);
  EXPECT_NE(fixture.parse("snmp.mdl", 0).application, nullptr);
  EXPECT_EQ(registrations.count(), 1) << "a bypassed metafile is not registered";
}

// A record buffer without room for a character would read empty records for ever.
TEST(MetafileStatementOrder, ARecordSizeWithoutRoomForACharacterIsReplaced) {
  MetafileFixture fixture;
  fixture.write("small.mdl", {"//APPL Abc", "//NAME Grp", "//ATTRIBUTES ';'", "A1 D 8"});
  setenv("ZEVP_META_MAX_RECORD_SIZE", "1", 1);
  MetafileFixture::Parse parse = fixture.parse("small.mdl");
  unsetenv("ZEVP_META_MAX_RECORD_SIZE");
  EXPECT_EQ(DumpModel(parse.application), kSmallModel);
}

TEST(MetafileStatementOrder, AMissingMetafileGivesNoApplication) {
  MetafileFixture fixture;
  MetafileFixture::Parse parse = fixture.parse("absent.mdl");
  EXPECT_EQ(parse.application, nullptr);
  EXPECT_EQ(parse.opened, 0);
}

}  // namespace

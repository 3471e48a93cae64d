// The statements inside an attribute group besides //SOURCE and //ATTRIBUTES:
// //CONFIRM, //RECORDSET, //INTERNAL, //SUMMARY and //ODBC.
#include <gtest/gtest.h>

#include "application_entry.h"
#include "dp_anchor.h"
#include "internal_routing_block.h"
#include "metafile_cases.h"
#include "metafile_fixture.h"
#include "summary_help_texts.h"
#include "table_entry.h"

namespace {

std::vector<std::string> group(const std::string& name, const std::vector<std::string>& statements) {
  std::vector<std::string> lines = {"//NAME " + name + " E"};
  lines.insert(lines.end(), statements.begin(), statements.end());
  lines.push_back("//ATTRIBUTES");
  lines.push_back("A1 D 8");
  return lines;
}

std::vector<std::string> metafile(const std::vector<std::string>& statements) {
  std::vector<std::string> lines = {"//APPL Abc"};
  std::vector<std::string> body = group("Grp", statements);
  lines.insert(lines.end(), body.begin(), body.end());
  return lines;
}

std::vector<std::string> model(const std::string& groupLine) {
  return {"APPL Abc", "  GROUP Grp E ttl=0 sources=1 attrs=1/1" + groupLine, "    SOURCE B node=dphost delim=' '",
          "      ATTR A1 D 8/8"};
}

TEST(MetafileGroupStatements, ConfirmAndRecordSets) {
  RunMetafileCases({
      {"confirmation by size", metafile({"//CONFIRM size"}), {}, model(" confirm=1")},
      {"by sequence number", metafile({"//CONFIRM SEQ "}), {}, model(" confirm=4")},
      {"by one character in hex", metafile({"//CONFIRM x0A"}), {}, model(" confirm=2:10")},
      {"by a message", metafile({"//CONFIRM 'Got it, thanks'"}), {}, model(" confirm=3:Got it, thanks")},
      {"invalid confirmations", metafile({"//CONFIRM SIZES", "//CONFIRM X1FF", "//CONFIRM"}),
       {"ZEVPV64E Specification Error: Confirm statement specification invalid. SIZES",
        "ZEVPV64E Specification Error: Confirm statement specification invalid. X1FF"},
       model("")},
      {"a record set begin string", metafile({"//RECORDSET 'BEGIN REC'"}), {}, model(" rsdelim=BEGIN REC")},
      {"a record set count and its rule", metafile({"//RECORDSET 3 NEW(0,==,HDR) rest"}), {},
       model(" recordset=3 rstext=NEW(0,==,HDR")},
      {"record set counts below 2 are invalid", metafile({"//RECORDSET 1", "//RECORDSET -4 x", "//RECORDSET"}), {},
       model("")},
  });
}

TEST(MetafileGroupStatements, SummaryAndOdbcStatements) {
  RunMetafileCases({
      {"a summary interval above a day", metafile({"//SUMMARY 90000 BATCH"}),
       {"ZEVPV93W Specification Warning: Summary interval too large. Reset to default maximum from 90000",
        "ZEVPV91W Specification Warning: Summary attribute group defined without key attribute. Summarize by "
        "timestamp for Grp"},
       {"APPL Abc", "  GROUP Grp E ttl=0 sources=1 attrs=7/6", "    SOURCE B node=dphost delim=' '",
        std::string("      ATTR _Interval_Unit C 4/99999999 help=") + kSummaryIntervalHelp,
        std::string("      ATTR _Interval C 4/99999999 help=") + kSummaryIntervalHelp,
        std::string("      ATTR _Occurrences C 4/99999999 help=") + kSummaryOccurrencesHelp, "      ATTR A1 D 8/8 hidden",
        "      ATTR _LocalTimeStamp T 16/16", std::string("      ATTR _Date_Time D 24/24 help=") + kSummaryDateTimeHelp,
        std::string("      ATTR _Interval_Unit_Name D 24/24 help=") + kSummaryUnitNameHelp}},
      {"an ODBC statement", metafile({"//ODBC i DSN=orders"}), {}, model(" odbc=I:orders")},
      {"the later of two ODBC statements", metafile({"//ODBC O DSN=first", "//ODBC input dsn=second"}), {},
       model(" odbc=I:second")},
      {"an ODBC type that is neither I nor O", metafile({"//ODBC x DSN=orders"}),
       {"ZEVPV97E Specification Error: Invalid ODBC type or not specified. x"}, model("")},
      {"no ODBC type", metafile({"//ODBC DSN=orders"}),
       {"ZEVPV97E Specification Error: Invalid ODBC type or not specified.  "}, model("")},
      {"no data source name", metafile({"//ODBC I", "//ODBC O DSN="}),
       {"ZEVPV98E Specification Error: ODBC Data Source Name required.",
        "ZEVPV98E Specification Error: ODBC Data Source Name required."},
       model("")},
  });
}

TEST(MetafileGroupStatements, InternalRoutingLinksOutputAndInputGroups) {
  MetafileFixture fixture;
  std::vector<std::string> lines = {"//APPL Abc"};
  for (const auto& body : {group("Out", {"//INTERNAL output route1"}), group("In1", {"//INTERNAL INPUT Route1"}),
                           group("In2", {"//INTERNAL input ROUTE1", "//INTERNAL INPUT route1"}),
                           group("Bad", {"//INTERNAL SIDEWAYS route1", "//INTERNAL OUTPUT", "//INTERNAL OUTPUT route1",
                                         "//INTERNAL INPUT route2", "//INTERNAL INPUT route3"})})
    lines.insert(lines.end(), body.begin(), body.end());
  fixture.write("routes.mdl", lines);
  MetafileFixture::Parse parse = fixture.parse("routes.mdl");
  EXPECT_EQ(parse.output, (std::vector<std::string>{
                              "ZEVPV83E Specification Error: Duplicate INTERNAL Input statements for the same "
                              "destination ROUTE1",
                              "ZEVPV84E Specification Error: Invalid INTERNAL statement type SIDEWAYS",
                              "ZEVPV85E Specification Error: Incomplete INTERNAL statement definition.",
                              "ZEVPV83E Specification Error: Duplicate INTERNAL Input statements for the same "
                              "destination ROUTE1",
                              "ZEVPV83E Specification Error: Duplicate INTERNAL Input statements for the same "
                              "destination ROUTE3",
                          }));
  ASSERT_NE(parse.application, nullptr);
  TableEntry* out = parse.application->FirstTable;
  TableEntry* in1 = out->next;
  TableEntry* in2 = in1->next;
  TableEntry* bad = in2->next;

  InternalRoutingBlock* route1 = fixture.anchor()->internalRoutingBlocks;
  ASSERT_NE(route1, nullptr);
  EXPECT_STREQ(route1->Name, "ROUTE1");
  EXPECT_EQ(route1->Output, out);
  EXPECT_EQ(out->RoutingBlock, route1);
  EXPECT_EQ(route1->FirstInput, in1);
  EXPECT_EQ(in1->NextInputTable, in2);
  EXPECT_EQ(in2->NextInputTable, nullptr);
  EXPECT_EQ(route1->InputCount, 2);
  EXPECT_EQ(in1->RoutingBlock, nullptr);

  // The refused statements left the other blocks without a second chain through Bad.
  InternalRoutingBlock* route2 = route1->next;
  ASSERT_NE(route2, nullptr);
  EXPECT_STREQ(route2->Name, "ROUTE2");
  EXPECT_EQ(route2->FirstInput, bad);
  EXPECT_EQ(bad->NextInputTable, nullptr);
  EXPECT_EQ(bad->RoutingBlock, nullptr);
}

}  // namespace

// What completing an attribute group adds: inserted attributes, the copies of
// the attribute list for every source, the key of key data and SNMP groups.
#include <gtest/gtest.h>

#include <string>

#include "application_entry.h"
#include "attribute_entry.h"
#include "metafile_cases.h"
#include "metafile_fixture.h"
#include "model_dump.h"
#include "source_entry.h"
#include "table_entry.h"

namespace {

const char kSourceNameHelp[] =
    "Dorvane Agent inserted attribute per metafile keyword AddSourceName specification. It contains the data source "
    "origin node host name.";
const char kTimeStampHelp[] =
    "Dorvane Agent inserted attribute per metafile keyword AddTimeStamp specification. It is the 16-byte Ploven "
    "timestamp when the data arrived.";

TEST(GroupCompletion, InsertedAttributesAndKeys) {
  RunMetafileCases({
      {"AddSourceName and AddTimeStamp, in any case",
       {"//APPL Abc", "//NAME Grp E addTimeStamp AddSourceName", "//ATTRIBUTES", "A1 D 8"},
       {},
       {"APPL Abc", "  GROUP Grp E ttl=0 sources=1 attrs=3/3", "    SOURCE B node=dphost delim=' '",
        "      ATTR A1 D 8/8", std::string("      ATTR _DataSourceName D 32/32 help=") + kSourceNameHelp,
        std::string("      ATTR _LocalTimeStamp T 16/16 help=") + kTimeStampHelp}},
      {"a key data group without KEY keys the first attribute of each source",
       {"//APPL Abc", "//NAME Grp K 60", "//SOURCE BASE one", "//SOURCE BASE two", "//ATTRIBUTES", "A1 D 8",
        "A2 G"},
       {},
       {"APPL Abc", "  GROUP Grp K ttl=60 sources=2 attrs=2/2", "    SOURCE B one node=dphost delim=' '",
        "      ATTR A1 D 8/8 key", "      ATTR A2 G 4/2147483647", "    SOURCE B two node=dphost delim=' '",
        "      ATTR A1 D 8/8 key", "      ATTR A2 G 4/2147483647"}},
      {"an SNMP table without key gains _ObjectInstance",
       {"//SNMP TEXT", "//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES", "Agent_Info D 64 1.3.6.1.2.1.1.1.0",
        "Agent_Name D 64 1.3.6.1.2.1.1.5.0", "ifDescr D 32 1.3.6.1.2.1.2.2.1.2"},
       {},
       {"APPL Abc SNMP enterprise=Abc,", "  GROUP Grp P ttl=60 sources=1 attrs=4/4",
        "    SOURCE N node=dphost delim=' '", "      ATTR Agent_Info D 64/64 oid=1.3.6.1.2.1.1.1.0 encoded",
        "      ATTR Agent_Name D 64/64 oid=1.3.6.1.2.1.1.5.0 encoded",
        "      ATTR ifDescr D 32/32 oid=1.3.6.1.2.1.2.2.1.2", "      ATTR _ObjectInstance D 128/127 key"}},
      {"an SNMP scalar group keeps its rows unkeyed",
       {"//SNMP TEXT", "//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES", "Agent_Info D 64 1.3.6.1.2.1.1.1.0",
        "Agent_Name D 64 1.3.6.1.2.1.1.5.0", "sysUpTime G 2000000000 1.3.6.1.2.1.1.3.0"},
       {},
       {"APPL Abc SNMP enterprise=Abc,", "  GROUP Grp P ttl=60 sources=1 attrs=3/3",
        "    SOURCE N node=dphost delim=' '", "      ATTR Agent_Info D 64/64 oid=1.3.6.1.2.1.1.1.0 encoded",
        "      ATTR Agent_Name D 64/64 oid=1.3.6.1.2.1.1.5.0 encoded",
        "      ATTR sysUpTime G 4/2000000000 oid=1.3.6.1.2.1.1.3.0 encoded"}},
  });
}

// Every source of a group holds its own attribute list, whose formulas compute
// with that list's attributes.
TEST(GroupCompletion, ASecondSourceGetsItsOwnCopyWithItsOwnOperands) {
  MetafileFixture fixture;
  fixture.write("copy.mdl", {"//APPL Abc", "//NAME Grp E", "//SOURCE BASE one", "//SOURCE BASE two",
                             "//ATTRIBUTES ';'", "A1 G", "A2 G", "T1 D 8 +FILTER={SCAN(0,x)} ENUM{1=a}",
                             "Sum (A1 + A2)", "Ts (UTCTOGMT = A1)"});
  MetafileFixture::Parse parse = fixture.parse("copy.mdl");
  ASSERT_NE(parse.application, nullptr);
  SourceEntry* one = parse.application->FirstTable->FirstSource;
  SourceEntry* two = one->next;
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(DumpAttributes(one), DumpAttributes(two));
  EXPECT_EQ(ZEVP_CheckSourceState(two, ZEVP_Initial), 1);
  EXPECT_EQ(ZEVP_CheckSourceState(two, ZEVP_Ready), 0);
  EXPECT_STREQ(two->AttrDelimiter, ";");
  EXPECT_NE(two->AttrDelimiter, one->AttrDelimiter);

  auto nth = [](SourceEntry* source, int n) {
    AttributeEntry* attribute = source->FirstAttribute;
    while (n-- > 0) attribute = attribute->next;
    return attribute;
  };
  for (SourceEntry* source : {one, two}) {
    SCOPED_TRACE(source->SourceName);
    AttributeEntry* sum = nth(source, 3);
    EXPECT_EQ(sum->AttrOper1, nth(source, 0));
    EXPECT_EQ(sum->AttrOper2, nth(source, 1));
    AttributeEntry* stamp = nth(source, 4);
    EXPECT_EQ(stamp->AttrOper2, nth(source, 0));
  }
  // Owned texts are each list's own: both lists are freed without a double free.
  EXPECT_NE(nth(one, 2)->FilterTerms[0].CompareString, nth(two, 2)->FilterTerms[0].CompareString);
  EXPECT_NE(nth(one, 2)->Enumeration, nth(two, 2)->Enumeration);
  EXPECT_EQ(nth(one, 4)->AttrOper1, nth(two, 4)->AttrOper1);  // the derived function's entry
}

}  // namespace

// Attribute definitions: types and sizes, names, KEY and ATOMIC, formulas,
// options, filters and SNMP object identifiers.
#include <gtest/gtest.h>

#include <string>

#include "application_entry.h"
#include "attribute_entry.h"
#include "manual_clock.h"
#include "metafile_cases.h"
#include "metafile_fixture.h"
#include "source_entry.h"
#include "table_entry.h"

namespace {

const char kNoAttribute[] = "ZEVPV05E Specification Error: No attribute found for APPL statement in metafile case.mdl";

// A metafile whose group (of the given //NAME words) holds the definitions.
std::vector<std::string> definitions(const std::vector<std::string>& attributes, const std::string& group = "Grp P 60",
                                     const std::string& delimiter = "';'") {
  std::vector<std::string> lines = {"//APPL Abc", "//NAME " + group, "//ATTRIBUTES " + delimiter};
  lines.insert(lines.end(), attributes.begin(), attributes.end());
  return lines;
}

// The model of such a metafile with one base source.
std::vector<std::string> model(const std::string& group, const std::vector<std::string>& attributes,
                               const std::string& delimiter = " delim=';'") {
  std::vector<std::string> lines = {"APPL Abc", "  GROUP " + group, "    SOURCE B node=dphost" + delimiter};
  for (const std::string& attribute : attributes) lines.push_back("      ATTR " + attribute);
  return lines;
}

TEST(MetafileAttributes, TypesAndSizes) {
  RunMetafileCases({
      {"every type with its size word",
       definitions({"D1 D 10", "D2 D 5000", "N1 N 3", "O1 O 7", "K1 K 3", "T1 T", "S1 S", "S2 S 5", "G1 G 32767",
                    "G2 G 32768", "G3 G 1e12", "C1 C", "A1 A 100", "R1 ? 100", "P1 % 100", "X1 # 50"}),
       {"ZEVPV54W Specification Warning: Display or numeric data type maximum length changed to maximum of 3800 "
        "from 5000"},
       model("Grp P ttl=60 sources=1 attrs=16/15 rate",
             {"D1 D 12/10", "D2 D 3800/5000", "N1 N 4/3", "O1 O 7/7", "K1 K 3/3", "T1 T 16/0", "S1 S 2/1",
              "S2 S 2/5", "G1 G 2/32767", "G2 G 4/32768", "G3 G 4/2147483647", "C1 C 4/2147483647", "A1 A 2/100",
              "R1 ? 4/100", "P1 % 4/100", "X1 # 4/50"})},
      {"short and long binaries in a group without delimiter",
       definitions({"I1 I 4", "L1 L 4"}, "Grp P 60", "NONE"),
       {},
       model("Grp P ttl=60 sources=1 attrs=2/2", {"I1 G 2/32767", "L1 G 4/2147483647"}, "")},
      {"short and long binaries need a group without delimiter",
       definitions({"I1 I 4", "L1 L 4"}),
       {"ZEVPV48E Specification Error: Short or Long data type only valid for attribute group without delimiter, "
        "ignored",
        "ZEVPV48E Specification Error: Short or Long data type only valid for attribute group without delimiter, "
        "ignored",
        kNoAttribute},
       {}},
      {"missing type or size words, and an unknown type",
       definitions({"Lonely", "D0 D", "Z0 z", "N0 N", "Q0 ? ", "W1 W 4"}),
       {"ZEVPV07E Specification Error: Incomplete attribute definition, Lonely",
        "ZEVPV07E Specification Error: Incomplete attribute definition, D0",
        "ZEVPV07E Specification Error: Incomplete attribute definition, Z0",
        "ZEVPV41E Specification Error: No data size specification for Display, Record, or Object type attribute, "
        "ignored",
        "ZEVPV41E Specification Error: No data size specification for Display, Record, or Object type attribute, "
        "ignored",
        "ZEVPV40E Specification Error: Invalid attribute type, W", kNoAttribute},
       {}},
      {"a negative size counts as none",
       definitions({"D9 D -5", "K9 K -5", "N9 N -1"}),
       {"ZEVPV41E Specification Error: No data size specification for Display, Record, or Object type attribute, "
        "ignored",
        "ZEVPV41E Specification Error: No data size specification for Display, Record, or Object type attribute, "
        "ignored"},
       model("Grp P ttl=60 sources=1 attrs=1/0", {"K9 K 1/1"})},
      {"nothing follows a last attribute, and a record attribute silently ends the group",
       definitions({"Z1 Z 20", "After D 4", "//NAME G2 E", "//ATTRIBUTES", "R1 R 200", "Ignored D 4"}),
       {"ZEVPV19E Specification Error: Attribute definition found after Last type attribute, ignored. After"},
       {"APPL Abc", "  GROUP Grp P ttl=60 sources=1 attrs=1/1 last", "    SOURCE B node=dphost delim=';'",
        "      ATTR Z1 Z 20/20", "  GROUP G2 E ttl=0 sources=1 attrs=1/1", "    SOURCE B node=dphost delim=' '",
        "      ATTR R1 R 200/200"}},
  });
}

TEST(MetafileAttributes, NamesHelpKeyAndAtomic) {
  std::string longName(219, 'n');
  RunMetafileCases({
      {"names: outside the row, invalid characters, too long; left truncation; help texts",
       definitions({"-Hidden D 4", "Bad.name G", longName + " G", "Tail DL 10 @Rightmost; kept",
                    "Both dl 4 @ "}),
       {"ZEVPV28W Specification Warning: Invalid name character replaced by _ character",
        "ZEVPV29W Specification Warning: Name truncated to default maximum size of 218"},
       model("Grp P ttl=60 sources=1 attrs=5/4",
             {"Hidden D 4/4 hidden", "Bad_name G 4/2147483647", std::string(218, 'n') + " G 4/2147483647",
              "Tail D 12/10 lefttrunc help=Rightmost. kept", "Both D 4/4 lefttrunc"})},
      {"KEY and ATOMIC in a key data group",
       definitions({"K1 D 8 ATOMIC KEY", "C1 C 10 atomic", "F1 D 8 keys", "M1 D 8 (KEY)"}, "Grp K 60"),
       {"ZEVPV61W Specification Warning: ATOMIC specification for numeric attribute, changing to non-Atomic."},
       model("Grp K ttl=60 sources=1 attrs=4/4",
             {"K1 D 8/8 key atomic", "C1 C 2/10", "F1 D 8/8 key", "M1 D 8/8"})},
      {"KEY outside a key data group",
       definitions({"K1 D 8 KEY"}),
       {"ZEVPV59V Specification Warning: KEY specification for attribute in non-KEY attribute group, ignored."},
       model("Grp P ttl=60 sources=1 attrs=1/1", {"K1 D 8/8"})},
  });
}

TEST(MetafileAttributes, TheAttributeLimitOfAGroup) {
  std::vector<std::string> attributes;
  std::vector<std::string> dumped;
  for (int i = 1; i <= 64; ++i) attributes.push_back("A" + std::to_string(i) + " G");
  for (int i = 1; i <= 63; ++i) dumped.push_back("A" + std::to_string(i) + " G 4/2147483647");
  std::vector<std::string> limit(attributes.begin(), attributes.end() - 1);
  RunMetafileCases({
      {"63 attributes", definitions(limit), {}, model("Grp P ttl=60 sources=1 attrs=63/63", dumped)},
      {"the 64th attribute rejects the application", definitions(attributes),
       {"ZEVPV31W Specification Warning: Total number of attributes exceeded maximum limit. Ignored - A64"},
       {}},
  });
}

TEST(MetafileAttributes, Formulas) {
  const std::vector<std::string> operands = {"A1 G", "A2 G", "T1 D 8", "T2 D 4"};
  auto with = [&](const std::vector<std::string>& formulas) {
    std::vector<std::string> all = operands;
    all.insert(all.end(), formulas.begin(), formulas.end());
    return definitions(all);
  };
  const std::vector<std::string> dumpedOperands = {"A1 G 4/2147483647", "A2 G 4/2147483647", "T1 D 8/8",
                                                   "T2 D 4/4"};
  auto dumped = [&](const std::vector<std::string>& formulas) {
    std::vector<std::string> all = dumpedOperands;
    all.insert(all.end(), formulas.begin(), formulas.end());
    return all;
  };
  RunMetafileCases({
      {"arithmetic, joined text and real results",
       with({"Sum (A1 + A2) @Total", "Join (T1 + T2)", "Ratio (A1 / A2) REAL"}),
       {},
       model("Grp P ttl=60 sources=1 attrs=7/7",
             dumped({"Sum G 4/2147483647 formula=A1+A2 help=Total", "Join D 12/12 formula=T1+T2",
                     "Ratio D 20/20 real formula=A1/A2"}))},
      {"derived functions",
       with({"When (UTCTOGMT = A1)", "Local (utctolocaltime = A1)", "Host (IPADDRESSTONAME = T1)",
             "Nw (NETWARETIMETOTEXT = T1)", "Ts (PLOVENTIMESTAMP = T2)"}),
       {},
       model("Grp P ttl=60 sources=1 attrs=9/9",
             dumped({"When T 16/0 formula=UTCTOGMT=A1", "Local T 16/0 formula=UTCTOLOCALTIME=A1",
                     "Host D 256/256 formula=IPADDRESSTONAME=T1", "Nw D 24/24 formula=NETWARETIMETOTEXT=T1",
                     "Ts T 16/0 formula=PLOVENTIMESTAMP=T2"}))},
      {"invalid formulas",
       with({"NoBlanks (A1+A2)", "NoSecond (A1 +)", "Unknown (A1 + Nope)", "Minus (T1 - T2)", "Mixed (T1 + A1)",
             "Open (A1 + A2", "Hidden (UTCTOGMT = Nope)"}),
       {"ZEVPV63E Specification Error: Attribute formula definition invalid. NoBlanks",
        "ZEVPV63E Specification Error: Attribute formula definition invalid. NoSecond",
        "ZEVPV63E Specification Error: Attribute formula definition invalid. Unknown",
        "ZEVPV63E Specification Error: Attribute formula definition invalid. Minus",
        "ZEVPV63E Specification Error: Attribute formula definition invalid. Mixed",
        "ZEVPV63E Specification Error: Attribute formula definition invalid. Open",
        "ZEVPV63E Specification Error: Attribute formula definition invalid. Hidden"},
       model("Grp P ttl=60 sources=1 attrs=4/4", dumpedOperands)},
  });
}

TEST(MetafileAttributes, Options) {
  RunMetafileCases({
      {"delimiter overrides",
       definitions({"A D 8 DLM='|'", "B D 8 DLM='<>' @Between", "C D 8 DLM='abc'", "E D 8 DLM=;"}),
       {"ZEVPV82E Specification Error: Attribute specific delimiter definition invalid. abc"},
       model("Grp P ttl=60 sources=1 attrs=4/4",
             {"A D 8/8 dlm=|", "B D 8/8 dlm=<> help=Between", "C D 8/8", "E D 8/8 dlm=;"})},
      {"sort keys, order sequences and enumerations",
       definitions({"F G 1000 SKEY=SUM", "Fd D 8 SKEY=sum", "Fk D 8 SKEY= 2 SEQ=3", "H G 9 seq=SUM",
                    "J D 8 @Link state ENUM{0=Down,1=Up} KEY"}),
       {"ZEVPV92E Specification Error: Total by summary specified for non-numeric attribute. Sum specification "
        "ignored."},
       model("Grp P ttl=60 sources=1 attrs=5/5",
             {"F G 2/1000 skey=-1", "Fd D 8/8", "Fk D 8/8 seq=3 skey=2", "H G 2/9",
              "J D 8/8 enum=ENUM{0=Down,1=Up} help=Link state "})},
      // The fault: the option or keyword after a type without a size word was taken as
      // its size (SEQ=1 gave a count of 2 bytes).
      {"an option or keyword where a type has no size word",
       definitions({"Cnt C SEQ=1", "Stamp T SKEY=2", "Flag S DLM='|'", "Key C KEY", "Text D SEQ=2"}, "Grp K 60"),
       {"ZEVPV07E Specification Error: Incomplete attribute definition, Text"},
       model("Grp K ttl=60 sources=1 attrs=4/4",
             {"Cnt C 4/2147483647 seq=1", "Stamp T 16/0 skey=2", "Flag S 2/1 dlm=|", "Key C 4/2147483647 key"})},
  });
}

TEST(MetafileAttributes, Filters) {
  RunMetafileCases({
      {"terms joined by AND then OR, a value with blanks and commas",
       definitions({"M D 20 +FILTER={SCAN(0,abc) AND MATCH( 2, x,y ) OR SCAN(1,z)} @Matched"}),
       {"ZEVPV75W Specification Warning: Invalid attribute filter syntax, logic operation must be the same. OR in "
        "effect"},
       model("Grp P ttl=60 sources=1 attrs=1/1", {"M D 20/20 filter=+|:S0(abc),M2(x,y ),S1(z) help=Matched"})},
      {"numeric terms",
       definitions({"N G 100 -FILTER={NUMBER>(5,50) & number<=(0,7)}", "N2 G 100 +FILTER={NUMBER>=(0,500)}"}),
       {"ZEVPV72E Specification Error: Invalid attribute filter syntax, compare string longer than data size. "
        "filter value 500 defined attribute max value 100"},
       model("Grp P ttl=60 sources=1 attrs=2/2", {"N G 2/100 filter=-&:>0(50),L0(7)", "N2 G 2/100"})},
      {"terms that do not fit their attribute",
       definitions({"D3 D 8 +FILTER={NUMBER=(0,5)}", "C4 C 10 +FILTER={SCAN(0,x)}", "D9 D 8 +FILTER={SCAN(20,a)}",
                    "Da D 4 +FILTER={SCAN(0,abcdef)}", "Df D 8 +FILTER={SCAN(-1,a)}"}),
       {"ZEVPV77E Specification Error: Invalid attribute filter syntax, NUMBER filter invalid for display type "
        "attributes",
        "ZEVPV76E Specification Error: Invalid attribute filter syntax, SCAN or MATCH filter invalid for numeric "
        "attributes",
        "ZEVPV71E Specification Error: Invalid attribute filter syntax, offset larger than data size. offset 20 "
        "defined attribute value size 8",
        "ZEVPV72E Specification Error: Invalid attribute filter syntax, compare string longer than data size. "
        "string size 6 defined attribute value size 4",
        "ZEVPV70E Specification Error: Invalid attribute filter syntax, offset specification -1"},
       model("Grp P ttl=60 sources=1 attrs=5/5",
             {"D3 D 8/8", "C4 C 2/10", "D9 D 8/8", "Da D 4/4",
              "Df D 8/8"})},
      {"syntax faults keep the terms before them",
       definitions({"D5 D 8 +FILTER={MATCH(0,a) OR SCAN (0,x)}", "D6 D 8 +FILTER={MATCH(0,a) AND}",
                    "D7 D 8 FILTER={SCAN(0,a)}", "Db D 8 +FILTER={SCAN(0,a) XOR MATCH(0,b)}",
                    "Dd D 8 +FILTER={SCAN(0 a)}", "De D 8 +FILTER={SCAN0,a}", "Dg D 8 +FILTER={SCAN(0,a@b)} @At"}),
       {"ZEVPV69E Specification Error: Invalid attribute filter syntax, undefined type SCAN ",
        "ZEVPV66E Specification Error: Invalid attribute filter keyword, must be +FILTER or -FILTER",
        "ZEVPV74W Specification Warning: Invalid attribute filter syntax, invalid logic operation. OR assumed. XOR",
        "ZEVPV70E Specification Error: Invalid attribute filter syntax, offset specification 0 a)",
        "ZEVPV68E Specification Error: Invalid attribute filter syntax, must be enclosed in (). SCAN0,a"},
       model("Grp P ttl=60 sources=1 attrs=7/7",
             {"D5 D 8/8 filter=+|:M0(a)", "D6 D 8/8 filter=+ :M0(a)", "D7 D 8/8", "Db D 8/8 filter=+|:S0(a),M0(b)",
              "Dd D 8/8", "De D 8/8", "Dg D 8/8 filter=+ :S0(a@b) help=At"})},
  });
}

TEST(MetafileAttributes, GroupDelimiters) {
  auto withDelimiter = [](const std::string& delimiter) { return definitions({"A1 D 8"}, "Grp P 60", delimiter); };
  auto dumped = [](const std::string& delimiter) {
    return model("Grp P ttl=60 sources=1 attrs=1/1", {"A1 D 8/8"}, delimiter);
  };
  RunMetafileCases({
      {"none given", withDelimiter(""), {}, dumped(" delim=' '")},
      {"one character in quotes", withDelimiter("'@' @ not a help text"), {}, dumped(" delim='@'")},
      {"a begin and an end character", withDelimiter("\"<>\""), {}, dumped(" delim='<>'")},
      {"empty quotes", withDelimiter("''"), {}, dumped(" delim=' '")},
      {"without quotes", withDelimiter(","), {}, dumped(" delim=','")},
      {"NONE", withDelimiter("none"), {}, dumped("")},
      {"TAB", withDelimiter("Tab"), {}, dumped(" delim='\\t'")},
      {"another character standing for quotes", withDelimiter("/;;/"), {}, dumped(" delim=';;'")},
      {"a longer text without quotes",
       withDelimiter("xyz"),
       {"ZEVPV52W Specification Warning: ATTRIBUTE statement delimiter characters not enclosed by quotes. Assumed "
        "delimiter xy"},
       dumped(" delim='xy'")},
  });
}

TEST(MetafileAttributes, NumbersBeyondTheirRangeTakeTheirLimits) {
  RunMetafileCases({
      {"sizes, maxima and options",
       definitions({"Gn G nan", "Gi G -inf", "D1 D 99999999999999", "S1 S 77777777777", "Q1 G 9 SEQ=99999999999",
                    "F1 D 8 +FILTER={SCAN(99999999999,a)}", "F2 G 100 +FILTER={NUMBER<(0,-99999999999)}"}),
       {"ZEVPV54W Specification Warning: Display or numeric data type maximum length changed to maximum of 3800 "
        "from 2147483647",
        "ZEVPV71E Specification Error: Invalid attribute filter syntax, offset larger than data size. offset "
        "2147483647 defined attribute value size 8"},
       model("Grp P ttl=60 sources=1 attrs=7/7",
             {"Gn G 2/0", "Gi G 2/-2147483648", "D1 D 3800/2147483647", "S1 S 2/2147483647",
              "Q1 G 2/9 seq=2147483647", "F1 D 8/8", "F2 G 2/100 filter=+ :<0(-2147483648)"})},
  });
}

// Rates start from the attribute's creation: no previous sample, the creation time
// as the previous time, nothing loaded.
TEST(MetafileAttributes, ANewRateAttributeWaitsForItsFirstSample) {
  ManualClock clock(1234567);
  MetafileFixture fixture;
  fixture.write("rate.mdl", definitions({"R1 ? 100", "P1 % 100"}));
  MetafileFixture::Parse parse = fixture.parse("rate.mdl");
  ASSERT_NE(parse.application, nullptr);
  for (AttributeEntry* rate = parse.application->FirstTable->FirstSource->FirstAttribute; rate != nullptr;
       rate = rate->next) {
    SCOPED_TRACE(rate->AttrName);
    EXPECT_EQ(rate->PreviousValue, -4294967296.0);
    EXPECT_EQ(rate->CreationTime, 1234567);
    EXPECT_EQ(rate->PreviousTime, 1234567);
    EXPECT_EQ(rate->ActualValSize, 0);
    EXPECT_EQ(std::string(rate->Value(), rate->MaxValSize + 1), std::string(5, '\0'));
  }
}

TEST(MetafileAttributes, SnmpObjectIdentifiers) {
  RunMetafileCases({
      {"object identifiers of an SNMP group",
       {"//SNMP TEXT", "//APPL Abc enterprise 1.3.6.1.4.1.99", "//NAME Grp K 60", "//ATTRIBUTES",
        "Agent_Info D 64 1.3.6.1.2.1.1.1.0", "Agent_Name D 64 1.3.6.1.2.1.1.5", "ifIndex G 65535",
        "bad G 100 1.3.99999999999.0", "Named G 100 ifSpeed KEY"},
       {"ZEVPV18E Specification Error: SNMP attribute ignored. No OID defined.",
        "ZEVPV60E Specification Error: SNMP MIB attribute OID is invalid or unsupported. 1.3.99999999999.0"},
       {"APPL Abc SNMP enterprise=enterprise,1.3.6.1.4.1.99", "  GROUP Grp K ttl=60 sources=1 attrs=3/3",
        "    SOURCE N node=dphost delim=' '", "      ATTR Agent_Info D 64/64 oid=1.3.6.1.2.1.1.1.0 encoded",
        "      ATTR Agent_Name D 64/64 oid=1.3.6.1.2.1.1.5", "      ATTR Named G 2/100 key"}},
  });
}

}  // namespace

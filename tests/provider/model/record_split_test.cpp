// Splitting input records into attribute values: the delimiter rules, the
// conversion of each type, the data warnings, computed attributes and the end of
// the walk. Each case's group comes from a small metafile.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "parsed_application.h"
#include "record_split.h"
#include "source_entry.h"
#include "stdout_capture.h"
#include "trace_capture.h"

namespace {

// Data warnings show while the converting unit's error and detail classes are on;
// the split's own detail trace names ignored records.
constexpr char kWarningsOn[] = "*=0x80 attribute_load=0x90 record_split=0x90";

struct SplitCase {
  const char* name;
  std::string delimiter;  // the word of //ATTRIBUTES
  std::vector<std::string> attributes;
  std::string record;
  std::vector<std::string> values;
  int loaded;
  int consumed;
  std::vector<std::string> messages;
  std::string trace = {};  // a text the trace must hold, when given
};

std::vector<std::string> Metafile(const std::string& delimiter, const std::vector<std::string>& attributes) {
  std::vector<std::string> lines = {"//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES " + delimiter};
  lines.insert(lines.end(), attributes.begin(), attributes.end());
  return lines;
}

template <typename Number>
std::string Raw(Number number) {
  return std::string(reinterpret_cast<const char*>(&number), sizeof number);
}

const std::string kWarning09 =
    "ZEVPV09W Data Warning: Data value exceeds specification maximum. Specification maximum in effect. ";
const std::string kWarning12 = "ZEVPV12W Data Warning: Non-Numeric input value forced to zero from ";

void RunSplitCases(const std::vector<SplitCase>& cases) {
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.name);
    ParsedApplication parsed(Metafile(c.delimiter, c.attributes));
    ASSERT_EQ(parsed.messages(), std::vector<std::string>{});
    SourceEntry* source = parsed.source();
    ASSERT_NE(source, nullptr);
    std::vector<char> record(c.record.begin(), c.record.end());
    record.push_back('\0');
    int32_t consumed = -1;
    int loaded = 0;
    std::vector<std::string> messages;
    std::string traced;
    {
      TraceCapture trace(kWarningsOn);
      StdoutCapture out;
      loaded = ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(c.record.size()), &consumed);
      messages = out.takeLines();
      traced = trace.take();
    }
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(ValuesOf(source), c.values);
    EXPECT_EQ(loaded, c.loaded);
    EXPECT_EQ(consumed, c.consumed);
    if (!c.trace.empty()) {
      EXPECT_NE(traced.find(c.trace), std::string::npos) << traced;
    }
  }
}

TEST(RecordSplit, DelimiterRules) {
  RunSplitCases({
      {"a blank delimiter: runs count as one, leading blanks skipped", "", {"A D 4", "B D 4"}, "  a   b",
       {"A='a'", "B='b'"}, 2, 2, {}},
      {"adjacent delimiters leave the attribute between them empty", "';'", {"A D 4", "B D 4", "C D 4"}, "x;;z",
       {"A='x'", "B -", "C='z'"}, 2, 2, {}},
      {"without the delimiter one attribute takes the whole record", "';'", {"A D 8"}, "whole", {"A='whole'"}, 1, 5,
       {}},
      {"without the delimiter a record of several attributes is ignored", "';'", {"A D 8", "B D 8"}, "whole",
       {"A -", "B -"}, 0, 0, {}, "No delimiter <;> found in buffer <whole>"},
      {"begin and end characters: text between fields is passed, the last end may be missing", "'[]'",
       {"A D 4", "B D 4", "C D 4"}, "x[ab] y [cd", {"A='ab'", "B='cd'", "C -"}, 2, 4, {}},
      {"own delimiters: one character, and a begin and end pair holding the group's delimiter", "';'",
       {"A D 4", "B D 4 DLM=','", "C D 8 DLM='<>'", "D D 4"}, "a;b,<x;y>;d",
       {"A='a'", "B='b'", "C='x;y'", "D='d'"}, 4, 6, {}},
      {"an own begin character missing: the field starts where the split stands", "';'",
       {"A D 4", "B D 4 DLM=','", "C D 8 DLM='<>'", "D D 4"}, "a;b,xy;d", {"A='a'", "B='b'", "C='xy;d'", "D -"}, 3, 6,
       {}, "*****Error: Attribute delimiter <> override not found in input data <xy;d>"},
      {"a last attribute takes the rest of the record, delimiters and all", "';'", {"A D 4", "Z Z 40"}, "a;b;c;d",
       {"A='a'", "Z='b;c;d'"}, 2, 6, {}},
      {"a record attribute takes the whole record", "';'", {"R1 R 20"}, "a;b c", {"R1='a;b c'"}, 1, 5, {}},
      {"fixed layout: text by its size, integers raw by their value size, any byte kept", "NONE",
       {"A D 3", "G1 G", "I1 I 4", "B D 2"}, std::string("a\0c", 3) + Raw<int32_t>(7) + Raw<int16_t>(-2) + "xy",
       {"A='a\\x00c'", "G1=7", "I1=-2", "B='xy'"}, 4, 11, {}},
      {"fixed layout: a short record fills what it holds", "NONE", {"A D 3", "G1 G", "B D 2"}, "abc" + Raw<int16_t>(1),
       {"A='abc'", "G1=1", "B -"}, 2, 5, {}},
      {"a skip attribute consumes its field", "';'", {"K1 K 3", "A D 4"}, "xyz;a", {"K1 -", "A='a'"}, 2, 1, {}},
  });
}

TEST(RecordSplit, TypeConversions) {
  RunSplitCases({
      {"display values are cut to their size, from the left with DL", "';'", {"Head D 4", "Tail DL 4"},
       "abcdefgh;abcdefgh", {"Head='abcd'", "Tail='efgh'"}, 2, 8, {}},
      {"numeric text keeps the number: separators, the decimal point, no label or unit", "';'",
       {"W N 20", "X N 8", "Y N 8"}, "Total: 1,234.5 kg;1,50;none", {"W='1,234.5'", "X='1'", "Y='none'"}, 3, 12, {}},
      {"time stamps: digits padded with zeros, any other character gives zeros", "';'", {"T1 T", "T2 T"},
       "  1020304050607;10203040506070x0", {"T1='1020304050607000'", "T2='0000000000000000'"}, 2, 32,
       {"ZEVPV14W Data Warning: Invalid Time type input value forced to zero from 10203040506070x0"}},
      {"a minus sign is read on a gauge only", "';'", {"G1 G", "A1 A", "C1 C"}, "-5;-5;-5",
       {"G1=-5", "A1=0", "C1=0"}, 3, 12, {kWarning12 + "-5", kWarning12 + "-5"}},
      {"values beyond the maximum take it, with their sign", "';'", {"Used G 1000", "Low G 1000"}, "70000;-70000",
       {"Used=1000", "Low=-1000"}, 2, 4, {kWarning09 + "Used 70000 -> 1000", kWarning09 + "Low -70000 -> -1000"}},
      {"a digit run beyond 32 bits is held to the 32-bit range first", "';'", {"Big G", "Small G 1000"},
       "99999999999;99999999999", {"Big=2147483647", "Small=1000"}, 2, 6,
       {kWarning09 + "Small 2147483647 -> 1000"}},
      {"a switch is 0 or 1", "';'", {"S1 S", "S2 S"}, "2;1", {"S1=0", "S2=1"}, 2, 4,
       {"ZEVPV13E Data Error: Invalid Switch type input value forced to OFF (0) from 2"}},
      {"names beginning with '_' read a sign; a negative counter is forced to zero", "';'", {"_Cnt C", "_Gau G"},
       "-5;+7", {"_Cnt=0", "_Gau=7"}, 2, 8,
       {"ZEVPV11W Data Warning: Negative Counter data type value forced to zero from -5"}},
  });
}

TEST(RecordSplit, ComputedAttributesAndTheEndOfTheWalk) {
  RunSplitCases({
      {"computed attributes take no field; joined Display values are filled on the way", "';'",
       {"A D 4", "_LocalTimeStamp T", "B D 4", "AB (A + B)", "_DataSourceName D 32", "C D 4"}, "a;b;c",
       {"A='a'", "_LocalTimeStamp -", "B='b'", "AB='ab'", "_DataSourceName -", "C='c'"}, 3, 3, {}},
      {"the summary's attributes end the walk", "';'", {"A D 4", "_Date_Time D 16", "C D 4"}, "a;b;c",
       {"A='a'", "_Date_Time -", "C -"}, 1, 1, {}},
  });
}

TEST(RecordSplit, DataWarningsNeedTheUnitsErrorAndDetailClasses) {
  ParsedApplication parsed(Metafile("';'", {"C1 C", "T1 T"}));
  SourceEntry* source = parsed.source();
  for (const char* configuration : {"*=0x80", "*=0x80 attribute_load=0x80", "*=0x80 attribute_load=0x10"}) {
    SCOPED_TRACE(configuration);
    char record[] = "-5;x";
    std::vector<std::string> lines;
    {
      TraceCapture trace(configuration);
      StdoutCapture out;
      ZEVP_MoveDataToAttr(source, record, static_cast<int32_t>(std::strlen(record)), nullptr);
      lines = out.takeLines();
    }
    // The time warning needs only the detail class.
    bool detail = std::string(configuration).find("0x10") != std::string::npos;
    EXPECT_EQ(lines.size(), detail ? 1u : 0u);
    EXPECT_EQ(ValuesOf(source), (std::vector<std::string>{"C1=0", "T1='0000000000000000'"}));
  }
}

TEST(RecordSplit, AJoinedValueIsCutToItsSize) {
  ParsedApplication parsed(Metafile("';'", {"A D 4", "B D 4", "AB (A + B)"}));
  SourceEntry* source = parsed.source();
  AttributeNamed(source, "AB")->MaxValSize = 3;
  char record[] = "abc;def";
  EXPECT_EQ(ZEVP_MoveDataToAttr(source, record, 7, nullptr), 2);
  EXPECT_EQ(ValuesOf(source), (std::vector<std::string>{"A='abc'", "B='def'", "AB='abc'"}));
}

TEST(RecordSplit, EachSplitStartsFromClearedValuesAndAnInternalOutputRecordStaysIntact) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp P 60", "//INTERNAL OUTPUT Route", "//ATTRIBUTES ';'", "A D 4",
                            "B D 4", "//NAME In P 60", "//INTERNAL INPUT Route", "//ATTRIBUTES ';'", "X D 8"});
  SourceEntry* source = parsed.source();
  char first[] = "a;b";
  ZEVP_MoveDataToAttr(source, first, 3, nullptr);
  char second[] = "c";
  EXPECT_EQ(ZEVP_MoveDataToAttr(source, second, 1, nullptr), 0);
  EXPECT_EQ(ValuesOf(source), (std::vector<std::string>{"A -", "B -"}));
  EXPECT_STREQ(first, "a;b");
}

TEST(RecordSplit, ASourceWithoutAttributesDiscardsTheRecord) {
  ParsedApplication parsed(Metafile("';'", {"A D 4"}));
  SourceEntry source{};
  source.AttrDelimiter = parsed.source()->AttrDelimiter;
  BSV1_InitializeLock(&source.DataLock);
  BSV1_InitializeLock(&source.AttributeLock);
  TraceCapture trace("*=0x80");
  char record[] = "a;b";
  int32_t consumed = -1;
  EXPECT_EQ(ZEVP_MoveDataToAttr(&source, record, 3, &consumed), 0);
  EXPECT_EQ(consumed, 0);
  EXPECT_TRUE(trace.contains("has no attributes, input data discarded"));
  BSV1_DestroyLock(&source.DataLock);
  BSV1_DestroyLock(&source.AttributeLock);
}

}  // namespace

// The checks of an application at the end of its metafile, the resolution of
// duplicate attribute names, the output order of the attributes, and what a load
// outside a validation run adds: the registration and its DP log messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accepted_registrations.h"
#include "application_entry.h"
#include "attribute_entry.h"
#include "dp_log_recorder.h"
#include "metafile_cases.h"
#include "metafile_fixture.h"
#include "model_dump.h"
#include "routine_overrides.h"
#include "source_entry.h"
#include "table_entry.h"

namespace {

std::vector<std::string> group(const std::string& name, const std::vector<std::string>& attributes,
                               const std::string& delimiter = "';'") {
  std::vector<std::string> lines = {"//NAME " + name, "//ATTRIBUTES " + delimiter};
  lines.insert(lines.end(), attributes.begin(), attributes.end());
  return lines;
}

std::vector<std::string> metafile(const std::vector<std::vector<std::string>>& parts) {
  std::vector<std::string> lines;
  for (const auto& part : parts) lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

const std::vector<std::string> kAppl = {"//APPL Abc"};
const std::vector<std::string> kSnmpAppl = {"//SNMP TEXT", "//APPL Abc"};
const std::vector<std::string> kAgentInfo = {"Agent_Info D 64 1.3.6.1.2.1.1.1.0", "Agent_Name D 32 1.3.6.1.2.1.1.5.0"};

TEST(ApplicationChecks, AnApplicationFailingACheckIsRejectedWhole) {
  RunMetafileCases({
      {"no group", kAppl,
       {"ZEVPV04E Specification Error: NAME statement not found or out of sequence in metafile case.mdl"}, {}},
      {"a group without attributes", metafile({kAppl, group("Grp E", {})}),
       {"ZEVPV05E Specification Error: No attribute found for APPL statement in metafile case.mdl"}, {}},
      {"a last group without attributes after a good one", metafile({kAppl, group("G1 E", {"A1 G"}), {"//NAME G2 E"}}),
       {"ZEVPV05E Specification Error: No attribute found for APPL statement in metafile case.mdl"}, {}},
      {"a row of 4000 bytes", metafile({kAppl, group("Grp P 60", {"D1 D 3800", "D2 D 196", "-Out D 400", "C1 C"})}),
       {},
       {"APPL Abc", "  GROUP Grp P ttl=60 sources=1 attrs=4/3", "    SOURCE B node=dphost delim=';'",
        "      ATTR D1 D 3800/3800", "      ATTR D2 D 196/196", "      ATTR Out D 400/400 hidden",
        "      ATTR C1 C 4/2147483647"}},
      {"a row of 4001 bytes", metafile({kAppl, group("Grp P 60", {"D1 D 3800", "O1 O 197", "C1 C"})}),
       {"ZEVPV57E Specification Error: Application rejected. Total attribute data size exceeded maximum supported "
        "limit of 4000 for attribute group Grp"},
       {}},
      {"an SNMP group led by Agent_Name", metafile({kSnmpAppl, group("G1 E", kAgentInfo),
                                                   group("G2 E", {kAgentInfo[1], kAgentInfo[0]})}),
       {"ZEVPV96E Specification Error: Required SNMP attributes Agent_Info and Agent_Name mussing from SNMP "
        "attribute group G2"},
       {}},
  });
}

TEST(ApplicationChecks, DuplicateNamesAreDroppedOrNumbered) {
  RunMetafileCases({
      {"same type goes, another type is numbered per name",
       metafile({kAppl, group("Grp P 60", {"A1 G", "B1 D 4", "A1 G", "A1 D 8", "B1 C", "A1 C"})}),
       {"ZEVPV15W Specification Warning: Duplicate attribute found in attribute group. Delete duplicate A1",
        "ZEVPV16W Specification Warning: Duplicate attribute found of different type. Name changed to A12",
        "ZEVPV16W Specification Warning: Duplicate attribute found of different type. Name changed to A13",
        "ZEVPV16W Specification Warning: Duplicate attribute found of different type. Name changed to B12"},
       {"APPL Abc", "  GROUP Grp P ttl=60 sources=1 attrs=6/6", "    SOURCE B node=dphost delim=';'",
        "      ATTR A1 G 4/2147483647", "      ATTR B1 D 4/4", "      ATTR A12 D 8/8", "      ATTR B12 C 4/2147483647",
        "      ATTR A13 C 4/2147483647"}},
  });
}

// A name of the longest length keeps its length: the number replaces its last
// characters, as many as the number has digits.
TEST(ApplicationChecks, ANumberTakesTheEndOfTheLongestName) {
  const std::string name(ZEVP_ATTR_NAME_MAX, 'n');
  std::vector<std::string> attributes = {name + " D 4"};
  for (const char* type : {"G", "C", "A", "S", "T", "N 4", "O 4", "? 9", "# 9", "% 9"})
    attributes.push_back(name + " " + type);
  MetafileFixture fixture;
  fixture.write("long.mdl", metafile({kAppl, group("Grp P 60", attributes)}));
  MetafileFixture::Parse parse = fixture.parse("long.mdl");
  ASSERT_NE(parse.application, nullptr);
  std::vector<std::string> names;
  for (const AttributeEntry* attribute = parse.application->FirstTable->FirstSource->FirstAttribute;
       attribute != nullptr; attribute = attribute->next)
    names.push_back(attribute->AttrName);
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(names[0], name);
  for (int number = 2; number <= 9; ++number) EXPECT_EQ(names[number - 1], name.substr(0, 217) + std::to_string(number));
  EXPECT_EQ(names[9], name.substr(0, 216) + "10");
  EXPECT_EQ(names[10], name.substr(0, 216) + "11");
  ASSERT_EQ(parse.output.size(), 10u);
  EXPECT_EQ(parse.output.back(),
            "ZEVPV16W Specification Warning: Duplicate attribute found of different type. Name changed to " +
                names[10]);
}

std::vector<std::string> OrderOf(const SourceEntry* source) {
  std::vector<std::string> names;
  for (const AttributeEntry* attribute = source->FirstInSequence; attribute != nullptr;
       attribute = attribute->NextInSequence)
    names.push_back(attribute->AttrName);
  return names;
}

// Leading '_' attributes, the SEQ= numbers, the rest in definition order (K and
// hidden ones left out), the numbers that repeat or run past the count, the
// inserted '_' attributes last; every source of the group alike.
TEST(ApplicationChecks, TheOrderListFollowsTheSequenceNumbers) {
  MetafileFixture fixture;
  fixture.write("order.mdl",
                {"//APPL Abc", "//NAME Grp P 60 AddSourceName AddTimeStamp", "//SOURCE SOCK 127.0.0.1",
                 "//SOURCE SOCK 127.0.0.2", "//ATTRIBUTES ';'", "_Lead D 4", "A D 4 SEQ=2", "B D 4", "C D 4 SEQ=1",
                 "Skip K 2", "-Hid D 4", "E D 4 SEQ=20", "F D 4 SEQ=1", "G D 4"});
  MetafileFixture::Parse parse = fixture.parse("order.mdl");
  ASSERT_NE(parse.application, nullptr);
  const std::vector<std::string> expected = {"_Lead", "C", "A", "B", "G", "E", "F", "_DataSourceName",
                                             "_LocalTimeStamp"};
  int sources = 0;
  for (const SourceEntry* source = parse.application->FirstTable->FirstSource; source != nullptr;
       source = source->next, ++sources)
    EXPECT_EQ(OrderOf(source), expected) << "source " << sources;
  EXPECT_EQ(sources, 2);
}

// What the registration needs of the DCH, recorded.
std::vector<int32_t> registrationsAsked;
void RecordRegistration(DPAB*, ProcessEntry*, SourceEntry* source) { registrationsAsked.push_back(source->State); }

TEST(ApplicationChecks, AValidationRunRegistersNothingAndLogsNothing) {
  MetafileFixture fixture;
  fixture.write("ok.mdl", metafile({kAppl, group("Grp E", {"A1 G"})}));
  fixture.write("big.mdl", metafile({kAppl, group("Grp P 60", {"D1 D 3800", "D2 D 3800"})}));
  DPlogRecorder log;
  RoutineOverrides overrides;
  registrationsAsked.clear();
  overrides.routines().queueAndWaitDCHstatus = RecordRegistration;
  ApplicationEntry* valid = fixture.parse("ok.mdl").application;
  ASSERT_NE(valid, nullptr);
  EXPECT_EQ(valid->FirstTable->FirstSource->State, ZEVP_Initial);
  fixture.release(valid);
  EXPECT_EQ(fixture.parse("big.mdl").application, nullptr);
  EXPECT_TRUE(registrationsAsked.empty());
  EXPECT_TRUE(log.messages().empty());
}

// Outside a validation run: a loaded application is reported (4: upper-cased
// metafile name, application name), a failed load too (5), but not at start-up.
TEST(ApplicationChecks, ALoadOutsideAValidationRunIsRegisteredAndLogged) {
  MetafileFixture fixture;
  fixture.write("ok.mdl", metafile({kAppl, group("Grp E", {"A1 G"})}));
  fixture.write("big.mdl", metafile({kAppl, group("Grp P 60", {"D1 D 3800", "D2 D 3800"})}));
  DPlogRecorder log;
  AcceptedRegistrations registrations;
  MetafileFixture::Parse loaded = fixture.parse("ok.mdl", 0);
  ASSERT_NE(loaded.application, nullptr);
  EXPECT_EQ(registrations.count(), 1);
  EXPECT_EQ(loaded.application->FirstTable->FirstSource->State, ZEVP_Ready);
  fixture.release(loaded.application);
  EXPECT_EQ(fixture.parse("big.mdl", 0).application, nullptr);
  EXPECT_EQ(fixture.parse("big.mdl", 0, 1, 1).application, nullptr);
  EXPECT_EQ(fixture.parse("absent.mdl", 0, 1, 1).application, nullptr);
  EXPECT_EQ(log.messages(), (std::vector<DPlogMessage>{{4, {"OK.MDL", "Abc"}, true}, {5, {"big.mdl"}, true}}));
  EXPECT_EQ(registrations.count(), 1);
}

}  // namespace

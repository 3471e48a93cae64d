// The walks over an application's help text and over an attribute's enumeration, and
// the attribute file's help column they give, also for texts that end early.
#include "help_text_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "attribute_help_column.h"
#include "trace_capture.h"

namespace {

std::vector<std::string> Tokens(const std::string& help, int position, bool* found) {
  HelpSegment segment(help, position);
  *found = segment.found();
  std::vector<std::string> tokens;
  std::string_view token;
  while (segment.next(&token)) tokens.emplace_back(token);
  return tokens;
}

TEST(HelpTextWalkTest, AGroupsSegmentIsItsPlaceAmongTheColonSeparatedPieces) {
  const std::string help = "the app,G1,g one,A,a help, :G2,,g two,,B,b help,ENUM{X(1)}:;";
  const struct {
    std::string help;
    int position;
    bool found;
    std::vector<std::string> tokens;
  } cases[] = {
      {help, 1, true, {"G1", "g one", "A", "a help", " "}},
      {help, 2, true, {"G2", "g two", "B", "b help", "ENUM{X(1)}"}},  // empty tokens do not count
      {help, 3, false, {}},
      {help, 0, false, {}},
      {"the app", 1, false, {}},
      {"the app,G1", 1, true, {"G1"}},
      {"", 1, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.help + " @" + std::to_string(c.position));
    bool found = false;
    EXPECT_EQ(Tokens(c.help, c.position, &found), c.tokens);
    EXPECT_EQ(found, c.found);
  }
  EXPECT_EQ(ApplicationHelp(help), "the app");
  EXPECT_EQ(ApplicationHelp("no comma"), "no comma");
}

TEST(HelpTextWalkTest, EnumerationEntriesEndAtTheFirstWithoutAValue) {
  using Entries = std::vector<std::pair<std::string, std::string>>;
  const struct {
    const char* enumeration;
    Entries entries;
  } cases[] = {
      {"LOW(1) HIGH(2)", {{"LOW", "1"}, {"HIGH", "2"}}},
      {"A(1) B C(3)", {{"A", "1"}}},
      {"A(1)  B(2)", {{"A", "1"}}},  // one blank between entries
      {"A(10", {}},
      {"A() B(2)", {}},
      {"", {}},
      {"ON(-1)", {{"ON", "-1"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.enumeration);
    EnumerationEntries walk(c.enumeration);
    Entries entries;
    std::string_view name, value;
    while (walk.next(&name, &value)) entries.emplace_back(name, value);
    EXPECT_EQ(entries, c.entries);
  }
}

// The column names the group's help and each attribute's; a help text that ends early
// ends the column there, traced, and nothing is read past it.
TEST(HelpTextWalkTest, TheHelpColumnEndsWhereItsSegmentDoes) {
  const std::vector<std::string> head{"//",      "entr HIDDEN", "name APPG100.ZEVHELP", "affi AFF", "colu ZEVHELP",
                                      "type 3",  "opgr 0",      "cost 9",               "vali ^APPLICATION"};
  const struct {
    const char* help;
    std::vector<std::string> tail;  // after the head and the application's help
    const char* trace;
  } cases[] = {
      {"app,G1,gh,A,ah, ,B,bh,ENUM{X(1)}:;",
       {"vali ^ATTRGROUP[G1]", "vale \"gh\"", "vali A", "vale \"ah\"", "vali B", "vale \"bh\""},
       nullptr},
      {"app", {}, "Warning: no help for attribute group 1 of <APPG100>"},
      {"app,G1:;", {}, "Warning: no help for attribute group 1 of <APPG100>"},
      {"app,G1,gh,A:;", {"vali ^ATTRGROUP[G1]", "vale \"gh\""},
       "Warning: help of <APPG100> ends before the help of attribute <A>"},
      {"app,G1,gh,A,ah:;", {"vali ^ATTRGROUP[G1]", "vale \"gh\"", "vali A", "vale \"ah\""},
       "Warning: help of <APPG100> ends before the enumerations of attribute <A>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.help);
    TraceCapture trace("*=0x80");
    std::vector<std::string> expected = head;
    expected.push_back("vale \"" + std::string(ApplicationHelp(c.help)) + "\"");
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(AttributeHelpColumn(c.help, 1, "APPG100", "AFF"), expected);
    if (c.trace != nullptr)
      EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
    else
      EXPECT_EQ(trace.take(), "");
  }
}

}  // namespace

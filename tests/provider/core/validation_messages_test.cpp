#include "validation_messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "stdout_capture.h"

namespace {

std::vector<std::string> shown(int number, const char* insert) {
  StdoutCapture capture;
  ZEVP_DisplayValidationMessage(number, insert);
  return capture.takeLines();
}

TEST(ValidationMessages, EveryTextBeginsWithItsIdentifier) {
  for (int number = 0; number < ZEVP_VALIDATION_MESSAGE_COUNT - 1; ++number) {
    SCOPED_TRACE(number);
    std::vector<std::string> lines = shown(number, nullptr);
    ASSERT_EQ(lines.size(), 1u);
    char identifier[8];
    std::snprintf(identifier, sizeof identifier, "ZEVPV%02d", number);
    EXPECT_EQ(lines[0].substr(0, 7), identifier);
    // The severity, then a blank; the rows without a message hold only the blank.
    bool empty = number == 20 || number == 23 || number == 73;
    EXPECT_EQ(lines[0].find_first_of(' '), empty ? 7u : 8u);
    if (!empty) {
      EXPECT_NE(std::string("IWEV").find(lines[0][7]), std::string::npos);
    }
  }
}

TEST(ValidationMessages, TextsAsStored) {
  struct Case {
    int number;
    const char* insert;
    const char* line;
  };
  for (const Case& c : std::vector<Case>{
           {0, nullptr, "ZEVPV00I Validation completed successfully"},
           {59, nullptr, "ZEVPV59V Specification Warning: KEY specification for attribute in non-KEY attribute "
                         "group, ignored."},
           {20, nullptr, "ZEVPV20 "},
           {96, "G1", "ZEVPV96E Specification Error: Required SNMP attributes Agent_Info and Agent_Name mussing "
                      "from SNMP attribute group G1"},
           // The insert replaces the '#' and all after it: "#." loses its period.
           {11, "Attr_1", "ZEVPV11W Data Warning: Negative Counter data type value forced to zero from Attr_1"},
           {4, "m.mdl", "ZEVPV04E Specification Error: NAME statement not found or out of sequence in metafile m.mdl"},
           // Without an insert the '#' stays; a text without one shows no insert.
           {31, nullptr, "ZEVPV31W Specification Warning: Total number of attributes exceeded maximum limit. "
                         "Ignored - #"},
           {10, "m.mdl", "ZEVPV10E Application registration with agent failed. Application already known to agent."},
           {98, nullptr, "ZEVPV98E Specification Error: ODBC Data Source Name required."},
           {99, nullptr, "ZEVPVxx  Internal processing error"},
           {150, "x", "ZEVPVxx  Internal processing error"},
           {-1, nullptr, "ZEVPVxx  Internal processing error"},
       }) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(shown(c.number, c.insert), std::vector<std::string>{c.line});
  }
}

TEST(ValidationMessages, ALongTextAndInsertArePrintedWhole) {
  std::string insert(3000, 'x');
  insert += "END";
  std::vector<std::string> lines = shown(ZEVPV63E, insert.c_str());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "ZEVPV63E Specification Error: Attribute formula definition invalid. " + insert);
}

TEST(ValidationMessages, ConcurrentCallersNeverMixTheirLines) {
  constexpr int kThreads = 8;
  constexpr int kEach = 200;
  StdoutCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      std::string insert(1500, static_cast<char>('a' + t));
      for (int i = 0; i < kEach; ++i) ZEVP_DisplayValidationMessage(ZEVPV07E, insert.c_str());
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<std::string> lines = capture.takeLines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kEach));
  const std::string prefix = "ZEVPV07E Specification Error: Incomplete attribute definition, ";
  for (const std::string& line : lines) {
    ASSERT_EQ(line.size(), prefix.size() + 1500);
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0);
    ASSERT_EQ(line.find_first_not_of(line.back(), prefix.size()), std::string::npos) << "mixed line";
  }
}

}  // namespace

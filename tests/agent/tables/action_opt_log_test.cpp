// Rows of the agent's action log copied to the operations log of the framework stand-in.
#include "action_opt_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "raf_driver.h"
#include "trace_capture.h"

namespace {

// The action log's row, field by field, blank-padded.
struct ActionRow {
  std::string type = "AUTOMATION";
  std::string owner = "Sit_A";
  std::string node = "hostA:APL00";
  std::string name = "restart";
  std::string parms = "-now";
  std::string status = "SUCCESS";
  std::string result;
  int32_t actionID = 7;

  std::string bytes() const {
    std::string row;
    for (const auto& [text, width] : std::vector<std::pair<std::string, size_t>>{
             {"origin", 32}, {type, 16}, {owner, 64}, {node, 32}, {name, 256}, {parms, 1024}, {status, 64},
             {result, 256}}) {
      std::string field = text.substr(0, width);
      row += field + std::string(width - field.size(), ' ');
    }
    row.append(reinterpret_cast<const char*>(&actionID), sizeof actionID);
    return row;
  }
};

std::vector<std::string> Logged(const std::string& row) {
  processOptLog(row.data(), static_cast<int>(row.size()));
  std::vector<std::string> texts;
  for (const raf::LogEntry& entry : raf::TakeOperationsLog()) {
    EXPECT_EQ(entry.recordType, "DVACTION");
    EXPECT_EQ(entry.productCode, "DV");
    texts.push_back(entry.text);
  }
  return texts;
}

TEST(ActionOptLogTest, ARowWithoutResultWritesOneEntryAndOneWithAResultTwo) {
  ActionRow row;
  ASSERT_EQ(static_cast<int>(row.bytes().size()), kActionLogRowSize);
  EXPECT_EQ(Logged(row.bytes()), std::vector<std::string>{"7 Sit_A hostA:APL00 STATUS=SUCCESS restart -now"});

  row.result = "exit code 3";
  row.actionID = -2;
  EXPECT_EQ(Logged(row.bytes()), (std::vector<std::string>{"-2 Sit_A hostA:APL00 STATUS=SUCCESS restart -now",
                                                           "-2 exit code 3" + std::string(256 - 11, ' ')}));

  row.result = std::string(31, ' ') + "late";
  EXPECT_EQ(Logged(row.bytes()).at(1), "-2 late" + std::string(256 - 35, ' ')) << "starts among the first 32";
  row.result = std::string(32, ' ') + "too late";
  EXPECT_EQ(Logged(row.bytes()).size(), 1u);
}

// The fault: every field was cut into one shared buffer, so the entry held one field
// five times, and the limits let a field of full width run into the next one.
TEST(ActionOptLogTest, RegressionFieldsOfFullWidthStayWithinTheirColumns) {
  ActionRow row;
  row.owner = std::string(64, 'o');
  row.node = std::string(32, 'n');
  row.name = std::string(256, 'a');
  row.parms = std::string(1024, 'p');
  row.status = std::string(64, 's');
  row.result = std::string(256, 'r');
  std::vector<std::string> texts = Logged(row.bytes());
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "7 " + row.owner + " " + row.node + " STATUS=" + row.status + " " + row.name + " " + row.parms);
  EXPECT_EQ(texts[1], "7 " + row.result);
}

TEST(ActionOptLogTest, AMissingOrShortRowWritesNothing) {
  TraceCapture capture("*=0x80");
  processOptLog(nullptr, kActionLogRowSize);
  EXPECT_TRUE(capture.contains("Error: data was NULL."));
  std::string shortRow = ActionRow().bytes().substr(0, kActionLogRowSize - 1);
  processOptLog(shortRow.data(), static_cast<int>(shortRow.size()));
  EXPECT_TRUE(capture.contains("is shorter than its layout"));
  EXPECT_TRUE(raf::TakeOperationsLog().empty());
}

}  // namespace

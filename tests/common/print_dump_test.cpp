#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "trace_capture.h"
#include "zev0/text.h"

namespace {

// The dump lines of the capture, without the trace's own prefix.
std::vector<std::string> dumpLines(TraceCapture& capture) {
  std::vector<std::string> lines;
  std::istringstream all(capture.take());
  for (std::string line; std::getline(all, line);) {
    size_t body = line.find(") ");
    if (body != std::string::npos) lines.push_back(line.substr(body + 2));
  }
  return lines;
}

std::string hexColumns(const std::string& filled) { return filled + std::string(48 - filled.size(), ' '); }
std::string charColumns(const std::string& filled) { return filled + std::string(16 - filled.size(), ' '); }

TEST(PrintDumpTest, SixteenBytesALineWhateverTheTraceClasses) {
  const char data[] = "ABCDEFGHIJKLMNOP\x20\x00\x7f~";
  TraceCapture capture("*=0");
  ZEV0_PrintDump(data, 0, 20);
  std::vector<std::string> lines = dumpLines(capture);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "   0 |41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 | |ABCDEFGHIJKLMNOP|");
  EXPECT_EQ(lines[1], "  10 |" + hexColumns("20 00 7f 7e ") + "| |" + charColumns("...~") + "|");
}

TEST(PrintDumpTest, StartOffsetCountsFromItsOwnByte) {
  const char data[] = "0123456789";
  TraceCapture capture("*=0");
  ZEV0_PrintDump(data, 2, 5);
  std::vector<std::string> lines = dumpLines(capture);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "   0 |" + hexColumns("32 33 34 ") + "| |" + charColumns("234") + "|");
}

TEST(PrintDumpTest, NegativeStartBreaksTheLineWhereBaseLies) {
  const char data[] = "ABCDEFGH";
  TraceCapture capture("*=0");
  ZEV0_PrintDump(data + 4, -4, 4);
  std::vector<std::string> lines = dumpLines(capture);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "   0 |" + hexColumns("41 42 43 44 ") + "| |" + charColumns("ABCD") + "|");
  EXPECT_EQ(lines[1], "   0 |" + hexColumns("            45 46 47 48 ") + "| |" + charColumns("    EFGH") + "|");
}

TEST(PrintDumpTest, NothingToDumpWritesNothing) {
  TraceCapture capture("*=0");
  ZEV0_PrintDump("abc", 2, 2);
  ZEV0_PrintDump(nullptr, 0, 4);
  EXPECT_TRUE(dumpLines(capture).empty());
}

}  // namespace

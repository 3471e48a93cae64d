#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "trace_capture.h"
#include "trc1.h"

TRC_UNIT();

namespace {

TEST(TraceTest, ClassesFollowTheConfigurationOfTheUnit) {
  {
    TraceCapture capture("*=0x80 trace_test=0x11");
    EXPECT_TRUE(TRC_ON(TRC_DETAIL));
    EXPECT_TRUE(TRC_ON(TRC_UNIT_DETAIL));
    EXPECT_FALSE(TRC_ON(TRC_ERROR));
    TRC(TRC_DETAIL, "detail %d", 42);
    TRC(TRC_ERROR, "not written");
    std::string lines = capture.take();
    EXPECT_NE(lines.find("trace_test("), std::string::npos);
    EXPECT_NE(lines.find("detail 42"), std::string::npos);
    EXPECT_EQ(lines.find("not written"), std::string::npos);
  }
  {
    TraceCapture capture("*=0x40");
    EXPECT_FALSE(TRC_ON(TRC_DETAIL));
    TRC_ENTRY();
    EXPECT_NE(capture.take().find("Entry: TestBody"), std::string::npos);
  }
}

TEST(TraceTest, MalformedTokensAreSkipped) {
  TraceCapture capture("*=zz trace_test trace_test=0x10");
  EXPECT_TRUE(TRC_ON(TRC_DETAIL));
  EXPECT_FALSE(TRC_ON(TRC_ERROR));
}

TEST(TraceTest, WritesToTheNamedFile) {
  std::string path = ::testing::TempDir() + "trace_test.trc";
  std::remove(path.c_str());
  TRC1_Configure(("*=0x10 >" + path).c_str());
  TRC(TRC_DETAIL, "to the file");
  TRC1_Configure(nullptr);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("to the file"), std::string::npos);
}

TEST(TraceTest, CaptureIsWholeLinesFromManyThreads) {
  TraceCapture capture("*=0x10");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) TRC(TRC_DETAIL, "thread %d line %d", t, i);
    });
  for (auto& thread : threads) thread.join();
  std::string lines = capture.take();
  std::istringstream in(lines);
  int count = 0;
  for (std::string line; std::getline(in, line); ++count) EXPECT_NE(line.find("thread "), std::string::npos);
  EXPECT_EQ(count, 800);
}

// The fault: an empty text was found at the same place again and again, so the count
// never ended.
TEST(TraceTest, RegressionACaptureCountsATextAndAnEmptyTextCountsTheLines) {
  TraceCapture capture("*=0x10");
  TRC(TRC_DETAIL, "one row row");
  TRC(TRC_DETAIL, "two");
  TRC(TRC_DETAIL, "three row");
  EXPECT_EQ(capture.count("row"), 3);
  EXPECT_EQ(capture.count("row\n"), 2);
  EXPECT_EQ(capture.count(""), 3);
  EXPECT_EQ(capture.count("four"), 0);
}

}  // namespace

// The file server thread on a parsed application, the DCH answered by the test and
// its sleeps in the test's hands: what each pass sends in TAIL and COPY mode, files
// truncated, replaced, deleted and created late, failed rows, unregistered groups.
#include "file_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_server_fixture.h"
#include "source_entry.h"

namespace {

using Lines = std::vector<std::string>;

Lines EventGroup(const std::string& group = "Lines", const std::string& file = "monitored.log") {
  return {"//APPL FileApp", "//NAME " + group + " E 60", "//SOURCE FILE %DIR%" + file, "//ATTRIBUTES ';'",
          "Text D 64"};
}

Lines CopyGroup(const std::string& option) {
  return {"//APPL FileApp", "//NAME Copies P 2", "//SOURCE FILE %DIR%copied.log " + option, "//ATTRIBUTES ';'",
          "Text D 64"};
}

std::string Numbered(int first, int last) {
  std::string text;
  for (int n = first; n <= last; ++n) text += "line " + std::to_string(n) + "\n";
  return text;
}

class FileServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ZEVP_DP_EVENT", "1", 1);
    unsetenv("ZEVP_DP_FILE_EXIST_WAIT");
    unsetenv("ZEVP_PROCESS_ALL_MATCH_PATTERN_FILES");
  }
};

TEST_F(FileServerTest, TailSendsWhatWasAppendedSinceTheLastPassLineByLine) {
  FileServerFixture f(EventGroup());
  std::string path = f.files().write("monitored.log", Numbered(1, 1000));
  f.start();
  ASSERT_TRUE(f.firstPass());
  EXPECT_EQ(f.takeRequests(), Lines{"online"});
  EXPECT_EQ(f.takeLog(16), Lines{"16: " + path + ", EVENT, 1, N/A, ;"});

  struct Step {
    const char* label;
    std::string appended;
    Lines rows;
  } steps[] = {
      {"nothing new", "", {}},
      {"lines, an empty one among them", "a\n\nb\r\n", {"17 Text='a'", "17 Text='b'"}},
      {"a burst", Numbered(1001, 1005),
       {"17 Text='line 1001'", "17 Text='line 1002'", "17 Text='line 1003'", "17 Text='line 1004'",
        "17 Text='line 1005'"}},
      {"a line being written waits for its end", "par", {}},
      {"and is one row once it has it", "t\n", {"17 Text='part'"}},
      {"a line longer than the record is cut, the next is whole", std::string(300, 'x') + "\nnext\n",
       {"17 Text='" + std::string(64, 'x') + "'", "17 Text='next'"}},
      {"an unended line is left once more", "tail", {}},
      {"and taken as it is when the file has not grown", "", {"17 Text='tail'"}},
      {"and not again", "", {}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.label);
    f.files().append("monitored.log", step.appended);
    ASSERT_TRUE(f.nextPass());
    EXPECT_EQ(f.takeRows(), step.rows);
  }
  EXPECT_EQ(f.takeLog(75), Lines{});
}

TEST_F(FileServerTest, ShorterFileIsReadFromItsBeginningOnce) {
  FileServerFixture f(EventGroup());
  std::string path = f.files().write("monitored.log", Numbered(1, 20));
  f.start();
  ASSERT_TRUE(f.firstPass());
  f.takeRequests();
  // Truncated and written again between two passes, with its old first line.
  f.files().write("monitored.log", "line 1\nnew 2\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='line 1'", "17 Text='new 2'"}));
  EXPECT_EQ(f.takeLog(75), Lines{"75: " + path});
  // Truncated once more, a new first line this time: one restart, not two.
  f.files().write("monitored.log", "other 1\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='other 1'"}));
  f.files().append("monitored.log", "other 2\n");
  ASSERT_TRUE(f.nextPass());
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='other 2'"}));
  EXPECT_EQ(f.takeLog(75), Lines{"75: " + path});
}

TEST_F(FileServerTest, FileReplacedByOneOfTheSameLengthIsKnownByItsFirstLine) {
  FileServerFixture f(EventGroup());
  std::string path = f.files().write("monitored.log", "aaaa\nbbbb\n");
  f.start();
  ASSERT_TRUE(f.firstPass());
  f.files().write("monitored.log", "cccc\ndddd\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='cccc'", "17 Text='dddd'"}));
  EXPECT_EQ(f.takeLog(75), Lines{"75: " + path});
  // A first line still being written when its identity was taken is the same file once ended.
  f.files().write("monitored.log", "eeee");
  ASSERT_TRUE(f.nextPass());
  f.files().append("monitored.log", "ffff\nnext\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='eeeeffff'", "17 Text='next'"}));
  EXPECT_EQ(f.takeLog(75), Lines{"75: " + path}) << "the replacement by eeee only";
}

TEST_F(FileServerTest, DeletedFileGoesOfflineAndIsReadFromItsFirstLineWhenBack) {
  FileServerFixture f(EventGroup());
  std::string path = f.files().write("monitored.log", "old\n");
  f.start();
  ASSERT_TRUE(f.firstPass());
  f.takeRequests();
  f.takeLog();
  f.files().remove("monitored.log");
  f.release();
  Lines requests;
  Lines log;
  ASSERT_TRUE(WaitUntil([&] {
    for (const std::string& message : f.takeLog()) log.push_back(message);
    return !log.empty() && log.back().compare(0, 3, "18:") == 0;
  }));
  EXPECT_EQ(log, (Lines{"54: " + path, "18: " + path + ", Lines"}));
  EXPECT_EQ(f.takeRequests(), Lines{"offline"});
  // Woken while the file is still missing: no further message.
  for (int i = 0; i < 3; ++i) f.signalFileServers();
  f.files().write("monitored.log", "new 1\nnew 2\n");
  f.signalFileServers();
  ASSERT_TRUE(f.firstPass());
  EXPECT_EQ(f.takeRequests(), (Lines{"online", "row 17 Text='new 1'", "row 17 Text='new 2'"}));
  log = f.takeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].substr(0, 4), "16: ");
}

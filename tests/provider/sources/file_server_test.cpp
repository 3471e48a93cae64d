// The file server thread on a parsed application, the DCH answered by the test and
// its sleeps in the test's hands: what each pass sends in TAIL and COPY mode, files
// truncated, replaced, deleted and created late, failed rows, unregistered groups.
#include "file_server.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bsv1.h"
#include "data_provider_run.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "file_server_fixture.h"
#include "io_entry.h"
#include "process_entry.h"
#include "source_entry.h"
#include "trace_capture.h"

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

// Starts the file servers and lets them do their first pass; what they asked of the
// agent and logged so far is dropped.
void StartSettled(FileServerFixture& f) {
  f.start();
  ASSERT_TRUE(f.firstPass());
  f.takeRequests();
  f.takeLog();
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
  StartSettled(f);
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

// A file re-created empty that grows past its old end before the next pass is read from
// its beginning: the identity check found it empty and had both read positions go back.
TEST_F(FileServerTest, FileFoundEmptyAtTheIdentityCheckIsReadFromItsBeginning) {
  FileServerFixture f(EventGroup());
  std::string path = f.files().write("monitored.log", Numbered(1, 20));
  StartSettled(f);
  TraceCapture trace("*=0x80 file_server=0x10");
  // Held by the test, the entry's lock keeps the next pass from starting.
  IOEntry* io = f.source()->IO;
  BSV1_GetLock(&io->Lock);
  f.files().write("monitored.log", "");
  f.release();
  bool checked = WaitUntil([&] { return trace.contains("File switched or re-created or copied"); });
  f.files().write("monitored.log", Numbered(101, 130));
  BSV1_ReleaseLock(&io->Lock);
  ASSERT_TRUE(checked);
  ASSERT_TRUE(f.firstPass());
  Lines rows = f.takeRows();
  ASSERT_EQ(rows.size(), 30u);
  EXPECT_EQ(rows.front(), "17 Text='line 101'");
  EXPECT_EQ(rows.back(), "17 Text='line 130'");
  EXPECT_EQ(f.takeLog(75), Lines{"75: " + path});
}

TEST_F(FileServerTest, DeletedFileGoesOfflineAndIsReadFromItsFirstLineWhenBack) {
  FileServerFixture f(EventGroup());
  std::string path = f.files().write("monitored.log", "old\n");
  StartSettled(f);
  f.files().remove("monitored.log");
  f.release();
  Lines log;
  ASSERT_TRUE(WaitUntil([&] {
    for (const std::string& message : f.takeLog()) log.push_back(message);
    return !log.empty() && log.back().compare(0, 3, "18:") == 0;
  }));
  EXPECT_EQ(log, (Lines{"54: " + path, "18: " + path + ", Lines"}));
  EXPECT_EQ(f.takeRequests(), Lines{"offline"});
  // Woken while the file is still missing: no further message.
  for (int i = 0; i < 3; ++i) f.signalFileServers();
  // Created whole (a file seen empty would be waited for as such).
  std::string created = f.files().write("created.tmp", "new 1\nnew 2\n");
  ASSERT_EQ(std::rename(created.c_str(), path.c_str()), 0);
  f.signalFileServers();
  ASSERT_TRUE(f.firstPass());
  EXPECT_EQ(f.takeRequests(), (Lines{"online", "row 17 Text='new 1'", "row 17 Text='new 2'"}));
  log = f.takeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].substr(0, 4), "16: ");
}
TEST_F(FileServerTest, CopySendsTheFileAsOneSetEveryPass) {
  FileServerFixture f(CopyGroup("COPY"));
  f.files().write("copied.log", "r1\nr2\nr3\n");
  f.start();
  ASSERT_TRUE(f.firstPass());
  const Lines set = {"1 Text='r1'", "0 Text='r2'", "16 Text='r3'"};
  EXPECT_EQ(f.takeRows(), set);
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), set);
  // Lines that come while a pass reads belong to the next pass's set.
  f.onNextRow([&] { f.files().append("copied.log", "r4\nr5\n"); });
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), set);
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"1 Text='r1'", "0 Text='r2'", "0 Text='r3'", "0 Text='r4'", "16 Text='r5'"}));
  // A record alone is a row of its own, and an empty row closes the set.
  f.files().write("copied.log", "only\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='only'", "16 Text -"}));
  EXPECT_EQ(f.takeLog(16), Lines{"16: " + f.files().file("copied.log") + ", POLL, 1, COPY, ;"});
}

TEST_F(FileServerTest, CopyClearEmptiesTheFileOnceCopied) {
  FileServerFixture f(CopyGroup("COPY CLEAR"));
  std::string path = f.files().write("copied.log", "r1\nr2\n");
  f.start();
  ASSERT_TRUE(f.firstPass());
  EXPECT_EQ(f.takeRows(), (Lines{"1 Text='r1'", "16 Text='r2'"}));
  EXPECT_EQ(f.files().read("copied.log"), "");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), Lines{});
  EXPECT_EQ(f.takeLog(75), Lines{"75: " + path}) << "found empty, its first line gone";
  f.files().append("copied.log", "r3\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='r3'", "16 Text -"}));
  // Gone between two passes: it is simply waited for.
  f.files().remove("copied.log");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRequests(), Lines{});
  EXPECT_EQ(f.takeLog(), Lines{}) << "neither gone (54) nor restarted (75)";
}

TEST_F(FileServerTest, UnregisteredGroupTakesItsRowsIntoItsAttributesWithoutTheAgent) {
  FileServerFixture f(EventGroup("~Hidden"));
  f.files().write("monitored.log", "old\n");
  f.start();
  ASSERT_TRUE(f.firstPass());
  f.files().append("monitored.log", "a\nb\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(ValuesOf(f.source()), Lines{"Text='b'"});
  EXPECT_EQ(ZEVP_SourceStateOf(f.source()), ZEVP_Input);
  f.files().remove("monitored.log");
  f.release();
  ASSERT_TRUE(WaitUntil([&] { return ZEVP_SourceStateOf(f.source()) == ZEVP_Inactive; }));
  EXPECT_EQ(f.takeRequests(), Lines{}) << "no online, data or offline request";
}

TEST_F(FileServerTest, FailedRowIsNotSentAgainOnceTheSourceIsBack) {
  FileServerFixture f(EventGroup());
  std::string path = f.files().write("monitored.log", "old\n");
  StartSettled(f);
  f.failRows(1);
  f.files().append("monitored.log", "a\nb\n");
  f.release();
  // Ready again, it waits 30 seconds before it asks to go online.
  ASSERT_TRUE(f.passSleeps(30));
  ASSERT_TRUE(f.firstPass());
  EXPECT_EQ(f.takeRequests(), (Lines{"row 17 Text='a'", "online", "row 17 Text='b'"}));
  EXPECT_EQ(f.takeLog(), Lines{"55: " + path});
}

TEST_F(FileServerTest, SourceWaitsForItsRegistration) {
  FileServerFixture f(EventGroup());
  f.files().write("monitored.log", "old\n");
  f.start(ZEVP_Pending);
  ASSERT_TRUE(f.passSleeps(2));
  EXPECT_EQ(f.takeRequests(), Lines{});
  ZEVP_UpdateSourceEntryState(f.source(), ZEVP_Ready);
  ASSERT_TRUE(f.passSleeps(1));
  ASSERT_TRUE(f.firstPass());
  EXPECT_EQ(f.takeRequests(), Lines{"online"});
}

TEST_F(FileServerTest, PatternSwitchesToTheNewestFileAtItsCheck) {
  setenv("ZEVP_DP_FILE_SWITCH_CHECK_INTERVAL", "2", 1);
  FileServerFixture f(EventGroup("Lines", "LOG{YYMMDD}.TXT"));
  unsetenv("ZEVP_DP_FILE_SWITCH_CHECK_INTERVAL");
  std::string first = f.files().write("LOG020105.TXT", "first\n");
  f.start();
  ASSERT_TRUE(f.firstPass());
  std::string second = f.files().write("LOG020106.TXT", "second 1\nsecond 2\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), Lines{}) << "before the switch check";
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='second 1'", "17 Text='second 2'"}));
  EXPECT_EQ(f.takeLog(76), Lines{"76: " + first + ", " + second});
}

TEST_F(FileServerTest, AllMatchModeMonitorsEveryMatchingFileThenEnds) {
  setenv("ZEVP_DP_FILE_SWITCH_CHECK_INTERVAL", "1", 1);
  FileServerFixture f(EventGroup("Lines", "trace{##}.log"));
  unsetenv("ZEVP_DP_FILE_SWITCH_CHECK_INTERVAL");
  setenv("ZEVP_PROCESS_ALL_MATCH_PATTERN_FILES", "Y", 1);
  for (const char* name : {"trace01.log", "trace02.log", "trace03.log"}) f.files().write(name, std::string(name) + "\n");
  f.start();
  ASSERT_TRUE(f.firstPass());
  ASSERT_TRUE(f.nextPass());
  ASSERT_TRUE(f.nextPass());
  f.release();
  ASSERT_TRUE(f.passSleeps(1)) << "the pause at the end of the thread";
  ASSERT_TRUE(WaitUntil([&] { return ZEVP_ActiveThreadCount(f.anchor()) == 0; }));
  Lines requests = f.takeRequests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests.front(), "online");
  EXPECT_EQ(requests.back(), "offline");
  // The first file is watched from its end; the others are read from their first line.
  std::sort(requests.begin() + 1, requests.end() - 1);
  EXPECT_EQ(requests[1].substr(0, 16), "row 17 Text='tra");
  Lines log = f.takeLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].substr(0, 3), "16:");
  EXPECT_EQ(log[1].substr(0, 3), "75:") << "each further file read from its beginning";
  EXPECT_EQ(log[2].substr(0, 3), "75:");
  EXPECT_EQ(log[3].substr(0, 3), "17:");
}

TEST_F(FileServerTest, BatchModeCopiesTheFileOnceAndEnds) {
  FileServerFixture f(EventGroup());
  f.anchor()->batchMode = 1;
  f.files().write("monitored.log", "b1\nb2\n");
  f.start();
  ASSERT_TRUE(f.passSleeps(1)) << "the pause at the end of the thread";
  ASSERT_TRUE(WaitUntil([&] { return ZEVP_ActiveThreadCount(f.anchor()) == 0; }));
  EXPECT_EQ(f.takeRequests(), (Lines{"online", "row 1 Text='b1'", "row 16 Text='b2'", "offline"}));
  f.anchor()->batchMode = 0;
}

TEST_F(FileServerTest, TailByRecordCountSendsTheLinesCountedSinceTheLastPass) {
  FileServerFixture f({"//APPL FileApp", "//NAME Lines E 60", "//SOURCE FILE %DIR%counted.log TAILBYRECORD",
                       "//ATTRIBUTES ';'", "Text D 64"});
  std::string path = f.files().write("counted.log", "one\n\ntwo\n");
  StartSettled(f);
  struct Step {
    const char* label;
    std::string appended;
    Lines rows;
  } steps[] = {
      {"nothing new", "", {}},
      {"two lines", "three\nfour\n", {"17 Text='three'", "17 Text='four'"}},
      {"a line of blanks is a line like any other", "  \n", {"17 Text='  '"}},
      {"a line being written waits", "fi", {}},
      {"and is taken as it is when the file stays as it is", "", {"17 Text='fi'"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.label);
    f.files().append("counted.log", step.appended);
    ASSERT_TRUE(f.nextPass());
    EXPECT_EQ(f.takeRows(), step.rows);
  }
  // Fewer lines than before: read again from the first.
  f.files().write("counted.log", "one\nnew\n");
  ASSERT_TRUE(f.nextPass());
  EXPECT_EQ(f.takeRows(), (Lines{"17 Text='one'", "17 Text='new'"}));
  EXPECT_EQ(f.takeLog(75), Lines{"75: " + path});
}

}  // namespace

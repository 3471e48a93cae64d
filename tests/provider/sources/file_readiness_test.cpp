// Waiting until a monitored file exists and holds a record, and the identity of a
// file by its first line.
#include "file_readiness.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "data_provider_run.h"
#include "file_identity.h"
#include "file_server_fixture.h"
#include "io_buffer.h"
#include "model_records.h"
#include "process_entry.h"

namespace {

using Messages = std::vector<std::string>;

const std::vector<std::string> kMetafile = {"//APPL FileApp", "//NAME Lines E 60", "//SOURCE FILE %DIR%watched.log",
                                            "//ATTRIBUTES ';'", "Text D 64"};

// The readiness wait of the fixture's source, on a thread of the test, its file
// server entry one of the test's own.
class Readiness {
 public:
  explicit Readiness(FileServerFixture& fixture)
      : fixture_(fixture), server_(ZEVP_InitializeProcessEntry(fixture.anchor())) {
    fixture.source()->FileSpec->FileServer = server_;
  }
  ~Readiness() {
    server_->terminationFlag = 1;
    if (result_.valid()) result_.wait();
    fixture_.source()->FileSpec->FileServer = nullptr;
    ZEVP_DestroyProcessEntry(server_);
  }
  void start() {
    result_ = std::async(std::launch::async, [this] { return ZEVP_WaitFileReadyForMonitor(fixture_.source()->IO, &restart_); });
  }
  bool waiting() { return result_.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout; }
  int result() { return result_.get(); }
  int32_t restart() const { return restart_; }
  void endThread() { server_->terminationFlag = 1; }

 private:
  FileServerFixture& fixture_;
  ProcessEntry* server_;
  std::future<int> result_;
  int32_t restart_ = 0;
};

class FileReadinessTest : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("ZEVP_DP_FILE_EXIST_WAIT"); }
};

TEST_F(FileReadinessTest, FileWithARecordIsReadyAtOnceWithItsBuffers) {
  FileServerFixture f(kMetafile);
  f.files().write("watched.log", "first\n");
  Readiness wait(f);
  wait.start();
  EXPECT_EQ(wait.result(), 1);
  EXPECT_EQ(wait.restart(), 0);
  IOEntry* io = f.source()->IO;
  EXPECT_EQ(io->RecordLength, 80 + 65);
  ASSERT_NE(io->Buffers, nullptr);
  ASSERT_NE(io->Buffers->next, nullptr);
  EXPECT_EQ(io->Buffers->next->next, nullptr);
  EXPECT_EQ(f.takeLog(), Messages{});
}

TEST_F(FileReadinessTest, UnrecoverableOpenErrorsEndTheWait) {
  FileServerFixture f({"//APPL FileApp", "//NAME Lines E 60", "//SOURCE FILE %DIR%plain/watched.log",
                       "//ATTRIBUTES ';'", "Text D 64"});
  f.files().write("plain", "not a directory\n");
  Readiness wait(f);
  wait.start();
  EXPECT_EQ(wait.result(), 0);
  EXPECT_EQ(f.takeLog(), Messages{"53: " + f.files().path() + "plain/watched.log, 20"});
}

TEST_F(FileReadinessTest, MissingFileIsNotWaitedForWhenTheSettingSaysSo) {
  setenv("ZEVP_DP_FILE_EXIST_WAIT", "no", 1);
  FileServerFixture f(kMetafile);
  Readiness wait(f);
  wait.start();
  EXPECT_EQ(wait.result(), 0);
  EXPECT_EQ(f.takeLog(), Messages{"18: " + f.files().file("watched.log") + ", Lines"});
}

TEST_F(FileReadinessTest, MissingFileIsWaitedForAndThenReadFromItsBeginning) {
  FileServerFixture f(kMetafile);
  Readiness wait(f);
  wait.start();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(wait.waiting());
    f.signalFileServers();
  }
  EXPECT_EQ(ZEVP_FileWaitPending(f.source()->IO), 1) << "the periodic task is to wake it";
  // Created whole (a file seen empty would be waited for as such).
  std::string created = f.files().write("created.tmp", "first\n");
  ASSERT_EQ(std::rename(created.c_str(), f.files().file("watched.log").c_str()), 0);
  f.signalFileServers();
  EXPECT_EQ(wait.result(), 1);
  EXPECT_EQ(wait.restart(), 1);
  EXPECT_EQ(ZEVP_FileWaitPending(f.source()->IO), 0);
  EXPECT_EQ(f.takeLog(), Messages{"18: " + f.files().file("watched.log") + ", Lines"}) << "once";
}

TEST_F(FileReadinessTest, EmptyFileIsWaitedForUntilItHoldsALine) {
  FileServerFixture f(kMetafile);
  f.files().write("watched.log", "");
  Readiness wait(f);
  wait.start();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(wait.waiting());
    f.signalFileServers();
  }
  f.files().write("watched.log", "first\n");
  f.signalFileServers();
  EXPECT_EQ(wait.result(), 1);
  EXPECT_EQ(wait.restart(), 1) << "what was written while it waited is read";
  EXPECT_EQ(f.takeLog(), Messages{"19: " + f.files().file("watched.log") + ", Lines"}) << "once";
}

TEST_F(FileReadinessTest, WaitEndsWhenTheThreadIsToldToEnd) {
  FileServerFixture f(kMetafile);
  Readiness wait(f);
  wait.start();
  EXPECT_TRUE(wait.waiting());
  wait.endThread();
  EXPECT_EQ(wait.result(), 0);
}

TEST(FileIdentityTest, FirstLineIsTheIdentity) {
  ScratchDirectory files;
  const int32_t recordLength = 145;
  auto identity = [&](const std::string& name) { return zevp::ReadFileIdentity(files.file(name).c_str(), recordLength); };
  files.write("a", "same first\nrest a\n");
  files.write("b", "same first\nrest b\nmore\n");
  files.write("c", "other first\n");
  files.write("empty", "");
  EXPECT_NE(identity("a").checkSum, 0);
  EXPECT_EQ(identity("a").checkSum, identity("b").checkSum);
  EXPECT_NE(identity("a").checkSum, identity("c").checkSum);
  EXPECT_EQ(identity("empty").checkSum, 0);
  EXPECT_EQ(identity("none").checkSum, 0);

  zevp::FileIdentity kept = identity("a");
  files.append("a", "appended\n");
  EXPECT_TRUE(zevp::IsSameFile(&kept, files.file("a").c_str(), recordLength));
  files.write("a", "same firsT\n");
  EXPECT_FALSE(zevp::IsSameFile(&kept, files.file("a").c_str(), recordLength));
  files.remove("a");
  kept = identity("b");
  EXPECT_FALSE(zevp::IsSameFile(&kept, files.file("a").c_str(), recordLength)) << "gone";

  // A first line still being written.
  files.write("d", "begin");
  kept = identity("d");
  EXPECT_FALSE(kept.ended);
  files.append("d", "ning\n");
  EXPECT_TRUE(zevp::IsSameFile(&kept, files.file("d").c_str(), recordLength));
  EXPECT_TRUE(kept.ended);
  files.write("d", "bEginning\n");
  EXPECT_FALSE(zevp::IsSameFile(&kept, files.file("d").c_str(), recordLength));

  // An empty file has no identity yet: written since, it is the same file.
  kept = identity("empty");
  files.write("empty", "now written\n");
  EXPECT_TRUE(zevp::IsSameFile(&kept, files.file("empty").c_str(), recordLength));
  EXPECT_EQ(kept.checkSum, identity("empty").checkSum);
}

}  // namespace

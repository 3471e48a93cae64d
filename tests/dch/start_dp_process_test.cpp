// Starting a data-provider program: from the current directory, from PATH, and a program
// that exists nowhere (the child ends with 127; the caller still gets its process id).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "dch/channel_functions.h"
#include "trace_capture.h"

namespace {

constexpr char kStub[] = "zevdpstub";

class StartDPprocessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tools = getenv("ZEV_TEST_TOOLS");
    ASSERT_NE(tools, nullptr);
    tools_ = tools;
    char scratch[] = "/tmp/start_dp_process_test.XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    scratch_ = scratch;
    marker_ = scratch_ + "/marker";
    setenv("ZEV_TEST_DPSTUB_MARKER", marker_.c_str(), 1);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    cwd_ = cwd;
    const char* path = getenv("PATH");
    path_ = path != nullptr ? path : "";
  }
  void TearDown() override {
    EXPECT_EQ(chdir(cwd_.c_str()), 0);
    setenv("PATH", path_.c_str(), 1);
    unsetenv("ZEV_TEST_DPSTUB_MARKER");
    unlink(marker_.c_str());
    rmdir(scratch_.c_str());
  }

  // The child's exit status, or -1 when it did not exit normally.
  static int exitStatusOf(int pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  std::string markerText() const {
    std::ifstream in(marker_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string tools_, scratch_, marker_, cwd_, path_;
};

TEST_F(StartDPprocessTest, RunsTheProgramFromTheCurrentDirectory) {
  ASSERT_EQ(chdir(tools_.c_str()), 0);
  setenv("PATH", scratch_.c_str(), 1);  // nothing to find there
  int pid = ZEVA_StartDPprocess(kStub);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(exitStatusOf(pid), 0);
  EXPECT_EQ(markerText(), kStub);  // argument 0 is the bare name
}

TEST_F(StartDPprocessTest, FallsBackToASearchOfPath) {
  ASSERT_EQ(chdir(scratch_.c_str()), 0);
  setenv("PATH", ("/nonexistent:" + tools_).c_str(), 1);
  int pid = ZEVA_StartDPprocess(kStub);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(exitStatusOf(pid), 0);
  EXPECT_EQ(markerText(), kStub);
}

// Of the caller's descriptors the program gets standard input, output and error only,
// also of those not closed on exec.
TEST_F(StartDPprocessTest, TheProgramGetsOnlyTheStandardDescriptors) {
  int passedOnExec[2];
  ASSERT_EQ(pipe(passedOnExec), 0);
  ASSERT_EQ(chdir(tools_.c_str()), 0);
  setenv("ZEV_TEST_DPSTUB_DESCRIPTORS", "Y", 1);
  int pid = ZEVA_StartDPprocess(kStub);
  unsetenv("ZEV_TEST_DPSTUB_DESCRIPTORS");
  close(passedOnExec[0]);
  close(passedOnExec[1]);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(exitStatusOf(pid), 0);
  EXPECT_EQ(markerText(), std::string(kStub) + "\ninherited:");
}

TEST_F(StartDPprocessTest, MissingProgramEndsTheChildWith127) {
  ASSERT_EQ(chdir(scratch_.c_str()), 0);
  setenv("PATH", scratch_.c_str(), 1);
  TraceCapture capture;
  int pid = ZEVA_StartDPprocess("zev_no_such_program");
  ASSERT_GT(pid, 0);
  EXPECT_EQ(exitStatusOf(pid), 127);
  EXPECT_TRUE(capture.contains("Error: EXEC zev_no_such_program failed: errno=2"));
  EXPECT_EQ(markerText(), "");
}

TEST_F(StartDPprocessTest, UnusableNamesStartNothing) {
  EXPECT_EQ(ZEVA_StartDPprocess(nullptr), -1);
  EXPECT_EQ(ZEVA_StartDPprocess(std::string(254, 'p').c_str()), -1);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no child was made
}

}  // namespace

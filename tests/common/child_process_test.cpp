// The programs the system starts for its users: only standard input, output and error
// of the caller's descriptors reach them, also of those not closed on exec.
#include "zev0/child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// The shell's test of whether it holds the descriptor: exit status 0 when it does.
std::string HoldsDescriptor(int descriptor) { return "[ -e /proc/$$/fd/" + std::to_string(descriptor) + " ]"; }

int ExitStatusOf(int waitStatus) { return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

TEST(ChildProcessTest, OnlyTheStandardDescriptorsReachTheChild) {
  int passedOnExec[2];
  ASSERT_EQ(pipe(passedOnExec), 0);
  struct Case {
    int descriptor;
    int exitStatus;
  };
  const Case cases[] = {{2, 0}, {passedOnExec[0], 1}, {passedOnExec[1], 1}};
  for (const Case& c : cases) {
    const std::string check = HoldsDescriptor(c.descriptor);
    SCOPED_TRACE(check);
    EXPECT_EQ(ExitStatusOf(zev0::RunShellCommand(check.c_str())), c.exitStatus);
    const char* const program[] = {"sh", "-c", check.c_str(), nullptr};
    EXPECT_EQ(ExitStatusOf(zev0::RunProgram(program)), c.exitStatus);
  }
  close(passedOnExec[0]);
  close(passedOnExec[1]);
}

TEST(ChildProcessTest, AProgramThatCannotBeStartedSaysWhy) {
  const char* const program[] = {"zev_no_such_program", nullptr};
  int error = 0;
  EXPECT_EQ(zev0::RunProgram(program, &error), -1);
  EXPECT_EQ(error, ENOENT);
}

}  // namespace

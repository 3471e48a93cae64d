// Runs a test body in a child process, for state that a process sets up once only
// (the product specification, the work directory, the console-message switch):
// each case starts from a fresh process image of the test program.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

// The child's failed expectations are printed by the child itself and fail the
// test here through its exit status.
inline void RunInChild(const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t child = fork();
  ASSERT_GE(child, 0) << "fork failed";
  if (child == 0) {
    body();
    std::fflush(stdout);
    std::exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's checks failed (see above)";
}

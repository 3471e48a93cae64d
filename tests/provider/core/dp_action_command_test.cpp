// Commands of actions: run through /bin/sh in the data provider's working directory,
// their output joined into the result.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "action_command.h"
#include "action_entry.h"
#include "bare_anchor.h"
#include "run_in_child.h"
#include "scratch_directory.h"
#include "zev0/storage.h"

namespace {

struct Assembled {
  std::string text;
  int32_t length;
};

Assembled Assemble(const std::string& output, int32_t bufferSize) {
  std::string bytes = output;
  FILE* stream = fmemopen(bytes.data(), bytes.size(), "r");
  char* result = nullptr;
  int32_t length = -1;
  ZEVP_AssembleActionResult(stream, bufferSize, &result, &length);
  std::fclose(stream);
  Assembled assembled{result != nullptr ? result : "<null>", length};
  ZEV0_FreeStorage(&result);
  return assembled;
}

TEST(ActionResultTest, NonEmptyLinesAreJoinedAndALongResultIsCutWithItsMark) {
  struct Case {
    const char* what;
    std::string output;
    int32_t size;
    std::string text;
    int32_t length;
  };
  const Case cases[] = {
      {"three lines", "a\nb\nc\n", 256, "a;b;c", 5},
      {"carriage returns and empty lines go", "x\r\n\n\r\ny", 256, "x;y", 3},
      {"only blank lines: an empty result", "\n\r\n\n", 256, "", 0},
      {"a line read in pieces, the second does not fit", "12345678901234567890\n", 16, "12345678901...", 14},
      {"a last line that fits", "aaaaaaaaaaa\nb\n", 16, "aaaaaaaaaaa;b", 13},
      // The mark after a text that is already longer than the limit: 16 characters
      // and the terminator in a result of ZEVP_ACTION_RESULT_SIZE 16.
      {"regression: the mark after a full result keeps room for its terminator", "aaaaaaaaaaa\nb\nc\n", 16,
       "aaaaaaaaaaa;b...", 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Assembled assembled = Assemble(c.output, c.size);
    EXPECT_EQ(assembled.text, c.text);
    EXPECT_EQ(assembled.length, c.length);
  }
}

TEST(ActionResultTest, TheResultSizeIsReadOnceAndKeptWithinItsBounds) {
  struct Case {
    const char* value;
    int32_t size;
  };
  const Case cases[] = {{nullptr, 256}, {"40", 40}, {"8", 16}, {"none", 16}, {"100000", 4096}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value != nullptr ? c.value : "unset");
    RunInChild([&c] {
      if (c.value != nullptr)
        setenv("ZEVP_ACTION_RESULT_SIZE", c.value, 1);
      else
        unsetenv("ZEVP_ACTION_RESULT_SIZE");
      EXPECT_EQ(ZEVP_ActionResultBufferSize(), c.size);
      setenv("ZEVP_ACTION_RESULT_SIZE", "64", 1);
      EXPECT_EQ(ZEVP_ActionResultBufferSize(), c.size) << "read once";
    });
  }
}

// Commands run in a scratch directory of the test, where their output files go. Each
// case runs in a child: a command's result is cut to the size that is read once per
// process, which the size case above sets in children of its own.
class CommandActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
    ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(previous_), 0); }

  ActionEntry* command(const char* name, const char* parms, uint32_t id = 42) {
    ActionEntry* entry = ZEVP_AllocateActionEntry(anchor_.get());
    entry->ActionName = ZEVP_CopyActionText(name, static_cast<uint32_t>(std::strlen(name)));
    if (parms != nullptr) entry->ActionParm = ZEVP_CopyActionText(parms, static_cast<uint32_t>(std::strlen(parms)));
    entry->ActionID = id;
    return entry;
  }

  ScratchDirectory scratch_{"zev_action_command"};
  BareAnchor anchor_;
  char previous_[4096] = {};
};

TEST_F(CommandActionTest, TheExitStatusAndTheOutputBecomeTheActionsStatusAndResult) {
  RunInChild([&] {
    struct Case {
      const char* what;
      const char* name;
      const char* parms;
      int32_t status;
      const char* result;  // null: none
    };
    const Case cases[] = {
        {"lines of output", "\"printf\"", "'%s\\n' a b c", 0, "a;b;c"},
        {"exit code 1 is the wait status negated", "false", nullptr, -256, ""},
        {"a command that does not exist", "no_such_command_zev", "x", -32512, ""},
        {"its own redirection: nothing captured", "echo", "kept >own.txt", 0, nullptr},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      ActionEntry* entry = command(c.name, c.parms);
      ZEVP_ExecuteActionCommand(entry);
      EXPECT_EQ(entry->ActionStatus, c.status);
      if (c.result == nullptr) {
        EXPECT_EQ(entry->ActionResult, nullptr);
      } else {
        ASSERT_NE(entry->ActionResult, nullptr);
        EXPECT_STREQ(entry->ActionResult, c.result);
        EXPECT_EQ(entry->ResultLength, static_cast<int32_t>(std::strlen(c.result)));
      }
      EXPECT_TRUE(scratch_.read("DP000042").empty() && access("DP000042", F_OK) != 0) << "the output file is removed";
      ZEVP_ReleaseActionEntry(anchor_.get(), entry);
    }
    EXPECT_EQ(scratch_.read("own.txt"), "kept\n");
  });
}

// The data provider's own signal handling is neither changed while a command runs
// (SIGINT and SIGQUIT stay as they are, so the agent's Ctrl-C is not lost) nor
// passed on: the command's shell takes the signals as a new program does.
TEST_F(CommandActionTest, ACommandRunsWithSignalsAsANewProgramHasThemAndLeavesTheProcessesAlone) {
  RunInChild([&] {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGTERM, &ignore, &previous), 0);
    ActionEntry* killed = command("kill", "-TERM $$; echo survived");
    ZEVP_ExecuteActionCommand(killed);
    sigaction(SIGTERM, &previous, nullptr);
    EXPECT_EQ(killed->ActionStatus, -SIGTERM) << "the shell ended by the signal the data provider ignores";
    EXPECT_EQ(killed->ActionResult, nullptr) << "ended before its output file was made";

    const std::string fifo = scratch_.file("gate");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ActionEntry* blocked = command("cat", fifo.c_str(), 43);
    std::thread running([blocked] { ZEVP_ExecuteActionCommand(blocked); });
    // The command now waits for the gate; meanwhile the process's SIGINT is untouched.
    for (int look = 0; look < 20; ++look) {
      struct sigaction now {};
      sigaction(SIGINT, nullptr, &now);
      EXPECT_NE(now.sa_handler, SIG_IGN);
      usleep(1000);
    }
    std::ofstream(fifo) << "opened\n";
    running.join();
    EXPECT_EQ(blocked->ActionStatus, 0);
    EXPECT_STREQ(blocked->ActionResult, "opened");
  });
}

}  // namespace

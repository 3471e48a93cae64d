#include "zev0/console_message.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "raf.h"
#include "run_in_child.h"
#include "trace_capture.h"
#include "zev0/prodspec.h"

// The feature switch is decided once per process: every case runs in a child of its own.
namespace {

// A TZOMESG of our own, first on PATH, that writes each argument it receives on a
// line of its own in brackets, then exits with 3.
class ConsoleCommand {
 public:
  ConsoleCommand() {
    char pattern[] = "/tmp/zev_tzomesg_XXXXXX";
    char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    directory_ = made ? made : "/tmp";
    std::string script = directory_ + "/TZOMESG";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "for argument in \"$@\"; do printf '[%s]\\n' \"$argument\"; done > '" << logPath() << "'\n"
                          << "printf 'YRN_TRC1=[%s]\\n' \"$YRN_TRC1\" >> '" << logPath() << "'\n"
                          << "exit 3\n";
    chmod(script.c_str(), 0755);
    const char* path = std::getenv("PATH");
    setenv("PATH", (directory_ + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
  }
  ~ConsoleCommand() { std::filesystem::remove_all(directory_); }

  std::string logPath() const { return directory_ + "/arguments"; }

  bool ran() const { return std::filesystem::exists(logPath()); }

  std::vector<std::string> log() const {
    std::ifstream file(logPath());
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::string directory_;
};

TEST(ConsoleMessageTest, SwitchedOffNothingIsSent) {
  RunInChild([] {
    setenv("ZEV_DMC", "n", 1);
    EXPECT_EQ(ZEV0_PXconsoleMessage("SYS", "2", "disk full"), -1);
    EXPECT_TRUE(raf::TakeConsoleMessages().empty());

    ZEV0_SetDPstartMode(1);
    ConsoleCommand command;
    EXPECT_EQ(ZEV0_PXconsoleMessage("SYS", "2", "disk full"), -1);
    EXPECT_FALSE(command.ran());
  });
}

TEST(ConsoleMessageTest, InsideTheAgentTheFrameworkCreatesTheMessage) {
  RunInChild([] {
    unsetenv("ZEV_DMC");
    TraceCapture capture("*=0x40");
    EXPECT_EQ(ZEV0_PXconsoleMessage("SYS ALERT", "2", "disk full"), 0);
    std::vector<raf::ConsoleMessage> messages = raf::TakeConsoleMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].severity, "2");
    EXPECT_EQ(messages[0].category, "SYS ALERT");
    EXPECT_EQ(messages[0].text, "disk full");
    EXPECT_EQ(messages[0].options, 0);
    EXPECT_TRUE(capture.contains("Calling RAF_CreateMessage <2> <SYS ALERT> <disk full>"));
  });
}

TEST(ConsoleMessageTest, NoTextNothingIsSent) {
  RunInChild([] {
    unsetenv("ZEV_DMC");
    TraceCapture capture("*=0x80");
    EXPECT_EQ(ZEV0_PXconsoleMessage("SYS", "2", nullptr), -1);
    EXPECT_EQ(ZEV0_PXconsoleMessage("SYS", "2", ""), -1);
    EXPECT_TRUE(raf::TakeConsoleMessages().empty());
    EXPECT_EQ(capture.count("***** No message input. PX console message bypassed"), 2);
  });
}

// The text comes from data sources: quotes and shell syntax in it must reach the
// command as one argument and run nothing.
TEST(ConsoleMessageTest, StandAloneProgramPassesTheTextAsOneArgument) {
  RunInChild([] {
    unsetenv("ZEV_DMC");
    ZEV0_SetDPstartMode(1);
    ConsoleCommand command;
    const std::string text = "disk \"full\"; touch injected $(id) `id` 'q' | cat && >out";
    TraceCapture capture("*=0x01");
    EXPECT_EQ(ZEV0_PXconsoleMessage("SYS ALERT", "2", text.c_str()), 3);
    EXPECT_EQ(command.log(),
              (std::vector<std::string>{"[-s]", "[2]", "[-c]", "[SYS]", "[" + text + "]", "YRN_TRC1=[ ]"}));
    EXPECT_TRUE(raf::TakeConsoleMessages().empty());
    EXPECT_TRUE(capture.contains("Status 3 Console command (TZOMESG -s 2 -c SYS \"disk \"full\"; touch"));
    EXPECT_TRUE(capture.contains("DMC module path "));
  });
}

TEST(ConsoleMessageTest, StandAloneProgramLeavesOutWhatIsNotGiven) {
  RunInChild([] {
    unsetenv("ZEV_DMC");
    ZEV0_SetDPstartMode(1);
    ConsoleCommand command;
    EXPECT_EQ(ZEV0_PXconsoleMessage(nullptr, nullptr, "node down"), 3);
    EXPECT_EQ(command.log(), (std::vector<std::string>{"[node down]", "YRN_TRC1=[ ]"}));
  });
}

TEST(ConsoleMessageTest, StandAloneProgramWithoutTheCommandGets127) {
  RunInChild([] {
    unsetenv("ZEV_DMC");
    ZEV0_SetDPstartMode(1);
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(ZEV0_PXconsoleMessage("SYS", "2", "disk full"), 127);
  });
}

}  // namespace

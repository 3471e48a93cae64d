// The data-provider launchers: each runs its data provider against the agent
// program (started with no data provider of its own), answering on its console,
// until the console's SHUTDOWN ends it or SIGTERM asks it to end as SHUTDOWN does,
// and exits with 0; zevpfile's rows reach the framework; a thread that cannot be
// made is traced and the launcher returns at once. Each program runs in a network
// namespace of its own, so that every port is free.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "agent_process.h"
#include "console_client.h"
#include "data_provider_launcher.h"
#include "eventually.h"
#include "launcher_run.h"
#include "network_namespace.h"
#include "refused_thread_starts.h"
#include "run_in_child.h"
#include "trace_capture.h"
#include "zevraf_rows.h"

namespace {

constexpr int kStartWaitMs = 30000;
constexpr int kEndWaitMs = 30000;

int ExitCode(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

enum class Ending { shutdown, sigterm };

void PrintTo(Ending ending, std::ostream* out) { *out << (ending == Ending::shutdown ? "SHUTDOWN" : "SIGTERM"); }

struct Launcher {
  const char* program;
  int type;
  const char* typeCode;  // the data provider's type in its DP log subnode
  const char* label;
  Ending ending;
};

void PrintTo(const Launcher& launcher, std::ostream* out) { *out << launcher.program; }

const Launcher kEngineLaunchers[] = {
    {"zevpasfs", 3, "ASFS", "ASFS", Ending::shutdown},   {"zevppost", 4, "POST", "Post", Ending::sigterm},
    {"zevpfile", 1, "FILE", "File", Ending::shutdown},   {"zevpsock", 2, "SOCK", "Socket", Ending::sigterm},
    {"zevphttp", 8, "HTTP", "HTTP", Ending::shutdown},   {"zevpapis", 0, "APIS", "API", Ending::sigterm},
};

// Ends the launcher as asked; its exit code, -1 when it did not end in time.
int End(LauncherRun& launcher, Ending ending, unsigned short consolePort) {
  if (ending == Ending::sigterm) return ExitCode(launcher.process().terminate(kEndWaitMs));
  // The reply comes once the data provider has shut down.
  ConsoleClient console;
  EXPECT_EQ(console.exchange(consolePort, "SHUTDOWN", kEndWaitMs), "0 ");
  return ExitCode(launcher.process().waitForEnd(kEndWaitMs));
}

class EngineLauncherTest : public ::testing::TestWithParam<Launcher> {};

TEST_P(EngineLauncherTest, RunsItsDataProviderAnsweringOnItsConsoleUntilItIsEndedAndExitsWithZero) {
  const Launcher& tested = GetParam();
  RunInNetworkNamespace([&tested] {
    AgentProcess agent;
    LauncherRun launcher(tested.program);
    ASSERT_TRUE(launcher.start(agent)) << launcher.process().failure();
    std::string logSubnode = std::string("localhost") + tested.typeCode + "dp:DVAGENT00";
    ASSERT_TRUE(Eventually([&] { return !LinesWith(agent.zevraf({"subnodes"}), logSubnode).empty(); },
                           kStartWaitMs))
        << launcher.trace();
    unsigned short port = static_cast<unsigned short>(agent.consoleBase() + tested.type);
    EXPECT_EQ(AwaitConsole(port, kStartWaitMs), "0 " + std::to_string(tested.type) + " " + std::to_string(port));
    EXPECT_EQ(End(launcher, tested.ending, port), 0);
    EXPECT_NE(launcher.trace().find(std::string("***** ") + tested.label +
                                    " DP main processing thread successfully ended *****"),
              std::string::npos)
        << launcher.trace();
    EXPECT_EQ(agent.terminate(kEndWaitMs), 0);
  });
}

INSTANTIATE_TEST_SUITE_P(Programs, EngineLauncherTest, ::testing::ValuesIn(kEngineLaunchers),
                         [](const ::testing::TestParamInfo<Launcher>& info) { return info.param.program; });

TEST(LauncherTest, TheFileDataProvidersRowsReachTheFramework) {
  RunInNetworkNamespace([] {
    AgentProcess agent;
    LauncherRun launcher("zevpfile");
    std::string input = launcher.work().write("lines.txt", "alpha 1\nbeta 2\n");
    launcher.work().write("launched.mdl",
                          "//APPL LAUNCHED @A file read by a launched data provider\n"
                          "//NAME LINES P 60 @The file's lines\n"
                          "//SOURCE FILE " + input + " COPY\n"
                          "//ATTRIBUTES ' '\n"
                          "Word D 16 @A word\n"
                          "Number C 999 @A number\n");
    // A pass over the whole file a second.
    ASSERT_TRUE(launcher.start(agent, {"ZEVP_DP_EVENT=1"})) << launcher.process().failure();
    ASSERT_TRUE(Eventually([&] { return !TablesOf(agent, "LAUNCHED00").empty(); }, kStartWaitMs))
        << launcher.trace();
    std::string table = TableWithColumn(agent, "LAUNCHED00", "Word");
    EXPECT_FALSE(WaitForRow(agent, "LAUNCHED00", table, {{"Word", "beta"}, {"Number", "2"}}, kStartWaitMs).empty());

    EXPECT_EQ(ExitCode(launcher.process().terminate(kEndWaitMs)), 0);
    EXPECT_EQ(agent.terminate(kEndWaitMs), 0);
  });
}

class SnmpLauncherTest : public ::testing::TestWithParam<Ending> {};

TEST_P(SnmpLauncherTest, RegistersTheSnmpManagerTablesAndEndsCleanly) {
  const Ending ending = GetParam();
  RunInNetworkNamespace([ending] {
    AgentProcess agent;
    LauncherRun launcher("zevpsnmp");
    ASSERT_TRUE(launcher.start(agent)) << launcher.process().failure();
    ASSERT_TRUE(Eventually([&] { return TablesOf(agent, "SNMP-MANAGER00").size() == 7; }, kStartWaitMs))
        << launcher.trace();
    ASSERT_TRUE(Eventually(
        [&] { return launcher.trace().find("----- Start Network Monitor Server Task -----") != std::string::npos; },
        kStartWaitMs));
    unsigned short port = static_cast<unsigned short>(agent.consoleBase() + 5);
    EXPECT_EQ(AwaitConsole(port, kStartWaitMs), "0 5 " + std::to_string(port));
    EXPECT_EQ(End(launcher, ending, port), 0);
    std::string trace = launcher.trace();
    EXPECT_NE(trace.find(">>>>> SNMP Manager process ended. Thread: "), std::string::npos) << trace;
    EXPECT_NE(trace.find("***** SNMP DP main processing thread successfully ended *****"), std::string::npos);
    EXPECT_EQ(agent.terminate(kEndWaitMs), 0);
  });
}

INSTANTIATE_TEST_SUITE_P(Endings, SnmpLauncherTest, ::testing::Values(Ending::shutdown, Ending::sigterm),
                         [](const ::testing::TestParamInfo<Ending>& info) {
                           return info.param == Ending::shutdown ? "ConsoleShutdown" : "Sigterm";
                         });

void* NeverRuns(void*) { return nullptr; }

TEST(LauncherTest, AThreadThatCannotBeMadeIsTracedAndTheLauncherReturnsZeroAtOnce) {
  RunInChild([] {
    TraceCapture capture("*=0x81");
    RefusedThreadStarts refused(0, EAGAIN);
    int32_t startMode = 5;
    EXPECT_EQ(RunDataProviderLauncher(NeverRuns, &startMode, "SNMP"), 0);
    EXPECT_EQ(refused.refused(), 1);
    EXPECT_TRUE(capture.contains("***** SNMP DP main processing thread create failed. errno 11\n")) << capture.take();
    sigset_t blocked;
    pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
    EXPECT_FALSE(sigismember(&blocked, SIGTERM)) << "SIGTERM is as it was";
  });
}

}  // namespace

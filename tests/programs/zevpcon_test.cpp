// The console program zevpcon at real data providers (the host program zevdphost,
// their DCH served by zevdchhost), each on a console base of its own unless the case
// puts several on one. Every run listens out the whole discovery budget, so the
// runs of a case go on at once, each at a data provider of its own.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "console_client.h"
#include "data_provider_process.h"
#include "dch_host_process.h"
#include "eventually.h"
#include "raw_dch_peer.h"
#include "scratch_directory.h"
#include "tool_process.h"

namespace {

constexpr int kDiscoveryTryMs = 1500;
constexpr int kStartWaitMs = 30000;
constexpr int kRunWaitMs = 40000;
constexpr char kAccepted[] = "Console input accepted.";

const std::vector<std::string> kSmallApplication = {"//APPL APP1", "//NAME GRP P 60", "//SOURCE FILE a.log",
                                                    "//ATTRIBUTES ';'", "Host D 8", "Bytes C 999999"};

// An application whose SHOW reply takes several datagrams.
std::vector<std::string> LargeApplication() {
  std::vector<std::string> lines = {"//APPL WIDE", "//NAME COLUMNS P 60", "//SOURCE FILE wide.log",
                                    "//ATTRIBUTES ';'"};
  for (int n = 10; n < 50; ++n) lines.push_back("Attribute_Number_" + std::to_string(n) + " D 32");
  return lines;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
    lines.push_back(text.substr(from, end - from));
  return lines;
}

int ExitCode(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

struct ConsoleOutcome {
  int exitCode = -1;
  std::vector<std::string> lines;
};

class ZevpconTest : public ::testing::Test {
 protected:
  // A data provider of the type, with the test's metafiles, its start-up configuration
  // loading those named, its console answering; on the console base given, else on
  // its own. Each has an agent's DCH server of its own, so that the applications of
  // one never meet those of another.
  DataProviderProcess& provider(const std::string& type, const std::vector<std::string>& startup,
                                unsigned short base = 0) {
    hosts_.push_back(std::make_unique<DCHhostProcess>());
    EXPECT_TRUE(hosts_.back()->startReady()) << hosts_.back()->failure();
    providers_.push_back(std::make_unique<DataProviderProcess>(type, hosts_.back()->port()));
    DataProviderProcess& started = *providers_.back();
    started.configuration().write("m1.mdl", Lines(kSmallApplication));
    std::vector<std::string> second = kSmallApplication;
    second[0] = "//APPL APP2";
    started.configuration().write("new2.mdl", Lines(second));
    started.configuration().write("wide.mdl", Lines(LargeApplication()));
    started.configuration().write("ZEVPCNFG", Lines(startup));
    std::vector<std::string> settings;
    if (base != 0) settings.push_back("ZEVP_DPCONSOLE_PORT=" + std::to_string(base));
    EXPECT_TRUE(started.start(settings)) << started.errorText();
    consolePorts_.push_back(static_cast<unsigned short>((base != 0 ? base : started.consoleBase()) + TypeNumber(type)));
    return started;
  }
  // Waits until the console of every data provider started answers.
  void awaitConsoles() {
    ConsoleClient client;
    for (unsigned short port : consolePorts_) {
      std::string reply;
      EXPECT_TRUE(Eventually(
          [&] { return (reply = client.exchange(port, "GETPORT", kDiscoveryTryMs)).rfind("0 ", 0) == 0; },
          kStartWaitMs))
          << "no console on port " << port;
    }
  }
  // The data providers end together.
  void TearDown() override {
    for (auto& provider : providers_) provider->requestStop();
  }
  static int TypeNumber(const std::string& type) { return type == "FILE" ? 1 : type == "SOCK" ? 2 : 4; }

  // The console program started with the arguments at the console base.
  // Its input is written at once and closed: it reads it when it asks.
  static std::unique_ptr<ToolProcess> console(unsigned short base, const std::vector<std::string>& arguments,
                                              const std::string& input = "") {
    auto program = std::make_unique<ToolProcess>("zevpcon");
    std::vector<std::string> all = {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF",
                                    "ZEVP_DPCONSOLE_PORT=" + std::to_string(base), "ZEV_DP_HOSTNAME=localhost",
                                    "ZEV_TRACE=*=0x80"};
    EXPECT_TRUE(program->start(arguments, all)) << program->failure();
    if (!input.empty()) program->writeInput(input);
    program->closeInput();
    return program;
  }
  // Its lines and exit code once it has ended.
  static ConsoleOutcome finish(ToolProcess& program) {
    ConsoleOutcome outcome;
    outcome.lines = SplitLines(program.readAll(kRunWaitMs));
    outcome.exitCode = ExitCode(program.waitForEnd(kRunWaitMs));
    return outcome;
  }

  std::vector<unsigned short> consolePorts_;
  std::vector<std::unique_ptr<DCHhostProcess>> hosts_;
  std::vector<std::unique_ptr<DataProviderProcess>> providers_;
};

TEST_F(ZevpconTest, ListAndShowAlsoOverSeveralDatagrams) {
  DataProviderProcess& listed = provider("FILE", {"m1.mdl", "wide.mdl"});
  DataProviderProcess& shown = provider("FILE", {"wide.mdl"});
  awaitConsoles();
  auto list = console(listed.consoleBase(), {"L"});
  auto show = console(shown.consoleBase(), {"Show", "WIDE"});

  // The names are those of the metafiles, after the data provider's own log application.
  const std::string folder = listed.configuration().path();
  EXPECT_EQ(finish(*list).lines, (std::vector<std::string>{kAccepted, " ", "Active application definitions:",
                                                           "  ZEV", "  " + folder + "m1.mdl",
                                                           "  " + folder + "wide.mdl"}));
  std::vector<std::string> expected = {kAccepted,
                                       " ",
                                       "Defined application specification:",
                                       "   MetaFile: " + shown.configuration().path() + "wide.mdl",
                                       "      Application: WIDE",
                                       "",
                                       "            Group: COLUMNS Poll Data TTL=60",
                                       "           SOURCE: FILE wide.log"};
  for (int n = 10; n < 50; ++n)
    expected.push_back("  Attribute_Number_" + std::to_string(n) + " Display Type Max Size 32");
  ConsoleOutcome outcome = finish(*show);
  EXPECT_EQ(outcome.lines, expected);
  EXPECT_EQ(outcome.exitCode, 0);
}

TEST_F(ZevpconTest, ImportNewAgainAndMissing) {
  DataProviderProcess& fresh = provider("FILE", {});
  DataProviderProcess& loaded = provider("FILE", {"m1.mdl"});
  DataProviderProcess& empty = provider("FILE", {});
  awaitConsoles();
  auto importNew = console(fresh.consoleBase(), {"Import", "new2.mdl"});
  auto importAgain = console(loaded.consoleBase(), {"imp", "m1"});
  auto importMissing = console(empty.consoleBase(), {"IMPORT", "missing.mdl"});

  EXPECT_EQ(finish(*importNew).lines,
            (std::vector<std::string>{kAccepted, "Import successfully completed for new2.mdl"}));
  EXPECT_EQ(finish(*importAgain).lines,
            (std::vector<std::string>{kAccepted,
                                      "m1 already defined. Use REFRESH command to reload data definition."}));
  ConsoleOutcome missing = finish(*importMissing);
  EXPECT_EQ(missing.lines, (std::vector<std::string>{kAccepted, "Command failed. Metafile not found."}));
  EXPECT_EQ(missing.exitCode, 0);
}

TEST_F(ZevpconTest, RefreshAndDeleteAnsweredYesAndNo) {
  std::vector<DataProviderProcess*> at;
  for (int n = 0; n < 4; ++n) at.push_back(&provider("FILE", {"m1.mdl"}));
  awaitConsoles();
  auto refreshYes = console(at[0]->consoleBase(), {"Refresh", "m1"}, "Yes\n");
  auto refreshNo = console(at[1]->consoleBase(), {"ref", "m1"}, "n\n");
  // Delete without a name asks for it.
  auto deleteYes = console(at[2]->consoleBase(), {"Delete"}, "m1\ny\n");
  auto deleteNo = console(at[3]->consoleBase(), {"del", "APP1"}, "no\n");

  EXPECT_EQ(finish(*refreshYes).lines,
            (std::vector<std::string>{kAccepted, "Confirm <Yes/No> to refresh m1", "Refresh successful."}));
  EXPECT_EQ(finish(*refreshNo).lines,
            (std::vector<std::string>{kAccepted, "Confirm <Yes/No> to refresh m1", "Refresh cancelled for m1"}));
  EXPECT_EQ(finish(*deleteYes).lines,
            (std::vector<std::string>{"Enter Application name or Metafile name", kAccepted,
                                      "Confirm <Yes/No> to delete m1", "Delete successful."}));
  EXPECT_EQ(finish(*deleteNo).lines,
            (std::vector<std::string>{kAccepted, "Confirm <Yes/No> to delete APP1", "Delete cancelled for APP1"}));
  // What the answers left: the refreshed and kept applications, none where deleted.
  ConsoleClient client;
  EXPECT_EQ(client.exchange(static_cast<unsigned short>(at[0]->consoleBase() + 1), "CHECK m1", 5000), "4 ");
  EXPECT_EQ(client.exchange(static_cast<unsigned short>(at[2]->consoleBase() + 1), "CHECK m1", 5000), "3 ");
  EXPECT_EQ(client.exchange(static_cast<unsigned short>(at[3]->consoleBase() + 1), "CHECK m1", 5000), "4 ");
}

TEST_F(ZevpconTest, SNMPCommandsAtAnotherTypeAreRejected) {
  DataProviderProcess& first = provider("FILE", {});
  DataProviderProcess& second = provider("FILE", {});
  awaitConsoles();
  auto community = console(first.consoleBase(), {"LOAD"});
  auto traps = console(second.consoleBase(), {"Trapcnfg"});
  EXPECT_EQ(finish(*community).lines,
            (std::vector<std::string>{kAccepted, "Load SNMP agent community name command rejected by Non-SNMP DP."}));
  EXPECT_EQ(finish(*traps).lines,
            (std::vector<std::string>{kAccepted, "Load SNMP traps configuration command rejected by Non-SNMP DP."}));
}

// Two data providers on one base: the operator chooses, an invalid choice asked again.
TEST_F(ZevpconTest, SeveralDataProvidersAreListedForAChoice) {
  DataProviderProcess& file = provider("FILE", {"m1.mdl"});
  provider("SOCK", {}, file.consoleBase());
  awaitConsoles();
  auto list = std::make_unique<ToolProcess>("zevpcon");
  ASSERT_TRUE(list->start({"List"}, {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF",
                                     "ZEVP_DPCONSOLE_PORT=" + std::to_string(file.consoleBase()),
                                     "ZEV_DP_HOSTNAME=localhost"}));
  std::vector<std::string> head;
  for (std::string line = list->readLine(kRunWaitMs); !line.empty() && line != "Select an active DP:";
       line = list->readLine(kRunWaitMs))
    head.push_back(line);
  ASSERT_EQ(head.size(), 4u);
  EXPECT_EQ(head[0], kAccepted);
  EXPECT_EQ(head[1], " ");
  // Listed in the order they answered, each after its number.
  std::vector<std::string> targets = {head[2].substr(7), head[3].substr(7)};
  std::sort(targets.begin(), targets.end());
  EXPECT_EQ(targets[0], " FILE - localhost ");
  EXPECT_EQ(targets[1], " SOCK - localhost ");
  std::string fileNumber = head[2].find("FILE") != std::string::npos ? "1" : "2";
  list->writeInput("3\n" + fileNumber + "\n");
  EXPECT_EQ(finish(*list).lines,
            (std::vector<std::string>{"Invalid selection. Select a DP listed above:", " ",
                                      "Active application definitions:", "  ZEV",
                                      "  " + file.configuration().path() + "m1.mdl"}));
}

TEST_F(ZevpconTest, ShutdownImmediateEndsEveryDataProviderUnasked) {
  DataProviderProcess& file = provider("FILE", {});
  DataProviderProcess& sock = provider("SOCK", {}, file.consoleBase());
  awaitConsoles();
  auto shutdown = console(file.consoleBase(), {"shut", "immed"});
  ConsoleOutcome outcome = finish(*shutdown);
  EXPECT_EQ(outcome.lines, (std::vector<std::string>{kAccepted, "DP shutdown completed."}));
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(file.stop()) << "ended by the console";
  EXPECT_TRUE(sock.stop());
}

TEST(ZevpconLocalTest, UsageAndLocalCommandsWithoutTraffic) {
  // A console port that would see any traffic.
  int watch = socket(AF_INET, SOCK_DGRAM, 0);
  unsigned short base = FreeConsoleBase();
  sockaddr_in own = rawdch::LoopbackAddress(static_cast<unsigned short>(base + 1));
  ASSERT_EQ(bind(watch, reinterpret_cast<sockaddr*>(&own), sizeof own), 0);
  ScratchDirectory files("zev_zevpcon");
  files.write("good.mdl", Lines(kSmallApplication));
  files.write("bad.mdl", "//APPL\n");
  const std::vector<std::string> settings = {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF",
                                             "ZEVP_DPCONSOLE_PORT=" + std::to_string(base), "ZEV_DP_HOSTNAME=localhost",
                                             "ZEVP_META_PATH=" + files.path(), "ZEV_WORK_PATH=" + files.path(),
                                             "ZEV_TRACE=*=0x80"};

  ToolRun usage = RunTool("zevpcon", {"?x", "ignored"}, settings);
  EXPECT_EQ(usage.exitStatus, 0);
  EXPECT_EQ(SplitLines(usage.output).size(), 14u);
  EXPECT_EQ(usage.output.rfind("Usage:\n       zevpcon Delete   [metafile name | application name]\n", 0), 0u);
  EXPECT_NE(usage.output.find("\n               SHUTdown [Immed]\n"), std::string::npos);

  EXPECT_EQ(RunTool("zevpcon", {"Validate", "good.mdl"}, settings).exitStatus, 0);
  ToolRun invalid = RunTool("zevpcon", {"VAL", "bad.mdl"}, settings);
  EXPECT_EQ(invalid.exitStatus, 255);
  EXPECT_EQ(invalid.output.rfind(std::string(kAccepted) + "\n", 0), 0u);
  EXPECT_EQ(RunTool("zevpcon", {"Unpack", "good.mdl"}, settings).exitStatus, 0);

  char datagram[64];
  EXPECT_EQ(recv(watch, datagram, sizeof datagram, MSG_DONTWAIT), -1) << "no traffic";
  close(watch);
}

TEST(ZevpconLocalTest, SigtermEndsTheConsoleAtOnce) {
  ToolProcess program("zevpcon");
  ASSERT_TRUE(program.start({"List"}, {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF",
                                       "ZEVP_DPCONSOLE_PORT=" + std::to_string(FreeConsoleBase()),
                                       "ZEV_DP_HOSTNAME=localhost"}));
  EXPECT_EQ(program.readLine(5000), kAccepted) << "discovery under way";
  int status = program.terminate(1000);
  EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

}  // namespace

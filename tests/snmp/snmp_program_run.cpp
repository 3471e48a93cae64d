#include "snmp_program_run.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "console_client.h"
#include "eventually.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

namespace {

constexpr int kStartWaitMs = 60000;
constexpr int kEndWaitMs = 30000;
constexpr int kReplyWaitMs = 10000;
// The agent's action log (DVAgent's ACTION group).
constexpr char kActionTable[] = "DVA6034300";
constexpr char kManagerRunning[] = "----- Start Network Monitor Server Task -----";

constexpr char kLabMetafile[] =
    "//SNMP TEXT\n"
    "//APPL LAB Ent 1.3.6.1.4.1.99\n"
    "//NAME SYSTEM P 300\n"
    "//ATTRIBUTES\n"
    "Agent_Info D 16 1.3.6.1.4.1.99.1.0\n"
    "Agent_Name D 64 1.3.6.1.4.1.99.2.0\n"
    "sysDescr D 64 1.3.6.1.2.1.1.1.0\n"
    "sysName D 64 1.3.6.1.2.1.1.5.0\n";

bool ExitedWithZero(int status) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

}  // namespace

std::string ServiceTypeText(int services) {
  char* text = ZEV0_DetermineNodeServiceType(services);
  std::string type = text != nullptr ? text : "";
  ZEV0_FreeStorage(&text);
  return type;
}

std::string FieldValues(const SampledRow& row, const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) {
    auto field = row.find(column);
    text += (field != row.end() ? field->second : "<missing>") + ";";
  }
  return text;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void RouteLabNetworkUnreachable() {
  // More specific than the /24 on the veth; the namespace's own addresses are
  // local and answer still.
  for (const char* half : {"10.77.0.0/25", "10.77.0.128/25"})
    if (std::system((std::string("ip route add unreachable ") + half).c_str()) != 0)
      ADD_FAILURE() << "no unreachable route for " << half;
}

SnmpProgramRun::SnmpProgramRun() : work_("zev_snmp_work"), console_("zev_tzomesg"), program_("zevpsnmp") {
  std::ofstream(console_.file("TZOMESG")) << "#!/bin/sh\necho \"$@\" >> '" << console_.file("messages") << "'\n";
  chmod(console_.file("TZOMESG").c_str(), 0755);
}

void SnmpProgramRun::loadLabApplication() const {
  work_.write("lab.mdl", kLabMetafile);
  work_.write("ZEVPCNFG", "lab.mdl\n");
}

bool SnmpProgramRun::start(const std::vector<std::string>& settings) {
  if (!agent_.start({"NODP"})) {
    ADD_FAILURE() << agent_.failure();
    return false;
  }
  if (!Eventually([&] { return agent_.zevraf({"subnodes"}).exitStatus == 0; }, kStartWaitMs)) {
    ADD_FAILURE() << "the agent's framework port does not answer";
    return false;
  }
  std::vector<std::string> own = agent_.dataProviderSettings();
  const char* path = std::getenv("PATH");
  own.insert(own.end(), {"ZEV_WORK_PATH=" + work_.path(), "ZEVP_META_PATH=" + work_.path(),
                         // Beside the program: every file of the work directory is a metafile to it.
                         "ZEV_TRACE=*=0x91 >" + program_.scratch() + "/snmp.trc",
                         "ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N",
                         "PATH=" + console_.path() + ":" + (path != nullptr ? path : "/usr/bin:/bin")});
  if (!program_.start({}, SettingsWith(own, settings))) {
    ADD_FAILURE() << program_.failure();
    return false;
  }
  if (!waitForTrace(kManagerRunning, kStartWaitMs)) {
    ADD_FAILURE() << "the network monitoring server did not start\n" << trace();
    return false;
  }
  return true;
}

bool SnmpProgramRun::stop() {
  bool ended = ExitedWithZero(program_.terminate(kEndWaitMs));
  EXPECT_TRUE(ended) << "zevpsnmp\n" << program_.errorText();
  bool agentEnded = agent_.terminate(kEndWaitMs) == 0;
  EXPECT_TRUE(agentEnded) << "zeva350\n" << agent_.errorText();
  return ended && agentEnded;
}

std::string SnmpProgramRun::trace() const {
  std::ifstream in(program_.scratch() + "/snmp.trc");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool SnmpProgramRun::waitForTrace(const std::string& text, int waitMs) const {
  return Eventually([&] { return trace().find(text) != std::string::npos; }, waitMs);
}

std::vector<std::string> SnmpProgramRun::messages() const {
  std::istringstream in(console_.read("messages"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool SnmpProgramRun::act(const std::vector<std::string>& command) {
  std::vector<std::string> words = {"action", kSubnode};
  words.insert(words.end(), command.begin(), command.end());
  ToolRun run = agent_.zevraf(words);
  EXPECT_EQ(run.output, "0\n") << run.errors;
  return run.exitStatus == 0;
}

SampledRow SnmpProgramRun::result(const std::string& parameters, int waitMs) {
  SampledRow found;
  Eventually(
      [&] {
        for (const SampledRow& row : SampleRows(agent_, "DVAGENT00", kActionTable).rows) {
          auto parms = row.find("Action_Parms");
          auto status = row.find("Action_Status");
          auto id = row.find("Action_ID");
          if (parms == row.end() || parms->second != parameters || status == row.end() ||
              status->second == "UNKNOWN" || id == row.end() || !resultsTaken_.insert(id->second).second)
            continue;
          found = row;
          return true;
        }
        return false;
      },
      waitMs);
  return found;
}

std::string SnmpProgramRun::show(const std::string& application) {
  ConsoleClient console;
  const unsigned short port = static_cast<unsigned short>(agent_.consoleBase() + 5);
  std::string reply = console.exchange(port, "SHOW " + application, kReplyWaitMs);
  // One datagram "2 <records>", or "0 1 <records>", "0 <records>" ... "3 <records>".
  if (reply.compare(0, 4, "0 1 ") != 0) return reply.compare(0, 2, "2 ") == 0 ? reply.substr(2) : "";
  std::string records = reply.substr(4);
  for (;;) {
    std::string segment = console.receive(kReplyWaitMs);
    if (segment.size() < 2) return "";
    records += segment.substr(2);
    if (segment[0] == '3') return records;
  }
}

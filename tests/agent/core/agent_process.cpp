#include "agent_process.h"

#include <sys/wait.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "eventually.h"
#include "free_port.h"
#include "network_namespace.h"

namespace {

constexpr int kTracePollMs = 50;

}  // namespace

std::vector<std::string> AgentProcess::DefaultProduct() {
  return {"PRODUCT_CODE=EV",           "NODE_TYPE=DV",          "PRODUCT_NAME=Dorvane_Agent",
          "AGENT_AFF_NAME=AFF_DORVANE", "SUBNODE_AFF_NAME=AFF_DORVANE_DATA", "SUBNODE_AFF_FEAT=00000000071",
          "ENABLE_DPLOG=Y",            "ZEVATBLS_FILE_NAME=ZEVATBLS"};
}

namespace {

bool NamesSNMP(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.find("SNMP") != std::string::npos;
}

}  // namespace

AgentProcess::AgentProcess(const std::vector<std::string>& product)
    : agent_("zeva350"),
      productStartsSNMP_(false),
      dchPort_(FreeLoopbackPort()),
      rafPort_(FreeLoopbackPort()),
      consoleBase_(FreeConsoleBase()) {
  for (const std::string& record : product)
    if (record.compare(0, 12, "DP_TO_START=") == 0 && NamesSNMP(record.substr(12))) productStartsSNMP_ = true;
  while (rafPort_ == dchPort_) rafPort_ = FreeLoopbackPort();
  // What it writes in its working directory (action output) is its own.
  agent_.runInScratch();
  product_.write(product);
}

bool AgentProcess::start(const std::vector<std::string>& arguments, const std::vector<std::string>& settings) {
  bool startsSNMP = productStartsSNMP_;
  for (const std::string& argument : arguments) startsSNMP = startsSNMP || NamesSNMP(argument);
  if (startsSNMP && !RequireOwnNetworkNamespace("zeva350 with the SNMP data provider")) return false;
  std::vector<std::string> chosen = {"ZEVA_DCH_PORT=" + std::to_string(dchPort_),
                                     "ZEVA_RAF_PORT=" + std::to_string(rafPort_),
                                     "ZEVP_DPCONSOLE_PORT=" + std::to_string(consoleBase_),
                                     "ZEVA_DCH_ADDR=127.0.0.1",
                                     "QFEB0_HOSTNAME=localhost",
                                     "ZEV_WORK_PATH=" + directory(),
                                     "ZEV_PRODSPEC_PATH=" + product_.path(),
                                     "ZEV_PRODSPEC_NAME=" + product_.name(),
                                     "ZEV_TRACE=*=0x90 >" + directory() + "agent.trc"};
  // The SNMP data provider's own network is monitored only when a test asks for it:
  // its hosts' visits would hold the end.
  if (startsSNMP) chosen.push_back("ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N");
  return agent_.start(arguments, SettingsWith(chosen, settings));
}

std::vector<std::string> AgentProcess::dataProviderSettings() const {
  return {"ZEVA_DCH_PORT=" + std::to_string(dchPort_), "ZEVP_DCH_HOST=127.0.0.1", "ZEV_DP_HOSTNAME=localhost",
          "ZEV_PRODSPEC_PATH=" + product_.path(), "ZEV_PRODSPEC_NAME=" + product_.name(),
          "ZEVP_DPCONSOLE_PORT=" + std::to_string(consoleBase_)};
}

std::string AgentProcess::traceText() const {
  std::ifstream in(directory() + "agent.trc");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool AgentProcess::waitForTrace(const std::string& text, int waitMs) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (traceText().find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kTracePollMs));
  }
}

int AgentProcess::waitForExit(int waitMs) {
  int status = agent_.waitForEnd(waitMs);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int AgentProcess::terminate(int waitMs) {
  int status = agent_.terminate(waitMs);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ToolRun AgentProcess::zevraf(const std::vector<std::string>& arguments) const {
  std::vector<std::string> words = {"-p", std::to_string(rafPort_)};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return RunTool("zevraf", words);
}

std::vector<std::string> LinesWith(const ToolRun& run, const std::string& text) {
  std::vector<std::string> lines;
  if (run.exitStatus != 0) return lines;
  size_t from = 0;
  while (from < run.output.size()) {
    size_t end = run.output.find('\n', from);
    if (end == std::string::npos) end = run.output.size();
    std::string line = run.output.substr(from, end - from);
    if (line.find(text) != std::string::npos) lines.push_back(line);
    from = end + 1;
  }
  return lines;
}

bool RowSampled(const AgentProcess& agent, const std::string& applicationKey, const std::string& text, int waitMs) {
  return Eventually(
      [&] {
        for (const std::string& line : LinesWith(agent.zevraf({"tables"}), applicationKey + "\t")) {
          std::string table = line.substr(line.find('\t') + 1);
          if (!LinesWith(agent.zevraf({"sample", applicationKey, table}), text).empty()) return true;
        }
        return false;
      },
      waitMs);
}

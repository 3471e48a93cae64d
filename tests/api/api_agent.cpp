#include "api_agent.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "console_client.h"
#include "eventually.h"
#include "free_port.h"
#include "socket_tables.h"

namespace {

constexpr int kStartWaitMs = 20000;
constexpr int kDiscoveryTryMs = 1500;
constexpr char kStartupComplete[] = "Dorvane_Agent startup complete.";

}  // namespace

ApiAgent::ApiAgent() : metafiles_(agent_.directory() + "metafiles/"), apiPort_(FreeLoopbackPort()) {
  mkdir(metafiles_.c_str(), 0700);
  loadAtStart({});
}

void ApiAgent::metafile(const std::string& name, const std::vector<std::string>& lines) const {
  std::ofstream file(metafiles_ + name);
  for (const std::string& line : lines) file << line << "\n";
}

void ApiAgent::loadAtStart(const std::vector<std::string>& names) const {
  std::ofstream configuration(metafiles_ + "ZEVPCNFG");
  configuration << "* loaded at the start\n";
  for (const std::string& name : names) configuration << name << "\n";
}

bool ApiAgent::start(const std::string& type) {
  if (!agent_.start({type}, {"ZEVP_META_PATH=" + metafiles_, "ZEVP_INIT_CONFIG_PATH=" + metafiles_,
                             "ZEV_DP_HOSTNAME=localhost", "ZEVP_DP_PORT=" + std::to_string(FreeLoopbackPort()),
                             "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_)}))
    return false;
  if (!agent_.waitForTrace(kStartupComplete, kStartWaitMs)) return false;
  if (!Eventually([this] { return TcpAndUdpServed(apiPort_); }, kStartWaitMs)) return false;
  // A client of its own takes the late answers to its tries with it; a try waits longer
  // than the console's pause after each command.
  ConsoleClient discovery;
  const unsigned short own = static_cast<unsigned short>(agent_.consoleBase() + (type == "ASFS" ? 3 : 0));
  return Eventually([&] { return discovery.exchange(own, "GETPORT", kDiscoveryTryMs).rfind("0 ", 0) == 0; },
                    kStartWaitMs);
}

std::vector<std::string> ApiAgent::clientSettings() const {
  return {"ZEVP_API_DPAPI_HOST=127.0.0.1", "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_),
          "ZEVP_DPCONSOLE_PORT=" + std::to_string(consolePort())};
}

void ApiAgent::pointClientHere() const {
  for (const std::string& setting : clientSettings()) {
    size_t mark = setting.find('=');
    setenv(setting.substr(0, mark).c_str(), setting.substr(mark + 1).c_str(), 1);
  }
}

bool ApiAgent::sampled(const std::string& applicationKey, const std::string& text, int waitMs) const {
  return RowSampled(agent_, applicationKey, text, waitMs);
}

std::vector<std::string> ApiAgent::subnodes(const std::string& text) const {
  return LinesWith(agent_.zevraf({"subnodes"}), text);
}

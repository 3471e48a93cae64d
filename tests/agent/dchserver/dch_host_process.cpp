#include "dch_host_process.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "free_port.h"

namespace {

constexpr int kReadyWaitMs = 5000;

}  // namespace

DCHhostProcess::DCHhostProcess(unsigned short port)
    : host_("zevdchhost"), port_(port != 0 ? port : FreeLoopbackPort()) {}

DCHhostProcess::~DCHhostProcess() = default;

// The host's settings, and the caller's over them.
std::vector<std::string> DCHhostProcess::settings(const std::vector<std::string>& overrides) const {
  return SettingsWith({"ZEVA_DCH_PORT=" + std::to_string(port_), "ZEVA_DCH_ADDR=127.0.0.1", "QFEB0_HOSTNAME=localhost",
                       "ZEVA_DCH_TIMEOUT=1", "ZEV_TRACE=*=0x80 >" + tracePath()},
                      overrides);
}

bool DCHhostProcess::start(const std::vector<std::string>& settings) {
  if (port_ == 0) {
    failure_ = "no free port";
    return false;
  }
  return host_.start({}, this->settings(settings));
}

bool DCHhostProcess::startReady(const std::vector<std::string>& settings) {
  if (!start(settings)) return false;
  std::string line = readLine(kReadyWaitMs);
  if (line == "ready " + std::to_string(port_)) return true;
  failure_ = "the host said <" + line + "> in place of ready; " + errorText();
  return false;
}

std::string DCHhostProcess::traceText() const {
  std::ifstream in(tracePath());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

long DCHhostProcess::heapBytes(int waitMs) {
  if (!host_.writeInput("heap\n")) return -1;
  std::string answer = readLine(waitMs);
  return answer.compare(0, 5, "heap ") == 0 ? std::atol(answer.c_str() + 5) : -1;
}

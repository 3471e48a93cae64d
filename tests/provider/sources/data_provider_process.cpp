#include "data_provider_process.h"

#include <sys/wait.h>

#include "free_port.h"

namespace {

constexpr int kStartWaitMs = 5000;
constexpr int kStopWaitMs = 20000;

}  // namespace

DataProviderProcess::DataProviderProcess(const std::string& type, unsigned short dchPort)
    : type_(type),
      port_(dchPort),
      consoleBase_(FreeConsoleBase()),
      configuration_("zev_provider"),
      provider_("zevdphost") {}

DataProviderProcess::~DataProviderProcess() {
  if (!stopped_) stop();
}

bool DataProviderProcess::start(const std::vector<std::string>& settings) {
  std::vector<std::string> all = {
      "ZEVP_DCH_HOST=127.0.0.1",
      "ZEVA_DCH_PORT=" + std::to_string(port_),
      "ZEVP_DPCONSOLE_PORT=" + std::to_string(consoleBase_),
      "ZEV_DP_HOSTNAME=localhost",
      "ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/",
      "ZEV_PRODSPEC_NAME=ZEVPSF",
      "ZEVP_META_PATH=" + configuration_.path(),
      "ZEVP_INIT_CONFIG_PATH=" + configuration_.path(),
      "ZEV_WORK_PATH=" + configuration_.path(),
      "ZEVP_DP_PORT=" + std::to_string(socketPort_),
      "ZEVP_API_DPAPI_PORT=" + std::to_string(apiPort_),
      "ZEV_TRACE=*=0x80 >" + configuration_.file("provider.trc"),
  };
  if (!provider_.start({type_}, SettingsWith(all, settings))) return false;
  stopped_ = false;
  return provider_.readLine(kStartWaitMs) == "started " + type_;
}

bool DataProviderProcess::stop() {
  stopped_ = true;
  provider_.closeInput();
  return endedCleanly(provider_.waitForEnd(kStopWaitMs));
}

bool DataProviderProcess::terminate() {
  stopped_ = true;
  return endedCleanly(provider_.terminate(kStopWaitMs));
}

bool DataProviderProcess::endedCleanly(int status) {
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> DataProviderProcess::output(int waitMs) {
  std::vector<std::string> lines;
  for (std::string line = provider_.readLine(waitMs); !line.empty(); line = provider_.readLine(waitMs))
    lines.push_back(line);
  return lines;
}

std::string DataProviderProcess::traceText() const { return configuration_.read("provider.trc"); }

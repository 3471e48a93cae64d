#include "file_provider_process.h"

#include <sys/wait.h>

#include <regex>

#include "free_port.h"

namespace {

constexpr int kStartWaitMs = 5000;
constexpr int kStopWaitMs = 20000;

}  // namespace

FileProviderProcess::FileProviderProcess(unsigned short dchPort, const std::vector<std::string>& metafile)
    : port_(dchPort), consoleBase_(FreeConsoleBase()), configuration_("zev_fileprovider"), files_("zev_files"), provider_("zevdphost") {
  std::string text;
  for (const std::string& line : metafile) text += std::regex_replace(line, std::regex("%DIR%"), files_.path()) + "\n";
  configuration_.write("monitor.mdl", text);
  configuration_.write("ZEVPCNFG", "monitor.mdl\n");
}

FileProviderProcess::~FileProviderProcess() {
  if (!stopped_) stop();
}

bool FileProviderProcess::start(const std::vector<std::string>& settings) {
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
      "ZEVP_DP_EVENT=1",
      "ZEV_TRACE=*=0x80 >" + configuration_.file("provider.trc"),
  };
  all.insert(all.end(), settings.begin(), settings.end());
  if (!provider_.start({"FILE"}, all)) return false;
  stopped_ = false;
  return provider_.readLine(kStartWaitMs) == "started FILE";
}

bool FileProviderProcess::stop() {
  stopped_ = true;
  provider_.closeInput();
  int status = provider_.waitForEnd(kStopWaitMs);
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> FileProviderProcess::output(int waitMs) {
  std::vector<std::string> lines;
  for (std::string line = provider_.readLine(waitMs); !line.empty(); line = provider_.readLine(waitMs))
    lines.push_back(line);
  return lines;
}

std::string FileProviderProcess::traceText() const { return configuration_.read("provider.trc"); }

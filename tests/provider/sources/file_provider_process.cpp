#include "file_provider_process.h"

#include "text_patterns.h"

FileProviderProcess::FileProviderProcess(unsigned short dchPort, const std::vector<std::string>& metafile)
    : DataProviderProcess("FILE", dchPort), files_("zev_files") {
  std::string text;
  for (const std::string& line : metafile) text += ReplacedEverywhere(line, "%DIR%", files_.path()) + "\n";
  configuration().write("monitor.mdl", text);
  configuration().write("ZEVPCNFG", "monitor.mdl\n");
}

bool FileProviderProcess::start(const std::vector<std::string>& settings) {
  return DataProviderProcess::start(SettingsWith({"ZEVP_DP_EVENT=1"}, settings));
}

#include "launcher_run.h"

#include <fstream>
#include <sstream>

#include "eventually.h"

bool LauncherRun::start(AgentProcess& agent, const std::vector<std::string>& extraSettings) {
  if (!agent.start({"NODP"})) return false;
  if (!Eventually([&] { return agent.zevraf({"subnodes"}).exitStatus == 0; }, kStartWaitMs)) return false;
  std::vector<std::string> settings = agent.dataProviderSettings();
  settings.push_back("ZEV_WORK_PATH=" + work_.path());
  settings.push_back("ZEVP_META_PATH=" + work_.path());
  settings.push_back("ZEV_TRACE=*=0x91 >" + tracePath());
  settings.push_back("ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N");  // no own network's visits to hold the end
  return launcher_.start({"any", "arguments"}, SettingsWith(settings, extraSettings));
}

std::string LauncherRun::trace() const {
  std::ifstream in(tracePath());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

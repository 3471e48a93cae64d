// A data-provider launcher (zevpsnmp, zevpfile, ...) as a child of the test, beside an
// agent program that starts no data provider of its own: its own work and metafile
// directory, and its trace ("*=0x91").
#pragma once

#include <string>
#include <vector>

#include "agent_process.h"
#include "scratch_directory.h"
#include "tool_process.h"

class LauncherRun {
 public:
  explicit LauncherRun(const std::string& program) : launcher_(program), work_("zev_launcher_work") {}

  // Starts the agent, waits until it serves (its framework port answers once its DCH
  // server is ready), then the launcher with the agent's data-provider settings and
  // the extra ones (which replace those of their names).
  bool start(AgentProcess& agent, const std::vector<std::string>& extraSettings = {});
  std::string trace() const;
  ToolProcess& process() { return launcher_; }
  const ScratchDirectory& work() const { return work_; }

  static constexpr int kStartWaitMs = 30000;

 private:
  // Beside the program, not in its work directory, whose every file is a metafile to it.
  std::string tracePath() const { return launcher_.scratch() + "/launcher.trc"; }

  ToolProcess launcher_;
  ScratchDirectory work_;
};

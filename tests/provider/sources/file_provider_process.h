// A FILE data provider in a process of its own (the host program zevdphost), for
// tests that watch its rows arrive at the agent's DCH server: its metafile and
// start-up configuration file in a scratch folder, its monitored files in another,
// a pass a second, and the DCH host on a loopback port.
#pragma once

#include <string>
#include <vector>

#include "scratch_directory.h"
#include "tool_process.h"

class FileProviderProcess {
 public:
  // The metafile's lines, with "%DIR%" standing for the folder of the monitored
  // files (files(), ending in '/').
  FileProviderProcess(unsigned short dchPort, const std::vector<std::string>& metafile);
  // A provider still running is ended in order.
  ~FileProviderProcess();
  FileProviderProcess(const FileProviderProcess&) = delete;
  FileProviderProcess& operator=(const FileProviderProcess&) = delete;

  const ScratchDirectory& files() const { return files_; }

  // Starts the provider; false when it did not say it started.
  bool start(const std::vector<std::string>& settings = {});
  // Asks it to shut down as the console does and waits: true when it ended cleanly.
  bool stop();
  // What it printed on standard output (its SYSTEM log lines) until now.
  std::vector<std::string> output(int waitMs);
  std::string traceText() const;
  std::string errorText() const { return provider_.errorText(); }
  // The provider's process id while it runs, else -1.
  pid_t pid() const { return provider_.pid(); }

 private:
  unsigned short port_;
  ScratchDirectory configuration_;
  ScratchDirectory files_;
  ToolProcess provider_;
  bool stopped_ = true;
};

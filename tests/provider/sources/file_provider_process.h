// A FILE data provider in a process of its own (DataProviderProcess), for tests
// that watch its rows arrive at the agent's DCH server: its metafile and start-up
// configuration file in its work directory, its monitored files in a scratch folder
// of their own, and a pass a second.
#pragma once

#include <string>
#include <vector>

#include "data_provider_process.h"

class FileProviderProcess : public DataProviderProcess {
 public:
  // The metafile's lines, with "%DIR%" standing for the folder of the monitored
  // files (files(), ending in '/').
  FileProviderProcess(unsigned short dchPort, const std::vector<std::string>& metafile);

  const ScratchDirectory& files() const { return files_; }

  // Starts the provider with a pass a second; false when it did not say it started.
  bool start(const std::vector<std::string>& settings = {});

 private:
  ScratchDirectory files_;
};

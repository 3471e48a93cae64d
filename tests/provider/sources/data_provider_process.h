// A data provider of one type in a process of its own (the host program
// zevdphost), for tests that watch what reaches the agent's DCH server: the DCH
// host on a loopback port, console ports of its own, socket and API ports free
// loopback ports, the shipped product specification, its work directory (also its
// metafile and start-up configuration folder) a scratch folder, and its trace a
// file there.
#pragma once

#include <string>
#include <vector>

#include "free_port.h"
#include "scratch_directory.h"
#include "tool_process.h"

class DataProviderProcess {
 public:
  // type: a code of the type table, e.g. FILE.
  DataProviderProcess(const std::string& type, unsigned short dchPort);
  // A provider still running is ended in order.
  virtual ~DataProviderProcess();
  DataProviderProcess(const DataProviderProcess&) = delete;
  DataProviderProcess& operator=(const DataProviderProcess&) = delete;

  // The work directory, where a test puts the files the provider reads.
  const ScratchDirectory& configuration() const { return configuration_; }
  unsigned short socketPort() const { return socketPort_; }
  unsigned short apiPort() const { return apiPort_; }
  // The base of its console ports (ZEVP_DPCONSOLE_PORT).
  unsigned short consoleBase() const { return consoleBase_; }

  // Starts the provider with the settings over the usual ones; false when it did
  // not say it started.
  bool start(const std::vector<std::string>& settings = {});
  // Asks it to shut down as the console does and waits: true when it ended cleanly.
  bool stop();
  // Asks it to shut down without waiting (several then end at once); stop() waits.
  void requestStop() { provider_.closeInput(); }
  // Ends it with SIGTERM: true when it ended cleanly.
  bool terminate();
  // What it printed on standard output (its SYSTEM log lines) until now.
  std::vector<std::string> output(int waitMs);
  std::string traceText() const;
  std::string errorText() const { return provider_.errorText(); }
  // The provider's process id while it runs, else -1.
  pid_t pid() const { return provider_.pid(); }

 private:
  bool endedCleanly(int status);

  std::string type_;
  unsigned short port_;
  unsigned short consoleBase_;
  ScratchDirectory configuration_;
  unsigned short socketPort_ = FreeLoopbackPort();
  unsigned short apiPort_ = FreeLoopbackPort();
  ToolProcess provider_;
  bool stopped_ = true;
};

// The host program zevdchhost (the agent's DCH server on its own) as a child of a
// test: started on a loopback port with its standard input and output on pipes, its
// standard error and its trace in files of a scratch folder, and ended by the test.
// The program is found through ZEV_TEST_TOOLS.
#pragma once

#include <string>
#include <vector>

#include "tool_process.h"

class DCHhostProcess {
 public:
  // port 0: a port free for UDP and TCP on 127.0.0.1.
  explicit DCHhostProcess(unsigned short port = 0);
  // A host still running is killed.
  ~DCHhostProcess();
  DCHhostProcess(const DCHhostProcess&) = delete;
  DCHhostProcess& operator=(const DCHhostProcess&) = delete;

  // Starts the host with ZEVA_DCH_PORT, ZEVA_DCH_ADDR=127.0.0.1, QFEB0_HOSTNAME=localhost,
  // ZEVA_DCH_TIMEOUT=1 and ZEV_TRACE (errors only, into traceText()); each of the
  // "NAME=value" settings given replaces the variable of that name. False when it
  // could not be started (the reason is in failure()).
  bool start(const std::vector<std::string>& settings = {});
  // start(), then the "ready <port>" line within five seconds.
  bool startReady(const std::vector<std::string>& settings = {});

  // One line of the host's standard output, without its newline; what came of it when
  // the output ends or the time runs out.
  std::string readLine(int waitMs) { return host_.readLine(waitMs); }
  // The host's wait status once it has ended within the time; -1 when it has not.
  int waitForEnd(int waitMs) { return host_.waitForEnd(waitMs); }
  // Closing its standard input ends the host.
  void closeInput() { host_.closeInput(); }
  // Sends SIGTERM and waits for the end: the wait status, or -1.
  int terminate(int waitMs) { return host_.terminate(waitMs); }

  unsigned short port() const { return port_; }
  bool running() const { return host_.running(); }
  // The host's process id while it runs (for a test that stops or kills it), else -1.
  pid_t pid() const { return host_.pid(); }
  // The host's resident memory in kB, from /proc; -1 when it cannot be read.
  long residentKilobytes() const { return host_.residentKilobytes(); }
  // The bytes of heap the host has in use, as it says when asked; -1 without an answer.
  long heapBytes(int waitMs);
  std::string traceText() const;
  std::string errorText() const { return host_.errorText(); }
  const std::string& failure() const { return failure_.empty() ? host_.failure() : failure_; }

 private:
  std::string tracePath() const { return host_.scratch() + "/host.trc"; }
  std::vector<std::string> settings(const std::vector<std::string>& overrides) const;

  ToolProcess host_;
  std::string failure_;
  unsigned short port_;
};

// The agent program zeva350 as a child of a test: its DCH and framework ports and its
// data providers' console ports free loopback ports, its working and work directory,
// product specification and trace in a scratch folder of its own, and zevraf to ask
// its framework port. The programs are found
// through ZEV_TEST_TOOLS.
#pragma once

#include <string>
#include <vector>

#include "prodspec_directory.h"
#include "tool_process.h"

class AgentProcess {
 public:
  // The records of the default product's specification.
  static std::vector<std::string> DefaultProduct();

  // The product specification holds these records (ZEVPSF's format, "KEYWORD=value").
  explicit AgentProcess(const std::vector<std::string>& product = DefaultProduct());
  // An agent still running is killed.
  ~AgentProcess() = default;
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  // Starts zeva350 with the arguments; each "NAME=value" setting replaces the variable
  // of that name (the ports, work directory, product specification and trace are set).
  // An agent that would start the SNMP data provider (an argument SNMP, or the
  // product's DP_TO_START naming it) starts only in a network namespace of the
  // test's own (network_namespace.h); elsewhere it is refused, a failure of the test.
  bool start(const std::vector<std::string>& arguments, const std::vector<std::string>& settings = {});
  // True once the trace holds the text, within the time.
  bool waitForTrace(const std::string& text, int waitMs) const;
  std::string traceText() const;
  // One line the agent wrote on standard output (its data providers' SYSTEM log
  // lines), without its newline; empty when none came within the time.
  std::string readLine(int waitMs) { return agent_.readLine(waitMs); }
  // The exit status once the agent has ended within the time; -1 when it has not (or
  // did not end normally).
  int waitForExit(int waitMs);
  // SIGTERM, then as waitForExit.
  int terminate(int waitMs);
  pid_t pid() const { return agent_.pid(); }
  // The agent's resident memory in kB, from /proc; -1 when it cannot be read.
  long residentKilobytes() const { return agent_.residentKilobytes(); }

  // zevraf against the agent's framework port.
  ToolRun zevraf(const std::vector<std::string>& arguments) const;

  // What a data-provider program needs to reach this agent's DCH with its product
  // file, and its console base ("NAME=value").
  std::vector<std::string> dataProviderSettings() const;

  unsigned short dchPort() const { return dchPort_; }
  unsigned short rafPort() const { return rafPort_; }
  // The base of its data providers' console ports (ZEVP_DPCONSOLE_PORT).
  unsigned short consoleBase() const { return consoleBase_; }
  // A fixed base in place of the free one (in a network namespace of the test's own).
  void useConsoleBase(unsigned short base) { consoleBase_ = base; }
  // The agent's scratch folder, its work directory, ending in "/".
  std::string directory() const { return agent_.scratch() + "/"; }
  std::string errorText() const { return agent_.errorText(); }
  const std::string& failure() const { return agent_.failure(); }

 private:
  ToolProcess agent_;
  ProdSpecDirectory product_;
  bool productStartsSNMP_;
  unsigned short dchPort_;
  unsigned short rafPort_;
  unsigned short consoleBase_;
};

// The lines of a zevraf answer that hold the text; none when zevraf failed.
std::vector<std::string> LinesWith(const ToolRun& run, const std::string& text);

// True once a sample of some table of the application (its key, e.g. APPL00) holds a row
// with the text, within the time.
bool RowSampled(const AgentProcess& agent, const std::string& applicationKey, const std::string& text, int waitMs);

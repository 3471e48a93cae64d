// The SNMP data-provider program zevpsnmp beside the agent program zeva350 (started
// without a data provider of its own), in a network namespace of the test's own:
// the data provider's work and metafile directory and its trace, a TZOMESG of the
// test first on its PATH that records each console message as a line, zevraf's
// actions on the SNMP-Manager subnode with their results from the agent's action
// log, and the data provider's console.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "agent_process.h"
#include "net_snmp.h"
#include "scratch_directory.h"
#include "tool_process.h"
#include "zevraf_rows.h"

// ZEV0_DetermineNodeServiceType's text of the sysServices value.
std::string ServiceTypeText(int services);
// The row's values of the columns, each followed by ';' ("<missing>" for a column
// the row does not have).
std::string FieldValues(const SampledRow& row, const std::vector<std::string>& columns);
bool HasLine(const std::vector<std::string>& lines, const std::string& line);

// Every host of 10.77.0.0/24 but the namespace's own addresses fails at once: a
// silent host's SNMP get and pings would each wait out their time.
void RouteLabNetworkUnreachable();

class SnmpProgramRun {
 public:
  static constexpr char kApplication[] = "SNMP-MANAGER00";
  static constexpr char kSubnode[] = "localhost:SNMP-MANAGER00";

  SnmpProgramRun();
  SnmpProgramRun(const SnmpProgramRun&) = delete;
  SnmpProgramRun& operator=(const SnmpProgramRun&) = delete;

  // The data provider's work and metafile directory, to fill before start().
  const ScratchDirectory& work() const { return work_; }
  AgentProcess& agent() { return agent_; }
  // The application LAB (the enterprise of the lab's snmpd, LabRouterSettings();
  // the group SYSTEM of sysDescr and sysName) in the start-up configuration.
  void loadLabApplication() const;

  // Starts the agent, then zevpsnmp with the settings ("NAME=value") over the run's
  // own, and waits until its network monitoring server runs; false (a failure of the
  // test) when either does not come up.
  bool start(const std::vector<std::string>& settings = {});
  // SIGTERM to zevpsnmp, then to the agent; true when both exit with 0.
  bool stop();

  std::string trace() const;
  bool waitForTrace(const std::string& text, int waitMs) const;
  // The console messages so far, one line each: "-s <severity> -c <category> <text>".
  std::vector<std::string> messages() const;

  // zevraf's action on the SNMP-Manager subnode; true when the agent took it.
  bool act(const std::vector<std::string>& command);
  // The action log's row of an action with the parameters once its status is known
  // (it has Action_Status and Action_Result), each action's row given once; empty
  // when none came in time.
  SampledRow result(const std::string& parameters, int waitMs);
  // The data provider's SHOW of the application, its segments joined.
  std::string show(const std::string& application);

 private:
  AgentProcess agent_;
  ScratchDirectory work_;
  ScratchDirectory console_;
  ToolProcess program_;
  std::set<std::string> resultsTaken_;  // by Action_ID
};
